// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Numbers as the program reads, stores and shows them: the lenient, locale-free parse of the
// values received on the serial line, the conversion of the numbers typed into the window's
// fields, the checked store into single precision and the texts shown on screen.
//
// Nothing here reads the process locale behind the caller's back: every function that depends
// on the user's decimal separator takes it as a parameter. DecimalSeparator() supplies the
// default: the one set with SetDecimalSeparator(), otherwise the C library's LC_NUMERIC
// decimal point as the application has set it (setlocale(LC_ALL, "")).

#include <cstdint>
#include <string>
#include <string_view>

namespace numbers {

// The user's decimal separator: the override set with SetDecimalSeparator() or, when none is
// set (or it was set to '\0'), the first byte of LC_NUMERIC's decimal point ('.' if that is
// empty or not a single byte).
char DecimalSeparator();
void SetDecimalSeparator(char separator);

// The result of the lenient parse of one received number.
struct LineNumber {
    double Value = 0.0; // the number; +-infinity when its magnitude exceeds double's range
    bool Ok = false;    // false when the text did not end right after a valid number
};

// Parses one number received on the serial line, ignoring any locale: optional blanks (code 32
// only), an optional "+" or "-", digits with an optional "." (either side may be empty, but not
// both), an optional "E"/"e" with an optional sign and at least one digit. When the text ends
// exactly there, Value is the signed number and Ok is true. Otherwise (any other character,
// a trailing blank, an empty text, a sign or exponent letter without digits) Ok is false and
// Value is the unsigned number formed by the mantissa digits read before the offending
// character, the point ignored, no exponent or sign applied ("12,5" gives 12, "-3.25 " 325).
// The value is correctly rounded to double.
LineNumber ParseLineNumber(std::string_view text);

// The same parse, its result stored into single precision: the exact decimal value rounded once
// to the nearest single (ties to even), not through double. Raises EOverflow
// ("Gleitkommaüberlauf") when that rounding lies beyond the single range; a value too small
// for a subnormal gives a zero of its sign. The failure value of the parse likewise.
float ParseLineSingle(std::string_view text);

// Stores a value into a single-precision variable the way the floating-point unit with its
// traps enabled would: raises EOverflow ("Gleitkommaüberlauf") when the value rounded to single
// precision exceeds the single range (infinities included), EInvalidOp for NaN. Underflow to
// zero or to a subnormal passes silently.
float StoreSingle(double value);

// Converts the text of an edit field to a number (the user's locale, with both "," and "."
// accepted as the decimal separator): optional leading and trailing blanks, optional sign,
// digits with at most one decimal separator, optional exponent. Raises EConvertError
// "'%s' ist kein gültiger Gleitkommawert" (the text as given) for anything else, and EOverflow
// when the number is beyond double's range.
double StrToFloat(std::string_view text);

// StrToFloat followed by StoreSingle: a typed value stored into a single-precision setting.
float FieldToSingle(std::string_view text);

// The general number format of the value texts: up to 15 significant digits, trailing zeros
// dropped, fixed notation when 0.00001 <= |value| < 10^15, otherwise exponent notation
// ("1,5E-6", "1E20"), with the given decimal separator. Zero is "0".
std::string FloatToStr(double value, char separator);

// The pattern "00.00": at least two integer digits, exactly two decimals, the given separator
// ("03,25"). Rounds half away from zero.
std::string FormatFloat00_00(double value, char separator);

} // namespace numbers
