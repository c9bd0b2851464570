// SPDX-License-Identifier: GPL-3.0-or-later
// The shown picture follows Present only: a full paint shows the chart image, a bitmap export
// draws off screen and leaves the screen as it was, and later paints show their own state.
#include "charttestsupport.h"

#include <QPaintEvent>
#include <QTest>
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

// The area of the chart that the screen paints, summed over its paint events.
class PaintedArea : public QObject {
public:
    explicit PaintedArea(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            for (const QRect& r : static_cast<QPaintEvent*>(event)->region()) {
                pixels += static_cast<long>(r.width()) * r.height();
            }
        }
        return false;
    }
    long pixels = 0;
};

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

// Each paced repaint shows again only what it changed: a few new segments a narrow strip, items
// beyond the X range (a normal-mode run past its X max) nothing at all.
TEST(ShownPicture, PacedRepaintPaintsOnlyWhatChangedOnTheScreen) {
    auto chart = makeFormChart();
    chart->SetHeadless(false);
    chart->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(chart.get()));
    addSine(*chart, 0, 300);
    pacedRepaint(*chart);
    QCoreApplication::processEvents();
    PaintedArea painted(chart.get());
    const long whole = static_cast<long>(chart->width()) * chart->height();

    addSine(*chart, 300, 310);
    pacedRepaint(*chart);
    QCoreApplication::processEvents();
    EXPECT_GT(painted.pixels, 0) << "the new segments must reach the screen";
    EXPECT_LT(painted.pixels, whole / 10);

    addSine(*chart, 1200, 1300); // its first segment runs out of the plot to the right
    pacedRepaint(*chart);
    QCoreApplication::processEvents();
    painted.pixels = 0;
    addSine(*chart, 1300, 1400);
    pacedRepaint(*chart);
    QCoreApplication::processEvents();
    EXPECT_EQ(painted.pixels, 0);
    auto fresh = makeFormChart();
    addSine(*fresh, 0, 310);
    addSine(*fresh, 1200, 1400);
    fresh->SetItemCacheEnabled(false);
    pacedRepaint(*fresh);
    EXPECT_EQ(chart->ShownImage(), fresh->ShownImage());
}
