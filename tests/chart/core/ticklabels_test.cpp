// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/core/ticklabels.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace {

struct LabelCase {
    const char* name;
    double v, lo, hi;
    int decPlaces;
    const char* inscript;
    const char* expected;
};

const LabelCase kLabelCases[] = {
    LabelCase{"integer axis", 200, 0, 1000, 0, "", "200"},
    LabelCase{"automatic places for span 9", 2, 1, 10, -2, "", "2.0"},
    LabelCase{"automatic places for span 9, top", 10, 1, 10, -3, "", "10.0"},
    LabelCase{"automatic places for span 1", 0.25, 0, 1, -2, "", "0.25"},
    LabelCase{"automatic places for span 0.01", 0.0025, 0, 0.01, -2, "", "0.0025"},
    LabelCase{"automatic places for span 100 and more", 250, 0, 500, -2, "", "250"},
    LabelCase{"negative value", -2.5, -10, 0, 1, "", "-2.5"},
    LabelCase{"rounding to zero drops the sign", -0.001, 0, 10, 1, "", "0.0"},
    LabelCase{"tiny value prints as zero", 1e-17, 0, 1000, 0, "", "0"},
    LabelCase{"tiny value with automatic places", 1e-17, 0, 1000, -2, "", "0"},
    LabelCase{"zero on a wide axis", 0, 0, 200000, -2, "", "0"},
    LabelCase{"zero on a very wide axis", 0, 0, 2e6, -2, "", "0.0"},
    LabelCase{"zero in scientific form on a narrow axis", 0, 0, 1e-5, -2, "", " 0.0E+00"},
    LabelCase{"scientific for wide spans", 12345, 0, 2e6, -2, "", " 1.2E+04"},
    LabelCase{"scientific negative", -12345, -2e6, 0, -1, "", "-1.2E+04"},
    LabelCase{"scientific rounds up the mantissa", 99600, 0, 2e6, -1, "", " 1.0E+05"},
    LabelCase{"scientific small", 1e-5, 0, 1e-4, -2, "", " 1.0E-05"},
    LabelCase{"three-digit exponent becomes stars", 1e100, 0, 2e100, -1, "", "********"},
    LabelCase{"two lost exponent digits become stars", 1e-120, 0, 2e-120, -1, "", "********"},
    LabelCase{"cut to 14 characters", 1234567.5, 0, 10, 12, "", "1234567.500000"},
    LabelCase{"integer-only axis hides fractions", 0.6, 0, 5, 0, "", ""},
    LabelCase{"integer-only axis keeps integers", 3, 0, 5, 0, "", "3"},
    LabelCase{"integer-only axis tolerates rounding noise", 3.0000000001, 0, 5, 0, "", "3"},
    LabelCase{"inscript as suffix", 2, 1, 10, -2, " V", "2.0 V"},
    LabelCase{"inscript split at &", 2, 1, 10, -2, " V&$", "$2.0 V"},
    LabelCase{"inscript prefix only", 2, 1, 10, -2, "&~", "~2.0"},
    LabelCase{"inscript splits at the first &", 2, 1, 10, -2, "a&b&c", "b&c2.0a"},
    LabelCase{"empty label stays empty", 0.5, 0, 5, 0, " V", ""}};

class TickLabelTable : public ::testing::TestWithParam<LabelCase> {};

TEST_P(TickLabelTable, FormatsLabel) {
    const LabelCase& c = GetParam();
    EXPECT_EQ(TickLabelText(c.v, c.lo, c.hi, c.decPlaces, c.inscript), std::string(c.expected))
        << c.name;
}

INSTANTIATE_TEST_SUITE_P(Labels, TickLabelTable, ::testing::ValuesIn(kLabelCases),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

// The program runs under the user's locale (setlocale(LC_ALL, "")); for the duration of a test
// this switches the C locale to one with a decimal comma, if the system has one.
class CommaLocale {
public:
    CommaLocale() {
        m_saved = std::setlocale(LC_ALL, nullptr);
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "de_AT.UTF-8", "de_CH.UTF-8",
                                 "fr_FR.UTF-8", "nl_NL.UTF-8", "es_ES.UTF-8"}) {
            if (std::setlocale(LC_ALL, name) != nullptr &&
                std::string(std::localeconv()->decimal_point) == ",") {
                m_active = true;
                return;
            }
        }
        std::setlocale(LC_ALL, m_saved.c_str());
    }
    ~CommaLocale() { std::setlocale(LC_ALL, m_saved.c_str()); }
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;
    bool Active() const { return m_active; }

private:
    std::string m_saved;
    bool m_active = false;
};

TEST(TickLabelLocale, CommaLocaleKeepsThePoint) {
    const CommaLocale comma;
    if (!comma.Active())
        GTEST_SKIP() << "no locale with a decimal comma on this system "
                        "(tools/install-deps generates de_DE.UTF-8)";
    for (const LabelCase& c : kLabelCases) {
        EXPECT_EQ(TickLabelText(c.v, c.lo, c.hi, c.decPlaces, c.inscript), std::string(c.expected))
            << c.name;
    }
}

TEST(EffectiveDecPlaces, AutomaticChoiceFollowsTheSpan) {
    struct Case {
        int dec;
        double lo, hi;
        int expected;
    };
    for (const Case c :
         {Case{-2, 1, 10, 1}, Case{-2, 0, 1, 2}, Case{-3, 0, 0.01, 4}, Case{-2, 0, 99, 0},
          Case{-2, 0, 100, 0}, Case{-2, 0, 999999, 0}, Case{-2, 0, 1e6, -1}, Case{-2, 0, 1e-4, -1},
          Case{-2, 5, 5, -1}, Case{-2, 0, 0.5, 2}, Case{-2, 0, 20, 1}, Case{-1, 0, 10, -1},
          Case{0, 0, 1e9, 0}, Case{7, 0, 1, 7}}) {
        EXPECT_EQ(EffectiveDecPlaces(c.dec, c.lo, c.hi), c.expected)
            << c.dec << " " << c.lo << ".." << c.hi;
    }
}

} // namespace
