// SPDX-License-Identifier: GPL-3.0-or-later
// ProcessLine: values and texts, items by mode, memory maximum, trend window, repaint schedule.
#include "pipelinefixture.h"

#include "base/exception.h"
#include "chart/core/chartitem.h"

#include <cfloat>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::int64_t g_fakeTicks = 0;
std::int64_t fakeCounter() {
    // Each line reads the counter twice: 3.25 ms apart.
    g_fakeTicks += 3250000;
    return g_fakeTicks;
}

struct SplitCase {
    std::string_view line;
    float value1;
    float value2;
};

class TwoChannelSplit : public PipelineTest, public testing::WithParamInterface<SplitCase> {};

TEST_P(TwoChannelSplit, SplitsAtTheFirstSemicolon) {
    start({.ChannelCount = 2, .Offset1 = 0.5f, .Offset2 = -1.0f});
    acq.ProcessLine(GetParam().line);
    EXPECT_EQ(acq.Value1, GetParam().value1 + 0.5f) << GetParam().line;
    EXPECT_EQ(acq.Value2, GetParam().value2 - 1.0f) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(Lines, TwoChannelSplit,
                         testing::Values(SplitCase{"1.5;2.5", 1.5f, 2.5f}, SplitCase{"7", 0, 7},
                                         SplitCase{";3", 0, 3}, SplitCase{"1;2;3", 1, 2},
                                         SplitCase{"", 0, 0}, SplitCase{"4;", 4, 0},
                                         SplitCase{" 1 ; 2", 1, 2}, // " 1 " fails: digits read
                                         // everything after the first ";" is channel 2's text,
                                         // so the second ";" fails its parse: digits 2, 5
                                         SplitCase{"1;2.5;3", 1, 25},
                                         // the ";" is found beyond a zero byte ("\000"),
                                         // channel 2 ends at it: nothing is left for channel 2
                                         SplitCase{std::string_view("4\000;5", 4), 4, 0},
                                         SplitCase{std::string_view("4\000x;5", 5), 4, 0},
                                         SplitCase{std::string_view("3;\0005", 4), 3, 0},
                                         SplitCase{std::string_view("6\0007", 3), 0, 6}));

TEST_F(PipelineTest, ZeroByteEndsTheTwoChannelLine) {
    start({.ChannelCount = 2});
    acq.ProcessLine(std::string_view("1;2\0;9", 6));
    EXPECT_EQ(acq.Value2, 2.0f);
}

struct OneChannelCase {
    const char* line;
    float raw;
};

class OneChannelParse : public PipelineTest, public testing::WithParamInterface<OneChannelCase> {};

TEST_P(OneChannelParse, ScalesTheRawValue) {
    start({.Factor1 = 2.0f, .Offset1 = 1.0f});
    acq.ProcessLine(GetParam().line);
    EXPECT_EQ(acq.RawValue, GetParam().raw) << GetParam().line;
    EXPECT_EQ(std::signbit(acq.RawValue), std::signbit(GetParam().raw)) << GetParam().line;
    EXPECT_EQ(acq.Value1, GetParam().raw * 2.0f + 1.0f) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, OneChannelParse,
    testing::Values(OneChannelCase{"2.5", 2.5f}, OneChannelCase{"2,5", 2},
                    OneChannelCase{"2.5 ", 25}, OneChannelCase{" 2.5", 2.5f},
                    OneChannelCase{"-1e-3", -0.001f}, OneChannelCase{"", 0},
                    OneChannelCase{"-0", -0.0f}, OneChannelCase{"-0.00", -0.0f},
                    OneChannelCase{"1.0000000596046447753906250000001", 0x1.000002p0f}));

TEST_F(PipelineTest, ReceivedNumberIsRoundedToSingleOnce) {
    // Below the halfway point above the largest single: that single, no overflow.
    acq.ProcessLine("340282356779733660637539395458142568448");
    EXPECT_EQ(acq.RawValue, FLT_MAX);
    EXPECT_EQ(acq.Value1, FLT_MAX);
    start({.ChannelCount = 2});
    acq.ProcessLine("1.0000000596046447753906250000001;-340282356779733660637539395458142568448");
    EXPECT_EQ(acq.Value1, 0x1.000002p0f);
    EXPECT_EQ(acq.Value2, -FLT_MAX);
    EXPECT_THROW(acq.ProcessLine("1;340282356779733661637539395458142568448"), EOverflow);
}

TEST_F(PipelineTest, ScalingIsRoundedToSingleOnce) {
    // 0.1f * 3 + 0.9f rounded per step in single gives a different last bit than once.
    start({.Factor1 = 3.0f, .Offset1 = 0.9f});
    acq.ProcessLine("0.1");
    volatile float product = 0.1f * 3.0f;
    const float stepwise = product + 0.9f;
    const float once = static_cast<float>(static_cast<double>(0.1f) * 3.0 + 0.9f);
    ASSERT_NE(stepwise, once);
    EXPECT_EQ(acq.Value1, once);
}

TEST_F(PipelineTest, LabelAndStatusTexts) {
    acq.PerfCounter = &fakeCounter;
    acq.ProcessLine("1.1");
    EXPECT_EQ(host.Labels.back(), " 1,10000002384186");
    EXPECT_EQ(host.Panels[0], "1");
    EXPECT_EQ(host.Panels[2], "03,25 ms Skal.+Grafik");
    acq.DecimalSeparator = '.';
    acq.ProcessLine("-2");
    EXPECT_EQ(host.Labels.back(), " -2");
    EXPECT_EQ(host.Panels[0], "2");
    EXPECT_EQ(host.Panels[2], "03.25 ms Skal.+Grafik");
}

TEST_F(PipelineTest, TwoChannelLabelHasEightBlanksBetween) {
    start({.ChannelCount = 2});
    acq.ProcessLine("1.5;-2.5");
    EXPECT_EQ(host.Labels.back(), " 1,5        -2,5");
}

TEST_F(PipelineTest, ZeroCounterFrequencyRaisesZeroDivide) {
    acq.PerfFrequency = 0;
    EXPECT_THROW(acq.ProcessLine("1"), EZeroDivide);
}

TEST_F(PipelineTest, NormalOneChannelIsAPolylineFromXZeroThenX2) {
    feed("5\r\n6\r\n7\r\n");
    ASSERT_EQ(chart.ItemCount(), 3);
    const ChartItem& a = chart.Item(0);
    EXPECT_EQ(a.Kind, ikMoveTo);
    EXPECT_EQ(a.X, 0.0);
    EXPECT_EQ(a.Y, 5.0);
    EXPECT_EQ(a.Layer, 1);
    EXPECT_EQ(a.Color, 0xFF0000);
    EXPECT_EQ(chart.Item(1).Kind, ikDrawTo);
    EXPECT_EQ(chart.Item(1).X, 2.0);
    EXPECT_EQ(chart.Item(1).Y, 6.0);
    EXPECT_EQ(chart.Item(2).X, 3.0);
}

TEST_F(PipelineTest, NormalTwoChannelsAreSegmentsPerLayer) {
    start({.ChannelCount = 2});
    feed("1;10\r\n2;20\r\n");
    ASSERT_EQ(chart.ItemCount(), 4);
    struct Expected {
        double x1, y1, x2, y2;
        int layer;
        TColor color;
    };
    const Expected expected[] = {{0, 1, 1, 1, 1, 0xFF0000},
                                 {0, 10, 1, 10, 2, 128},
                                 {1, 1, 2, 2, 1, 0xFF0000},
                                 {1, 10, 2, 20, 2, 128}};
    for (int i = 0; i < 4; ++i) {
        const ChartItem& item = chart.Item(i);
        const Expected& e = expected[i];
        EXPECT_EQ(item.Kind, ikLine) << i;
        EXPECT_EQ(item.X, e.x1) << i;
        EXPECT_EQ(item.Y, e.y1) << i;
        EXPECT_EQ(item.X2, e.x2) << i;
        EXPECT_EQ(item.Y2, e.y2) << i;
        EXPECT_EQ(item.Layer, e.layer) << i;
        EXPECT_EQ(item.Color, e.color) << i;
    }
}

TEST_F(PipelineTest, TrendOneChannelUsesSegmentsOnLayerOne) {
    start({.TrendMode = true, .XMax = 2000});
    feed("4\r\n8\r\n");
    ASSERT_EQ(chart.ItemCount(), 2);
    EXPECT_EQ(chart.Item(0).Kind, ikLine);
    EXPECT_EQ(chart.Item(0).X, 0.0);
    EXPECT_EQ(chart.Item(0).Y2, 4.0);
    EXPECT_EQ(chart.Item(1).X, 1.0);
    EXPECT_EQ(chart.Item(1).Y, 4.0);
    EXPECT_EQ(chart.Item(1).X2, 2.0);
    EXPECT_EQ(chart.Item(1).Y2, 8.0);
    EXPECT_EQ(chart.Item(1).Layer, 1);
}

TEST_F(PipelineTest, MemoryMaximumStopsAtTheLineAfterIt) {
    feedLines(100000);
    ASSERT_EQ(acq.SampleCount, 100000);
    host.Panels[2] = "before";
    feed("2\r\n3\r\n");
    EXPECT_EQ(acq.SampleCount, 100001);
    EXPECT_EQ(host.Panels[0], "100001");
    EXPECT_EQ(host.Panels[2], "before");
    EXPECT_EQ(chart.ItemCount(), 100000);
    EXPECT_EQ(host.Messages, std::vector<std::string>{"Speichermaximum erreicht"});
    EXPECT_FALSE(host.Active);
    EXPECT_EQ(host.StopClicks, 1);
    EXPECT_EQ(host.MenuEnables, 1);
    EXPECT_FALSE(acq.MemoryMaxReached); // Stop reset it
    EXPECT_EQ(acq.LineBuffer, "");
}

TEST_F(PipelineTest, TwoChannelMemoryMaximumIs50000) {
    start({.ChannelCount = 2});
    feedLines(50001, "1;2");
    EXPECT_EQ(acq.SampleCount, 50001);
    EXPECT_EQ(chart.ItemCount(), 100000);
    EXPECT_EQ(host.Messages, std::vector<std::string>{"Speichermaximum erreicht"});
}

TEST_F(PipelineTest, TrendModeHasNoMemoryMaximum) {
    start({.TrendMode = true, .XMax = 2000});
    feedLines(100005);
    EXPECT_EQ(acq.SampleCount, 100005);
    EXPECT_TRUE(host.Messages.empty());
    EXPECT_TRUE(host.Active);
}

class TrendWindow : public PipelineTest, public testing::WithParamInterface<int> {};

TEST_P(TrendWindow, ScrollsFromLine1982WithXMax2000) {
    const int channels = GetParam();
    start({.ChannelCount = channels, .TrendMode = true, .XMax = 2000});
    const std::string value = channels == 2 ? "1;2" : "1";
    feedLines(1981, value);
    EXPECT_EQ(chart.ItemCount(), 1981 * channels);
    EXPECT_EQ(chart.Scale1X().RangeLow(), 0.0);
    EXPECT_EQ(chart.Scale1X().RangeHigh(), 2000.0);
    feedLines(1, value);
    EXPECT_EQ(chart.ItemCount(), 1981 * channels);
    EXPECT_EQ(chart.Scale1X().RangeLow(), 1.0);
    EXPECT_EQ(chart.Scale1X().RangeHigh(), 2001.0);
    EXPECT_EQ(chart.Scale2X().RangeLow(), channels == 2 ? 1.0 : 0.0);
    feedLines(100, value);
    EXPECT_EQ(chart.ItemCount(), 1981 * channels);
    // X range is [n - 1981, n + 19]: the newest point stays 19 units from the right edge.
    EXPECT_EQ(chart.Scale1X().RangeLow(), 2082.0 - 1981);
    EXPECT_EQ(chart.Scale1X().RangeHigh(), 2082.0 + 19);
    EXPECT_EQ(chart.Scale1Y().RangeLow(), 0.0);
    EXPECT_EQ(chart.Scale1Y().RangeHigh(), 10.0);
    // The oldest segment left: the window starts at sample 102.
    EXPECT_EQ(chart.Item(0).X2, 102.0);
}

INSTANTIATE_TEST_SUITE_P(Channels, TrendWindow, testing::Values(1, 2));

// XMax − 20 is compared in floating point: below 20 it is negative and the window scrolls
// from the first line on.
TEST_P(TrendWindow, XMaxBelow20ScrollsFromTheFirstLine) {
    const int channels = GetParam();
    start({.ChannelCount = channels, .TrendMode = true, .XMax = 10});
    const std::string value = channels == 2 ? "1;2" : "1";
    feedLines(1, value);
    EXPECT_EQ(chart.ItemCount(), 0);
    EXPECT_EQ(chart.Scale1X().RangeLow(), 1.0);
    EXPECT_EQ(chart.Scale1X().RangeHigh(), 11.0);
    feedLines(5, value);
    EXPECT_EQ(chart.ItemCount(), 0);
    EXPECT_EQ(chart.Scale1X().RangeLow(), 6.0);
    EXPECT_EQ(chart.Scale2X().RangeLow(), channels == 2 ? 6.0 : 0.0);
    EXPECT_EQ(acq.TrendCount, 0u);
    // 20.5: one line fills the window (0.5 >= 0), the second scrolls (0.5 < 1).
    start({.ChannelCount = channels, .TrendMode = true, .XMax = 20.5f});
    feedLines(1, value);
    EXPECT_EQ(chart.ItemCount(), channels);
    feedLines(1, value);
    EXPECT_EQ(chart.ItemCount(), channels);
    EXPECT_EQ(chart.Scale1X().RangeLow(), 1.0);
}

TEST_F(PipelineTest, EveryLineSuspendsPaintingAndARepaintResumesRedrawsAndPumps) {
    feed("1\r\n2\r\n");
    const std::vector<std::string> expected{"suspend", "suspend", "resume", "redrawitems"};
    EXPECT_EQ(chart.Calls, expected);
    EXPECT_EQ(host.Pumps, 1);
}

TEST_F(PipelineTest, DynGraphRepaintScheduleFollowsThePacingTable) {
    feedLines(1100);
    std::vector<std::int64_t> expected;
    for (int n = 2; n <= 500; ++n) {
        expected.push_back(n);
    }
    for (int n = 502; n <= 1000; n += 2) {
        expected.push_back(n);
    }
    for (int n = 1004; n <= 1100; n += 4) {
        expected.push_back(n);
    }
    EXPECT_EQ(chart.RedrawnAt, expected);
}

TEST_F(PipelineTest, DynGraphRepaintsGetRareAtHighCounts) {
    feedLines(80000);
    // Between 75001 and 80000 the pace is 500: ten repaints at most.
    int late = 0;
    for (std::int64_t n : chart.RedrawnAt) {
        late += n > 75000 ? 1 : 0;
    }
    EXPECT_GE(late, 9);
    EXPECT_LE(late, 10);
    EXPECT_EQ(acq.RedrawPace, 500);
    EXPECT_LE(acq.RedrawCount, acq.RedrawPace);
}

TEST_F(PipelineTest, WithoutDynGraphEveryLineRepaints) {
    start({.DynGraph = false});
    feedLines(600);
    ASSERT_EQ(chart.RedrawnAt.size(), 600u);
    EXPECT_EQ(chart.RedrawnAt.front(), 1);
    EXPECT_EQ(chart.RedrawnAt.back(), 600);
    EXPECT_EQ(acq.RedrawCount, 0);
}

TEST_F(PipelineTest, StartResetsTheRunButKeepsAPendingTerminatorMatch) {
    feed("1\r\n2\r\n3\r");
    start({});
    EXPECT_EQ(acq.SampleCount, 0);
    EXPECT_EQ(acq.LineBuffer, "");
    EXPECT_EQ(acq.TermMatched, 1);
    EXPECT_EQ(chart.ItemCount(), 0);
    feed("\n4\r\n");
    EXPECT_EQ(acq.SampleCount, 2);
    EXPECT_EQ(chart.Item(0).Kind, ikMoveTo);
}

} // namespace
