// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The colours a monochrome bitmap export replaces: the chart's wind, chart, frame, title font,
// shadow and shadow corner colours and the line and font colour of each of the 32 axis settings.
// The grid colour is not among them: the grid keeps its colour.

#include "chart/core/chartlayers.h"
#include "chart/core/tcolor.h"

#include <array>

class PlotChartCore;

struct ExportColours {
    static constexpr int kAxisCount = 2 * ChartLayers::kLayerCount;

    TColor Wind = 0, Chart = 0, Frame = 0, FontColor = 0, Shadow = 0, ShadowBak = 0;
    std::array<TColor, kAxisCount> AxisColor{};
    std::array<TColor, kAxisCount> AxisFont{};

    // The chart's present colours.
    static ExportColours Of(PlotChartCore& chart);
    // White background, black frame, texts and axes, silver shadow, white shadow corners.
    static ExportColours Monochrome();
    // Puts the colours in place; each changed axis setting is applied to its axis painter.
    void ApplyTo(PlotChartCore& chart) const;
};
