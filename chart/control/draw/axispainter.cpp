// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/control/draw/axispainter.h"

#include "chart/control/draw/qpaintercanvas.h"
#include "chart/core/plotchartcore.h"

#include <QFontMetrics>
#include <QPoint>
#include <algorithm>
#include <map>
#include <tuple>
#include <utility>

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// Font metrics are costly to build; the chart uses two or three fonts.
const QFontMetrics& metricsOf(const TChartFont& font) {
    static std::map<std::pair<std::string, int>, QFontMetrics> cache;
    auto key = std::make_pair(font.Name, font.Height);
    auto it = cache.find(key);
    if (it == cache.end()) {
        it = cache.emplace(key, QFontMetrics(QPainterCanvas::ToQFont(font))).first;
    }
    return it->second;
}

// Axis segments include both ends while a canvas line leaves out its end pixel: the line is drawn
// one pixel beyond the segment's end. Segments are horizontal or vertical.
void drawSegment(Canvas& canvas, const AxisSegment& s, QPoint offset) {
    int dx = (s.X2 > s.X1) - (s.X2 < s.X1);
    const int dy = (s.Y2 > s.Y1) - (s.Y2 < s.Y1);
    if (dx == 0 && dy == 0) {
        dx = 1; // one pixel
    }
    canvas.Line(QPoint(s.X1, s.Y1) + offset, QPoint(s.X2 + dx, s.Y2 + dy) + offset);
}

QRect segmentBounds(const AxisSegment& s) {
    return QRect(QPoint(std::min(s.X1, s.X2), std::min(s.Y1, s.Y2)),
                 QPoint(std::max(s.X1, s.X2), std::max(s.Y1, s.Y2)));
}

// What QPainterCanvas::TextOut(x, y, text) may paint: Qt's bounding rectangle covers at least
// the pixels the glyphs cover; the advance box and a margin for antialiasing are added.
QRect textBounds(const TChartFont& font, const QPaintDevice& device, const AxisText& text) {
    if (text.Text.empty()) {
        return {};
    }
    // Measuring shapes the text; a scrolling axis shows mostly the texts of the last layouts
    // again. Relative to the text's position, per font and resolution.
    using Key = std::tuple<std::string, int, int, int, std::string>;
    static std::map<Key, QRect> known;
    Key key(font.Name, font.Height, device.logicalDpiX(), device.logicalDpiY(), text.Text);
    auto it = known.find(key);
    if (it == known.end()) {
        if (known.size() >= 4096) {
            known.clear(); // bounded: an endless scroll shows ever new numbers
        }
        // The metrics of the font QPainterCanvas::SetFont selects on that device.
        const QFontMetrics metrics(QPainterCanvas::ToQFont(font), &device);
        const QString t = qs(text.Text);
        const QRect ink = metrics.boundingRect(t).translated(0, metrics.ascent());
        const QRect box(0, 0, metrics.horizontalAdvance(t), metrics.height());
        it = known.emplace(key, (ink | box).adjusted(-2, -2, 2, 2)).first;
    }
    return it->second.translated(text.X, text.Y);
}

} // namespace

int CanvasTextMeasure::TextWidth(const TChartFont& font, const std::string& text) const {
    m_canvas->SetFont(font);
    return m_canvas->TextExtent(qs(text)).width();
}

int CanvasTextMeasure::TextHeight(const TChartFont& font, const std::string& text) const {
    m_canvas->SetFont(font);
    return m_canvas->TextExtent(qs(text)).height();
}

int QtTextMeasure::TextWidth(const TChartFont& font, const std::string& text) const {
    // Shaping a label costs microseconds and the axes measure every label at every layout; a
    // scrolling range shows mostly the texts of the last layouts again. Same key as the metrics.
    using Key = std::tuple<std::string, int, std::string>;
    static std::map<Key, int> widths;
    Key key(font.Name, font.Height, text);
    auto it = widths.find(key);
    if (it != widths.end()) {
        return it->second;
    }
    if (widths.size() >= 4096) {
        widths.clear(); // bounded: an endless scroll shows ever new numbers
    }
    const int width = metricsOf(font).horizontalAdvance(qs(text));
    widths.emplace(std::move(key), width);
    return width;
}

int QtTextMeasure::TextHeight(const TChartFont& font, const std::string&) const {
    return metricsOf(font).height();
}

void DrawAxis(Canvas& canvas, const AxisDrawing& axis, QPoint offset, const QRect& within,
              const QPaintDevice* metricsDevice) {
    if (!axis.Visible) {
        return;
    }
    const auto reaches = [&](const AxisText& text) {
        return metricsDevice == nullptr ||
               textBounds(axis.Font, *metricsDevice, text).intersects(within);
    };
    canvas.SetPen(CanvasPen{axis.Color, 1, psSolid});
    for (const AxisSegment& tick : axis.Ticks) {
        drawSegment(canvas, tick, offset);
    }
    drawSegment(canvas, axis.AxisLine, offset);
    canvas.SetBrush(CanvasBrush{0, true});
    canvas.SetFont(axis.Font);
    for (const AxisText& label : axis.Labels) {
        if (reaches(label)) {
            canvas.TextOut(label.X + offset.x(), label.Y + offset.y(), qs(label.Text));
        }
    }
    if (axis.Caption && reaches(*axis.Caption)) {
        canvas.TextOut(axis.Caption->X + offset.x(), axis.Caption->Y + offset.y(),
                       qs(axis.Caption->Text));
    }
}

QRect AxisBounds(const AxisDrawing& axis, const QPaintDevice& metricsDevice) {
    if (!axis.Visible) {
        return {};
    }
    // A segment is drawn one pixel beyond its end (drawSegment), which stays inside this
    // rectangle grown by one.
    QRect bounds = segmentBounds(axis.AxisLine).adjusted(-1, -1, 1, 1);
    for (const AxisSegment& tick : axis.Ticks) {
        bounds |= segmentBounds(tick).adjusted(-1, -1, 1, 1);
    }
    for (const AxisText& label : axis.Labels) {
        bounds |= textBounds(axis.Font, metricsDevice, label);
    }
    if (axis.Caption) {
        bounds |= textBounds(axis.Font, metricsDevice, *axis.Caption);
    }
    return bounds;
}

void DrawControlBackground(Canvas& canvas, const PlotChartCore& chart) {
    const int w = chart.Width();
    const int h = chart.Height();
    const int s = chart.ShadowWidth();

    canvas.SetPen(CanvasPen{chart.WindColor(), 1, psSolid});
    canvas.SetBrush(CanvasBrush{chart.WindColor(), false});
    canvas.Rectangle(0, 0, w, h);

    if (s > 0) {
        canvas.SetBrush(CanvasBrush{chart.ShadowBakColor(), false});
        canvas.FillRect(w - s, 0, w, s);
        canvas.FillRect(0, h - s, s, h);
        const bool flying = chart.ShadowStyle() == ssFlying;
        const int e = flying ? s - 1 : 0;
        canvas.SetBrush(CanvasBrush{chart.ShadowColor(), false});
        canvas.SetPen(CanvasPen{flying ? chart.ShadowColor() : clBlack, 1, psSolid});
        const QPoint bottom[4] = {QPoint(e, h - s), QPoint(s - 1, h - 1), QPoint(w - 1, h - 1),
                                  QPoint(w - s, h - s)};
        canvas.Polygon(bottom, 4);
        const QPoint right[4] = {QPoint(w - s, h - s), QPoint(w - 1, h - 1), QPoint(w - 1, s - 1),
                                 QPoint(w - s, e)};
        canvas.Polygon(right, 4);
        canvas.SetPen(CanvasPen{clBlack, 1, psSolid});
        const QPoint outline[5] = {QPoint(0, 0), QPoint(w - s, 0), QPoint(w - s, h - s),
                                   QPoint(0, h - s), QPoint(0, 0)};
        canvas.Polyline(outline, 5);
    }

    if (!chart.Caption().empty()) {
        canvas.SetPen(CanvasPen{chart.ChartFrameColor(), 1, psSolid});
        canvas.SetBrush(CanvasBrush{0, true});
        canvas.SetFont(chart.Font());
        const QString text = qs(chart.Caption());
        const int ml = chart.MarginLeft();
        const int mr = chart.MarginRight();
        const int mt = chart.MarginTop();
        const int mb = chart.MarginBottom();
        int x = 0;
        switch (chart.CaptionAnchorHoriz()) {
        case cahControlLeft:
            x = 0;
            break;
        case cahChartLeft:
            x = ml;
            break;
        case cahChartCenter:
            x = ml + (w - ml - mr - s) / 2;
            break;
        case cahChartRight:
            x = w - mr - s;
            break;
        case cahControlRight:
            x = w;
            break;
        }
        int y = 0;
        switch (chart.CaptionAnchorVert()) {
        case cavControlTop:
            y = 0;
            break;
        case cavChartTop:
            y = mt;
            break;
        case cavChartCenter:
            y = mt + (h - mt - mb - s) / 2;
            break;
        case cavChartBottom:
            y = h - mb;
            break;
        case cavControlBottom:
            y = h;
            break;
        }
        x += chart.CaptionPosX();
        y += chart.CaptionPosY();
        const int textWidth = canvas.TextExtent(text).width();
        if (chart.CaptionAlignment() == taRightJustify) {
            x -= textWidth;
        } else if (chart.CaptionAlignment() == taCenter) {
            x -= textWidth / 2;
        }
        canvas.TextOut(x, y, text);
    }
}
