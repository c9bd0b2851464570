// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/control/draw/qpaintercanvas.h"

#include "chart/control/draw/canvaspainter.h"
#include "chart/control/draw/colors.h"
#include "chart/control/draw/textstamps.h"

#include <QImage>
#include <algorithm>

QPainterCanvas::QPainterCanvas(QImage& image, const QPalette& palette)
    : m_image(image), m_palette(palette) {
    const QImage::Format format = image.format();
    const DirectPixels direct =
        BeginCanvasPainter(m_painter, image,
                           format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
                               format == QImage::Format_ARGB32_Premultiplied);
    if (direct.Bits != nullptr) {
        m_raster.emplace(direct.Bits, image.width(), image.height(), direct.Stride);
        m_bits = direct.Bits;
        m_stride = direct.Stride;
    }
    m_painter.setPen(QPen(Qt::black, 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    m_painter.setBrush(Qt::white);
    m_brush = CanvasBrush{0xFFFFFF, false};
}

QColor QPainterCanvas::colorOf(TColor color) const {
    return ToQColor(color, m_palette);
}

void QPainterCanvas::SetPen(const CanvasPen& pen) {
    if (pen.Color != m_pen.Color) {
        m_penPixel = colorOf(pen.Color).rgba();
    }
    m_pen = pen;
    m_penDirty = true;
    const bool solid = pen.Style == psSolid || pen.Style == psInsideFrame;
    m_rasterPen = solid && pen.Width <= 1 && qAlpha(m_penPixel) == 255;
}

void QPainterCanvas::syncPen() {
    if (!m_penDirty) {
        return;
    }
    m_penDirty = false;
    // Width 0 draws as width 1, as the raster rules of the original do.
    QPen qpen(colorOf(m_pen.Color), m_pen.Width < 1 ? 1 : m_pen.Width, ToQtPenStyle(m_pen.Style),
              Qt::FlatCap, Qt::MiterJoin);
    if (m_pen.Width > 1) {
        qpen.setCapStyle(Qt::RoundCap);
        qpen.setJoinStyle(Qt::RoundJoin);
    }
    m_painter.setPen(qpen);
}

void QPainterCanvas::SetBrush(const CanvasBrush& brush) {
    m_brush = brush;
    m_brushDirty = true;
}

void QPainterCanvas::syncBrush() {
    if (!m_brushDirty) {
        return;
    }
    m_brushDirty = false;
    if (m_brush.Clear) {
        m_painter.setBrush(Qt::NoBrush);
    } else {
        m_painter.setBrush(colorOf(m_brush.Color));
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
    // ToQFont makes the font of a name and a height alone.
    m_fontKey = font.Name + '\n' + std::to_string(font.Height);
}

void QPainterCanvas::Line(QPoint from, QPoint to) {
    if (rasterizes() && LineRasterizer::Accepts(from) && LineRasterizer::Accepts(to)) {
        m_raster->Line(from, to, m_penPixel);
        return;
    }
    syncPen();
    m_painter.drawLine(from, to);
}

void QPainterCanvas::Polyline(const QPoint* points, int count) {
    if (count < 2) {
        return;
    }
    if (rasterizes() &&
        std::all_of(points, points + count, [](QPoint p) { return LineRasterizer::Accepts(p); })) {
        m_raster->Polyline(points, count, m_penPixel);
        return;
    }
    syncPen();
    m_painter.drawPolyline(points, count);
}

void QPainterCanvas::Polygon(const QPoint* points, int count) {
    if (count >= 2) {
        syncPen();
        syncBrush();
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
        syncPen();
        m_painter.setBrush(Qt::NoBrush);
        m_brushDirty = true;
        // With a one-pixel pen QRect(x, y, w, h) outlines x..x+w, so w is one less.
        m_painter.drawRect(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1));
    }
}

void QPainterCanvas::FillRect(int x1, int y1, int x2, int y2) {
    if (x2 <= x1 || y2 <= y1 || m_brush.Clear) {
        return;
    }
    m_painter.fillRect(QRect(x1, y1, x2 - x1, y2 - y1), colorOf(m_brush.Color));
}

void QPainterCanvas::SetPixel(QPoint at, TColor color) {
    if (at.x() < 0 || at.y() < 0 || at.x() >= m_image.width() || at.y() >= m_image.height()) {
        return;
    }
    // Dense data sets thousands of single pixels per repaint, nearly all in one colour.
    if (!m_pixelColorKnown || color != m_pixelColor) {
        m_pixelQColor = colorOf(color);
        m_pixelColor = color;
        m_pixelColorKnown = true;
    }
    if (m_raster && m_pixelQColor.alpha() == 255) {
        m_bits[at.y() * m_stride + at.x()] = m_pixelQColor.rgba();
    } else {
        m_painter.fillRect(QRect(at.x(), at.y(), 1, 1), m_pixelQColor);
    }
}

void QPainterCanvas::TextOut(int x, int y, const QString& text) {
    if (text.isEmpty()) {
        return;
    }
    if (!m_metrics) {
        SetFont(m_font);
    }
    const QPoint origin(x, y + m_metrics->ascent());
    const QImage::Format format = m_image.format();
    if (m_stamps != nullptr && m_fontColor.alpha() == 255 &&
        (format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
         format == QImage::Format_ARGB32_Premultiplied) &&
        m_image.devicePixelRatio() == 1.0 && m_painter.deviceTransform().isIdentity() &&
        !m_painter.hasClipping() &&
        m_stamps->Draw(m_image, m_fontKey, m_painter.font(), origin, text, m_fontColor.rgba())) {
        return;
    }
    m_painter.setPen(m_fontColor);
    m_penDirty = true;
    m_painter.drawText(origin, text);
}

QSize QPainterCanvas::TextExtent(const QString& text) {
    if (!m_metrics) {
        SetFont(m_font);
    }
    return QSize(m_metrics->horizontalAdvance(text), m_metrics->height());
}
