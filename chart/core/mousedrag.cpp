// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/core/mousedrag.h"

#include <algorithm>

namespace {

PlotGeometry geometryOf(const ChartLayers& chart) {
    return {chart.Width(),     chart.Height(),       chart.MarginLeft(), chart.MarginRight(),
            chart.MarginTop(), chart.MarginBottom(), chart.ShadowWidth()};
}

AxisSpan currentSpan(const TScaleProps& props) {
    return {props.RangeLow(), props.RangeHigh()};
}

} // namespace

const TDragStart& MouseDrag::DragStart(int layer) const {
    return m_start[static_cast<std::size_t>(std::clamp(layer, 1, ChartLayers::kLayerCount) - 1)];
}

MouseDrag::Step MouseDrag::Move(ChartLayers& chart, TMouseActMode mode, bool leftHeld, int x, int y,
                                bool isometric, const LayerMask& mouseControlled) {
    if (!IsDragMode(mode)) {
        return Step::Idle;
    }
    if (!leftHeld) {
        m_dragActive = false;
        return Step::Ended;
    }
    if (!m_dragActive) {
        takeStart(chart, x, y);
        m_dragActive = true;
        return Step::Started;
    }
    const PlotGeometry geometry = geometryOf(chart);
    if (!geometry.Contains(x, y) || !geometry.HasArea()) {
        return Step::Outside;
    }
    if (!IsPanZoomMode(mode)) {
        // Cross-hairs and labels: this chart shows none, so there is nothing to move.
        return Step::Dragged;
    }
    const bool wasSuspended = chart.PaintSuspended();
    chart.SetPaintSuspended(true);
    try {
        for (int layer = 1; layer <= ChartLayers::kLayerCount; ++layer) {
            if (mouseControlled[static_cast<std::size_t>(layer)]) {
                stepLayer(chart, layer, mode, x, y, isometric);
            }
        }
    } catch (...) {
        // A failed range update must not leave the chart unable to paint.
        chart.SetPaintSuspended(wasSuspended);
        throw;
    }
    chart.SuspendPaint(wasSuspended);
    return Step::Moved;
}

void MouseDrag::takeStart(const ChartLayers& chart, int x, int y) {
    for (int layer = 1; layer <= ChartLayers::kLayerCount; ++layer) {
        TDragStart& s = m_start[static_cast<std::size_t>(layer - 1)];
        s.X0 = x;
        s.Y0 = y;
        s.XLow0 = chart.ScaleX(layer).RangeLow();
        s.XHigh0 = chart.ScaleX(layer).RangeHigh();
        s.YLow0 = chart.ScaleY(layer).RangeLow();
        s.YHigh0 = chart.ScaleY(layer).RangeHigh();
    }
}

void MouseDrag::stepLayer(ChartLayers& chart, int layer, TMouseActMode mode, int x, int y,
                          bool isometric) {
    const TDragStart& s = DragStart(layer);
    const TScaleProps& px = chart.ScaleX(layer);
    const TScaleProps& py = chart.ScaleY(layer);
    const AxisSpan startX{s.XLow0, s.XHigh0};
    const AxisSpan startY{s.YLow0, s.YHigh0};
    AxisSpan newX = currentSpan(px);
    AxisSpan newY = currentSpan(py);

    if (mode == maZoomDrag) {
        const double fx = ZoomFactorX(x, s.X0, chart.Width());
        const double fy = isometric ? fx : ZoomFactorY(y, s.Y0, chart.Height());
        newX = ZoomAboutCentre(startX, fx).value_or(newX);
        newY = ZoomAboutCentre(startY, fy).value_or(newY);
    } else {
        if (mode != maPanVert) {
            newX = PanX(startX, newX, px.Logarithmic(), x, s.X0, chart.PlotWidth()).value_or(newX);
        }
        if (mode != maPanHoriz) {
            newY = PanY(startY, newY, py.Logarithmic(), y, s.Y0, chart.PlotHeight()).value_or(newY);
        }
    }
    chart.ApplyLayerRange(layer, newX.Low, newY.Low, newX.High, newY.High);
}
