// SPDX-License-Identifier: GPL-3.0-or-later
// The amplitude spectrum against the textbook: sines at bin frequencies read their amplitude for
// every window and length, DC and Nyquist are not doubled, half-bin scalloping loss is each
// window's known value, Parseval holds for the rectangular window, and the dB floor.
#include "app/analysis/spectrum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <numbers>
#include <random>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace {

constexpr SpectrumWindow kWindows[] = {SpectrumWindow::Rectangle, SpectrumWindow::Hann,
                                       SpectrumWindow::Hamming, SpectrumWindow::Blackman};

// A sine of amplitude a at `bins` cycles per n samples, with a phase, on an offset.
std::vector<double> sine(std::size_t n, double bins, double a, double phase = 0.3,
                         double offset = 0.0) {
    std::vector<double> x(n);
    for (std::size_t i = 0; i < n; ++i) {
        x[i] = offset + a * std::sin(2 * std::numbers::pi * bins * static_cast<double>(i) /
                                         static_cast<double>(n) +
                                     phase);
    }
    return x;
}

SpectrumSettings with(SpectrumWindow window, bool subtractMean = true) {
    SpectrumSettings s;
    s.Window = window;
    s.SubtractMean = subtractMean;
    return s;
}

std::vector<double> amplitudes(const std::vector<double>& x, const SpectrumSettings& s) {
    SpectrumAnalyzer analyzer;
    std::vector<double> out;
    analyzer.Amplitudes(x, s, out);
    return out;
}

class EveryWindow : public ::testing::TestWithParam<SpectrumWindow> {};

// Power-of-two, even, odd and prime lengths; bins near the start, the middle and the top.
TEST_P(EveryWindow, SineAtABinFrequencyReadsItsAmplitudeAtThatBin) {
    SpectrumAnalyzer analyzer; // one analyzer across lengths: its plan must follow N
    for (std::size_t n : {std::size_t{4096}, std::size_t{1000}, std::size_t{1023},
                          std::size_t{1021}, std::size_t{8191}}) {
        for (std::size_t k : {std::size_t{3}, n / 4, n / 2 - 3}) {
            const double a = 3.7;
            std::vector<double> out;
            analyzer.Amplitudes(sine(n, static_cast<double>(k), a, 0.3, 12.5), with(GetParam()),
                                out);
            ASSERT_EQ(out.size(), n / 2 + 1);
            EXPECT_NEAR(out[k], a, a * 1e-9) << "N " << n << " bin " << k;
            // Far from the tone every window is down by orders of magnitude.
            const std::size_t far = k > n / 8 ? k - n / 16 : k + n / 16;
            EXPECT_LT(out[far], a * 1e-3) << "N " << n << " bin " << far;
        }
    }
}

TEST_P(EveryWindow, ConstantReadsItsValueAtDcUnlessTheMeanIsSubtracted) {
    for (std::size_t n : {std::size_t{64}, std::size_t{97}}) {
        const std::vector<double> x(n, -2.25);
        EXPECT_NEAR(amplitudes(x, with(GetParam(), false))[0], 2.25, 2.25e-12) << n;
        EXPECT_NEAR(amplitudes(x, with(GetParam(), true))[0], 0.0, 1e-12) << n;
    }
}

TEST_P(EveryWindow, AlternatingSignalReadsItsAmplitudeAtNyquist) {
    const std::size_t n = 256;
    std::vector<double> x(n);
    for (std::size_t i = 0; i < n; ++i) {
        x[i] = i % 2 == 0 ? 1.5 : -1.5;
    }
    const std::vector<double> out = amplitudes(x, with(GetParam()));
    ASSERT_EQ(out.size(), n / 2 + 1);
    EXPECT_NEAR(out[n / 2], 1.5, 1.5e-9);
}

// Odd N: no Nyquist bin, every bin above DC doubled up to the top. A tone's mirror image lies
// 2k bins away (mod N); the periodic windows reach 0, 1 or 2 bins to each side, so the top bin
// itself reads exactly only with the rectangle.
TEST_P(EveryWindow, OddLengthHasNoNyquistBinAndDoublesUpToItsTopBin) {
    const std::size_t n = 31;
    const std::size_t k = GetParam() == SpectrumWindow::Rectangle ? 15 : 13;
    const std::vector<double> out =
        amplitudes(sine(n, static_cast<double>(k), 2.0), with(GetParam()));
    ASSERT_EQ(out.size(), 16u);
    EXPECT_NEAR(out[k], 2.0, 2e-9);
}

// A tone half-way between two bins loses the window's scalloping loss. Published values for the
// DFT-even windows (Harris 1978; 1.75 dB for Hamming's 0.54/0.46 form), to their two decimals.
TEST_P(EveryWindow, HalfBinToneLosesTheWindowsKnownScallopingLoss) {
    const std::map<SpectrumWindow, double> known = {{SpectrumWindow::Rectangle, 3.92},
                                                    {SpectrumWindow::Hann, 1.42},
                                                    {SpectrumWindow::Hamming, 1.75},
                                                    {SpectrumWindow::Blackman, 1.10}};
    const std::size_t n = 4096;
    const std::vector<double> out = amplitudes(sine(n, 1000.5, 1.0, 0.0), with(GetParam()));
    const double lossDb = -20 * std::log10(out[1000]);
    EXPECT_NEAR(lossDb, known.at(GetParam()), 0.006);
    EXPECT_NEAR(out[1001], out[1000], 1e-3); // symmetric about the tone
}

INSTANTIATE_TEST_SUITE_P(Spectrum, EveryWindow, ::testing::ValuesIn(kWindows));

TEST(Spectrum, RectangularWindowKeepsParseval) {
    std::mt19937_64 random(19);
    std::normal_distribution<double> noise(0.5, 2.0);
    for (std::size_t n : {std::size_t{1024}, std::size_t{1001}, std::size_t{997}}) {
        std::vector<double> x(n);
        double power = 0;
        for (double& v : x) {
            v = noise(random);
            power += v * v;
        }
        power /= static_cast<double>(n);
        const std::vector<double> a = amplitudes(x, with(SpectrumWindow::Rectangle, false));
        // Mean power: DC and Nyquist as they stand, every other bin a sine's A² / 2.
        double sum = a[0] * a[0];
        for (std::size_t k = 1; k < a.size(); ++k) {
            const bool nyquist = n % 2 == 0 && k == n / 2;
            sum += nyquist ? a[k] * a[k] : a[k] * a[k] / 2;
        }
        EXPECT_NEAR(sum, power, power * 1e-9) << n;
    }
}

TEST(Spectrum, FrequenciesFollowTheRateAndPeaksSkipDc) {
    SpectrumAnalyzer analyzer;
    const std::vector<double> x = sine(1000, 50, 0.25, 0.0, 100.0);
    const std::vector<std::span<const double>> one = {x};
    SpectrumSettings s = with(SpectrumWindow::Hann, false);
    Spectrum perSample = analyzer.Compute(one, s);
    ASSERT_EQ(perSample.Frequencies.size(), 501u);
    EXPECT_DOUBLE_EQ(perSample.Frequencies[500], 0.5);
    EXPECT_DOUBLE_EQ(perSample.Frequencies[50], 0.05);
    s.SampleRate = 2000.0;
    const Spectrum hz = analyzer.Compute(one, s);
    EXPECT_DOUBLE_EQ(hz.Frequencies[50], 100.0);
    EXPECT_DOUBLE_EQ(hz.Frequencies[500], 1000.0);
    // The offset of 100 dominates DC and, through the window, bin 1; the peak is still the tone.
    EXPECT_NEAR(hz.Channels[0][0], 100.0, 1e-9);
    EXPECT_GT(hz.Channels[0][1], 50.0);
    ASSERT_EQ(hz.Peaks.size(), 1u);
    EXPECT_EQ(hz.Peaks[0].Bin, 50u);
    EXPECT_DOUBLE_EQ(hz.Peaks[0].Frequency, 100.0);
    EXPECT_NEAR(hz.Peaks[0].Value, 0.25, 1e-9);
}

TEST(Spectrum, TwoChannelsAreEachTheirOwnSpectrum) {
    SpectrumAnalyzer analyzer;
    const std::vector<double> c1 = sine(512, 20, 1.0);
    const std::vector<double> c2 = sine(512, 100, 4.0, 1.0, -3.0);
    const std::vector<std::span<const double>> both = {c1, c2};
    const Spectrum s = analyzer.Compute(both, with(SpectrumWindow::Blackman));
    ASSERT_EQ(s.Channels.size(), 2u);
    EXPECT_EQ(s.Channels[0], amplitudes(c1, with(SpectrumWindow::Blackman)));
    EXPECT_EQ(s.Channels[1], amplitudes(c2, with(SpectrumWindow::Blackman)));
    EXPECT_EQ(s.Peaks[0].Bin, 20u);
    EXPECT_EQ(s.Peaks[1].Bin, 100u);
    EXPECT_NEAR(s.Peaks[1].Value, 4.0, 4e-9);

    const std::vector<double> shorter(511, 0.0);
    const std::vector<std::span<const double>> uneven = {c1, shorter};
    EXPECT_THROW(analyzer.Compute(uneven, SpectrumSettings{}), std::invalid_argument);
}

TEST(Spectrum, DecibelsAreFlooredAt200BelowOne) {
    EXPECT_EQ(AmplitudeToDb(1.0), 0.0);
    EXPECT_NEAR(AmplitudeToDb(10.0), 20.0, 1e-12);
    EXPECT_NEAR(AmplitudeToDb(1e-9), -180.0, 1e-9);
    EXPECT_EQ(AmplitudeToDb(1e-12), kSpectrumDbFloor);
    EXPECT_EQ(AmplitudeToDb(0.0), kSpectrumDbFloor);
    EXPECT_EQ(AmplitudeToDb(std::nan("")), kSpectrumDbFloor);

    SpectrumAnalyzer analyzer;
    SpectrumSettings s = with(SpectrumWindow::Hann);
    s.Decibel = true;
    const std::vector<double> silent(64, 0.0);
    const std::vector<std::span<const double>> one = {silent};
    const Spectrum floor = analyzer.Compute(one, s);
    for (double v : floor.Channels[0]) {
        EXPECT_EQ(v, kSpectrumDbFloor);
    }
    const std::vector<double> tone = sine(64, 8, 10.0);
    const std::vector<std::span<const double>> toneOnly = {tone};
    const Spectrum db = analyzer.Compute(toneOnly, s);
    EXPECT_NEAR(db.Channels[0][8], 20.0, 1e-9);
    EXPECT_NEAR(db.Peaks[0].Value, 20.0, 1e-9);
}

TEST(Spectrum, FewerThanEightSamplesAreRefusedWithAGermanText) {
    SpectrumAnalyzer analyzer;
    std::vector<double> out;
    try {
        analyzer.Amplitudes(std::vector<double>(7, 1.0), SpectrumSettings{}, out);
        FAIL() << "seven samples were accepted";
    } catch (const std::invalid_argument& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Zu wenige Samples für eine Fourier Analyse: 7 (mindestens 8)");
    }
    analyzer.Amplitudes(std::vector<double>(8, 1.0), SpectrumSettings{}, out);
    EXPECT_EQ(out.size(), 5u);
    SpectrumSettings badRate;
    badRate.SampleRate = 0.0;
    EXPECT_THROW(analyzer.Amplitudes(std::vector<double>(8, 1.0), badRate, out),
                 std::invalid_argument);
}

} // namespace
