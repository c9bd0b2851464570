// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The form's chart geometry for mouse tests (585 x 361, margins 80/20/30/45, shadow 1 -> plot
// 484 x 285), layer 1 at X 0..1000, Y 1..10, layer 2 as given, every other layer at 0..1 x 0..1;
// counts the full repaints the mouse pieces ask for.

#include "chart/core/chartlayers.h"

namespace {

class CountingChart : public ChartLayers {
public:
    explicit CountingChart(double layer2XLow = 0, double layer2YLow = 1, double layer2XHigh = 1000,
                           double layer2YHigh = 10) {
        SetMarginLeft(80);
        SetMarginRight(20);
        SetMarginTop(30);
        SetMarginBottom(45);
        SetShadowWidth(1);
        SetControlSize(585, 361);
        SetLayerRange(1, 0, 1, 1000, 10);
        SetLayerRange(2, layer2XLow, layer2YLow, layer2XHigh, layer2YHigh);
        SetPaintSuspended(false);
        paints = 0;
    }
    void Paint() override { ++paints; }
    int paints = 0;
};

} // namespace
