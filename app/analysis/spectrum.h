// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The single-sided amplitude spectrum of real samples, through FFTW 3 (double precision).
//
// For N samples (any N >= kMinSpectrumSamples, no zero padding) the spectrum has the bins
// 0 .. N/2 (rounded down) at the frequencies k · rate / N, or k / N in 1/Sample when the rate is
// unknown. Optionally the mean is subtracted first; then the samples are multiplied by the
// window, transformed, and each bin's magnitude is divided by the window's sum (its coherent
// gain times N) and doubled, except DC and, for even N, the Nyquist bin. So a sine of amplitude
// A exactly at a bin frequency reads A at that bin, and a constant c reads c at DC, for every
// window. In dB the value is 20 · log10(amplitude), never below kSpectrumDbFloor.
//
// Windows are the DFT-even (periodic) forms used for spectral analysis:
//   Rechteck  1
//   Hann      0.5 − 0.5 cos(2πn/N)
//   Hamming   0.54 − 0.46 cos(2πn/N)
//   Blackman  0.42 − 0.5 cos(2πn/N) + 0.08 cos(4πn/N)
//
// Threads: a SpectrumAnalyzer belongs to one thread at a time; separate analyzers run in
// parallel (FFTW's planner is made thread-safe for the whole program on first construction).

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

enum class SpectrumWindow { Rectangle, Hann, Hamming, Blackman };

inline constexpr std::size_t kMinSpectrumSamples = 8;
inline constexpr double kSpectrumDbFloor = -200.0;

struct SpectrumSettings {
    SpectrumWindow Window = SpectrumWindow::Hann;
    bool SubtractMean = true;
    bool Decibel = false;
    // Samples per second, finite and > 0; empty: frequencies in 1/Sample.
    std::optional<double> SampleRate;
};

// The largest peak of a channel: the largest bin 1 .. N/2 that stands above its lower
// neighbour and not below its upper one (the last bin needs only the first), so that the skirt
// of a kept mean is no peak; the largest bin 1 .. N/2 when no bin is such a peak.
struct SpectrumPeak {
    std::size_t Bin = 0;
    double Frequency = 0.0;
    double Value = 0.0; // amplitude, or dB when the spectrum is in dB
};

struct Spectrum {
    std::size_t SampleCount = 0; // N
    SpectrumSettings Settings;
    std::vector<double> Frequencies;           // bins 0 .. N/2
    std::vector<std::vector<double>> Channels; // one value per bin, amplitude or dB
    std::vector<SpectrumPeak> Peaks;           // one per channel
};

// The window's coefficients w[0 .. n−1].
std::vector<double> WindowCoefficients(SpectrumWindow window, std::size_t n);

// "Rechteck", "Hann", "Hamming", "Blackman".
const char* WindowName(SpectrumWindow window);

// "Zu wenige Samples für eine Fourier Analyse: <count> (mindestens 8)".
std::string TooFewSamplesText(std::size_t count);

// 20 · log10(amplitude), floored at kSpectrumDbFloor (also for 0).
double AmplitudeToDb(double amplitude);

class SpectrumAnalyzer {
public:
    SpectrumAnalyzer();
    ~SpectrumAnalyzer();
    SpectrumAnalyzer(const SpectrumAnalyzer&) = delete;
    SpectrumAnalyzer& operator=(const SpectrumAnalyzer&) = delete;

    // The spectrum of one or more channels of equally many samples (N = channels[0].size()).
    // Requires N >= kMinSpectrumSamples, every channel of size N and a rate that is empty or
    // finite and > 0; otherwise raises std::invalid_argument. Throws std::bad_alloc when FFTW
    // cannot get its buffers. The transform plan is kept for the next call of the same N.
    Spectrum Compute(std::span<const std::span<const double>> channels,
                     const SpectrumSettings& settings);

    // One channel's amplitudes (never dB) into out (resized to N/2 + 1), the same requirements.
    void Amplitudes(std::span<const double> samples, const SpectrumSettings& settings,
                    std::vector<double>& out);

private:
    struct Plan;
    void prepare(std::size_t n, SpectrumWindow window);

    std::unique_ptr<Plan> m_plan;
};
