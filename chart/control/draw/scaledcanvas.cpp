// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/control/draw/scaledcanvas.h"

#include "chart/control/draw/canvaspainter.h"
#include "chart/control/draw/colors.h"
#include "chart/control/draw/qpaintercanvas.h"

#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstdlib>

ScaledCanvas::ScaledCanvas(QImage& image, const QPalette& palette, double ratio, QPoint origin)
    : m_image(image), m_palette(palette), m_ratio(ratio), m_originX(std::floor(origin.x() * ratio)),
      m_originY(std::floor(origin.y() * ratio)), m_origin(origin) {
    const DirectPixels direct =
        BeginCanvasPainter(m_painter, image, image.format() == QImage::Format_RGB32);
    if (direct.Bits != nullptr) {
        m_stride = direct.Stride;
        m_raster.emplace(direct.Bits, image.width(), image.height(), m_stride);
        m_bits = direct.Bits;
    }
    m_brush = CanvasBrush{0xFFFFFF, false};
}

int ScaledCanvas::DeviceX(int x) const {
    return static_cast<int>(std::floor((static_cast<double>(x) + m_origin.x()) * m_ratio) -
                            m_originX);
}

int ScaledCanvas::DeviceY(int y) const {
    return static_cast<int>(std::floor((static_cast<double>(y) + m_origin.y()) * m_ratio) -
                            m_originY);
}

int ScaledCanvas::DeviceWidth(int width, double ratio) {
    return std::max(1, static_cast<int>(std::lround(std::max(1, width) * ratio)));
}

QColor ScaledCanvas::colorOf(TColor color) const {
    return ToQColor(color, m_palette);
}

QPointF ScaledCanvas::centre(QPoint p, int wd) const {
    // A one-pixel pen draws at whole coordinates, right of and below them as at ratio 1; a
    // wider band is centred so that it covers [D, D + wd).
    const double half = wd == 1 ? 0.0 : wd / 2.0;
    return QPointF(DeviceX(p.x()) + half, DeviceY(p.y()) + half);
}

void ScaledCanvas::SetPen(const CanvasPen& pen) {
    m_pen = pen;
    m_penDirty = true;
}

void ScaledCanvas::syncPen() {
    if (!m_penDirty) {
        return;
    }
    m_penDirty = false;
    const int wd = DeviceWidth(m_pen.Width, m_ratio);
    // Thin pens leave out the end pixel (flat caps at whole coordinates); wider ones are drawn
    // to a pulled-back end with square caps (see Polyline); wide pens of the drawing itself are
    // round, as at ratio 1.
    Qt::PenCapStyle cap = wd == 1 ? Qt::FlatCap : Qt::SquareCap;
    Qt::PenJoinStyle join = Qt::MiterJoin;
    if (m_pen.Width > 1) {
        cap = Qt::RoundCap;
        join = Qt::RoundJoin;
    }
    m_painter.setPen(QPen(colorOf(m_pen.Color), wd, ToQtPenStyle(m_pen.Style), cap, join));
}

void ScaledCanvas::SetBrush(const CanvasBrush& brush) {
    m_brush = brush;
    m_brushDirty = true;
}

void ScaledCanvas::syncBrush() {
    if (!m_brushDirty) {
        return;
    }
    m_brushDirty = false;
    m_painter.setBrush(m_brush.Clear ? QBrush(Qt::NoBrush) : QBrush(colorOf(m_brush.Color)));
}

void ScaledCanvas::SetFont(const TChartFont& font) {
    const bool same = m_metrics && font.Name == m_font.Name && font.Height == m_font.Height;
    m_font = font;
    m_fontColor = colorOf(font.Color);
    if (same) {
        return;
    }
    const QFont f = QPainterCanvas::ToQFont(font);
    m_metrics.emplace(f, &m_image);
    QFont device = f;
    device.setPixelSize(std::max(1, static_cast<int>(std::lround(f.pixelSize() * m_ratio))));
    m_painter.setFont(device);
    m_deviceMetrics.emplace(device, &m_image);
}

void ScaledCanvas::Line(QPoint from, QPoint to) {
    const QPoint points[2] = {from, to};
    Polyline(points, 2);
}

void ScaledCanvas::Polyline(const QPoint* points, int count) {
    if (count < 2) {
        return;
    }
    // Repeated points draw nothing at ratio 1; a polyline of one point draws nothing at all.
    std::vector<QPoint> distinct;
    distinct.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        if (distinct.empty() || distinct.back() != points[i]) {
            distinct.push_back(points[i]);
        }
    }
    if (distinct.size() < 2) {
        return;
    }
    const int wd = DeviceWidth(m_pen.Width, m_ratio);
    const bool solid = m_pen.Style == psSolid || m_pen.Style == psInsideFrame;
    if (m_raster && solid && m_pen.Width <= 1 && colorOf(m_pen.Color).alpha() == 255 &&
        std::all_of(distinct.begin(), distinct.end(),
                    [](QPoint p) { return LineRasterizer::Accepts(p); })) {
        rasterBand(distinct, wd);
        return;
    }
    syncPen();
    m_points.clear();
    if (wd == 1 || m_pen.Width > 1) {
        for (QPoint p : distinct) {
            m_points.push_back(centre(p, wd));
        }
        m_painter.drawPolyline(m_points.data(), static_cast<int>(m_points.size()));
        return;
    }
    // The band of the last segment ends where its last pixel at ratio 1 ends, at D(end) along the
    // major axis: its end is pulled back by the pen width, and the square cap adds half of it.
    for (std::size_t i = 0; i + 1 < distinct.size(); ++i) {
        m_points.push_back(centre(distinct[i], wd));
    }
    const QPoint p = distinct[distinct.size() - 2];
    const QPointF cp = centre(p, wd);
    const QPointF d = centre(distinct.back(), wd) - cp;
    const double major = std::max(std::abs(d.x()), std::abs(d.y()));
    if (major > wd) {
        m_points.push_back(cp + d * ((major - wd) / major));
    }
    if (m_points.size() == 1) {
        if (m_pen.Style != psClear) {
            fillDevice(QRect(DeviceX(p.x()), DeviceY(p.y()), wd, wd), colorOf(m_pen.Color));
        }
        return;
    }
    m_painter.drawPolyline(m_points.data(), static_cast<int>(m_points.size()));
}

void ScaledCanvas::fillBlock(int x, int y, int size, std::uint32_t pixel) {
    const int x0 = std::max(x, 0);
    const int x1 = std::min(x + size, m_image.width());
    const int y0 = std::max(y, 0);
    const int y1 = std::min(y + size, m_image.height());
    if (x0 >= x1) {
        return;
    }
    for (int row = y0; row < y1; ++row) {
        std::fill(m_bits + row * m_stride + x0, m_bits + row * m_stride + x1, pixel);
    }
}

void ScaledCanvas::rasterBand(const std::vector<QPoint>& points, int wd) {
    // Dense data draws tens of thousands of segments per repaint; a painter's wide stroke costs
    // a hundred times more than these lines.
    const std::uint32_t pixel = colorOf(m_pen.Color).rgba();
    QPoint a(DeviceX(points[0].x()), DeviceY(points[0].y()));
    for (std::size_t i = 1; i < points.size(); ++i) {
        const QPoint b(DeviceX(points[i].x()), DeviceY(points[i].y()));
        const QPoint across =
            std::abs(b.x() - a.x()) >= std::abs(b.y() - a.y()) ? QPoint(0, 1) : QPoint(1, 0);
        for (int k = 0; k < wd; ++k) {
            if (LineRasterizer::Accepts(a + across * k) &&
                LineRasterizer::Accepts(b + across * k)) {
                m_raster->Line(a + across * k, b + across * k, pixel);
            }
        }
        // Where the direction turns, the bands of the two segments leave a notch in the
        // point's block.
        fillBlock(a.x(), a.y(), wd, pixel);
        a = b;
    }
}

void ScaledCanvas::Polygon(const QPoint* points, int count) {
    if (count < 2) {
        return;
    }
    syncPen();
    syncBrush();
    const int wd = DeviceWidth(m_pen.Width, m_ratio);
    m_points.clear();
    for (int i = 0; i < count; ++i) {
        m_points.push_back(centre(points[i], wd));
    }
    m_painter.drawPolygon(m_points.data(), count);
}

void ScaledCanvas::Rectangle(int x1, int y1, int x2, int y2) {
    if (x2 <= x1 || y2 <= y1) {
        return;
    }
    if (!m_brush.Clear) {
        fillDevice(
            QRect(DeviceX(x1), DeviceY(y1), DeviceX(x2) - DeviceX(x1), DeviceY(y2) - DeviceY(y1)),
            colorOf(m_brush.Color));
    }
    if (m_pen.Style != psClear) {
        syncPen();
        m_painter.setBrush(Qt::NoBrush);
        m_brushDirty = true;
        const int wd = DeviceWidth(m_pen.Width, m_ratio);
        // The outline runs through the pixels x1..x2-1 and y1..y2-1.
        m_painter.drawRect(QRectF(centre(QPoint(x1, y1), wd), centre(QPoint(x2 - 1, y2 - 1), wd)));
    }
}

void ScaledCanvas::FillRect(int x1, int y1, int x2, int y2) {
    if (x2 <= x1 || y2 <= y1 || m_brush.Clear) {
        return;
    }
    fillDevice(
        QRect(DeviceX(x1), DeviceY(y1), DeviceX(x2) - DeviceX(x1), DeviceY(y2) - DeviceY(y1)),
        colorOf(m_brush.Color));
}

void ScaledCanvas::fillDevice(const QRect& device, const QColor& colour) {
    if (!device.isEmpty()) {
        m_painter.fillRect(device, colour);
    }
}

void ScaledCanvas::SetPixel(QPoint at, TColor color) {
    const int wd = DeviceWidth(1, m_ratio);
    const QColor colour = colorOf(color);
    if (m_raster && colour.alpha() == 255) {
        fillBlock(DeviceX(at.x()), DeviceY(at.y()), wd, colour.rgba());
    } else {
        fillDevice(QRect(DeviceX(at.x()), DeviceY(at.y()), wd, wd), colour);
    }
}

void ScaledCanvas::TextOut(int x, int y, const QString& text) {
    if (text.isEmpty()) {
        return;
    }
    if (!m_metrics) {
        SetFont(m_font);
    }
    m_painter.setPen(m_fontColor);
    m_penDirty = true;
    m_painter.drawText(QPoint(DeviceX(x), DeviceY(y) + m_deviceMetrics->ascent()), text);
}

QSize ScaledCanvas::TextExtent(const QString& text) {
    if (!m_metrics) {
        SetFont(m_font);
    }
    return QSize(m_metrics->horizontalAdvance(text), m_metrics->height());
}
