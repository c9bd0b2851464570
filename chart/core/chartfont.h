// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A font as the chart stores it: the family name as requested, the height in the Windows
// convention (negative = character height in pixels) and the text colour.

#include "chart/core/tcolor.h"

#include <string>

struct TChartFont {
    std::string Name = "MS Sans Serif";
    int Height = -13;
    TColor Color = static_cast<TColor>(0xFF000008); // clWindowText
    bool operator==(const TChartFont&) const = default;
};
