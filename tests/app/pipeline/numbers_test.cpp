// The numbers unit: lenient parse of received values, typed field conversion, checked
// single-precision store and the on-screen texts.
#include "app/pipeline/numbers.h"

#include "base/exception.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
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
