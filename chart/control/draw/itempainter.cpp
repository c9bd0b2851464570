// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/control/draw/itempainter.h"

#include "chart/core/plotchartcore.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// A loaded file may hold any pen width; wider than this only costs time.
int drawableWidth(int width) {
    return std::clamp(width, 0, 255);
}

// Grid positions along one axis of the active layer, in data units, lo < hi.
std::vector<double> gridPositions(const TickList& ticks, double spacing, double lo, double hi) {
    std::vector<double> out;
    if (!(lo < hi)) {
        return out;
    }
    if (spacing > 0.0) {
        double k = std::ceil(lo / spacing);
        for (int i = 0; i < ItemPainter::kMaxGridPositions; ++i) {
            const double v = (k + i) * spacing;
            if (!(v < hi)) {
                break;
            }
            out.push_back(v);
        }
        return out;
    }
    if (ticks.NumTicks() == 0) {
        out.push_back(lo);
        return out;
    }
    for (int i = 0; i < ticks.NumTicks() && i < ItemPainter::kMaxGridPositions; ++i) {
        const double v = ticks[i];
        if (v >= hi) {
            break;
        }
        out.push_back(v);
    }
    return out;
}

} // namespace

ItemPainter::ItemPainter(const PlotChartCore& chart, Canvas& canvas, int dx, int dy,
                         bool monochrome)
    : m_chart(chart), m_canvas(canvas), m_dx(dx), m_dy(dy), m_monochrome(monochrome),
      m_originX(dx - chart.MarginLeft()), m_originY(dy - chart.MarginTop()) {
    for (int layer = 1; layer <= ChartLayers::kLayerCount; ++layer) {
        m_mapping[static_cast<std::size_t>(layer - 1)] = chart.FastMappingOf(layer);
    }
}

void ItemPainter::Paint(bool withGrid) {
    if (withGrid) {
        DrawGrid();
    }
    BeginItems();
    DrawItems(m_chart.Items());
    FinishItems();
    DrawOutline();
}

bool ItemPainter::toPlotSlow(std::size_t index, int layer, double x, double y, QPoint& out) const {
    int px = 0;
    int py = 0;
    if (!m_chart.DataToPixel(layer, x, y, px, py)) {
        return false;
    }
    return remember(index, x, y, px, py, out);
}

void ItemPainter::applyPen() {
    m_canvas.SetPen(CanvasPen{m_state.PenColor, drawableWidth(m_state.PenWidth), m_state.PenStyle});
}

void ItemPainter::DrawGrid() {
    if (m_chart.GridStyle() == gsNone) {
        return;
    }
    const int layer = m_chart.ActiveLayer();
    const TScaleProps& sx = m_chart.ScaleX(layer);
    const TScaleProps& sy = m_chart.ScaleY(layer);
    const double xlo = std::min(sx.RangeLow(), sx.RangeHigh());
    const double xhi = std::max(sx.RangeLow(), sx.RangeHigh());
    const double ylo = std::min(sy.RangeLow(), sy.RangeHigh());
    const double yhi = std::max(sy.RangeLow(), sy.RangeHigh());
    const std::vector<double> xs =
        gridPositions(m_chart.Ticks(layer, TAxis::X), m_chart.GridDx(), xlo, xhi);
    const std::vector<double> ys =
        gridPositions(m_chart.Ticks(layer, TAxis::Y), m_chart.GridDy(), ylo, yhi);

    const GridStyleType style = m_chart.GridStyle();
    const TColor color = m_chart.GridColor();
    m_canvas.SetBrush(CanvasBrush{m_chart.ChartColor(), false});
    if (style == gsPoints) {
        int drawn = 0;
        for (double x : xs) {
            for (double y : ys) {
                if (drawn++ >= kMaxGridPositions) {
                    return;
                }
                QPoint p;
                if (toPlot(layer, x, y, p)) {
                    m_canvas.SetPixel(p, color);
                }
            }
        }
        return;
    }
    const bool dotted = style == gsHorizDotLines || style == gsVertDotLines || style == gsDotLines;
    const bool vertical =
        style == gsVertLines || style == gsLines || style == gsVertDotLines || style == gsDotLines;
    const bool horizontal = style == gsHorizLines || style == gsLines || style == gsHorizDotLines ||
                            style == gsDotLines;
    m_canvas.SetPen(CanvasPen{color, 1, dotted ? psDot : psSolid});
    QPoint a;
    QPoint b;
    if (vertical) {
        for (double x : xs) {
            if (toPlot(layer, x, ylo, a) && toPlot(layer, x, yhi, b)) {
                m_canvas.Line(a, b);
            }
        }
    }
    if (horizontal) {
        for (double y : ys) {
            if (toPlot(layer, xlo, y, a) && toPlot(layer, xhi, y, b)) {
                m_canvas.Line(a, b);
            }
        }
    }
    if (dotted) {
        m_canvas.SetPen(CanvasPen{color, 1, psSolid});
    }
}

void ItemPainter::flush() {
    if (m_state.Count == 0) {
        return;
    }
    m_canvas.Polyline(m_state.Points.data(), m_state.Count);
    m_state.PenPos = m_state.Points[static_cast<std::size_t>(m_state.Count - 1)];
    m_state.Start = m_state.PenPos;
    m_state.Count = 0;
}

void ItemPainter::append(QPoint p) {
    if (m_state.Count == 0) {
        m_state.Points[0] = m_state.Start;
        m_state.Count = 1;
    }
    m_state.Points[static_cast<std::size_t>(m_state.Count++)] = p;
    if (m_state.Count == kPolylinePoints) {
        flush();
        m_state.Points[0] = p;
        m_state.Count = 1;
    }
}

void ItemPainter::setPenIfDifferent(TColor color, TPenStyle style, TColor brush) {
    if (color != m_state.PenColor || style != m_state.PenStyle) {
        m_state.PenColor = color;
        m_state.PenStyle = style;
        applyPen();
    }
    if (brush != m_state.BrushColor) {
        m_state.BrushColor = brush;
        m_canvas.SetBrush(CanvasBrush{brush, false});
    }
}

void ItemPainter::BeginItems() {
    m_state.PenWidth = m_chart.LineWidth();
    m_state.PenPos = QPoint(m_dx, m_dy);
    m_state.Start = m_state.PenPos;
    m_state.PenColor = m_chart.ChartColor();
    m_state.BrushColor = m_chart.ChartColor();
    m_state.PenStyle = psSolid;
    applyPen();
    m_canvas.SetBrush(CanvasBrush{m_state.BrushColor, false});
    m_state.Count = 0;
}

void ItemPainter::ResumeItems(const State& state) {
    m_state = state;
    applyPen();
    m_canvas.SetBrush(CanvasBrush{m_state.BrushColor, false});
}

void ItemPainter::DrawItems(std::span<const ChartItem> items) {
    // The points of a chunk of items are converted first, in a loop of their own: the processor
    // then overlaps the conversions of neighbouring items, which the drawing in between would
    // keep apart. Converting has no effect besides its result.
    constexpr std::size_t kChunk = 128;
    std::array<QPoint, kChunk> starts;
    std::array<QPoint, kChunk> ends;
    std::array<unsigned char, kChunk> converted; // bit 0: start, bit 1: end of a line
    for (std::size_t first = 0; first < items.size(); first += kChunk) {
        const std::span<const ChartItem> chunk =
            items.subspan(first, std::min(kChunk, items.size() - first));
        for (std::size_t i = 0; i < chunk.size(); ++i) {
            const ChartItem& item = chunk[i];
            converted[i] = 0;
            // Foreign records (unknown kind, layer outside 1..16) are kept but never drawn.
            if (item.Kind < 1 || item.Kind > 16 || !IsDrawableLayer(item.Layer)) {
                continue;
            }
            // A NaN coordinate has no pixel.
            if (toPlot(item.Layer, item.X, item.Y, starts[i])) {
                converted[i] = 1;
                if (item.Kind == ikLine && toPlot(item.Layer, item.X2, item.Y2, ends[i])) {
                    converted[i] |= 2;
                }
            }
        }
        for (std::size_t i = 0; i < chunk.size(); ++i) {
            if (converted[i] != 0) {
                drawItem(chunk[i], starts[i], (converted[i] & 2) != 0, ends[i]);
            }
        }
    }
}

void ItemPainter::drawItem(const ChartItem& item, QPoint p, bool hasEnd, QPoint p2) {
    const int kind = item.Kind;
    const TColor color = m_monochrome ? clBlack : item.Color;
    const TColor brush = m_monochrome ? clSilver : item.FillColor;
    const TPenStyle style =
        item.PenStyle <= psInsideFrame ? static_cast<TPenStyle>(item.PenStyle) : psSolid;
    if (item.LineWidth != m_state.PenWidth) {
        flush();
        m_state.PenWidth = item.LineWidth;
        applyPen();
    }
    switch (kind) {
    case ikMoveTo:
        flush();
        m_state.Start = p;
        m_state.PenPos = p;
        break;
    case ikDrawTo:
        if (color != m_state.PenColor || style != m_state.PenStyle || brush != m_state.BrushColor) {
            flush();
            setPenIfDifferent(color, style, brush);
        }
        append(p);
        break;
    case ikLine: {
        if (!hasEnd) {
            break;
        }
        flush();
        setPenIfDifferent(color, style, brush);
        if (p == p2) {
            m_canvas.SetPixel(p, color);
        } else {
            m_canvas.Line(p, p2);
        }
        break;
    }
    default:
        flush();
        drawOther(kind, item.Layer, item, p, color);
        break;
    }
}

void ItemPainter::FinishItems() {
    flush();
    m_state.PenWidth = 1;
    applyPen();
}

// Kinds this program never creates, drawn simply so that foreign session files show something.
void ItemPainter::drawOther(int kind, int layer, const ChartItem& item, QPoint p, TColor color) {
    const TColor brush = m_monochrome ? clSilver : item.FillColor;
    QPoint p2;
    switch (kind) {
    case 1: // marker
        setPenIfDifferent(color, psSolid, brush);
        m_canvas.Rectangle(p.x() - 2, p.y() - 2, p.x() + 3, p.y() + 3);
        break;
    case 4:  // rectangle
    case 5:  // box
    case 16: // box, second form
        if (!toPlot(layer, item.X2, item.Y2, p2)) {
            break;
        }
        setPenIfDifferent(color, psSolid, brush);
        if (kind == 4 && item.Flag != 0) {
            m_canvas.SetBrush(CanvasBrush{brush, true});
        }
        m_canvas.Rectangle(std::min(p.x(), p2.x()), std::min(p.y(), p2.y()),
                           std::max(p.x(), p2.x()) + 1, std::max(p.y(), p2.y()) + 1);
        m_canvas.SetBrush(CanvasBrush{m_state.BrushColor, false});
        break;
    case 7:
    case 15: { // text: a length byte followed by up to 17 characters
        const int length = std::min<int>(item.Text[0], static_cast<int>(sizeof item.Text) - 1);
        const QString text =
            QString::fromLatin1(reinterpret_cast<const char*>(item.Text + 1), length);
        m_canvas.SetFont(TChartFont{"Arial", -11, color});
        m_canvas.TextOut(p.x(), p.y(), text);
        break;
    }
    case 9: { // ellipse
        if (!toPlot(layer, item.X2, item.Y2, p2)) {
            break;
        }
        setPenIfDifferent(color, psSolid, brush);
        constexpr int kSegments = 32;
        QPoint outline[kSegments];
        const double cx = (p.x() + p2.x()) / 2.0;
        const double cy = (p.y() + p2.y()) / 2.0;
        const double rx = std::abs(p2.x() - p.x()) / 2.0;
        const double ry = std::abs(p2.y() - p.y()) / 2.0;
        for (int i = 0; i < kSegments; ++i) {
            const double a = 2 * M_PI * i / kSegments;
            outline[i] = QPoint(static_cast<int>(std::lround(cx + rx * std::cos(a))),
                                static_cast<int>(std::lround(cy + ry * std::sin(a))));
        }
        m_canvas.Polygon(outline, kSegments);
        break;
    }
    case 14: // line with a head: drawn as its line
        if (toPlot(layer, item.X2, item.Y2, p2)) {
            setPenIfDifferent(color, psSolid, brush);
            m_canvas.Line(p, p2);
        }
        break;
    default: // 6 (figure), 10, 11, 12, 13: nothing
        break;
    }
}

void ItemPainter::DrawOutline() {
    const int w = m_chart.PlotWidth();
    const int h = m_chart.PlotHeight();
    m_canvas.SetPen(CanvasPen{m_chart.ChartFrameColor(), 1, psSolid});
    const QPoint outline[5] = {QPoint(m_dx, m_dy), QPoint(m_dx + w, m_dy),
                               QPoint(m_dx + w, m_dy + h), QPoint(m_dx, m_dy + h),
                               QPoint(m_dx, m_dy)};
    m_canvas.Polyline(outline, 5);
}
