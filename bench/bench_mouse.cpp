// SPDX-License-Identifier: GPL-3.0-or-later
// Chart mouse at the form's size (585 × 361), headless: median time of one pan step and one
// zoom-drag step (new ranges for both channel layers plus the single full repaint) by item
// count, the repaints per step, and one rubber-band move (no chart repaint). Prints a table;
// never fails on time.
#include "chart/control/plotchart.h"

#include <QApplication>
#include <QMouseEvent>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class CountingChart : public TPlotChart {
public:
    void Paint() override {
        ++paints;
        TPlotChart::Paint();
    }
    int paints = 0;
};

std::unique_ptr<CountingChart> formChart(int items) {
    auto chart = std::make_unique<CountingChart>();
    chart->ApplyFormChartSettings();
    chart->resize(585, 361);
    chart->SetHeadless(true);
    chart->SetLayerMouseControl(1, true);
    chart->SetLayerMouseControl(2, true);
    chart->SetLayerRange(1, 0, 1, 1000, 10);
    chart->SetLayerRange(2, 0, 1, 1000, 10);
    for (int i = 0; i < items; ++i) {
        const double x = 1000.0 * i / std::max(items, 1);
        const double y = 5.5 + 4.0 * std::sin(i * 0.01);
        if (i == 0) {
            chart->AddMoveTo(x, y);
        } else {
            chart->AddDrawTo(x, y);
        }
    }
    return chart;
}

void send(QWidget& w, QEvent::Type type, int x, int y, Qt::MouseButton button,
          Qt::MouseButtons buttons) {
    QMouseEvent e(type, QPointF(x, y), QPointF(x, y), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &e);
}

struct Result {
    double medianMs;
    double paintsPerStep;
};

// Presses, starts the drag, then times `steps` moves with the left button held.
Result timeDrag(CountingChart& chart, TMouseActMode mode, int steps) {
    chart.SetMouseAction(mode);
    send(chart, QEvent::MouseButtonPress, 300, 200, Qt::LeftButton, Qt::LeftButton);
    send(chart, QEvent::MouseMove, 300, 200, Qt::NoButton, Qt::LeftButton);
    chart.paints = 0;
    std::vector<double> times;
    for (int i = 1; i <= steps; ++i) {
        const int dx = (i % 40) - 20;
        const auto start = Clock::now();
        send(chart, QEvent::MouseMove, 300 + dx, 200 + dx / 2, Qt::NoButton, Qt::LeftButton);
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    send(chart, QEvent::MouseButtonRelease, 300, 200, Qt::LeftButton, Qt::NoButton);
    send(chart, QEvent::MouseMove, 300, 200, Qt::NoButton, Qt::NoButton);
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], static_cast<double>(chart.paints) / steps};
}

Result timeBand(CountingChart& chart, int steps) {
    chart.SetMouseAction(maZoomWind);
    send(chart, QEvent::MouseButtonPress, 100, 100, Qt::LeftButton, Qt::LeftButton);
    chart.paints = 0;
    std::vector<double> times;
    for (int i = 1; i <= steps; ++i) {
        const auto start = Clock::now();
        send(chart, QEvent::MouseMove, 200 + i % 200, 150 + i % 100, Qt::NoButton, Qt::LeftButton);
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    send(chart, QEvent::MouseButtonRelease, 300, 200, Qt::RightButton, Qt::NoButton);
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], static_cast<double>(chart.paints) / steps};
}

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    std::printf("Chart mouse at 585 x 361, layers 1 and 2 following the mouse (headless)\n");
    std::printf("%-28s %10s %14s %16s\n", "step", "items", "median ms", "repaints/step");
    for (int items : {0, 10000, 100000}) {
        auto chart = formChart(items);
        const Result pan = timeDrag(*chart, maPan, 200);
        const Result zoom = timeDrag(*chart, maZoomDrag, 200);
        std::printf("%-28s %10d %14.3f %16.2f\n", "pan step", items, pan.medianMs,
                    pan.paintsPerStep);
        std::printf("%-28s %10d %14.3f %16.2f\n", "zoom-drag step", items, zoom.medianMs,
                    zoom.paintsPerStep);
        const Result band = timeBand(*chart, 200);
        std::printf("%-28s %10d %14.4f %16.2f\n", "rubber-band move", items, band.medianMs,
                    band.paintsPerStep);
    }
    return 0;
}
