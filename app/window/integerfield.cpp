// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window/integerfield.h"

namespace {

int digitValue(QChar c, unsigned base) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') {
        return u - u'0';
    }
    if (base == 16 && u >= u'a' && u <= u'f') {
        return u - u'a' + 10;
    }
    if (base == 16 && u >= u'A' && u <= u'F') {
        return u - u'A' + 10;
    }
    return -1;
}

} // namespace

std::int64_t LenientStrToInt(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == QLatin1Char(' ')) {
        ++i;
    }
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    unsigned base = 10;
    if (i < n && text[i] == QLatin1Char('$')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == QLatin1Char('0') &&
               (text[i + 1] == QLatin1Char('x') || text[i + 1] == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    } else if (i < n && (text[i] == QLatin1Char('x') || text[i] == QLatin1Char('X'))) {
        base = 16;
        ++i;
    }
    std::uint64_t value = 0; // unsigned, so that wrapping is defined
    for (; i < n; ++i) {
        const int digit = digitValue(text[i], base);
        if (digit < 0) {
            break;
        }
        value = value * base + static_cast<unsigned>(digit);
    }
    if (negative) {
        value = ~value + 1;
    }
    return static_cast<std::int64_t>(value);
}
