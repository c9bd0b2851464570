// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/clinumber.h"

#include <charconv>
#include <cmath>

std::optional<double> ParseCliNumber(std::string_view text) {
    const char* first = text.data();
    const char* const last = first + text.size();
    if (last - first >= 2 && first[0] == '+' && first[1] != '-') {
        ++first;
    }
    double value = 0.0;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (text.empty() || ec != std::errc() || end != last || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}
