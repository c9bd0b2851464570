// SPDX-License-Identifier: GPL-3.0-or-later
// A chart whose X ranges scroll by one per sample, as in trend mode, reuses parts of its chart
// image between paints; every picture must still equal a fresh chart's single paint.

#include "charttestsupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

namespace {

struct TrendCase {
    const char* name;
    int channels;
    int span; // width of the X window
    bool grid;
    bool caption;
    bool denseTicks; // switches MinTicks back and forth while scrolling
};

// Settings both charts share at a given step.
struct Settings {
    bool grid = true;
    bool dense = false;
    std::string caption;
};

double valueOf(int channel, int n) {
    return channel == 1 ? 5.0 + 4.0 * std::sin(n * 0.05) : 5.0 - 3.5 * std::cos(n * 0.031);
}

void apply(TPlotChart& chart, const TrendCase& c, const Settings& s) {
    chart.SuspendPaint(true);
    if (c.channels == 2) {
        chart.SetMarginLeft(160);
        chart.Scale2Y().SetVisible(true);
    }
    chart.SetGridStyle(s.grid ? gsLines : gsNone);
    chart.Scale1X().SetMinTicks(s.dense ? 6 : 3);
    chart.Scale1Y().SetMinTicks(s.dense ? 63 : 3);
    chart.Scale2Y().SetMinTicks(s.dense ? 6 : 3);
    chart.SetCaption(s.caption);
}

void addSample(TPlotChart& chart, int channels, int n) {
    chart.SetActiveLayer(1);
    chart.SetDataColor(clBlue);
    chart.AddLine(n - 1, valueOf(1, n - 1), n, valueOf(1, n));
    if (channels == 2) {
        chart.SetActiveLayer(2);
        chart.SetDataColor(clMaroon);
        chart.AddLine(n - 1, valueOf(2, n - 1), n, valueOf(2, n));
    }
}

void setWindow(TPlotChart& chart, int channels, int low, int span) {
    chart.SetLayerRange(1, low, 0, low + span, 10);
    if (channels == 2) {
        chart.SetLayerRange(2, low, 0, low + span, 10);
    }
}

// A chart that never painted before, holding the samples first..last at window `low`: it
// becomes headless (able to paint) only when everything is set.
QImage freshPicture(const TrendCase& c, const Settings& s, int first, int last, int low) {
    auto chart = std::make_unique<TPlotChart>();
    chart->ApplyFormChartSettings();
    chart->resize(kChartWidth, kChartHeight);
    apply(*chart, c, s);
    setWindow(*chart, c.channels, low, c.span);
    for (int n = first; n <= last; ++n) {
        addSample(*chart, c.channels, n);
    }
    chart->SetHeadless(true);
    chart->SuspendPaint(false);
    chart->Paint();
    chart->RedrawItems();
    return chart->ShownImage().copy();
}

TEST(TrendScroll, EveryScrolledPictureEqualsAFreshPaint) {
    const TrendCase cases[] = {
        {"one channel, wide window, grid", 1, 2000, true, false, false},
        {"one channel, narrow window, no grid, caption", 1, 37, false, true, false},
        {"two channels, wide window, dense ticks toggled", 2, 2000, true, false, true},
        {"two channels, narrow window, all toggled", 2, 60, true, true, true},
    };
    constexpr int kItems = 40; // samples kept in the window
    constexpr int kSteps = 150;
    for (const TrendCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::mt19937 random(1234);
        Settings s;
        s.caption = c.caption ? "Trend 0" : "";
        auto chart = makeFormChart();
        apply(*chart, c, s);
        setWindow(*chart, c.channels, 0, c.span);
        for (int n = 1; n <= kItems; ++n) {
            addSample(*chart, c.channels, n);
        }
        chart->SuspendPaint(false);
        chart->RedrawItems();
        int low = 0;
        for (int step = 1; step <= kSteps; ++step) {
            const int n = kItems + step;
            // Settings change now and then between paints, as the window's check boxes do.
            const int roll = static_cast<int>(random() % 20);
            if (c.denseTicks && roll == 0) {
                s.dense = !s.dense;
                apply(*chart, c, s);
            } else if (c.grid && roll == 1) {
                s.grid = !s.grid;
                apply(*chart, c, s);
            } else if (c.caption && roll == 2) {
                s.caption = "Trend " + std::to_string(step);
                apply(*chart, c, s);
            }
            // The line routine's trend step: paint held, oldest sample out, new one in, both
            // windows one further, one paint.
            chart->SuspendPaint(true);
            addSample(*chart, c.channels, n);
            for (int i = 0; i < c.channels; ++i) {
                chart->DeleteFirstItem();
            }
            ++low;
            setWindow(*chart, c.channels, low, c.span);
            chart->SuspendPaint(false);
            chart->RedrawItems();
            const QImage expected = freshPicture(c, s, n - kItems + 1, n, low);
            ASSERT_EQ(chart->ShownImage(), expected) << "step " << step;
        }
    }
}

// An export in between (another colour set, then the screen's again) and a resize leave the
// next scrolled picture as a fresh chart paints it.
TEST(TrendScroll, ExportAndResizeBetweenScrollsKeepThePictureExact) {
    const TrendCase c{"two channels", 2, 100, true, true, false};
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Settings s;
    s.caption = "Kanal";
    auto chart = makeFormChart();
    apply(*chart, c, s);
    setWindow(*chart, 2, 0, c.span);
    for (int n = 1; n <= 20; ++n) {
        addSample(*chart, 2, n);
    }
    chart->SuspendPaint(false);
    chart->RedrawItems();
    int low = 0;
    for (int step = 1; step <= 6; ++step) {
        if (step == 3) {
            chart->resize(kChartWidth + 31, kChartHeight - 17);
            chart->Paint();
        }
        if (step == 5) {
            chart->resize(kChartWidth, kChartHeight);
            chart->Paint();
        }
        if (step == 2 || step == 6) {
            chart->ExportBitmap(dir.path().toStdString() + "/graph.bmp", step == 2);
        }
        chart->SuspendPaint(true);
        addSample(*chart, 2, 20 + step);
        chart->DeleteFirstItem();
        chart->DeleteFirstItem();
        ++low;
        setWindow(*chart, 2, low, c.span);
        chart->SuspendPaint(false);
        chart->RedrawItems();
        if (step == 3 || step == 4) {
            continue; // other size than the fresh chart's
        }
        EXPECT_EQ(chart->ShownImage(), freshPicture(c, s, step + 1, 20 + step, low))
            << "step " << step;
    }
}

} // namespace
