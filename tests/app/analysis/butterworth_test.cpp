// SPDX-License-Identifier: GPL-3.0-or-later
// Butterworth design against SciPy's designs (butterworth_reference.h), the defining gains of a
// Butterworth filter, stability at the extreme edges, and the cascade's behaviour in time.
#include "app/analysis/butterworth.h"
#include "app/analysis/sosfilter.h"
#include "tests/app/analysis/butterworth_reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

FilterSetting settingOf(const std::string& kind, int order, double low, double high) {
    FilterSetting s;
    s.Kind = kind == "lowpass"    ? FilterKind::Lowpass
             : kind == "highpass" ? FilterKind::Highpass
             : kind == "bandpass" ? FilterKind::Bandpass
                                  : FilterKind::Bandstop;
    s.Order = order;
    s.Low = low;
    s.High = high;
    return s;
}

std::vector<Biquad> referenceSections(const ButterworthReference& r) {
    std::vector<Biquad> out;
    for (int i = 0; i < r.Sections; ++i) {
        const double* c = r.Sos[i];
        out.push_back({c[0] / c[3], c[1] / c[3], c[2] / c[3], c[4] / c[3], c[5] / c[3]});
    }
    return out;
}

double decibel(std::complex<double> h) {
    return 20 * std::log10(std::abs(h));
}

class ButterworthReferenceTest : public ::testing::TestWithParam<ButterworthReference> {};

// SciPy pairs poles and zeros into sections differently and puts the whole gain into the
// first one, so the sections are compared by their poles and the cascade by its response.
TEST_P(ButterworthReferenceTest, PolesAndResponseMatchScipy) {
    const ButterworthReference& r = GetParam();
    const std::vector<Biquad> ours = DesignButterworth(settingOf(r.Kind, r.Order, r.Low, r.High));
    const std::vector<Biquad> theirs = referenceSections(r);
    ASSERT_EQ(ours.size(), theirs.size());
    // Each of our sections has the poles of one of SciPy's (sections can share a2 exactly, as
    // mirror images about a quarter of the sample rate do, so match nearest rather than sort).
    std::vector<bool> taken(theirs.size(), false);
    for (std::size_t i = 0; i < ours.size(); ++i) {
        std::size_t best = 0;
        double distance = INFINITY;
        for (std::size_t j = 0; j < theirs.size(); ++j) {
            const double d =
                std::abs(ours[i].a1 - theirs[j].a1) + std::abs(ours[i].a2 - theirs[j].a2);
            if (!taken[j] && d < distance) {
                best = j;
                distance = d;
            }
        }
        taken[best] = true;
        EXPECT_NEAR(ours[i].a1, theirs[best].a1, 1e-12) << "section " << i;
        EXPECT_NEAR(ours[i].a2, theirs[best].a2, 1e-12) << "section " << i;
    }
    for (int k = 1; k < 200; ++k) {
        const double f = k / 400.0;
        const std::complex<double> h = SectionsResponse(theirs, f);
        EXPECT_LT(std::abs(SectionsResponse(ours, f) - h), 1e-9 * std::max(1.0, std::abs(h)))
            << "at f = " << f;
    }
}

INSTANTIATE_TEST_SUITE_P(Scipy, ButterworthReferenceTest,
                         ::testing::ValuesIn(kButterworthReference),
                         [](const testing::TestParamInfo<ButterworthReference>& info) {
                             return std::string(info.param.Kind) + "_order" +
                                    std::to_string(info.param.Order) + "_" +
                                    std::to_string(info.index);
                         });

struct Band {
    double low;
    double high;
};

const std::vector<double> kEdges{0.001, 0.01, 0.05, 0.1, 0.2, 0.3, 0.45, 0.499};
const std::vector<Band> kBands{{0.001, 0.002}, {0.01, 0.05}, {0.1, 0.2},
                               {0.05, 0.45},   {0.3, 0.31},  {0.45, 0.499}};

TEST(ButterworthDesign, HalfPowerAtEveryEdgeAndUnitGainWhereItPasses) {
    for (int order = 1; order <= 8; ++order) {
        for (const double f : kEdges) {
            const auto lp = DesignButterworth(settingOf("lowpass", order, f, 0));
            const auto hp = DesignButterworth(settingOf("highpass", order, f, 0));
            EXPECT_NEAR(decibel(SectionsResponse(lp, f)), -3.0103, 0.01) << order << " " << f;
            EXPECT_NEAR(decibel(SectionsResponse(hp, f)), -3.0103, 0.01) << order << " " << f;
            EXPECT_NEAR(std::abs(SectionsResponse(lp, 0)), 1.0, 1e-9) << order << " " << f;
            EXPECT_NEAR(std::abs(SectionsResponse(hp, 0.5)), 1.0, 1e-9) << order << " " << f;
            EXPECT_LT(std::abs(SectionsResponse(hp, 0)), 1e-12);
            EXPECT_LT(std::abs(SectionsResponse(lp, 0.5)), 1e-12);
        }
        for (const Band b : kBands) {
            const auto bp = DesignButterworth(settingOf("bandpass", order, b.low, b.high));
            const auto bs = DesignButterworth(settingOf("bandstop", order, b.low, b.high));
            for (const double f : {b.low, b.high}) {
                EXPECT_NEAR(decibel(SectionsResponse(bp, f)), -3.0103, 0.01) << order << " " << f;
                EXPECT_NEAR(decibel(SectionsResponse(bs, f)), -3.0103, 0.01) << order << " " << f;
            }
            EXPECT_NEAR(std::abs(SectionsResponse(bs, 0)), 1.0, 1e-9);
            EXPECT_NEAR(std::abs(SectionsResponse(bs, 0.5)), 1.0, 1e-9);
            // The band's centre, the pre-warped edges' geometric mean.
            const double w = std::sqrt(std::tan(M_PI * b.low) * std::tan(M_PI * b.high));
            const double centre = std::atan(w) / M_PI;
            EXPECT_NEAR(std::abs(SectionsResponse(bp, centre)), 1.0, 1e-9);
            EXPECT_LT(std::abs(SectionsResponse(bs, centre)), 1e-6);
        }
    }
}

// A unit step through every design, at the edges nearest 0 and 0.5 included: the poles stay
// inside the unit circle and the output settles on the gain at DC.
TEST(ButterworthDesign, StableAtTheExtremeEdgesAndStepResponsesSettle) {
    std::vector<FilterSetting> settings;
    for (int order = 1; order <= 8; ++order) {
        for (const double f : {0.001, 0.1, 0.499}) {
            settings.push_back(settingOf("lowpass", order, f, 0));
            settings.push_back(settingOf("highpass", order, f, 0));
        }
        for (const Band b : {Band{0.001, 0.002}, Band{0.1, 0.2}, Band{0.49, 0.499}}) {
            settings.push_back(settingOf("bandpass", order, b.low, b.high));
            settings.push_back(settingOf("bandstop", order, b.low, b.high));
        }
    }
    for (const FilterSetting& setting : settings) {
        const auto sections = DesignButterworth(setting);
        ASSERT_TRUE(SectionsStable(sections));
        SosFilter filter(sections);
        const double settled = std::abs(SectionsResponse(sections, 0));
        double y = 0;
        double peak = 0;
        for (int i = 0; i < 100000; ++i) {
            y = filter.Process(1.0);
            peak = std::max(peak, std::abs(y));
        }
        const int kind = static_cast<int>(setting.Kind);
        EXPECT_NEAR(y, settled, 1e-6) << kind << " " << setting.Order << " " << setting.Low;
        EXPECT_LT(peak, 3.0) << kind << " " << setting.Order << " " << setting.Low;
        for (int i = 0; i < 1000; ++i) {
            EXPECT_NEAR(filter.Process(1.0), settled, 1e-6);
        }
    }
}

TEST(ButterworthDesign, HugeAndTinyInputsGiveFiniteOutputsAndResetForgetsThem) {
    for (const FilterSetting& setting :
         {settingOf("lowpass", 8, 0.001, 0), settingOf("highpass", 8, 0.499, 0),
          settingOf("bandpass", 8, 0.2, 0.21), settingOf("bandstop", 8, 0.001, 0.4)}) {
        SosFilter filter(DesignButterworth(setting));
        double largest = 0;
        for (int i = 0; i < 20000; ++i) {
            // The largest singles with alternating and random signs, then the smallest ones.
            const double x = i < 10000 ? ((i * 7919) % 3 == 0 ? -3.4e38 : 3.4e38)
                                       : ((i % 2 != 0) ? 1.4e-45 : -1.4e-45);
            const double y = filter.Process(x);
            ASSERT_TRUE(std::isfinite(y)) << i;
            largest = std::max(largest, std::abs(y));
        }
        EXPECT_LT(largest, 1e40);
        SosFilter fresh(DesignButterworth(setting));
        filter.Reset();
        for (int i = 0; i < 100; ++i) {
            EXPECT_EQ(filter.Process(std::sin(i)), fresh.Process(std::sin(i)));
        }
    }
}

} // namespace
