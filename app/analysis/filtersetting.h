// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What filter a channel runs: "Kein Filter", a moving mean over a number of samples, or a
// Butterworth low-pass, high-pass, band-pass or band-stop of an order. Frequencies are kept as
// fractions of the sample rate (0 < f < 0.5): that is what the filter does to the samples,
// whatever rate the user says they arrive at.
//
// CheckFilterSetting and ParseFilterSetting raise EConvertError with the German text a user sees;
// with a sample rate given, the texts and the parsed frequencies are in Hz.

#include <optional>
#include <string>
#include <string_view>

enum class FilterKind { None, Mean, Lowpass, Highpass, Bandpass, Bandstop };

struct FilterSetting {
    FilterKind Kind = FilterKind::None;
    int Length = 0;  // samples of the moving mean
    int Order = 0;   // order of the Butterworth prototype
    double Low = 0;  // cut-off, or the lower edge of a band, as a fraction of the sample rate
    double High = 0; // upper edge of a band, as a fraction of the sample rate

    bool operator==(const FilterSetting&) const = default;
};

inline constexpr int kMinMeanLength = 2;
inline constexpr int kMaxMeanLength = 10000;
inline constexpr int kMinFilterOrder = 1;
inline constexpr int kMaxFilterOrder = 8;

// Whether the kind is one of the four Butterworth designs; whether it has an upper edge.
bool IsButterworth(FilterKind kind);
bool IsBand(FilterKind kind);

// The kind's German name as the dialog lists it ("Kein Filter", "Gleitender Mittelwert",
// "Tiefpass", "Hochpass", "Bandpass", "Bandsperre").
std::string FilterKindName(FilterKind kind);

// Raises EConvertError when the filter cannot work: a length or order out of range, a cut-off
// not above 0 or not below half the sample rate, a lower edge not below the upper one, or a
// design whose sections would not be stable in double precision. sampleRate (Hz, > 0) only
// chooses the unit of the texts.
void CheckFilterSetting(const FilterSetting& setting, std::optional<double> sampleRate);

// Reads "none", "mean:N", "lowpass:ORDER:FC", "highpass:ORDER:FC", "bandpass:ORDER:FLO:FHI" or
// "bandstop:ORDER:FLO:FHI". Frequencies are in Hz when sampleRate (Hz, > 0) is given, otherwise
// fractions of the sample rate; "." or "," as the decimal point. The result has passed
// CheckFilterSetting; anything else raises EConvertError.
FilterSetting ParseFilterSetting(std::string_view text, std::optional<double> sampleRate);
