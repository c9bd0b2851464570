// SPDX-License-Identifier: GPL-3.0-or-later
// The shown picture follows Present only: a full paint shows the chart image, a bitmap export
// draws off screen and leaves the screen as it was, and later paints show their own state.
#include "charttestsupport.h"

#include <gtest/gtest.h>

namespace {

void addSine(TPlotChart& chart, int from, int to) {
    for (int n = from; n < to; ++n) {
        const double y = 5.0 + 4.0 * ((n % 40) < 20 ? (n % 20) / 20.0 : -(n % 20) / 20.0);
        if (n == 0) {
            chart.AddMoveTo(0, y);
        } else {
            chart.AddDrawTo(n, y);
        }
    }
}

// The acquisition's repaint: rebuild, then the items over the plot image.
void pacedRepaint(TPlotChart& chart) {
    chart.SuspendPaint(true);
    chart.SuspendPaint(false);
    chart.RedrawItems();
}

} // namespace

TEST(ShownPicture, PacedRepaintShowsTheChartImageWithTheNewestItems) {
    auto chart = makeFormChart();
    chart->SetDataColor(0xFF0000);
    addSine(*chart, 0, 300);
    pacedRepaint(*chart);
    const QImage first = chart->ShownImage().copy();
    EXPECT_EQ(first, chart->ChartImage());

    addSine(*chart, 300, 800);
    pacedRepaint(*chart);
    EXPECT_EQ(chart->ShownImage(), chart->ChartImage());
    EXPECT_NE(chart->ShownImage(), first) << "the new items must reach the screen";
    // The picture a from-scratch chart shows for the same items.
    auto fresh = makeFormChart();
    fresh->SetDataColor(0xFF0000);
    addSine(*fresh, 0, 800);
    fresh->SetItemCacheEnabled(false);
    pacedRepaint(*fresh);
    EXPECT_EQ(chart->ShownImage(), fresh->ShownImage());
}

TEST(ShownPicture, ExportLeavesTheScreenAsItWas) {
    auto chart = makeFormChart();
    chart->SetDataColor(0xFF0000);
    addSine(*chart, 0, 500);
    pacedRepaint(*chart);
    const QImage before = chart->ShownImage().copy();
    const std::string name = ::testing::TempDir() + "shownpicture_export.bmp";
    chart->ExportBitmap(name, true);
    std::remove(name.c_str());
    EXPECT_EQ(chart->ShownImage(), before) << "the monochrome export must not reach the screen";

    // The next repaint after the export shows the colour chart again.
    addSine(*chart, 500, 600);
    pacedRepaint(*chart);
    EXPECT_EQ(chart->ShownImage(), chart->ChartImage());
    EXPECT_GT(countPixels(chart->ShownImage(), qRgb(0, 0, 255)), 100);
}
