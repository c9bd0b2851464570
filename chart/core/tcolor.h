// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The chart's colour type: a Windows colour value 0x00BBGGRR; negative values name system
// colours (clWindowText, clBtnFace ...), which the Qt layer maps to the palette.

#include <cstdint>

using TColor = std::int32_t;
