// SPDX-License-Identifier: GPL-3.0-or-later
// What a spectrum analyses: the samples of a recording's items in an X range and the newest N
// (both channels kept aligned, foreign items left out), the mean rate of seconds-based X, and
// the worker that computes off the caller's thread.
#include "app/analysis/spectruminput.h"
#include "app/analysis/spectrumworker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <mutex>
#include <vector>

namespace {

ChartItem item(std::uint8_t kind, int layer, double x, double y, double x2 = 0, double y2 = 0) {
    ChartItem it;
    std::memset(&it, 0, sizeof it);
    it.Kind = kind;
    it.Layer = layer;
    it.X = x;
    it.Y = y;
    it.X2 = x2;
    it.Y2 = y2;
    return it;
}

// A one-channel normal recording of values v(n) = n * 10 for samples 1..count: a move-to at X 0,
// then draw-tos at X = n.
std::vector<ChartItem> oneChannel(int count) {
    std::vector<ChartItem> items{item(ikMoveTo, 1, 0, 10)};
    for (int n = 2; n <= count; ++n) {
        items.push_back(item(ikDrawTo, 1, n, n * 10.0));
    }
    return items;
}

// A two-channel recording: per sample a line on layer 1 (value n) and one on layer 2 (-n).
std::vector<ChartItem> twoChannels(int first, int last) {
    std::vector<ChartItem> items;
    for (int n = first; n <= last; ++n) {
        items.push_back(item(ikLine, 1, n - 1, n - 1.0, n, n));
        items.push_back(item(ikLine, 2, n - 1, 1.0 - n, n, -n));
    }
    return items;
}

TEST(SpectrumInput, RangeSelectsTheSamplesWhoseXLiesInsideInclusive) {
    const std::vector<ChartItem> items = oneChannel(20);
    const SpectrumInput in = SamplesInRange(items, 12, 5); // bounds in either order
    ASSERT_EQ(in.Channels.size(), 1u);
    EXPECT_EQ(in.X, (std::vector<double>{5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(in.Channels[0], (std::vector<double>{50, 60, 70, 80, 90, 100, 110, 120}));
    // The move-to is sample 1 at X 0.
    const SpectrumInput start = SamplesInRange(items, -1, 2.5);
    EXPECT_EQ(start.Channels[0], (std::vector<double>{10, 20}));
}

TEST(SpectrumInput, TwoChannelsStayPairedAndForeignItemsAreLeftOut) {
    std::vector<ChartItem> items = twoChannels(1, 10);
    items.insert(items.begin() + 4, item(ikLine, 3, 2, 0, 3, 99)); // another layer
    items.insert(items.begin() + 5, item(7, 1, 3, 99));            // a text item
    items.push_back(item(ikDrawTo, 1, std::numeric_limits<double>::quiet_NaN(), 1));
    items.push_back(item(ikLine, 2, 10, 0, 11, std::numeric_limits<double>::infinity()));
    const SpectrumInput in = SamplesInRange(items, 3, 100);
    ASSERT_EQ(in.Channels.size(), 2u);
    EXPECT_EQ(in.X, (std::vector<double>{3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(in.Channels[0], (std::vector<double>{3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(in.Channels[1], (std::vector<double>{-3, -4, -5, -6, -7, -8, -9, -10}));
    // A channel 2 item missing at the end: both keep the shorter count from the start.
    items = twoChannels(1, 10);
    items.pop_back();
    const SpectrumInput cut = SamplesInRange(items, 0, 100);
    EXPECT_EQ(cut.Channels[0].size(), 9u);
    EXPECT_EQ(cut.Channels[1].size(), 9u);
    EXPECT_EQ(cut.Channels[0].back(), 9);
}

TEST(SpectrumInput, NewestSamplesAreTheLastNAndEqualTheirRange) {
    for (const std::vector<ChartItem>& items : {oneChannel(500), twoChannels(37, 536)}) {
        const SpectrumInput newest = NewestSamples(items, 64);
        ASSERT_EQ(newest.Count(), 64u);
        const SpectrumInput range = SamplesInRange(items, newest.X.front(), newest.X.back());
        EXPECT_EQ(newest.X, range.X);
        EXPECT_EQ(newest.Channels, range.Channels);
        EXPECT_EQ(newest.X.back(), items.back().Kind == ikLine ? items.back().X2 : items.back().X);
        // Fewer while fewer exist.
        EXPECT_EQ(NewestSamples(items, 100000).Count(), 500u);
    }
    // Channel 2's newest item missing: both channels end at the newest complete pair.
    std::vector<ChartItem> items = twoChannels(1, 100);
    items.pop_back();
    const SpectrumInput newest = NewestSamples(items, 10);
    ASSERT_EQ(newest.Channels.size(), 2u);
    EXPECT_EQ(newest.Channels[1].back(), -99);
    EXPECT_EQ(newest.Channels[0].size(), newest.Channels[1].size());
}

TEST(SpectrumInput, MeanRateCountsSamplesPerUnitOfX) {
    SpectrumInput in;
    EXPECT_FALSE(in.MeanRate());
    in.X = {1.0};
    EXPECT_FALSE(in.MeanRate());
    in.X = {0.5, 0.5};
    EXPECT_FALSE(in.MeanRate());
    in.X = {10.0, 10.001, 10.002, 10.004, 10.005}; // seconds, one late sample
    ASSERT_TRUE(in.MeanRate());
    EXPECT_NEAR(*in.MeanRate(), 800.0, 1e-6);
}

// Collects the worker's outcomes; the test thread waits for them.
class Outcomes {
public:
    void Add(SpectrumOutcome o) {
        const std::lock_guard lock(m_mutex);
        m_all.push_back(std::move(o));
        m_changed.notify_all();
    }
    bool WaitFor(std::size_t count) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(10),
                                  [&] { return m_all.size() >= count; });
    }
    std::vector<SpectrumOutcome> Take() {
        const std::lock_guard lock(m_mutex);
        return m_all;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<SpectrumOutcome> m_all;
};

TEST(SpectrumWorker, ComputesOffThreadOneJobAtATimeAndReportsFailures) {
    Outcomes outcomes;
    std::mutex gate; // held: the callback cannot return, so the worker stays busy
    std::unique_lock hold(gate);
    SpectrumWorker worker([&](SpectrumOutcome o) {
        outcomes.Add(std::move(o));
        const std::lock_guard wait(gate);
    });
    SpectrumJob job;
    job.Input = NewestSamples(oneChannel(300), 256);
    job.Settings.SampleRate = 100.0;
    job.Tag = 7;
    ASSERT_TRUE(worker.Submit(job));
    ASSERT_TRUE(outcomes.WaitFor(1));
    // Handing the result over ends the job: the next one is taken (and waits for the callback),
    // a third is refused.
    EXPECT_FALSE(worker.Busy());
    SpectrumJob tooShort;
    tooShort.Input = NewestSamples(oneChannel(5), 256);
    tooShort.Tag = 8;
    ASSERT_TRUE(worker.Submit(tooShort));
    EXPECT_TRUE(worker.Busy());
    EXPECT_FALSE(worker.Submit(job)) << "a job queued behind a running one";
    hold.unlock();

    const SpectrumOutcome first = outcomes.Take().front();
    EXPECT_EQ(first.Tag, 7u);
    ASSERT_TRUE(first.Result);
    SpectrumAnalyzer direct;
    const std::vector<std::span<const double>> channels(job.Input.Channels.begin(),
                                                        job.Input.Channels.end());
    EXPECT_EQ(first.Result->Channels, direct.Compute(channels, job.Settings).Channels);

    ASSERT_TRUE(outcomes.WaitFor(2));
    const SpectrumOutcome second = outcomes.Take().back();
    EXPECT_EQ(second.Tag, 8u);
    EXPECT_FALSE(second.Result);
    EXPECT_EQ(second.Error, "Zu wenige Samples für eine Fourier Analyse: 5 (mindestens 8)");
}

} // namespace
