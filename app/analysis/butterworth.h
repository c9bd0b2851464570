// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Butterworth design: the analog prototype's poles, moved to the wanted edges with the
// frequencies pre-warped, taken to z through the bilinear transform and grouped into
// second-order sections. Each section carries a gain that makes it 1 where the whole filter
// passes exactly 1 (DC for low-pass and band-stop, Nyquist for high-pass, the band's centre
// for band-pass), so no section amplifies far beyond the input. Sections are ordered with
// their poles nearer the unit circle last.

#include "app/analysis/filtersetting.h"

#include <complex>
#include <vector>

// One second-order section b0 + b1 z^-1 + b2 z^-2 over 1 + a1 z^-1 + a2 z^-2; a first-order
// section has b2 = a2 = 0.
struct Biquad {
    double b0 = 1;
    double b1 = 0;
    double b2 = 0;
    double a1 = 0;
    double a2 = 0;
};

// The sections of setting's design (IsButterworth(setting.Kind)); ORDER sections for the band
// types, (ORDER + 1) / 2 otherwise. Requires the edges CheckFilterSetting accepts apart from
// stability.
std::vector<Biquad> DesignButterworth(const FilterSetting& setting);

// Whether every section's poles lie strictly inside the unit circle.
bool SectionsStable(const std::vector<Biquad>& sections);

// The cascade's frequency response at f, a fraction of the sample rate.
std::complex<double> SectionsResponse(const std::vector<Biquad>& sections, double f);
