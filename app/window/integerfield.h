// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The lenient integer conversion of the port and baud rate fields: never rejects a text.

#include <QString>
#include <cstdint>

// Skips leading blanks, takes an optional sign and decimal digits, or hexadecimal digits after
// "$", "0x" or "x", and stops at the first character that does not fit, keeping the value of the
// digits read so far (0 for an empty text or one without digits). The value wraps modulo 2^64,
// as a fixed-width result would; callers narrow it to their field's width.
std::int64_t LenientStrToInt(const QString& text);
