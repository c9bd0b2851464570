// SPDX-License-Identifier: GPL-3.0-or-later
// Spectra: the time of one amplitude spectrum by length (Hann, FFTW's plan kept as the window
// keeps it; 65 536 points is the live view's largest) and of the first one of a length (plan
// made), and the live view's cost on the main thread per update: copying the newest samples
// out of a full main chart and drawing the result, next to the worker's transform. Prints a
// table with the load beside it; never fails on time.
#include "app/analysis/spectrum.h"
#include "app/analysis/spectruminput.h"
#include "app/window/form1.h"
#include "app/window/formfourier.h"
#include "chart/control/plotchart.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five;
    in >> one >> five;
    return one + " " + five;
}

std::vector<double> noisySine(std::size_t n) {
    std::vector<double> x(n);
    std::uint32_t state = 12345;
    for (std::size_t i = 0; i < n; ++i) {
        state = state * 1664525u + 1013904223u;
        x[i] = 3 * std::sin(2 * std::numbers::pi * 0.01234 * static_cast<double>(i)) +
               (static_cast<double>(state >> 8) / 16777216.0 - 0.5);
    }
    return x;
}

void spectrumTimes() {
    std::printf("%-10s %9s %12s %12s %12s\n", "points", "channels", "first ms", "median ms",
                "min ms");
    for (std::size_t n :
         {std::size_t{4096}, std::size_t{65536}, std::size_t{100000}, std::size_t{99991}}) {
        for (std::size_t channels : {std::size_t{1}, std::size_t{2}}) {
            const std::vector<double> x = noisySine(n);
            const std::vector<std::span<const double>> input(channels, x);
            SpectrumAnalyzer analyzer;
            const auto first0 = Clock::now();
            analyzer.Compute(input, SpectrumSettings{});
            const double first = ms(Clock::now() - first0);
            std::vector<double> times;
            for (int run = 0; run < 41; ++run) {
                const auto t0 = Clock::now();
                analyzer.Compute(input, SpectrumSettings{});
                times.push_back(ms(Clock::now() - t0));
            }
            std::sort(times.begin(), times.end());
            std::printf("%-10zu %9zu %12.3f %12.3f %12.3f\n", n, channels, first,
                        times[times.size() / 2], times.front());
        }
    }
}

// A main window whose chart holds a full run, the live view open with `points`, and `updates`
// live updates driven one after the other (the window's own timer is left out of it).
void liveCosts(const char* name, int channels, long samples, int points, int updates) {
    TForm1 form;
    form.show();
    QCoreApplication::processEvents();
    TPlotChart& chart = *form.PlotChart1;
    for (long n = 1; n <= samples; ++n) {
        const double v = std::sin(0.05 * static_cast<double>(n));
        if (channels == 1) {
            n == 1 ? chart.AddMoveTo(0, v) : chart.AddDrawTo(static_cast<double>(n), v);
        } else {
            chart.SetActiveLayer(1);
            chart.AddLine(static_cast<double>(n - 1), v, static_cast<double>(n), v);
            chart.SetActiveLayer(2);
            chart.AddLine(static_cast<double>(n - 1), -v, static_cast<double>(n), -v);
        }
    }
    form.RealtimeFourierAnalyse1->trigger();
    TFormFourier& fourier = *form.FormFourier();
    fourier.PointsComboBox->setCurrentIndex(
        fourier.PointsComboBox->findText(QString::number(points)));
    form.StartButton->setEnabled(false); // counts as acquiring, without a port
    fourier.LiveTick();                  // the first update of a run fits the ranges
    QElapsedTimer wait;
    wait.start();
    while (fourier.LivePending() && wait.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    const TFormFourier::LiveCosts before = fourier.Costs();
    const auto t0 = Clock::now();
    for (int i = 0; i < updates; ++i) {
        fourier.LiveTick();
        while (fourier.LivePending() && wait.elapsed() < 60000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
    }
    const double wall = ms(Clock::now() - t0) / updates;
    const TFormFourier::LiveCosts& after = fourier.Costs();
    const double copy =
        ms(after.CopyTime - before.CopyTime) / static_cast<double>(after.Jobs - before.Jobs);
    const double draw =
        ms(after.DrawTime - before.DrawTime) / static_cast<double>(after.Draws - before.Draws);
    std::printf("%-8s %8ld %7d %10.3f %10.3f %10.3f %10.3f\n", name, samples, points, copy, draw,
                copy + draw, wall);
    form.StartButton->setEnabled(true);
}

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    std::printf("Spectrum (Hann, FFTW_ESTIMATE plans), load %s\n", loadAverage().c_str());
    spectrumTimes();
    std::printf("\nLive view, main thread's CPU per update (ms): copy of the newest samples, "
                "drawing the result;\nwall: one update from tick to drawn result, the transform "
                "included; load %s\n",
                loadAverage().c_str());
    std::printf("%-8s %8s %7s %10s %10s %10s %10s\n", "run", "samples", "points", "copy", "draw",
                "main", "wall");
    liveCosts("normal1", 1, 100000, 4096, 20);
    liveCosts("normal1", 1, 100000, 65536, 10);
    liveCosts("normal2", 2, 50000, 4096, 20);
    liveCosts("normal2", 2, 50000, 32768, 10);
    return 0;
}
