// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A number on plotmira-cli's command line: always with a decimal point, whatever the user's
// locale (Qt runs the program under it, and there strtod may expect a comma, which separates
// values in some options). A leading "+" is allowed; the whole text must be a finite number.

#include <optional>
#include <string_view>

// The number the whole text spells, or none.
std::optional<double> ParseCliNumber(std::string_view text);
