// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/core/ticklabels.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr std::size_t kMaxLabelLength = 14;

// The labels always read with "." whatever the user's locale: to_chars ignores the locale that
// the application sets for its own value texts.
std::string fixedText(double v, int p) {
    char buf[512]; // 309 integer digits of the largest double, the point and the decimals
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, p);
    if (ec != std::errc())
        return std::string(kMaxLabelLength, '*');
    std::string s(buf, end);
    // A negative value that rounds to zero prints without its sign, as the zero it shows.
    if (!s.empty() && s[0] == '-' && s.find_first_not_of("0.", 1) == std::string::npos)
        s.erase(0, 1);
    return s;
}

// Two significant digits and a four-digit exponent, of which the leading two are dropped:
// " 1.2E+04". An exponent that needs those two digits makes the label all stars.
std::string scientificText(double v) {
    char buf[64];
    const auto [end, ec] =
        std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific, 1);
    std::string s(buf, ec == std::errc() ? end : buf); // "1.2e+04", "1.2e-123"
    const std::size_t e = s.find('e');
    if (e == std::string::npos)
        return s;
    const int exponent = std::atoi(s.c_str() + e + 1);
    char expBuf[16];
    std::snprintf(expBuf, sizeof expBuf, "%04d", std::abs(exponent));
    const std::string digits(expBuf);
    std::string label = (std::signbit(v) && v != 0.0 ? "-" : " ") + s.substr(0, e) + "E" +
                        (exponent < 0 ? "-" : "+") + digits.substr(digits.size() - 2);
    if (digits.size() > 4 || digits[0] != '0' || digits[1] != '0')
        label.assign(label.size(), '*');
    return label;
}

} // namespace

int EffectiveDecPlaces(int decPlaces, double lo, double hi) {
    if (decPlaces != -2 && decPlaces != -3)
        return decPlaces;
    const double r = std::fabs(hi - lo);
    if (!std::isfinite(r) || r >= 1000000.0 || r <= 0.0001)
        return -1;
    if (r >= 100.0)
        return 0;
    return 2 - static_cast<int>(std::nearbyint(std::log(r) / 2.5));
}

std::string FormatTickValue(double v, int p) {
    if (std::isnan(v))
        return "NAN";
    if (std::isinf(v))
        return v < 0 ? "-INF" : "INF";
    if (p >= 0)
        return fixedText(v, p);
    return scientificText(v);
}

std::string TickLabelText(double v, double lo, double hi, int decPlaces,
                          const std::string& scaleInscript) {
    const int p = EffectiveDecPlaces(decPlaces, lo, hi);
    const double r = std::fabs(hi - lo);
    std::string label;
    const double span = hi - lo;
    if (v == 0.0 || (span != 0.0 && std::fabs(v / span) < 1e-14)) {
        v = 0.0;
        if (r <= 100000.0)
            label = FormatTickValue(0.0, p);
        else
            label = p != 0 ? "0.0" : "0";
    } else {
        label = FormatTickValue(v, p);
    }
    if (label.size() > kMaxLabelLength)
        label.resize(kMaxLabelLength);
    if (decPlaces == 0 && std::fabs(v - std::nearbyint(v)) > 1e-6)
        label.clear();
    if (!label.empty() && !scaleInscript.empty()) {
        const std::size_t amp = scaleInscript.find('&');
        if (amp == std::string::npos)
            label += scaleInscript;
        else
            label = scaleInscript.substr(amp + 1) + label + scaleInscript.substr(0, amp);
    }
    return label;
}
