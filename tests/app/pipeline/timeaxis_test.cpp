// SPDX-License-Identifier: GPL-3.0-or-later
// X-Achse "Zeit" in the pipeline, on a counter the test sets: the items carry each line's time
// since Start, the trend window holds the last XMax seconds and deletes what falls out of it,
// and pacing and the memory maximum still count samples.
#include "base/exception.h"
#include "pipelinefixture.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

// The counter the acquisition reads, in nanoseconds.
std::int64_t g_now = 0;

constexpr std::int64_t kOrigin = 7'000'000'000; // an arbitrary counter value at Start

std::int64_t fakeCounter() {
    return g_now;
}

class TimeAxisTest : public PipelineTest {
protected:
    void SetUp() override {
        acq.PerfCounter = &fakeCounter;
        PipelineTest::SetUp();
    }

    void startTimed(AcquisitionSettings s) {
        s.TimeAxis = true;
        g_now = kOrigin;
        start(s);
    }

    // One line, processed `seconds` after Start.
    void lineAt(double seconds, const std::string& text) {
        g_now = kOrigin + static_cast<std::int64_t>(seconds * 1e9);
        feed(text + "\r\n");
    }

    struct Segment {
        int layer;
        double x1, x2;
        float y1, y2;
    };
    void expectSegments(const std::vector<Segment>& expected) {
        ASSERT_EQ(chart.ItemCount(), static_cast<int>(expected.size()));
        for (int i = 0; i < chart.ItemCount(); ++i) {
            const ChartItem& item = chart.Item(i);
            const Segment& e = expected[static_cast<std::size_t>(i)];
            EXPECT_EQ(item.Kind, ikLine) << i;
            EXPECT_EQ(item.Layer, e.layer) << i;
            EXPECT_DOUBLE_EQ(item.X, e.x1) << i;
            EXPECT_DOUBLE_EQ(item.X2, e.x2) << i;
            EXPECT_EQ(item.Y, e.y1) << i;
            EXPECT_EQ(item.Y2, e.y2) << i;
        }
    }
};

TEST_F(TimeAxisTest, ItemsStandAtEachLinesTimeSinceStart) {
    // Normal mode, one channel: the polyline starts at the first line's time, not at 0.
    startTimed({});
    lineAt(0.5, "5");
    lineAt(0.75, "6");
    lineAt(2.0, "7");
    ASSERT_EQ(chart.ItemCount(), 3);
    EXPECT_EQ(chart.Item(0).Kind, ikMoveTo);
    EXPECT_DOUBLE_EQ(chart.Item(0).X, 0.5);
    EXPECT_EQ(chart.Item(1).Kind, ikDrawTo);
    EXPECT_DOUBLE_EQ(chart.Item(1).X, 0.75);
    EXPECT_DOUBLE_EQ(chart.Item(2).X, 2.0);
    EXPECT_EQ(chart.Item(2).Y, 7.0);

    // Two channels: each segment runs from the previous line's time (Start for the first).
    startTimed({.ChannelCount = 2});
    lineAt(0.25, "1;10");
    lineAt(1.5, "2;20");
    expectSegments(
        {{1, 0, 0.25, 1, 1}, {2, 0, 0.25, 10, 10}, {1, 0.25, 1.5, 1, 2}, {2, 0.25, 1.5, 10, 20}});

    // A block's lines are processed at nearly the same moment, so they get nearly one time.
    startTimed({.TrendMode = true});
    g_now = kOrigin + 3'000'000'000;
    feed("1\r\n2\r\n3\r\n");
    expectSegments({{1, 0, 3, 1, 1}, {1, 3, 3, 1, 2}, {1, 3, 3, 2, 3}});
    EXPECT_EQ(acq.SampleCount, 3);
}

TEST_F(TimeAxisTest, TrendWindowKeepsTheLastXMaxSecondsAndDeletesByTime) {
    startTimed({.ChannelCount = 2, .TrendMode = true, .XMax = 10});
    EXPECT_EQ(chart.Scale1X().RangeLow(), 0.0);
    EXPECT_EQ(chart.Scale1X().RangeHigh(), 10.0);
    for (int t = 1; t <= 9; ++t) {
        lineAt(t, std::to_string(t) + ";" + std::to_string(-t));
    }
    lineAt(9.75, "1;1"); // the newest time plus a hundredth of the window still fits
    EXPECT_EQ(chart.ItemCount(), 20);
    EXPECT_EQ(chart.Scale1X().RangeHigh(), 10.0);

    lineAt(10, "1;1"); // full: the window moves with the newest time, nothing fell out yet
    EXPECT_EQ(chart.ItemCount(), 22);
    EXPECT_NEAR(chart.Scale1X().RangeLow(), 0.1, 1e-9);
    EXPECT_NEAR(chart.Scale1X().RangeHigh(), 10.1, 1e-9);
    EXPECT_NEAR(chart.Scale2X().RangeHigh(), 10.1, 1e-9);
    EXPECT_EQ(chart.Scale1Y().RangeHigh(), 10.0); // Y ranges stay

    lineAt(11.5, "1;1"); // sample at 1 s falls out: one per channel
    EXPECT_EQ(chart.ItemCount(), 22);
    EXPECT_DOUBLE_EQ(chart.Item(0).X2, 2.0);
    EXPECT_EQ(chart.Item(0).Layer, 1);
    EXPECT_EQ(chart.Item(1).Layer, 2);

    lineAt(14.25, "1;1"); // 2, 3 and 4 s fall out at once
    EXPECT_EQ(chart.ItemCount(), 22 - 6 + 2);
    EXPECT_DOUBLE_EQ(chart.Item(0).X2, 5.0);
    EXPECT_NEAR(chart.Scale1X().RangeLow(), 4.35, 1e-9);

    lineAt(14.5, "1;1"); // nothing falls out
    EXPECT_EQ(chart.ItemCount(), 20);

    // A pause longer than the window: only the newest sample is left, its segments leading in
    // from the last sample before the pause.
    lineAt(40, "3;4");
    expectSegments({{1, 14.5, 40, 1, 3}, {2, 14.5, 40, 1, 4}});
    EXPECT_NEAR(chart.Scale1X().RangeLow(), 30.1, 1e-9);
    EXPECT_NEAR(chart.Scale2X().RangeLow(), 30.1, 1e-9);
    EXPECT_TRUE(host.Active);
}

TEST_F(TimeAxisTest, OneChannelTrendLeavesTheSecondLayersRangeAlone) {
    startTimed({.TrendMode = true, .XMax = 2});
    lineAt(1, "1");
    lineAt(5, "2");
    EXPECT_EQ(chart.ItemCount(), 1);
    EXPECT_NEAR(chart.Scale1X().RangeLow(), 3.02, 1e-9);
    EXPECT_EQ(chart.Scale2X().RangeLow(), 0.0);
    EXPECT_EQ(chart.Scale2X().RangeHigh(), 2.0);
}

TEST_F(TimeAxisTest, PacingAndMemoryMaximumStillCountSamples) {
    std::vector<std::int64_t> ticsRepaints;
    start({});
    feedLines(2100);
    ticsRepaints = chart.RedrawnAt;

    startTimed({});
    chart.RedrawnAt.clear();
    for (int i = 1; i <= 2100; ++i) {
        g_now += 1'000'000; // a millisecond per line
        feed("1\r\n");
    }
    EXPECT_EQ(chart.RedrawnAt, ticsRepaints);

    startTimed({.ChannelCount = 2});
    feedLines(50001, "1;2");
    EXPECT_EQ(acq.SampleCount, 50001);
    EXPECT_EQ(chart.ItemCount(), 100000);
    EXPECT_EQ(host.Messages, std::vector<std::string>{"Speichermaximum erreicht"});
}

TEST_F(TimeAxisTest, ZeroCounterFrequencyRaisesZeroDivideBeforeAnItemIsAdded) {
    startTimed({});
    acq.PerfFrequency = 0;
    EXPECT_THROW(lineAt(1, "1"), EZeroDivide);
    EXPECT_EQ(chart.ItemCount(), 0);
}

} // namespace
