#include "chart/control/qpaintercanvas.h"

#include "chart/control/colors.h"

#include <QImage>

namespace {

Qt::PenStyle qtStyle(TPenStyle style) {
    switch (style) {
    case psDash:
        return Qt::DashLine;
    case psDot:
        return Qt::DotLine;
    case psDashDot:
        return Qt::DashDotLine;
    case psDashDotDot:
        return Qt::DashDotDotLine;
    case psClear:
        return Qt::NoPen;
    case psSolid:
    case psInsideFrame:
        return Qt::SolidLine;
    }
    // A style byte from a loaded file may hold anything.
    return Qt::SolidLine;
}

} // namespace

QPainterCanvas::QPainterCanvas(QImage& image, const QPalette& palette)
    : m_image(image), m_palette(palette), m_painter(&image) {
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    m_painter.setRenderHint(QPainter::TextAntialiasing, false);
    m_painter.setPen(QPen(Qt::black, 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    m_painter.setBrush(Qt::white);
    m_brush = CanvasBrush{0xFFFFFF, false};
}

QColor QPainterCanvas::colorOf(TColor color) const {
    return ToQColor(color, m_palette);
}

void QPainterCanvas::SetPen(const CanvasPen& pen) {
    m_pen = pen;
    // Width 0 draws as width 1, as the raster rules of the original do.
    QPen qpen(colorOf(pen.Color), pen.Width < 1 ? 1 : pen.Width, qtStyle(pen.Style), Qt::FlatCap,
              Qt::MiterJoin);
    if (pen.Width > 1) {
        qpen.setCapStyle(Qt::RoundCap);
        qpen.setJoinStyle(Qt::RoundJoin);
    }
    m_painter.setPen(qpen);
}

void QPainterCanvas::SetBrush(const CanvasBrush& brush) {
    m_brush = brush;
    if (brush.Clear) {
        m_painter.setBrush(Qt::NoBrush);
    } else {
        m_painter.setBrush(colorOf(brush.Color));
    }
}

QFont QPainterCanvas::ToQFont(const TChartFont& font) {
    QFont f(QString::fromStdString(font.Name));
    int pixels = font.Height < 0 ? -font.Height : font.Height;
    if (font.Height > 0) {
        // A cell height includes the internal leading: the character height is about 5/6 of it.
        pixels = pixels * 5 / 6;
    }
    f.setPixelSize(pixels < 1 ? 1 : pixels);
    f.setStyleStrategy(QFont::NoAntialias);
    return f;
}

void QPainterCanvas::SetFont(const TChartFont& font) {
    if (m_metrics && font.Name == m_font.Name && font.Height == m_font.Height) {
        m_font = font;
        m_fontColor = colorOf(font.Color);
        return;
    }
    m_font = font;
    m_fontColor = colorOf(font.Color);
    QFont f = ToQFont(font);
    m_painter.setFont(f);
    m_metrics.emplace(f, &m_image);
}

void QPainterCanvas::Line(QPoint from, QPoint to) {
    m_painter.drawLine(from, to);
}

void QPainterCanvas::Polyline(const QPoint* points, int count) {
    if (count < 2) {
        return;
    }
    const bool thinSolid =
        m_pen.Width <= 1 && (m_pen.Style == psSolid || m_pen.Style == psInsideFrame);
    if (!thinSolid) {
        m_painter.drawPolyline(points, count);
        return;
    }
    // Dense data repeats pixels: a zero-length segment draws nothing, so consecutive equal
    // points are dropped before the polyline goes to the painter.
    m_reduced.clear();
    m_reduced.push_back(points[0]);
    for (int i = 1; i < count; ++i) {
        if (points[i] != m_reduced.back()) {
            m_reduced.push_back(points[i]);
        }
    }
    if (m_reduced.size() < 2) {
        m_reduced.push_back(m_reduced.front());
    }
    m_painter.drawPolyline(m_reduced.data(), static_cast<int>(m_reduced.size()));
}

void QPainterCanvas::Polygon(const QPoint* points, int count) {
    if (count >= 2) {
        m_painter.drawPolygon(points, count);
    }
}

void QPainterCanvas::Rectangle(int x1, int y1, int x2, int y2) {
    if (x2 <= x1 || y2 <= y1) {
        return;
    }
    if (!m_brush.Clear) {
        m_painter.fillRect(QRect(x1, y1, x2 - x1, y2 - y1), colorOf(m_brush.Color));
    }
    if (m_pen.Style != psClear) {
        QBrush saved = m_painter.brush();
        m_painter.setBrush(Qt::NoBrush);
        // With a one-pixel pen QRect(x, y, w, h) outlines x..x+w, so w is one less.
        m_painter.drawRect(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1));
        m_painter.setBrush(saved);
    }
}

void QPainterCanvas::FillRect(int x1, int y1, int x2, int y2) {
    if (x2 <= x1 || y2 <= y1 || m_brush.Clear) {
        return;
    }
    m_painter.fillRect(QRect(x1, y1, x2 - x1, y2 - y1), colorOf(m_brush.Color));
}

void QPainterCanvas::SetPixel(QPoint at, TColor color) {
    if (at.x() >= 0 && at.y() >= 0 && at.x() < m_image.width() && at.y() < m_image.height()) {
        // Through the painter: writing the image directly could detach it under the painter.
        m_painter.fillRect(QRect(at.x(), at.y(), 1, 1), colorOf(color));
    }
}

void QPainterCanvas::TextOut(int x, int y, const QString& text) {
    if (text.isEmpty()) {
        return;
    }
    if (!m_metrics) {
        SetFont(m_font);
    }
    QPen saved = m_painter.pen();
    m_painter.setPen(m_fontColor);
    m_painter.drawText(QPoint(x, y + m_metrics->ascent()), text);
    m_painter.setPen(saved);
}

QSize QPainterCanvas::TextExtent(const QString& text) {
    if (!m_metrics) {
        SetFont(m_font);
    }
    return QSize(m_metrics->horizontalAdvance(text), m_metrics->height());
}
