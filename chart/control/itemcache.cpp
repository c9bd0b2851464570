#include "chart/control/itemcache.h"

#include "chart/control/qpaintercanvas.h"
#include "chart/core/plotchartcore.h"

#include <algorithm>

ItemCache::Key ItemCache::keyOf(const PlotChartCore& chart, const QPalette& palette) {
    Key key;
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

void ItemCache::BlankPlotImage(const PlotChartCore& chart, const QPalette& palette, QImage& image) {
    const int w = std::max(0, chart.PlotWidth() + 1);
    const int h = std::max(0, chart.PlotHeight() + 1);
    if (image.width() != w || image.height() != h || image.format() != QImage::Format_RGB32) {
        image = w > 0 && h > 0 ? QImage(w, h, QImage::Format_RGB32) : QImage();
    }
    if (image.isNull()) {
        return;
    }
    QPainterCanvas canvas(image, palette);
    canvas.SetPen(CanvasPen{chart.ChartFrameColor(), 1, psSolid});
    canvas.SetBrush(CanvasBrush{chart.ChartColor(), false});
    canvas.Rectangle(0, 0, image.width(), image.height());
}

bool ItemCache::IsCurrent(const PlotChartCore& chart, const QPalette& palette) const {
    return m_valid && chart.Store().Generation() == m_generation && chart.ItemCount() == m_drawn &&
           keyOf(chart, palette) == m_key;
}

void ItemCache::Render(const PlotChartCore& chart, const QPalette& palette, QImage& plot) {
    Key key = keyOf(chart, palette);
    const std::uint64_t generation = chart.Store().Generation();
    const int count = chart.ItemCount();
    if (m_valid && generation == m_generation && count >= m_drawn && key == m_key) {
        ++m_continued;
    } else {
        ++m_started;
        m_valid = false;
        m_drawn = 0;
        BlankPlotImage(chart, palette, m_committed);
        if (m_committed.isNull()) {
            plot = QImage();
            return;
        }
        QPainterCanvas canvas(m_committed, palette);
        ItemPainter painter(chart, canvas, 0, 0, false);
        painter.DrawGrid();
        painter.BeginItems();
        m_state = painter.CurrentState();
        m_key = std::move(key);
        m_generation = generation;
        m_valid = true;
    }
    if (count > m_drawn) {
        m_valid = false; // until image, state and count agree again
        QPainterCanvas canvas(m_committed, palette);
        ItemPainter painter(chart, canvas, 0, 0, false);
        painter.ResumeItems(m_state);
        painter.DrawItems(chart.Items().subspan(static_cast<std::size_t>(m_drawn)));
        m_state = painter.CurrentState();
        m_drawn = count;
        m_valid = true;
    }
    // The pending polyline and the outline go onto a copy: the next pass continues without them.
    plot = m_committed;
    QPainterCanvas canvas(plot, palette);
    ItemPainter painter(chart, canvas, 0, 0, false);
    painter.ResumeItems(m_state);
    painter.FinishItems();
    painter.DrawOutline();
}
