// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/core/rubberband.h"

#include <cmath>

namespace {

PlotGeometry geometryOf(const ChartLayers& chart) {
    return {chart.Width(),     chart.Height(),       chart.MarginLeft(), chart.MarginRight(),
            chart.MarginTop(), chart.MarginBottom(), chart.ShadowWidth()};
}

bool allFinite(double a, double b, double c, double d) {
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

} // namespace

bool RubberBand::Press(const ChartLayers& chart, TMouseActMode mode, TMouseButton button, int x,
                       int y) {
    if (!IsRubberBandMode(mode) || m_active || button != TMouseButton::mbLeft ||
        !geometryOf(chart).Contains(x, y)) {
        return false;
    }
    m_active = true;
    m_rect = {x, y, x, y};
    return true;
}

bool RubberBand::Move(const ChartLayers& chart, TMouseActMode mode, int x, int y, bool isometric) {
    if (!IsRubberBandMode(mode) || !m_active) {
        return false;
    }
    const PixelPoint corner =
        RubberBandCorner(geometryOf(chart), m_rect.X1, m_rect.Y1, x, y, isometric);
    m_rect.X2 = corner.X;
    m_rect.Y2 = corner.Y;
    return true;
}

RubberBand::Released RubberBand::Release(ChartLayers& chart, TMouseActMode mode,
                                         TMouseButton button, bool isometric, double aspectY,
                                         double aspectX, const LayerMask& mouseControlled,
                                         const RubberBandReport& report,
                                         const std::function<void()>& zoomPan) {
    if (!IsRubberBandMode(mode) || !m_active) {
        return Released::Idle;
    }
    m_active = false;
    if (button == TMouseButton::mbRight) {
        return Released::Cancelled;
    }
    if (button != TMouseButton::mbLeft) {
        return Released::Ignored;
    }
    const TRubberBandRect r = m_rect;
    if (r.X1 == r.X2 || r.Y1 == r.Y2 || !geometryOf(chart).HasArea()) {
        return Released::Empty;
    }
    const bool wasSuspended = chart.PaintSuspended();
    chart.SetPaintSuspended(true);
    try {
        for (int layer = 1; layer <= ChartLayers::kLayerCount; ++layer) {
            if (!mouseControlled[static_cast<std::size_t>(layer)]) {
                continue;
            }
            double dx1 = 0;
            double dy1 = 0;
            double dx2 = 0;
            double dy2 = 0;
            if (!chart.PixelToData(layer, r.X1, r.Y1, dx1, dy1) ||
                !chart.PixelToData(layer, r.X2, r.Y2, dx2, dy2)) {
                continue;
            }
            if (mode == maRubberBand || mode == maZoomWindPos) {
                const TScaleProps& px = chart.ScaleX(layer);
                const TScaleProps& py = chart.ScaleY(layer);
                OrderLikeAxis(dx1, dx2, px.RangeLow(), px.RangeHigh());
                OrderLikeAxis(dy1, dy2, py.RangeLow(), py.RangeHigh());
            }
            if (isometric) {
                MakeIsometric(dx1, dx2, dy1, dy2, chart.PlotWidth(), chart.PlotHeight(), aspectY,
                              aspectX);
            }
            if (!allFinite(dx1, dy1, dx2, dy2)) {
                continue;
            }
            if (mode == maRubberBand) {
                if (report) {
                    report(layer, dx1, dy1, dx2, dy2);
                }
            } else {
                chart.ApplyLayerRange(layer, dx1, dy1, dx2, dy2);
            }
        }
        if (zoomPan) {
            zoomPan();
        }
    } catch (...) {
        // A failing handler or range update must not leave the chart unable to paint.
        chart.SetPaintSuspended(wasSuspended);
        throw;
    }
    chart.SuspendPaint(wasSuspended);
    return Released::Done;
}
