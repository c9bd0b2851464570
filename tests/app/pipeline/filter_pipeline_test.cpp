// SPDX-License-Identifier: GPL-3.0-or-later
// The channel filters in ProcessLine: after scaling, before the chart; Label10 keeps the
// received line's value; state afresh at Start and on request; nothing beyond the single range
// reaches the chart.
#include "pipelinefixture.h"

#include "base/exception.h"
#include "chart/core/chartitem.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

FilterSetting mean(int length) {
    return {FilterKind::Mean, length, 0, 0, 0};
}

std::vector<double> layerYs(const PlotChartCore& chart, int layer) {
    std::vector<double> ys;
    for (int i = 0; i < chart.ItemCount(); ++i) {
        if (chart.Item(i).Layer == layer) {
            ys.push_back(chart.Item(i).Kind == ikLine ? chart.Item(i).Y2 : chart.Item(i).Y);
        }
    }
    return ys;
}

TEST_F(PipelineTest, FilteredScaledValuesAreDrawnWhileLabel10ShowsTheReceivedOnes) {
    start({.Factor1 = 2.0f, .Offset1 = 1.0f, .Filter1 = mean(2)});
    feed("1\r\n3\r\n");
    EXPECT_EQ(host.Labels.back(), " 7"); // 3 * 2 + 1, unfiltered
    EXPECT_EQ(layerYs(chart, 1), (std::vector<double>{3, 5}));
    EXPECT_EQ(acq.Value1, 5.0f);

    // Two channels, a filter on channel 2 only: channel 1 is drawn as received.
    start({.ChannelCount = 2, .Filter2 = mean(3)});
    feed("1;3\r\n2;6\r\n4;12\r\n5;0\r\n");
    EXPECT_EQ(host.Labels.back(), " 5        0");
    EXPECT_EQ(layerYs(chart, 1), (std::vector<double>{1, 2, 4, 5}));
    EXPECT_EQ(layerYs(chart, 2), (std::vector<double>{3, 4.5, 7, 6}));
}

TEST_F(PipelineTest, FilterStateStartsAfreshAtStartAndAtResetFilters) {
    AcquisitionSettings s;
    s.Filter1 = {FilterKind::Lowpass, 0, 4, 0.05, 0};
    s.TrendMode = true;
    const std::string lines = "10\r\n-3\r\n7\r\n0\r\n0\r\n22\r\n";
    start(s);
    feed(lines);
    const std::vector<double> first = layerYs(chart, 1);
    start(s);
    feed(lines);
    EXPECT_EQ(layerYs(chart, 1), first);
    acq.ResetFilters();
    chart.ClearItems();
    feed(lines);
    EXPECT_EQ(layerYs(chart, 1), first);
}

TEST_F(PipelineTest, RefusedFilterChangesNothingAndNoneIsTheDefault) {
    EXPECT_EQ(acq.Filter1(), FilterSetting{});
    acq.SetFilters(mean(4), {});
    EXPECT_THROW(acq.SetFilters({FilterKind::Bandpass, 0, 2, 0.3, 0.2}, {}), EConvertError);
    EXPECT_EQ(acq.Filter1(), mean(4));
    EXPECT_EQ(acq.Filter2(), FilterSetting{});
}

// A step to the largest single overshoots in an order-8 low-pass: the overflow stops the run
// as a scaled value beyond the range does, and everything drawn before it is finite.
TEST_F(PipelineTest, FilterOutputBeyondTheSingleRangeRaisesOverflowInsteadOfReachingTheChart) {
    start({.Filter1 = {FilterKind::Lowpass, 0, 8, 0.2, 0}});
    std::string block;
    for (int i = 0; i < 100; ++i) {
        block += "3.4e38\r\n";
    }
    EXPECT_THROW(feed(block), EOverflow);
    ASSERT_GT(chart.ItemCount(), 0);
    for (const double y : layerYs(chart, 1)) {
        EXPECT_TRUE(std::isfinite(y) && std::abs(y) <= 3.4028234663852886e38) << y;
    }
}

} // namespace
