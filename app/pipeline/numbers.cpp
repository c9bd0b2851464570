// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pipeline/numbers.h"

#include "base/exception.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <system_error>

namespace numbers {

namespace {

std::atomic<char> g_separatorOverride{'\0'};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The power of ten of the first non-zero digit of a normalised text ("<digits>[.<digits>]
// [e[-]<digits>]"), saturated far beyond double's range.
long decimalExponent(const std::string& text) {
    const std::size_t e = std::min(text.find('e'), text.size());
    const std::size_t point = std::min(text.find('.'), e);
    long lead = 0;
    bool found = false;
    for (std::size_t k = 0; k < e && !found; ++k) {
        if (text[k] == '.' || text[k] == '0') {
            continue;
        }
        found = true;
        lead = k < point ? static_cast<long>(point - k - 1) : -static_cast<long>(k - point);
    }
    long exponent = 0;
    bool negative = false;
    for (std::size_t k = e + 1; k < text.size(); ++k) {
        if (text[k] == '-') {
            negative = true;
        } else if (exponent < 100000000) {
            exponent = exponent * 10 + (text[k] - '0');
        }
    }
    return lead + (negative ? -exponent : exponent);
}

// Converts a normalised text to double. from_chars leaves the value untouched when it is out
// of double's range, so overflow and underflow are told apart from the decimal exponent.
double convert(const std::string& text, bool negative) {
    double value = 0.0;
    const char* first = text.data();
    const char* last = first + text.size();
    auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        value = decimalExponent(text) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (ec != std::errc() || ptr != last) {
        value = 0.0; // cannot happen for texts built here
    }
    return negative ? -value : value;
}

// The failure value of the lenient parse: the mantissa digits as an unsigned integer, read at
// double precision.
double mantissaValue(const std::string& mantissa) {
    if (mantissa.empty()) {
        return 0.0;
    }
    return convert(mantissa, false);
}

} // namespace

char DecimalSeparator() {
    const char override = g_separatorOverride.load(std::memory_order_relaxed);
    if (override != '\0') {
        return override;
    }
    const std::lconv* conv = std::localeconv();
    if (conv == nullptr || conv->decimal_point == nullptr || conv->decimal_point[0] == '\0' ||
        conv->decimal_point[1] != '\0') {
        return '.';
    }
    return conv->decimal_point[0];
}

void SetDecimalSeparator(char separator) {
    g_separatorOverride.store(separator, std::memory_order_relaxed);
}

namespace {

// What the lenient parse read: on success the number as a normalised text with its sign apart,
// on failure the mantissa digits read before the offending character.
struct LineScan {
    bool Ok = false;
    bool Negative = false;
    std::string Normal;   // "<digits>[.<digits>][e[-]<digits>]" when Ok
    std::string Mantissa; // every mantissa digit read, the point left out
};

LineScan scanLineNumber(std::string_view text) {
    LineScan scan;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && text[i] == ' ') {
        ++i;
    }
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        scan.Negative = text[i] == '-';
        ++i;
    }
    std::string& normal = scan.Normal;
    std::string& mantissa = scan.Mantissa;
    normal.reserve(n);
    mantissa.reserve(n);
    while (i < n && isDigit(text[i])) {
        mantissa.push_back(text[i]);
        ++i;
    }
    bool point = false;
    std::size_t fractionStart = mantissa.size();
    if (i < n && text[i] == '.') {
        point = true;
        ++i;
        while (i < n && isDigit(text[i])) {
            mantissa.push_back(text[i]);
            ++i;
        }
    }
    if (mantissa.empty()) {
        return scan;
    }
    normal.assign(mantissa, 0, fractionStart);
    if (point) {
        normal.push_back('.');
        normal.append(mantissa, fractionStart, std::string::npos);
    }
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        std::string exponent = "e";
        if (i < n && (text[i] == '+' || text[i] == '-')) {
            if (text[i] == '-') {
                exponent.push_back('-');
            }
            ++i;
        }
        const std::size_t expDigits = i;
        while (i < n && isDigit(text[i])) {
            exponent.push_back(text[i]);
            ++i;
        }
        if (i == expDigits) {
            return scan;
        }
        normal += exponent;
    }
    scan.Ok = i == n;
    return scan;
}

// Rounds a normalised text straight to single precision. Going through double first would round
// twice, and a value just below a halfway point between two singles could end on the wrong one.
float convertSingle(const std::string& text, bool negative) {
    float value = 0.0f;
    const char* first = text.data();
    const char* last = first + text.size();
    auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        if (decimalExponent(text) > 0) {
            throw EOverflow();
        }
        value = 0.0f; // below half the smallest subnormal: underflow passes silently
    } else if (ec != std::errc() || ptr != last) {
        value = 0.0f; // cannot happen for texts built here
    }
    if (std::isinf(value)) {
        throw EOverflow();
    }
    return negative ? -value : value;
}

} // namespace

LineNumber ParseLineNumber(std::string_view text) {
    const LineScan scan = scanLineNumber(text);
    LineNumber result;
    result.Ok = scan.Ok;
    if (!scan.Ok) {
        result.Value = mantissaValue(scan.Mantissa);
    } else {
        result.Value = convert(scan.Normal, scan.Negative);
    }
    return result;
}

namespace {

// A line that is a plain decimal ("[blanks][sign]digits[.digits]", no exponent) whose digits form
// an integer m <= 2^24 with k <= 10 digits after the point: m and 10^k are exact singles, so the
// one rounding of the single division m / 10^k gives the correctly rounded value, the one the
// general conversion gives (Clinger's fast path). Most device lines are of this kind.
bool parsePlainSingle(std::string_view text, float& value) {
    static constexpr float kPowers[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                        1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end && *p == ' ') {
        ++p;
    }
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    std::uint64_t m = 0;
    int digits = 0;
    int fraction = 0;
    bool point = false;
    for (; p < end; ++p) {
        const char c = *p;
        if (isDigit(c)) {
            if (++digits > 19) {
                return false;
            }
            m = m * 10 + static_cast<unsigned>(c - '0');
            fraction += point ? 1 : 0;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false; // an exponent, or a text the general parse handles
        }
    }
    if (digits == 0 || m > (std::uint64_t{1} << 24) || fraction > 10) {
        return false;
    }
    const float v = static_cast<float>(m) / kPowers[fraction];
    value = negative ? -v : v;
    return true;
}

} // namespace

float ParseLineSingle(std::string_view text) {
    float value = 0.0f;
    if (parsePlainSingle(text, value)) {
        return value;
    }
    const LineScan scan = scanLineNumber(text);
    if (!scan.Ok) {
        return scan.Mantissa.empty() ? 0.0f : convertSingle(scan.Mantissa, false);
    }
    return convertSingle(scan.Normal, scan.Negative);
}

float StoreSingle(double value) {
    // Values from the largest single up to half a unit above it round down to it; from there
    // on the rounded result is beyond the range.
    constexpr double kOverflowLimit = 0x1.ffffffp127;
    if (std::isnan(value)) {
        throw EInvalidOp();
    }
    if (std::fabs(value) >= kOverflowLimit) {
        throw EOverflow();
    }
    return static_cast<float>(value);
}

double StrToFloat(std::string_view text) {
    const auto reject = [&]() -> double {
        throw EConvertError("'" + std::string(text) + "' ist kein gültiger Gleitkommawert");
    };
    std::size_t i = 0;
    std::size_t n = text.size();
    while (i < n && text[i] == ' ') {
        ++i;
    }
    while (n > i && text[n - 1] == ' ') {
        --n;
    }
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::string normal;
    int digits = 0;
    while (i < n && isDigit(text[i])) {
        normal.push_back(text[i]);
        ++digits;
        ++i;
    }
    if (i < n && (text[i] == ',' || text[i] == '.')) {
        normal.push_back('.');
        ++i;
        while (i < n && isDigit(text[i])) {
            normal.push_back(text[i]);
            ++digits;
            ++i;
        }
    }
    if (digits == 0) {
        return reject();
    }
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        normal.push_back('e');
        if (i < n && (text[i] == '+' || text[i] == '-')) {
            if (text[i] == '-') {
                normal.push_back('-');
            }
            ++i;
        }
        const std::size_t expDigits = i;
        while (i < n && isDigit(text[i])) {
            normal.push_back(text[i]);
            ++i;
        }
        if (i == expDigits) {
            return reject();
        }
    }
    if (i != n) {
        return reject();
    }
    const double value = convert(normal, negative);
    if (std::isinf(value)) {
        throw EOverflow();
    }
    return value;
}

float FieldToSingle(std::string_view text) {
    return StoreSingle(StrToFloat(text));
}

std::string FloatToStr(double value, char separator) {
    if (value == 0.0) {
        return "0";
    }
    if (std::isnan(value)) {
        return "NAN";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-INF" : "INF";
    }
    // 15 significant digits, correctly rounded: d.dddddddddddddde[+-]x
    char buf[64];
    auto [end, ec] =
        std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 14);
    (void)ec;
    std::string_view sci(buf, static_cast<std::size_t>(end - buf));
    const std::size_t e = sci.find('e');
    std::string digits;
    digits.reserve(15);
    for (std::size_t k = 0; k < e; ++k) {
        if (isDigit(sci[k])) {
            digits.push_back(sci[k]);
        }
    }
    int exponent = 0;
    std::from_chars(sci.data() + e + 1 + (sci[e + 1] == '+' ? 1 : 0), sci.data() + sci.size(),
                    exponent);
    while (digits.size() > 1 && digits.back() == '0') {
        digits.pop_back();
    }
    const int count = static_cast<int>(digits.size());
    std::string out;
    if (value < 0) {
        out.push_back('-');
    }
    // exponent is the power of ten of the first digit: fixed for 1E-5 <= |value| < 1E15.
    if (exponent >= 15 || exponent < -5) {
        out.push_back(digits[0]);
        if (count > 1) {
            out.push_back(separator);
            out.append(digits, 1, std::string::npos);
        }
        out.push_back('E');
        out += std::to_string(exponent);
    } else if (exponent < 0) {
        out.push_back('0');
        out.push_back(separator);
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out += digits;
    } else {
        const int intDigits = exponent + 1;
        if (count <= intDigits) {
            out += digits;
            out.append(static_cast<std::size_t>(intDigits - count), '0');
        } else {
            out.append(digits, 0, static_cast<std::size_t>(intDigits));
            out.push_back(separator);
            out.append(digits, static_cast<std::size_t>(intDigits), std::string::npos);
        }
    }
    return out;
}

std::string FormatFloat00_00(double value, char separator) {
    if (!std::isfinite(value)) {
        return FloatToStr(value, separator);
    }
    // Round the shortest exact text half away from zero at the second decimal, as a user
    // reading the number would.
    char buf[400];
    auto [end, ec] =
        std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::fixed);
    (void)ec;
    std::string text(buf, end);
    std::size_t point = text.find('.');
    if (point == std::string::npos) {
        point = text.size();
        text.push_back('.');
    }
    text.append(3, '0');
    std::string intPart = text.substr(0, point);
    std::string frac = text.substr(point + 1, 2);
    const bool roundUp = text[point + 3] >= '5';
    std::string digits = intPart + frac;
    if (roundUp) {
        int k = static_cast<int>(digits.size()) - 1;
        while (k >= 0 && digits[static_cast<std::size_t>(k)] == '9') {
            digits[static_cast<std::size_t>(k)] = '0';
            --k;
        }
        if (k < 0) {
            digits.insert(digits.begin(), '1');
        } else {
            ++digits[static_cast<std::size_t>(k)];
        }
    }
    std::string integer = digits.substr(0, digits.size() - 2);
    while (integer.size() > 2 && integer[0] == '0') {
        integer.erase(0, 1);
    }
    while (integer.size() < 2) {
        integer.insert(integer.begin(), '0');
    }
    std::string out;
    if (value < 0 && digits.find_first_not_of('0') != std::string::npos) {
        out.push_back('-');
    }
    out += integer;
    out.push_back(separator);
    out += digits.substr(digits.size() - 2);
    return out;
}

} // namespace numbers
