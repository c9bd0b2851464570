// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/analysis/spectrum.h"

#include <algorithm>
#include <cmath>
#include <fftw3.h>
#include <limits>
#include <mutex>
#include <new>
#include <numbers>
#include <stdexcept>

namespace {

// FFTW's planner keeps global state: every plan made or destroyed anywhere in the program would
// otherwise need one lock. Its own switch covers code that plans without knowing of ours.
void makePlannerThreadSafe() {
    static std::once_flag once;
    std::call_once(once, [] { fftw_make_planner_thread_safe(); });
}

struct FftwFree {
    void operator()(void* p) const { fftw_free(p); }
};

} // namespace

struct SpectrumAnalyzer::Plan {
    std::size_t n = 0;
    std::unique_ptr<double, FftwFree> in;
    std::unique_ptr<fftw_complex, FftwFree> out;
    fftw_plan plan = nullptr;
    std::optional<SpectrumWindow> window; // what coefficients hold
    std::vector<double> coefficients;
    double windowSum = 0.0;

    ~Plan() {
        if (plan != nullptr) {
            fftw_destroy_plan(plan);
        }
    }
};

std::vector<double> WindowCoefficients(SpectrumWindow window, std::size_t n) {
    std::vector<double> w(n, 1.0);
    const double step = 2.0 * std::numbers::pi / static_cast<double>(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double phase = step * static_cast<double>(i);
        switch (window) {
        case SpectrumWindow::Rectangle:
            break;
        case SpectrumWindow::Hann:
            w[i] = 0.5 - 0.5 * std::cos(phase);
            break;
        case SpectrumWindow::Hamming:
            w[i] = 0.54 - 0.46 * std::cos(phase);
            break;
        case SpectrumWindow::Blackman:
            // At n = 0 the terms cancel to a rounding residue below zero: the window is 0 there.
            w[i] = std::max(0.0, 0.42 - 0.5 * std::cos(phase) + 0.08 * std::cos(2.0 * phase));
            break;
        }
    }
    return w;
}

const char* WindowName(SpectrumWindow window) {
    switch (window) {
    case SpectrumWindow::Rectangle:
        return "Rechteck";
    case SpectrumWindow::Hann:
        return "Hann";
    case SpectrumWindow::Hamming:
        return "Hamming";
    case SpectrumWindow::Blackman:
        return "Blackman";
    }
    return "";
}

std::string TooFewSamplesText(std::size_t count) {
    return "Zu wenige Samples für eine Fourier Analyse: " + std::to_string(count) +
           " (mindestens " + std::to_string(kMinSpectrumSamples) + ")";
}

double AmplitudeToDb(double amplitude) {
    if (!(amplitude > 0.0)) {
        return kSpectrumDbFloor;
    }
    return std::max(kSpectrumDbFloor, 20.0 * std::log10(amplitude));
}

SpectrumAnalyzer::SpectrumAnalyzer() {
    makePlannerThreadSafe();
}

SpectrumAnalyzer::~SpectrumAnalyzer() = default;

void SpectrumAnalyzer::prepare(std::size_t n, SpectrumWindow window) {
    if (!m_plan || m_plan->n != n) {
        auto plan = std::make_unique<Plan>();
        plan->n = n;
        plan->in.reset(fftw_alloc_real(n));
        plan->out.reset(fftw_alloc_complex(n / 2 + 1));
        if (!plan->in || !plan->out) {
            throw std::bad_alloc();
        }
        // FFTW_ESTIMATE: planning must cost microseconds, since a recording's N is arbitrary;
        // measuring would take longer than the transforms it speeds up.
        plan->plan = fftw_plan_dft_r2c_1d(static_cast<int>(n), plan->in.get(), plan->out.get(),
                                          FFTW_ESTIMATE | FFTW_DESTROY_INPUT);
        if (plan->plan == nullptr) {
            throw std::bad_alloc();
        }
        m_plan = std::move(plan);
    }
    if (m_plan->window != window) {
        m_plan->coefficients = WindowCoefficients(window, n);
        double sum = 0.0;
        for (double w : m_plan->coefficients) {
            sum += w;
        }
        m_plan->windowSum = sum;
        m_plan->window = window;
    }
}

namespace {

std::size_t largestPeak(const std::vector<double>& v) {
    const std::size_t last = v.size() - 1;
    std::size_t best = 0;
    std::size_t largest = 1;
    for (std::size_t k = 1; k <= last; ++k) {
        if (v[k] > v[largest]) {
            largest = k;
        }
        const bool peak = v[k] > v[k - 1] && (k == last || v[k] >= v[k + 1]);
        if (peak && (best == 0 || v[k] > v[best])) {
            best = k;
        }
    }
    return best != 0 ? best : largest;
}

void check(std::size_t n, const SpectrumSettings& settings) {
    if (n < kMinSpectrumSamples) {
        throw std::invalid_argument(TooFewSamplesText(n));
    }
    if (n > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        throw std::invalid_argument("spectrum: too many samples");
    }
    if (settings.SampleRate && !(std::isfinite(*settings.SampleRate) && *settings.SampleRate > 0)) {
        throw std::invalid_argument("spectrum: the sample rate must be finite and > 0");
    }
}

} // namespace

void SpectrumAnalyzer::Amplitudes(std::span<const double> samples, const SpectrumSettings& settings,
                                  std::vector<double>& out) {
    const std::size_t n = samples.size();
    check(n, settings);
    prepare(n, settings.Window);
    double mean = 0.0;
    if (settings.SubtractMean) {
        for (double v : samples) {
            mean += v;
        }
        mean /= static_cast<double>(n);
    }
    double* in = m_plan->in.get();
    const double* w = m_plan->coefficients.data();
    for (std::size_t i = 0; i < n; ++i) {
        in[i] = (samples[i] - mean) * w[i];
    }
    fftw_execute(m_plan->plan);

    const std::size_t bins = n / 2 + 1;
    out.resize(bins);
    const fftw_complex* x = m_plan->out.get();
    const double single = 1.0 / m_plan->windowSum;
    const double twice = 2.0 / m_plan->windowSum;
    const auto magnitude = [x](std::size_t k) {
        return std::sqrt(x[k][0] * x[k][0] + x[k][1] * x[k][1]);
    };
    for (std::size_t k = 0; k < bins; ++k) {
        out[k] = magnitude(k) * twice;
    }
    // DC and the Nyquist bin (even N) have no mirror image to fold in.
    out[0] = magnitude(0) * single;
    if (n % 2 == 0) {
        out[bins - 1] = magnitude(bins - 1) * single;
    }
}

Spectrum SpectrumAnalyzer::Compute(std::span<const std::span<const double>> channels,
                                   const SpectrumSettings& settings) {
    if (channels.empty()) {
        throw std::invalid_argument("spectrum: no channel");
    }
    const std::size_t n = channels[0].size();
    for (std::span<const double> c : channels) {
        if (c.size() != n) {
            throw std::invalid_argument("spectrum: channels of different length");
        }
    }
    check(n, settings);

    Spectrum result;
    result.SampleCount = n;
    result.Settings = settings;
    const std::size_t bins = n / 2 + 1;
    result.Frequencies.resize(bins);
    const double scale = settings.SampleRate.value_or(1.0) / static_cast<double>(n);
    for (std::size_t k = 0; k < bins; ++k) {
        result.Frequencies[k] = static_cast<double>(k) * scale;
    }
    for (std::span<const double> samples : channels) {
        std::vector<double>& values = result.Channels.emplace_back();
        Amplitudes(samples, settings, values);
        SpectrumPeak peak;
        peak.Bin = largestPeak(values);
        if (settings.Decibel) {
            for (double& v : values) {
                v = AmplitudeToDb(v);
            }
        }
        peak.Frequency = result.Frequencies[peak.Bin];
        peak.Value = values[peak.Bin];
        result.Peaks.push_back(peak);
    }
    return result;
}
