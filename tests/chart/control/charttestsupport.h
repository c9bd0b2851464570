// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A chart as the main window sets it up when first shown, painting headless.

#include "chart/control/plotchart.h"

#include <QImage>
#include <memory>

inline constexpr int kChartWidth = 585;
inline constexpr int kChartHeight = 361;

inline std::unique_ptr<TPlotChart> makeFormChart(int width = kChartWidth,
                                                 int height = kChartHeight) {
    auto chart = std::make_unique<TPlotChart>();
    chart->ApplyFormChartSettings();
    chart->resize(width, height);
    chart->SetHeadless(true);
    chart->SetLayerRange(1, 0, 0, 1000, 10);
    chart->SetLayerRange(2, 0, 0, 1000, 10);
    return chart;
}

// Chart pixel of a data point of layer 1.
inline QPoint chartPixel(const TPlotChart& chart, double x, double y, int layer = 1) {
    int px = 0;
    int py = 0;
    chart.DataToPixel(layer, x, y, px, py);
    return QPoint(px, py);
}

inline int countPixels(const QImage& image, QRgb colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            n += (line[x] & 0xFFFFFF) == (colour & 0xFFFFFF);
        }
    }
    return n;
}
