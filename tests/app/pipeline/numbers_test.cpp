// SPDX-License-Identifier: GPL-3.0-or-later
// The numbers unit: lenient parse of received values, typed field conversion, checked
// single-precision store and the on-screen texts.
#include "app/pipeline/numbers.h"

#include "base/exception.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

using namespace numbers;

namespace {

struct ParseCase {
    const char* text;
    double value;
    bool ok;
};

class ParseLineNumberTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseLineNumberTest, GivesValueAndValidity) {
    const ParseCase& c = GetParam();
    const LineNumber r = ParseLineNumber(c.text);
    EXPECT_EQ(r.Ok, c.ok) << '"' << c.text << '"';
    EXPECT_DOUBLE_EQ(r.Value, c.value) << '"' << c.text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    ReceivedTexts, ParseLineNumberTest,
    testing::Values(
        // valid numbers, locale-free
        ParseCase{"2.5", 2.5, true}, ParseCase{"-2.5", -2.5, true}, ParseCase{"+7", 7, true},
        ParseCase{" 2.5", 2.5, true}, ParseCase{"   -0.125", -0.125, true},
        ParseCase{"1.", 1, true}, ParseCase{".5", 0.5, true}, ParseCase{"-.5", -0.5, true},
        ParseCase{"1e3", 1000, true}, ParseCase{"1E+3", 1000, true},
        ParseCase{"2.5e-2", 0.025, true}, ParseCase{"007", 7, true}, ParseCase{"0.1", 0.1, true},
        // failures: the unsigned mantissa digits read before the offending character
        ParseCase{"2,5", 2, false}, ParseCase{"2.5 ", 25, false}, ParseCase{"-3.25 ", 325, false},
        ParseCase{"12,5", 12, false}, ParseCase{"", 0, false}, ParseCase{"   ", 0, false},
        ParseCase{"-", 0, false}, ParseCase{"+", 0, false}, ParseCase{".", 0, false},
        ParseCase{"1e", 1, false}, ParseCase{"1.5e+", 15, false}, ParseCase{"1e5x", 1, false},
        ParseCase{"2;3", 2, false}, ParseCase{"abc", 0, false}, ParseCase{"\t1", 0, false},
        ParseCase{"1\r", 1, false}, ParseCase{"--1", 0, false}, ParseCase{"1.2.3", 12, false}));

TEST(ParseLineNumber, OutOfDoubleRangeGivesInfinityOrZero) {
    EXPECT_TRUE(std::isinf(ParseLineNumber("1e400").Value));
    EXPECT_LT(ParseLineNumber("-1e400").Value, 0);
    EXPECT_TRUE(ParseLineNumber("1e400").Ok);
    EXPECT_EQ(ParseLineNumber("1e-400").Value, 0.0);
    EXPECT_EQ(ParseLineNumber("0.00001e-400").Value, 0.0);
    EXPECT_TRUE(std::isinf(ParseLineNumber("0.001e312").Value));
    EXPECT_EQ(ParseLineNumber("0e99999999999999999999").Value, 0.0);
    // A failed parse of a 400-digit mantissa is beyond double as well.
    EXPECT_TRUE(std::isinf(ParseLineNumber(std::string(400, '9') + "x").Value));
}

// Received numbers are rounded once, from the decimal text straight to single precision.
TEST(ParseLineSingle, RoundsTheDecimalValueOnceToSingle) {
    // Just above the halfway point between 1 and the next single: rounding to double first
    // lands exactly on the halfway point, which then goes to even (1.0).
    EXPECT_EQ(ParseLineSingle("1.0000000596046447753906250000001"), 0x1.000002p0f);
    EXPECT_EQ(ParseLineSingle("1.000000059604644775390625"), 1.0f); // the halfway point itself
    // Just below the halfway point above the largest single: still the largest single.
    const std::string belowHalf = "340282356779733660637539395458142568448";
    EXPECT_EQ(ParseLineSingle(belowHalf), FLT_MAX);
    EXPECT_EQ(ParseLineSingle("-" + belowHalf), -FLT_MAX);
    EXPECT_EQ(ParseLineSingle(belowHalf + "x"), FLT_MAX); // the digits of a failed parse too
    EXPECT_THROW(ParseLineSingle("340282356779733661637539395458142568448"), EOverflow);
    EXPECT_THROW(ParseLineSingle("1e39"), EOverflow);
    EXPECT_THROW(ParseLineSingle("-1e39"), EOverflow);
    EXPECT_THROW(ParseLineSingle(std::string(40, '9') + "x"), EOverflow);
    try {
        ParseLineSingle("1e39");
    } catch (const EOverflow& e) {
        EXPECT_EQ(e.Message(), "Gleitkommaüberlauf");
    }
    // Subnormals are kept, smaller values become a zero of their sign, silently.
    EXPECT_EQ(ParseLineSingle("1e-40"), 0x1.16c2p-133f);
    EXPECT_EQ(ParseLineSingle("1.401298464324817e-45"), 0x1p-149f);
    for (const char* zero : {"-0", "-0.0e5", "-1e-50", "-.0"}) {
        EXPECT_EQ(ParseLineSingle(zero), 0.0f) << zero;
        EXPECT_TRUE(std::signbit(ParseLineSingle(zero))) << zero;
    }
    EXPECT_FALSE(std::signbit(ParseLineSingle("1e-50")));
    // No hexadecimal, infinity or NaN spellings: they fail like any other text.
    EXPECT_EQ(ParseLineSingle("0x10"), 0.0f);
    EXPECT_EQ(ParseLineSingle("inf"), 0.0f);
    EXPECT_EQ(ParseLineSingle("nan"), 0.0f);
    EXPECT_EQ(ParseLineSingle("2.5e"), 25.0f);
}

// Short plain decimals, the usual device line, take a shorter way to the same single: random
// digit strings around the limits of that way (2^24, ten decimals), signs, blanks, leading zeros
// and points in every place, against the general conversion of the same digits.
TEST(ParseLineSingle, PlainDecimalsGiveTheGenerallyConvertedSingle) {
    std::mt19937_64 rng(42);
    int mismatches = 0;
    for (int i = 0; i < 400000; ++i) {
        const std::uint64_t limit = i % 2 ? (std::uint64_t{1} << 24) + 16 : 100000000000ull;
        const std::uint64_t m =
            i % 7 == 0 ? (std::uint64_t{1} << 24) - 8 + rng() % 24 : rng() % limit;
        std::string digits = std::string(rng() % 4 == 0 ? rng() % 3 : 0, '0') + std::to_string(m);
        const std::size_t fraction = rng() % 13;
        if (fraction > digits.size())
            digits.insert(0, fraction - digits.size(), '0');
        std::string number = digits;
        if (rng() % 5 != 0 || fraction > 0)
            number.insert(number.size() - fraction, ".");
        float expected = 0.0f;
        const auto [ptr, ec] =
            std::from_chars(number.data(), number.data() + number.size(), expected);
        ASSERT_EQ(ec, std::errc()) << number;
        const int sign = static_cast<int>(rng() % 3);
        const std::string line = std::string(rng() % 3, ' ') +
                                 (sign == 0   ? ""
                                  : sign == 1 ? "+"
                                              : "-") +
                                 number;
        if (sign == 2)
            expected = -expected;
        const float got = ParseLineSingle(line);
        if (std::bit_cast<std::uint32_t>(got) != std::bit_cast<std::uint32_t>(expected) &&
            ++mismatches < 10) {
            ADD_FAILURE() << "'" << line << "' gives " << got << ", expected " << expected;
        }
    }
    EXPECT_EQ(mismatches, 0);
    // Ties to even at 2^24 + 1, the largest fast value, and texts that only look plain.
    EXPECT_EQ(ParseLineSingle("16777217"), 16777216.0f);
    EXPECT_EQ(ParseLineSingle("1677721.7"), 1677721.75f);
    EXPECT_EQ(ParseLineSingle("0.0000000001"), 1e-10f);
    EXPECT_EQ(ParseLineSingle("1.5 "), 15.0f);
    EXPECT_EQ(ParseLineSingle("1.2.3"), 12.0f);
    EXPECT_EQ(ParseLineSingle("+-1"), 0.0f);
    EXPECT_EQ(ParseLineSingle("."), 0.0f);
    EXPECT_EQ(ParseLineSingle("5."), 5.0f);
    EXPECT_EQ(ParseLineSingle(" .5"), 0.5f);
}

TEST(StoreSingle, RaisesOverflowBeyondTheSingleRange) {
    EXPECT_EQ(StoreSingle(1.1), 1.1f);
    EXPECT_EQ(StoreSingle(FLT_MAX), FLT_MAX);
    EXPECT_EQ(StoreSingle(-static_cast<double>(FLT_MAX)), -FLT_MAX);
    // Up to half a unit above the largest single the value still rounds down to it.
    EXPECT_EQ(StoreSingle(0x1.fffffefffffffp127), FLT_MAX);
    EXPECT_THROW(StoreSingle(0x1.ffffffp127), EOverflow);
    EXPECT_THROW(StoreSingle(1e39), EOverflow);
    EXPECT_THROW(StoreSingle(-1e39), EOverflow);
    EXPECT_THROW(StoreSingle(std::numeric_limits<double>::infinity()), EOverflow);
    EXPECT_THROW(StoreSingle(std::nan("")), EInvalidOp);
    EXPECT_EQ(StoreSingle(1e-50), 0.0f); // underflow passes silently
    try {
        StoreSingle(1e39);
    } catch (const EOverflow& e) {
        EXPECT_EQ(e.Message(), "Gleitkommaüberlauf");
    }
}

struct FieldCase {
    const char* text;
    double value;
};

class StrToFloatAccepts : public testing::TestWithParam<FieldCase> {};

TEST_P(StrToFloatAccepts, BothSeparators) {
    EXPECT_DOUBLE_EQ(StrToFloat(GetParam().text), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(TypedFields, StrToFloatAccepts,
                         testing::Values(FieldCase{"1,000000000", 1}, FieldCase{"1.000000000", 1},
                                         FieldCase{"10,000000000", 10}, FieldCase{"0,000000000", 0},
                                         FieldCase{"-2,5", -2.5}, FieldCase{"-2.5", -2.5},
                                         FieldCase{"1000", 1000}, FieldCase{" 3,5 ", 3.5},
                                         FieldCase{"+4", 4}, FieldCase{",5", 0.5},
                                         FieldCase{"5,", 5}, FieldCase{"1,5E3", 1500},
                                         FieldCase{"1e-2", 0.01}));

class StrToFloatRejects : public testing::TestWithParam<const char*> {};

TEST_P(StrToFloatRejects, WithTheConversionMessage) {
    const std::string text = GetParam();
    try {
        StrToFloat(text);
        FAIL() << "accepted '" << text << "'";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'" + text + "' ist kein gültiger Gleitkommawert");
    }
}

INSTANTIATE_TEST_SUITE_P(TypedFields, StrToFloatRejects,
                         testing::Values("", " ", "abc", "1,2,3", "1.000,5", "1 000", "1e", "--1",
                                         ",", "1,5x", "0x10", "inf", "nan", "1;2"));

TEST(FieldToSingle, OverflowsBeyondTheSingleRange) {
    EXPECT_EQ(FieldToSingle("1,1"), 1.1f);
    EXPECT_THROW(FieldToSingle("1e39"), EOverflow);
    EXPECT_THROW(FieldToSingle("1e400"), EOverflow);
}

struct TextCase {
    double value;
    const char* comma;
};

class FloatToStrTest : public testing::TestWithParam<TextCase> {};

TEST_P(FloatToStrTest, GeneralFormatWithFifteenDigits) {
    const TextCase& c = GetParam();
    EXPECT_EQ(FloatToStr(c.value, ','), c.comma);
    std::string dotted = c.comma;
    for (char& ch : dotted) {
        if (ch == ',') {
            ch = '.';
        }
    }
    EXPECT_EQ(FloatToStr(c.value, '.'), dotted);
}

INSTANTIATE_TEST_SUITE_P(
    ValueTexts, FloatToStrTest,
    testing::Values(TextCase{1.1f, "1,10000002384186"}, TextCase{2.5, "2,5"}, TextCase{0, "0"},
                    TextCase{-7, "-7"}, TextCase{1000, "1000"}, TextCase{0.1f, "0,100000001490116"},
                    TextCase{0.00001, "0,00001"}, TextCase{0.000015, "0,000015"},
                    TextCase{0.0000015, "1,5E-6"}, TextCase{1e-5f, "9,99999974737875E-6"},
                    TextCase{123456789012345.0, "123456789012345"}, TextCase{1e15, "1E15"},
                    TextCase{1e20, "1E20"},
                    TextCase{-3.4028234663852886e38, "-3,40282346638529E38"},
                    TextCase{16777216, "16777216"}, TextCase{0.5, "0,5"}));

struct PatternCase {
    double value;
    const char* text;
};

class FormatFloatTest : public testing::TestWithParam<PatternCase> {};

TEST_P(FormatFloatTest, TwoIntegerDigitsTwoDecimals) {
    EXPECT_EQ(FormatFloat00_00(GetParam().value, ','), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(ProcessTimes, FormatFloatTest,
                         testing::Values(PatternCase{0, "00,00"}, PatternCase{3.25, "03,25"},
                                         PatternCase{0.004, "00,00"}, PatternCase{0.005, "00,01"},
                                         PatternCase{0.125, "00,13"}, PatternCase{9.999, "10,00"},
                                         PatternCase{99.995, "100,00"},
                                         PatternCase{123.456, "123,46"},
                                         PatternCase{12.3, "12,30"}));

TEST(DecimalSeparator, OverrideWinsOverTheLocale) {
    SetDecimalSeparator(',');
    EXPECT_EQ(DecimalSeparator(), ',');
    SetDecimalSeparator('.');
    EXPECT_EQ(DecimalSeparator(), '.');
    SetDecimalSeparator('\0');
    EXPECT_EQ(DecimalSeparator(), '.'); // the C locale of a test process
}

} // namespace
