// SPDX-License-Identifier: GPL-3.0-or-later
// The bounded line-time distribution of plotmira-cli record: its percentiles against the exact
// ones of the sorted times, and the edges of its range.
#include "app/pipeline/linetimestats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

double exactPercentile(std::vector<float> values, double p) {
    const std::size_t k = std::min(
        values.size() - 1, static_cast<std::size_t>(p * static_cast<double>(values.size())));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(k), values.end());
    return values[k];
}

TEST(LineTimeStats, PercentilesAreTheExactOnesWithinOneBucket) {
    std::mt19937 random(17);
    // Typical line times, a slow tail of repaints, and times of one value.
    std::lognormal_distribution<float> times(-3.0f, 1.5f);
    for (const std::size_t n : {1u, 2u, 7u, 1000u, 100000u}) {
        LineTimeStats stats;
        std::vector<float> all;
        for (std::size_t i = 0; i < n; ++i) {
            const float t = i % 97 == 0 ? 25.0f : times(random);
            stats.Add(t);
            all.push_back(t);
        }
        ASSERT_EQ(stats.Count(), n);
        for (const double p : {0.0, 0.5, 0.9, 0.99, 1.0}) {
            const double exact = exactPercentile(all, p);
            const double got = stats.Percentile(p);
            // The bucket's lower edge: never above the exact time, at most 1/1024 below it.
            EXPECT_LE(got, exact) << n << " " << p;
            EXPECT_GE(got, exact * (1.0 - 1.0 / 1024)) << n << " " << p;
        }
    }
}

TEST(LineTimeStats, EmptyAndOutOfRangeTimes) {
    LineTimeStats stats;
    EXPECT_EQ(stats.Percentile(0.5), 0.0);
    stats.Add(0.0f);
    stats.Add(-1.0f);
    stats.Add(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(stats.Percentile(1.0), LineTimeStats::kMinMs);
    stats.Add(1e30f);
    stats.Add(std::numeric_limits<float>::infinity());
    EXPECT_EQ(stats.Percentile(1.0), LineTimeStats::kMaxMs);
    EXPECT_EQ(stats.Percentile(0.0), LineTimeStats::kMinMs);
    EXPECT_EQ(stats.Count(), 5u);
}

} // namespace
