// SPDX-License-Identifier: GPL-3.0-or-later
// The moving mean: what it gives while filling, and that its running sum cannot drift.
#include "app/analysis/movingmean.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

TEST(MovingMean, MeanOfWhatArrivedWhileFillingThenOfTheNewestLengthAndResetStartsAfresh) {
    MovingMean mean(4);
    const double in[] = {1, 2, 3, 4, 5, 10, -4};
    const double want[] = {1, 1.5, 2, 2.5, 3.5, 5.5, 3.75};
    for (int round = 0; round < 2; ++round) {
        for (std::size_t i = 0; i < std::size(in); ++i) {
            EXPECT_DOUBLE_EQ(mean.Process(in[i]), want[i]) << round << " " << i;
        }
        mean.Reset();
    }
}

// Bursts of 1e30 take the small values' digits out of a plain running sum for good; the mean
// of the last window, small quarter values only, must still be exact after ten million samples.
// A length prime to everything else keeps the exact recomputations off the burst boundaries.
TEST(MovingMean, EqualsTheExactMeanAfterTenMillionSamples) {
    constexpr int kLength = 997;
    constexpr std::int64_t kSamples = 10000000;
    MovingMean mean(kLength);
    const auto value = [](std::int64_t i) {
        if ((i / 1000) % 7 == 5) {
            return (i % 2 == 0 ? 1e30 : -3e29) + static_cast<double>(i % 5);
        }
        return static_cast<double>(i % 13) * 0.25 - 1.5;
    };
    double out = 0;
    for (std::int64_t i = 0; i < kSamples; ++i) {
        out = mean.Process(value(i));
    }
    double sum = 0; // exact: quarter values of small magnitude
    for (std::int64_t i = kSamples - kLength; i < kSamples; ++i) {
        sum += value(i);
    }
    EXPECT_EQ(out, sum / kLength);

    // Values of every magnitude and sign: the exactly rounded mean within one rounding.
    MovingMean mixed(1000);
    std::vector<double> in;
    std::uint64_t state = 88172645463325252ull;
    for (int i = 0; i < 2000000; ++i) {
        state ^= state << 13, state ^= state >> 7, state ^= state << 17;
        const double v = std::ldexp(static_cast<double>(state >> 11) / 9007199254740992.0 - 0.5,
                                    static_cast<int>(state % 60) - 30);
        in.push_back(v);
        out = mixed.Process(v);
    }
    long double exact = 0;
    long double lost = 0;
    for (std::size_t i = in.size() - 1000; i < in.size(); ++i) {
        const long double t = exact + in[i];
        lost += std::fabs(exact) >= std::fabs(static_cast<long double>(in[i]))
                    ? (exact - t) + in[i]
                    : (in[i] - t) + exact;
        exact = t;
    }
    const double reference = static_cast<double>((exact + lost) / 1000);
    EXPECT_NEAR(out, reference, std::abs(reference) * 4e-16);
}

} // namespace
