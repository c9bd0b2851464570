// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A live text made of the numbers of one line: the scaled value or values for Label10, or the
// sample count or the processing time for the status bar. Formatting them costs more than the rest
// of the line's work; a window that shows at most one text per display frame makes only the ones it
// shows.

#include <cstdint>
#include <string>

struct NumberText {
    enum Kind : unsigned char { Value, TwoValues, ProcessTime, Count };

    static NumberText OneValue(float value, char separator) {
        return {Value, separator, value, 0.0f};
    }
    static NumberText Values(float value1, float value2, char separator) {
        return {TwoValues, separator, value1, value2};
    }
    static NumberText Time(float milliseconds, char separator) {
        return {ProcessTime, separator, milliseconds, 0.0f};
    }
    // A count in decimal.
    static NumberText Counted(std::int64_t count) { return {Count, '.', 0.0f, 0.0f, count}; }

    std::string Make() const;

    Kind kind = Value;
    char separator = '.';
    float first = 0.0f;
    float second = 0.0f;
    std::int64_t count = 0;
};
