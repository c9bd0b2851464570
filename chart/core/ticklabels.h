// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Tick label texts of a numeric axis, independent of drawing.

#include <string>

// The decimal places a label is formatted with: decPlaces itself unless it is −2 or −3
// (automatic), which choose from the span |hi − lo|: −1 (scientific) for spans ≥ 1e6 or
// ≤ 1e-4, 0 for spans ≥ 100, otherwise 2 − round(ln span / 2.5).
int EffectiveDecPlaces(int decPlaces, double lo, double hi);

// The text of the label at value v of an axis lo..hi with the axis's DecPlaces (already clamped
// to −3..12) and ScaleInscript: near-zero values print as zero, scientific form with two
// significant digits and two exponent digits ("*" when the exponent needs more), cut to 14
// characters, empty for non-integer values when decPlaces is 0, then the inscript around it.
std::string TickLabelText(double v, double lo, double hi, int decPlaces,
                          const std::string& scaleInscript);

// Formatting of one value with effective decimal places p (p ≥ 0 fixed, −1 scientific), before
// the 14-character cut.
std::string FormatTickValue(double v, int p);
