// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/control/surface/itemrenderer.h"

#include "chart/control/draw/boundscanvas.h"
#include "chart/control/draw/colors.h"
#include "chart/control/draw/devicecanvas.h"
#include "chart/control/draw/qpaintercanvas.h"
#include "chart/core/plotchartcore.h"

#include <algorithm>
#include <cmath>
#include <cstring>

ItemRenderer::Key ItemRenderer::keyOf(const PlotChartCore& chart, const QPalette& palette,
                                      double ratio) {
    Key key;
    key.Ratio = ratio;
    key.Width = chart.Width();
    key.Height = chart.Height();
    key.PlotWidth = chart.PlotWidth();
    key.PlotHeight = chart.PlotHeight();
    key.MarginLeft = chart.MarginLeft();
    key.MarginTop = chart.MarginTop();
    for (int layer = 1; layer <= ChartLayers::kLayerCount; ++layer) {
        LayerKey& l = key.Layers[static_cast<std::size_t>(layer - 1)];
        const TScaleProps& x = chart.ScaleX(layer);
        const TScaleProps& y = chart.ScaleY(layer);
        l.Kx = chart.Kx(layer);
        l.Ox = chart.Ox(layer);
        l.Ky = chart.Ky(layer);
        l.Oy = chart.Oy(layer);
        l.XLow = x.RangeLow();
        l.XHigh = x.RangeHigh();
        l.YLow = y.RangeLow();
        l.YHigh = y.RangeHigh();
        l.XLog = x.Logarithmic();
        l.YLog = y.Logarithmic();
    }
    key.GridStyle = chart.GridStyle();
    key.GridColor = chart.GridColor();
    key.GridDx = chart.GridDx();
    key.GridDy = chart.GridDy();
    key.ActiveLayer = chart.ActiveLayer();
    if (chart.GridStyle() != gsNone) {
        const TickList& tx = chart.Ticks(key.ActiveLayer, TAxis::X);
        const TickList& ty = chart.Ticks(key.ActiveLayer, TAxis::Y);
        key.TicksX.assign(tx.begin(), tx.end());
        key.TicksY.assign(ty.begin(), ty.end());
    }
    key.ChartColor = chart.ChartColor();
    key.ChartFrameColor = chart.ChartFrameColor();
    key.LineWidth = chart.LineWidth();
    key.Palette = palette.cacheKey();
    return key;
}

QSize ItemRenderer::PlotImageSize(const PlotChartCore& chart, double ratio) {
    const int w = std::max(0, chart.PlotWidth() + 1);
    const int h = std::max(0, chart.PlotHeight() + 1);
    if (ratio == 1.0) {
        return QSize(w, h);
    }
    const int left = chart.MarginLeft();
    const int top = chart.MarginTop();
    return QSize(
        w == 0 ? 0 : DeviceCanvas::Extent(left + w, ratio) - DeviceCanvas::Device(left, ratio),
        h == 0 ? 0 : DeviceCanvas::Extent(top + h, ratio) - DeviceCanvas::Device(top, ratio));
}

void ItemRenderer::BlankPlotImage(const PlotChartCore& chart, const QPalette& palette,
                                  QImage& image, double ratio) {
    const QSize size = PlotImageSize(chart, ratio);
    const int w = size.width();
    const int h = size.height();
    if (image.size() != size || image.format() != QImage::Format_RGB32) {
        image = w > 0 && h > 0 ? QImage(size, QImage::Format_RGB32) : QImage();
    }
    if (image.isNull()) {
        return;
    }
    if (ratio != 1.0) {
        // The fill reaches D(w + 1), the outline's band the image's last pixels.
        DeviceCanvas canvas(image, palette, ratio, QPoint(chart.MarginLeft(), chart.MarginTop()));
        canvas.Get().SetPen(CanvasPen{chart.ChartFrameColor(), 1, psSolid});
        canvas.Get().SetBrush(CanvasBrush{chart.ChartColor(), false});
        canvas.Get().Rectangle(0, 0, chart.PlotWidth() + 1, chart.PlotHeight() + 1);
        return;
    }
    // Every fresh render starts here, in trend mode at every repaint: opaque colours are written
    // straight into the pixels, as the painter's fill and one-pixel outline would write them.
    const QColor fill = ToQColor(chart.ChartColor(), palette);
    const QColor frame = ToQColor(chart.ChartFrameColor(), palette);
    if (w >= 2 && h >= 2 && fill.alpha() == 255 && frame.alpha() == 255) {
        const QRgb inside = fill.rgba();
        const QRgb edge = frame.rgba();
        for (int y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            if (y == 0 || y == h - 1) {
                std::fill(row, row + w, edge);
            } else {
                row[0] = edge;
                std::fill(row + 1, row + w - 1, inside);
                row[w - 1] = edge;
            }
        }
        return;
    }
    QPainterCanvas canvas(image, palette);
    canvas.SetPen(CanvasPen{chart.ChartFrameColor(), 1, psSolid});
    canvas.SetBrush(CanvasBrush{chart.ChartColor(), false});
    canvas.Rectangle(0, 0, image.width(), image.height());
}

bool ItemRenderer::IsCurrent(const PlotChartCore& chart, const QPalette& palette,
                             double ratio) const {
    return m_valid && chart.Store().Generation() == m_generation && chart.ItemCount() == m_drawn &&
           keyOf(chart, palette, ratio) == m_key;
}

bool ItemRenderer::StartsAfresh(const PlotChartCore& chart, bool plotIsLastRender) const {
    if (!m_valid || !plotIsLastRender || chart.Store().Generation() != m_generation ||
        chart.ItemCount() < m_drawn) {
        return true;
    }
    for (int layer = 1; layer <= ChartLayers::kLayerCount; ++layer) {
        const LayerKey& l = m_key.Layers[static_cast<std::size_t>(layer - 1)];
        const TScaleProps& x = chart.ScaleX(layer);
        const TScaleProps& y = chart.ScaleY(layer);
        if (x.RangeLow() != l.XLow || x.RangeHigh() != l.XHigh || y.RangeLow() != l.YLow ||
            y.RangeHigh() != l.YHigh) {
            return true;
        }
    }
    return false;
}

namespace {

// The pixels the pending polyline of `state` draws (a polyline needs two points), on the 1× grid.
QRect pendingBounds(const ItemPainter::State& state) {
    return state.Count >= 2
               ? BoundsCanvas::PenBounds(state.Points.data(), state.Count, state.PenWidth)
               : QRect();
}

// Where calls are watched for what they touch. At r = 1 the image itself; at r ≠ 1 the device
// band of a pen starts at its 1× pixel and is round(w · r) wide, so a wide pen left of or above
// the plot may reach into the image though its 1× bounds do not: nothing is cut off before the
// bounds are taken to device pixels (item pixels are clamped far inside this).
QRect boundsArea(const QImage& plot, double ratio) {
    constexpr int kFar = 4 * ItemPainter::kPixelLimit;
    return ratio == 1.0 ? plot.rect() : QRect(QPoint(-kFar, -kFar), QPoint(kFar, kFar));
}

} // namespace

QRect ItemRenderer::deviceRect(const PlotChartCore& chart, const QRect& bounds, int penWidth,
                               double ratio, const QRect& image) {
    if (ratio == 1.0 || bounds.isEmpty()) {
        return bounds & image;
    }
    // As ScaledCanvas places the 1× pixel v of an image whose (0, 0) lies at `origin`.
    const auto device = [ratio](int v, int origin) {
        return static_cast<int>(std::floor((static_cast<double>(v) + origin) * ratio) -
                                std::floor(origin * ratio));
    };
    const int left = chart.MarginLeft();
    const int top = chart.MarginTop();
    // Every call draws its pen's band from D of its 1× pixel on, round(w · r) wide; aliased
    // painter strokes may round by a pixel either way, and two more cost nothing.
    const int wd = ScaledCanvas::DeviceWidth(std::clamp(penWidth, 1, 255), ratio);
    constexpr int kSpare = 2;
    const QPoint from(device(bounds.left(), left) - kSpare, device(bounds.top(), top) - kSpare);
    const QPoint to(device(bounds.right(), left) + wd + kSpare,
                    device(bounds.bottom(), top) + wd + kSpare);
    return QRect(from, to) & image;
}

QRect ItemRenderer::Render(const PlotChartCore& chart, const QPalette& palette, QImage& plot,
                           bool plotIsLastRender, double ratio) {
    Key key = keyOf(chart, palette, ratio);
    const std::uint64_t generation = chart.Store().Generation();
    const int count = chart.ItemCount();
    const QSize size = PlotImageSize(chart, ratio);
    const QPoint origin(chart.MarginLeft(), chart.MarginTop());
    // The pass goes on on `plot` itself when it still is the last render: taking off what went
    // onto it only for showing (the pending polyline and the outline) gives the committed image.
    const bool continues = m_valid && plotIsLastRender && generation == m_generation &&
                           count >= m_drawn && key == m_key && plot.size() == size &&
                           plot.format() == QImage::Format_RGB32;
    bool afresh = false;
    if (continues) {
        ++m_continued;
        if (count == m_drawn) {
            return {}; // plot already is this very render
        }
        restoreUnderOverlays(plot);
    } else {
        ++m_started;
        afresh = true;
        m_valid = false;
        m_drawn = 0;
        BlankPlotImage(chart, palette, plot, ratio);
        if (plot.isNull()) {
            return {};
        }
        // The whole image is handed on: where the items drew does not matter.
        DeviceCanvas canvas(plot, palette, ratio, origin);
        ItemPainter painter(chart, canvas.Get(), 0, 0, false);
        painter.DrawGrid();
        painter.BeginItems();
        painter.DrawItems(chart.Items());
        m_state = painter.CurrentState();
        m_drawn = count;
        m_key = std::move(key);
        m_generation = generation;
        m_lastPending = QRect();
    }
    m_valid = false; // until image, state and count agree again
    // Pixels a continued render rewrites: what the new items drew and where the last and the
    // new pending polyline lie.
    QRect changed = m_lastPending;
    if (count > m_drawn) {
        DeviceCanvas canvas(plot, palette, ratio, origin);
        BoundsCanvas bounds(canvas.Get(), boundsArea(plot, ratio));
        ItemPainter painter(chart, bounds, 0, 0, false);
        painter.ResumeItems(m_state);
        painter.DrawItems(chart.Items().subspan(static_cast<std::size_t>(m_drawn)));
        m_state = painter.CurrentState();
        changed |= deviceRect(chart, bounds.Touched(), bounds.WidestPen(), ratio, plot.rect());
        m_drawn = count;
    }
    m_lastPending = deviceRect(chart, pendingBounds(m_state), m_state.PenWidth, ratio, plot.rect());
    changed = afresh ? plot.rect() : (changed | m_lastPending) & plot.rect();
    saveUnderOverlays(plot);
    m_valid = true;
    // The pending polyline and the outline go onto the output only: the next pass continues
    // without them.
    DeviceCanvas canvas(plot, palette, ratio, origin);
    ItemPainter painter(chart, canvas.Get(), 0, 0, false);
    painter.ResumeItems(m_state);
    painter.FinishItems();
    painter.DrawOutline();
    return changed;
}

void ItemRenderer::saveUnderOverlays(const QImage& plot) {
    // The outline needs nothing kept: it covers the image's edge pixels (at r ≠ 1 the outer band
    // of its pen's width) whatever lay below, and no drawing reads the pixels it draws over.
    m_underPending = m_lastPending.isEmpty() ? QImage() : plot.copy(m_lastPending);
}

void ItemRenderer::restoreUnderOverlays(QImage& plot) const {
    if (m_underPending.isNull()) {
        return;
    }
    uchar* bits = plot.bits();
    const qsizetype stride = plot.bytesPerLine();
    const auto bytes = static_cast<std::size_t>(m_underPending.width()) * 4;
    for (int y = 0; y < m_underPending.height(); ++y) {
        std::memcpy(bits + (m_lastPending.top() + y) * stride + m_lastPending.left() * 4,
                    m_underPending.constScanLine(y), bytes);
    }
}
