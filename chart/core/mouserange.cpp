// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/core/mouserange.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

bool IsDragMode(TMouseActMode mode) {
    return IsPanZoomMode(mode) || mode == maDragCrossH || mode == maDragLabel;
}

bool IsPanZoomMode(TMouseActMode mode) {
    return mode == maPan || mode == maPanHoriz || mode == maPanVert || mode == maZoomDrag;
}

bool IsRubberBandMode(TMouseActMode mode) {
    return mode == maRubberBand || mode == maZoomWind || mode == maZoomWindPos;
}

namespace {

std::optional<AxisSpan> finiteSpan(double low, double high) {
    if (!std::isfinite(low) || !std::isfinite(high)) {
        return std::nullopt;
    }
    return AxisSpan{low, high};
}

// Linear pan moves the start range by the pointer offset in data units of the current span;
// logarithmic pan multiplies it by the current ratio raised to the offset's share of the plot.
// sign is +1 when the data follow the pointer's direction (Y: pixels grow downwards).
std::optional<AxisSpan> pan(AxisSpan start, AxisSpan current, bool logarithmic, int offset,
                            int plotSize, double sign) {
    if (plotSize <= 0) {
        return std::nullopt;
    }
    const double share = static_cast<double>(offset) / plotSize;
    if (logarithmic) {
        const double f = std::exp(std::log(current.High / current.Low) * share * sign);
        return finiteSpan(start.Low * f, start.High * f);
    }
    const double d = (current.High - current.Low) * share * sign;
    return finiteSpan(start.Low + d, start.High + d);
}

} // namespace

std::optional<AxisSpan> PanX(AxisSpan start, AxisSpan current, bool logarithmic, int pointer,
                             int start0, int plotWidth) {
    // Dragging right must show smaller values: the range moves against the pointer.
    return pan(start, current, logarithmic, pointer - start0, plotWidth, -1.0);
}

std::optional<AxisSpan> PanY(AxisSpan start, AxisSpan current, bool logarithmic, int pointer,
                             int start0, int plotHeight) {
    return pan(start, current, logarithmic, pointer - start0, plotHeight, 1.0);
}

double ZoomFactorX(int pointer, int start0, int controlWidth) {
    if (controlWidth <= 0) {
        return 1.0;
    }
    return 1.0 - static_cast<double>(pointer - start0) / controlWidth;
}

double ZoomFactorY(int pointer, int start0, int controlHeight) {
    if (controlHeight <= 0) {
        return 1.0;
    }
    return 1.0 + static_cast<double>(pointer - start0) / controlHeight;
}

std::optional<AxisSpan> ZoomAboutCentre(AxisSpan start, double factor) {
    const double centre = (start.High + start.Low) / 2;
    const double half = (start.High - start.Low) * factor / 2;
    return finiteSpan(centre - half, centre + half);
}

void OrderLikeAxis(double& d1, double& d2, double axisLow, double axisHigh) {
    if ((d2 < d1 && axisLow < axisHigh) || (d2 > d1 && axisLow > axisHigh)) {
        std::swap(d1, d2);
    }
}

void MakeIsometric(double dx1, double dx2, double& dy1, double& dy2, int plotWidth, int plotHeight,
                   double aspectY, double aspectX) {
    const double c = (dy1 + dy2) / 2;
    const double d = (dx2 - dx1) * (plotHeight + 1.0) / (plotWidth + 1.0) * aspectY / aspectX / 2;
    dy2 = c + d;
    dy1 = c - d;
}

PixelPoint RubberBandCorner(const PlotGeometry& geometry, int x1, int y1, int x, int y,
                            bool isometric) {
    // std::clamp needs low <= high; a window smaller than its margins clamps to the left/top.
    const auto clampInto = [](int v, int low, int high) {
        return std::max(low, std::min(v, high));
    };
    x = clampInto(x, geometry.MarginLeft, geometry.PlotRight());
    if (isometric) {
        // 64-bit product: a captured pointer may be far outside the window.
        const std::int64_t dx = static_cast<std::int64_t>(x) - x1;
        const std::int64_t dy = static_cast<std::int64_t>(y) - y1;
        const std::int64_t square = (dy * dx > 0) ? y1 + dx : y1 - dx;
        y = static_cast<int>(std::clamp<std::int64_t>(square, INT32_MIN, INT32_MAX));
    }
    y = clampInto(y, geometry.MarginTop, geometry.PlotBottom());
    return {x, y};
}
