// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/core/ticks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

struct IntervalCase {
    const char* name;
    int minTicks;
    double lo, hi;
    double step;
    int subdivisions;
    double first;
};

class TickIntervalTable : public ::testing::TestWithParam<IntervalCase> {};

TEST_P(TickIntervalTable, ChoosesNiceStepAndFirstTick) {
    const IntervalCase& c = GetParam();
    const TickInterval t = ComputeTickInterval(c.minTicks, c.lo, c.hi);
    EXPECT_NEAR(t.Step, c.step, std::fabs(c.step) * 1e-12) << c.name;
    EXPECT_EQ(t.Subdivisions, c.subdivisions) << c.name;
    EXPECT_NEAR(t.First, c.first, 1e-9) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    NiceSteps, TickIntervalTable,
    ::testing::Values(IntervalCase{"0..1000 three ticks", 3, 0, 1000, 200, 4, 0},
                      IntervalCase{"0..1000 six ticks", 6, 0, 1000, 100, 5, 0},
                      IntervalCase{"1..10 three ticks", 3, 1, 10, 2, 4, 2},
                      IntervalCase{"0..5 ten ticks falls from 0.5 to 0.2", 10, 0, 5, 0.2, 4, 0},
                      IntervalCase{"quotient exactly 2 falls to 1", 3, 0, 6, 1, 5, 0},
                      IntervalCase{"quotient exactly 5 falls to 2", 3, 0, 15, 2, 4, 0},
                      IntervalCase{"quotient a power of ten", 3, 0, 30, 10, 5, 0},
                      IntervalCase{"quotient just below 5", 2, 0, 9.8, 2, 4, 0},
                      IntervalCase{"quotient above 5", 2, 0, 10.2, 5, 5, 0},
                      IntervalCase{"small span", 3, 0.0011, 0.002, 0.0002, 4, 0.0012},
                      IntervalCase{"negative range", 3, -7, -1, 1, 5, -7},
                      IntervalCase{"first tick past an offset low", 3, 13, 1013, 200, 4, 200},
                      IntervalCase{"descending axis", 3, 10, 1, -2, 4, 10},
                      IntervalCase{"unit steps over a short span", 0, 0.5, 5, 1, 5, 1},
                      IntervalCase{"unit steps over a long span", 0, 0, 20, 1, 1, 0},
                      IntervalCase{"unit steps descending", 0, 5, 0, -1, 5, 5}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

std::vector<double> range(double from, double step, int count) {
    std::vector<double> v;
    for (int i = 0; i < count; ++i)
        v.push_back(from + i * step);
    return v;
}

void expectValues(const std::vector<double>& actual, const std::vector<double>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i)
        EXPECT_NEAR(actual[i], expected[i], 1e-9) << "index " << i;
}

TEST(TickValues, LabelledAndShortTicksOfTheFormAxes) {
    const TickValues x = GenerateTickValues(ComputeTickInterval(3, 0, 1000), 0, 1000, true);
    expectValues(x.Labelled, range(0, 200, 6));
    expectValues(x.Short, range(0, 50, 21));

    const TickValues x6 = GenerateTickValues(ComputeTickInterval(6, 0, 1000), 0, 1000, true);
    expectValues(x6.Labelled, range(0, 100, 11));
    expectValues(x6.Short, range(0, 20, 51));

    // Short ticks start at the range's low end, not at the first labelled tick.
    const TickValues y = GenerateTickValues(ComputeTickInterval(3, 1, 10), 1, 10, true);
    expectValues(y.Labelled, range(2, 2, 5));
    expectValues(y.Short, range(1, 0.5, 19));
}

TEST(TickValues, DescendingAxisRunsDownward) {
    const TickValues v = GenerateTickValues(ComputeTickInterval(3, 10, 1), 10, 1, true);
    expectValues(v.Labelled, {10, 8, 6, 4, 2});
    ASSERT_FALSE(v.Short.empty());
    EXPECT_NEAR(v.Short.front(), 10, 1e-12);
    EXPECT_NEAR(v.Short.back(), 1, 1e-12);
}

TEST(TickValues, ShortTicksOffGivesOnlyLabelledTicks) {
    const TickValues v = GenerateTickValues(ComputeTickInterval(3, 0, 1000), 0, 1000, false);
    EXPECT_TRUE(v.Short.empty());
    EXPECT_EQ(v.Labelled.size(), 6u);
}

TEST(TickValues, DegenerateRangesDrawNothingAndTerminate) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double lo, hi;
    };
    for (const Case c : {Case{5, 5}, Case{0, inf}, Case{-inf, 0}, Case{nan, 1}, Case{0, nan},
                         Case{-1e308, 1e308}}) {
        const TickInterval t = ComputeTickInterval(3, c.lo, c.hi);
        EXPECT_EQ(t.Step, 0.0) << c.lo << ".." << c.hi;
        const TickValues v = GenerateTickValues(t, c.lo, c.hi, true);
        EXPECT_TRUE(v.Labelled.empty());
        EXPECT_TRUE(v.Short.empty());
    }
    // A step far below the resolution of the values must still end.
    for (int m : {0, 3, 10}) {
        const TickInterval t = ComputeTickInterval(m, 1e16, 1e16 + 4);
        const TickValues v = GenerateTickValues(t, 1e16, 1e16 + 4, true);
        EXPECT_LE(v.Short.size(), static_cast<std::size_t>(kMaxTicksPerLoop));
        EXPECT_LE(v.Labelled.size(), static_cast<std::size_t>(kMaxTicksPerLoop));
    }
    const TickInterval tiny = ComputeTickInterval(3, 1e10, 1e10 + 1e-5);
    EXPECT_GT(tiny.Step, 0.0);
    EXPECT_LE(GenerateTickValues(tiny, 1e10, 1e10 + 1e-5, true).Short.size(),
              static_cast<std::size_t>(kMaxTicksPerLoop));
}

TEST(TickList, KeepsAtMost250ValuesAndResets) {
    TickList list;
    for (int i = 0; i < 300; ++i)
        list.Append(i);
    EXPECT_EQ(list.NumTicks(), TickList::kCapacity);
    EXPECT_EQ(list[249], 249.0);
    list.Reset();
    EXPECT_EQ(list.NumTicks(), 0);
    EXPECT_EQ(list.begin(), list.end());
}

} // namespace
