// SPDX-License-Identifier: GPL-3.0-or-later
// Chart rendering at the form's size (585 × 361): median times of a full Paint by item count,
// cold (the items cache forgotten before each run: every item drawn) and warm (after 500 new
// items, as the pipeline repaints), of RedrawItems after 500 new items and of a two-channel trend
// window, a plain loop of one QPainter::drawLine per item for comparison, and full paints on a
// screen scaled to 200 %. Prints a table; never fails on time.
#include "chart/control/plotchart.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <time.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double medianMs(int runs, const std::function<void()>& setup, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        setup();
        const auto start = Clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::unique_ptr<TPlotChart> formChart() {
    auto chart = std::make_unique<TPlotChart>();
    chart->ApplyFormChartSettings();
    chart->resize(585, 361);
    chart->SetHeadless(true);
    chart->SetLayerRange(1, 0, 1, 1000, 10);
    chart->SetLayerRange(2, 0, 1, 1000, 10);
    return chart;
}

double sampleValue(int i, int n) {
    return 5.5 + 4.0 * std::sin(i * 6.283 * 3 / std::max(n, 1)) + 0.4 * std::sin(i * 0.37);
}

// One channel, normal mode: a move-to and draw-tos spread over 0..1000 × 1..10.
void addOneChannel(TPlotChart& chart, int n) {
    for (int i = 0; i < n; ++i) {
        const double x = 1000.0 * i / std::max(n, 1);
        if (i == 0) {
            chart.AddMoveTo(x, sampleValue(i, n));
        } else {
            chart.AddDrawTo(x, sampleValue(i, n));
        }
    }
}

double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// The same segments drawn one QPainter::drawLine each, no chart logic.
double plainLoopMs(int n) {
    QImage image(485, 286, QImage::Format_RGB32);
    std::vector<QPoint> points;
    for (int i = 0; i < n; ++i) {
        points.emplace_back(static_cast<int>(484.0 * i / n),
                            static_cast<int>(285 - 285 * (sampleValue(i, n) - 1) / 9));
    }
    return medianMs(
        15, [&] { image.fill(Qt::white); },
        [&] {
            QPainter painter(&image);
            painter.setPen(QPen(Qt::blue, 1));
            for (int i = 1; i < n; ++i) {
                painter.drawLine(points[static_cast<std::size_t>(i - 1)],
                                 points[static_cast<std::size_t>(i)]);
            }
        });
}

// The first samples of every run: a repaint after each line, as the pacing starts.
void earlyRepaints() {
    auto chart = formChart();
    chart->SetLayerRange(1, 0, 1, 2000, 10);
    constexpr int kLines = 500;
    const double cpuStart = threadCpuMs();
    for (int n = 1; n <= kLines; ++n) {
        chart->SuspendPaint(true);
        if (n == 1) {
            chart->AddMoveTo(0, sampleValue(0, 2000));
        } else {
            chart->AddDrawTo(n % 2000, sampleValue(n, 2000));
        }
        chart->SuspendPaint(false);
        chart->RedrawItems();
    }
    const double ms = (threadCpuMs() - cpuStart) / kLines;
    std::printf("%-44s %10d %14.3f %8s %10s\n", "one line + repaint, first 500 (CPU)",
                chart->ItemCount(), ms, "", "-");
}

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);

    std::printf("Chart rendering at 585 x 361 (median of repeated runs)\n\n");
    std::printf("%-44s %10s %14s %8s %10s\n", "case", "items", "median ms", "target",
                "vs drawLine");
    for (int n : {0, 1000, 10000, 100000}) {
        auto chart = formChart();
        addOneChannel(*chart, n);
        chart->Paint(); // first paint builds fonts and the chart image
        const double ms = medianMs(
            n >= 100000 ? 21 : 51, [&] { chart->InvalidateItemCache(); }, [&] { chart->Paint(); });
        const char* target = n == 0 ? "< 0.3" : (n == 100000 ? "< 10" : "");
        if (n == 0) {
            std::printf("%-44s %10d %14.3f %8s %10s\n", "full Paint, one channel, cold", n, ms,
                        target, "-");
        } else {
            std::printf("%-44s %10d %14.3f %8s %9.2fx\n", "full Paint, one channel, cold", n, ms,
                        target, ms / plainLoopMs(n));
        }
    }
    for (int n : {20000, 100000}) {
        // Warm: the repaint after 500 new items continues the cached pass.
        auto chart = formChart();
        addOneChannel(*chart, n - 500 * 31);
        chart->Paint();
        int next = chart->ItemCount();
        const double ms = medianMs(
            31,
            [&] {
                for (int i = 0; i < 500; ++i, ++next) {
                    chart->AddDrawTo(1000.0 * next / n, sampleValue(next, n));
                }
            },
            [&] { chart->Paint(); });
        std::printf("%-44s %10d %14.3f %8s %10s\n", "full Paint, one channel, warm (+500 items)",
                    chart->ItemCount(), ms, "", "-");
    }
    {
        // The pipeline's two-channel normal mode: an ikLine per channel and sample, colours
        // alternating, so no item joins a polyline.
        auto chart = formChart();
        auto addSamples = [&](int from, int to) {
            for (int i = from; i < to; ++i) {
                const double x = 1000.0 * i / 100000;
                chart->SetActiveLayer(1);
                chart->SetDataColor(clBlue);
                chart->AddLine(x, sampleValue(i, 50000), x + 0.01, sampleValue(i + 1, 50000));
                chart->SetActiveLayer(2);
                chart->SetDataColor(clMaroon);
                chart->AddLine(x, 10 - sampleValue(i, 50000), x + 0.01,
                               10 - sampleValue(i + 1, 50000));
            }
            chart->SetActiveLayer(1);
        };
        addSamples(0, 50000 - 250 * 31);
        chart->Paint();
        const double cold = medianMs(
            11, [&] { chart->InvalidateItemCache(); }, [&] { chart->Paint(); });
        int next = 50000 - 250 * 31;
        const double warm = medianMs(
            31,
            [&] {
                addSamples(next, next + 250);
                next += 250;
            },
            [&] { chart->Paint(); });
        std::printf("%-44s %10d %14.3f %8s %10s\n", "full Paint, two channels (lines), cold",
                    50000 - 250 * 31, cold, "", "-");
        std::printf("%-44s %10d %14.3f %8s %10s\n", "full Paint, two channels, warm (+500)",
                    chart->ItemCount(), warm, "", "-");
    }
    {
        auto chart = formChart();
        addOneChannel(*chart, 10000);
        chart->Paint();
        chart->RedrawItems();
        int next = 10000;
        const double ms = medianMs(
            31,
            [&] {
                for (int i = 0; i < 500; ++i, ++next) {
                    chart->AddDrawTo(std::fmod(next * 0.1, 1000.0), sampleValue(next, 10000));
                }
            },
            [&] { chart->RedrawItems(); });
        std::printf("%-44s %10d %14.3f %8s %10s\n", "RedrawItems after 500 new items",
                    chart->ItemCount(), ms, "", "-");
    }
    {
        auto chart = formChart();
        chart->SetMarginLeft(160);
        chart->Scale2Y().SetVisible(true);
        chart->SetLayerRange(1, 0, 1, 2000, 10);
        chart->SetLayerRange(2, 0, 1, 2000, 10);
        for (int i = 1; i <= 2000; ++i) {
            chart->SetActiveLayer(1);
            chart->SetDataColor(clBlue);
            chart->AddLine(i - 1, sampleValue(i - 1, 2000), i, sampleValue(i, 2000));
            chart->SetActiveLayer(2);
            chart->SetDataColor(clMaroon);
            chart->AddLine(i - 1, 10 - sampleValue(i - 1, 2000), i, 10 - sampleValue(i, 2000));
        }
        chart->SetActiveLayer(1);
        chart->Paint();
        const double ms = medianMs(
            31, [&] { chart->InvalidateItemCache(); }, [&] { chart->Paint(); });
        std::printf("%-44s %10d %14.3f %8s %9.2fx\n", "full Paint, two-channel trend window, cold",
                    chart->ItemCount(), ms, "", ms / plainLoopMs(4000));
    }
    {
        // What the cache saves: a chart whose caption changes before every paint.
        auto chart = formChart();
        int k = 0;
        const double ms = medianMs(
            31, [&] { chart->SetCaption(std::to_string(k++)); }, [&] { chart->Paint(); });
        std::printf("%-44s %10d %14.3f %8s %10s\n", "full Paint, chart image rebuilt", 0, ms, "",
                    "-");
    }
    {
        // Trend mode: both channels' X ranges move by one before every paint, so the axes of
        // layers 1 and 2 are laid out anew each time (no items, the chart image alone).
        auto chart = formChart();
        chart->SetMarginLeft(160);
        chart->Scale2Y().SetVisible(true);
        // Most moves shift no pixel, so the mean over many moves is the figure that counts.
        constexpr int kMoves = 2000;
        const auto start = Clock::now();
        for (int k = 1; k <= kMoves; ++k) {
            chart->SuspendPaint(true); // as the line routine does: one paint per move
            chart->SetLayerRange(1, k, 1, 2000 + k, 10);
            chart->SetLayerRange(2, k, 1, 2000 + k, 10);
            chart->SuspendPaint(false);
        }
        const double ms =
            std::chrono::duration<double, std::milli>(Clock::now() - start).count() / kMoves;
        std::printf("%-44s %10d %14.3f %8s %10s\n", "full Paint, trend X ranges moved (mean)", 0,
                    ms, "", "-");
    }
    {
        // The window's trend run at 2 000 to 5 000 samples: ten lines per repaint, each adding a
        // segment, dropping the oldest and moving the X range by one, as the line routine does.
        auto chart = formChart();
        chart->SetLayerRange(1, 0, 1, 2000, 10);
        int n = 0;
        auto line = [&] {
            ++n;
            chart->AddLine(n - 1, sampleValue(n - 1, 2000), n, sampleValue(n, 2000));
            if (n > 1981) {
                chart->DeleteFirstItem();
                chart->SetLayerRange(1, chart->Scale1X().RangeLow() + 1, 1,
                                     chart->Scale1X().RangeHigh() + 1, 10);
            }
        };
        chart->SetDataColor(clBlue);
        chart->SuspendPaint(true);
        while (n < 1981) {
            line();
        }
        chart->SuspendPaint(false);
        constexpr int kRepaints = 1000;
        // Thread CPU time: the figure that other work on the machine disturbs least.
        const double cpuStart = threadCpuMs();
        for (int k = 0; k < kRepaints; ++k) {
            chart->SuspendPaint(true);
            for (int i = 0; i < 10; ++i) {
                line();
            }
            chart->SuspendPaint(false);
            chart->RedrawItems();
        }
        const double ms = (threadCpuMs() - cpuStart) / kRepaints;
        std::printf("%-44s %10d %14.3f %8s %10s\n", "trend scroll, 10 lines + repaint (CPU)",
                    chart->ItemCount(), ms, "", "-");
    }
    earlyRepaints();
    {
        // A screen scaled to 200 %: the chart drawn at the screen's pixels, the chart image
        // kept; cold (every item drawn) and warm (the item renderer goes on after 500 new items).
        for (int n : {10000, 100000}) {
            auto chart = formChart();
            chart->SetPixelRatio(2);
            addOneChannel(*chart, n);
            chart->Paint();
            const double ms = medianMs(
                n >= 100000 ? 11 : 31, [&] { chart->InvalidateItemCache(); },
                [&] { chart->Paint(); });
            std::printf("%-44s %10d %14.3f %8s %10s\n", "full Paint at ratio 2, cold", n, ms, "",
                        "-");
        }
        {
            const int n = 100000;
            auto chart = formChart();
            chart->SetPixelRatio(2);
            addOneChannel(*chart, n - 500 * 21);
            chart->Paint();
            int next = chart->ItemCount();
            const double ms = medianMs(
                21,
                [&] {
                    for (int i = 0; i < 500; ++i, ++next) {
                        chart->AddDrawTo(1000.0 * next / n, sampleValue(next, n));
                    }
                },
                [&] { chart->Paint(); });
            std::printf("%-44s %10d %14.3f %8s %10s\n", "full Paint at ratio 2, warm (+500)",
                        chart->ItemCount(), ms, "", "-");
        }
    }
    return 0;
}
