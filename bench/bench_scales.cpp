// SPDX-License-Identifier: GPL-3.0-or-later
// Prints what the scale code costs on the paths that run per sample or per repaint: converting
// item coordinates to pixels, laying out one axis, and the trend-mode range shift.

#include "chart/core/chartlayers.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class FixedMeasure : public TextMeasure {
public:
    int TextWidth(const TChartFont&, const std::string& text) const override {
        return 7 * static_cast<int>(text.size());
    }
    int TextHeight(const TChartFont&, const std::string&) const override { return 16; }
};

template <typename F> double medianNs(int repeats, int perRepeat, F&& body) {
    std::vector<double> samples;
    for (int r = 0; r < repeats; ++r) {
        const auto t0 = Clock::now();
        body();
        const auto t1 = Clock::now();
        samples.push_back(std::chrono::duration<double, std::nano>(t1 - t0).count() / perRepeat);
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

} // namespace

int main() {
    ChartLayers chart;
    chart.ApplyFormScaleSettings();
    chart.SetControlSize(786, 526);
    chart.SetLayerRange(1, 0, 0, 100000, 10);

    constexpr int kPoints = 100000;
    long long sink = 0;
    const double dataToPixel = medianNs(21, kPoints, [&] {
        for (int i = 0; i < kPoints; ++i) {
            int px = 0, py = 0;
            chart.DataToPixel(1, i, (i % 100) * 0.1, px, py);
            sink += px + py;
        }
    });

    FixedMeasure measure;
    const double layoutX = medianNs(201, 1, [&] {
        sink += static_cast<long long>(chart.LayoutAxis(1, TAxis::X, measure).Ticks.size());
    });
    const double layoutY = medianNs(201, 1, [&] {
        sink += static_cast<long long>(chart.LayoutAxis(1, TAxis::Y, measure).Ticks.size());
    });

    chart.SuspendPaint(true);
    constexpr int kShifts = 10000;
    const double shift = medianNs(11, kShifts, [&] {
        for (int i = 0; i < kShifts; ++i) {
            const TScaleProps& x = chart.Scale1X();
            const TScaleProps& y = chart.Scale1Y();
            chart.SetLayerRange(1, x.RangeLow() + 1, y.RangeLow(), x.RangeHigh() + 1,
                                y.RangeHigh());
        }
    });
    // Two channels: layers 1 and 2 shift in turn, as a two-channel trend line does.
    chart.SetLayerRange(2, 0, 0, 100000, 10);
    const double shift2 = medianNs(11, kShifts, [&] {
        for (int i = 0; i < kShifts; ++i) {
            for (int layer = 1; layer <= 2; ++layer) {
                const TScaleProps& x = chart.ScaleX(layer);
                const TScaleProps& y = chart.ScaleY(layer);
                chart.SetLayerRange(layer, x.RangeLow() + 1, y.RangeLow(), x.RangeHigh() + 1,
                                    y.RangeHigh());
            }
        }
    });
    const double caption = medianNs(101, 1, [&] { chart.Scale1Y().SetCaption("Kanal 1"); });

    std::printf("%-44s %12s\n", "operation", "median");
    std::printf("%-44s %9.1f ns\n", "DataToPixel, one point (100000 points)", dataToPixel);
    std::printf("%-44s %9.2f us\n", "LayoutAxis, sample axis 0..1000", layoutX / 1000.0);
    std::printf("%-44s %9.2f us\n", "LayoutAxis, channel axis 1..10", layoutY / 1000.0);
    std::printf("%-44s %9.2f us\n", "SetLayerRange trend shift, painting suspended",
                shift / 1000.0);
    std::printf("%-44s %9.2f us\n", "the same for layers 1 and 2 (two channels)", shift2 / 1000.0);
    std::printf("%-44s %9.2f us\n", "axis setting change (ScalePropsChanged)", caption / 1000.0);
    std::printf("(checksum %lld)\n", sink);
    return 0;
}
