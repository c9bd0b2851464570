// SPDX-License-Identifier: GPL-3.0-or-later
// Rubber-band rectangles: start, clamped corner, release per mode (report, zoom as dragged,
// zoom keeping the axes' direction), cancel and empty rectangles.
#include "chart/core/rubberband.h"

#include "mousetestchart.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

struct Report {
    int layer;
    double loX, loY, hiX, hiY;
};

class RubberBandTest : public ::testing::Test {
protected:
    RubberBandTest() { mask[1] = mask[2] = true; }

    RubberBand::Released release(TMouseActMode mode, TMouseButton b = TMouseButton::mbLeft) {
        return band.Release(
            chart, mode, b, false, 1, 1, mask,
            [this](int l, double a, double b2, double c, double d) {
                reports.push_back({l, a, b2, c, d});
            },
            [this] {
                ++zoomPans;
                paintsAtZoomPan = chart.paints;
            });
    }
    // Drags a rectangle from (x1, y1) to (x2, y2) with the left button.
    void drag(TMouseActMode mode, int x1, int y1, int x2, int y2) {
        ASSERT_TRUE(band.Press(chart, mode, TMouseButton::mbLeft, x1, y1));
        band.Move(chart, mode, x2, y2, false);
    }
    void corner(int layer, int px, int py, double& x, double& y) {
        ASSERT_TRUE(chart.PixelToData(layer, px, py, x, y));
    }

    CountingChart chart{0, 0, 500, 100};
    RubberBand band;
    LayerMask mask{};
    std::vector<Report> reports;
    int zoomPans = 0;
    int paintsAtZoomPan = -1;
};

TEST_F(RubberBandTest, StartsOnlyWithLeftPressInsidePlotInRectangleModes) {
    EXPECT_FALSE(band.Press(chart, maPan, TMouseButton::mbLeft, 200, 200));
    EXPECT_FALSE(band.Press(chart, maZoomWind, TMouseButton::mbRight, 200, 200));
    EXPECT_FALSE(band.Press(chart, maZoomWind, TMouseButton::mbLeft, 79, 200));
    EXPECT_FALSE(band.RubberBandActive());
    EXPECT_TRUE(band.Press(chart, maZoomWind, TMouseButton::mbLeft, 200, 150));
    EXPECT_EQ(band.RubberBandRect(), (TRubberBandRect{200, 150, 200, 150}));
    // A second press while active does not restart it.
    EXPECT_FALSE(band.Press(chart, maZoomWind, TMouseButton::mbLeft, 300, 300));
    band.Move(chart, maZoomWind, 1000, -50, false);
    EXPECT_EQ(band.RubberBandRect(), (TRubberBandRect{200, 150, 564, 30}));
}

TEST_F(RubberBandTest, ZoomWindTakesCornersAsTheyAre) {
    // Dragged down-right: the press corner's Y is the larger value and becomes the low end.
    drag(maZoomWind, 100, 100, 300, 250);
    double x1, y1, x2, y2;
    corner(1, 100, 100, x1, y1);
    corner(1, 300, 250, x2, y2);
    EXPECT_EQ(release(maZoomWind), RubberBand::Released::Done);
    EXPECT_DOUBLE_EQ(chart.ScaleX(1).RangeLow(), x1);
    EXPECT_DOUBLE_EQ(chart.ScaleX(1).RangeHigh(), x2);
    EXPECT_DOUBLE_EQ(chart.ScaleY(1).RangeLow(), y1);
    EXPECT_DOUBLE_EQ(chart.ScaleY(1).RangeHigh(), y2);
    EXPECT_GT(chart.ScaleY(1).RangeLow(), chart.ScaleY(1).RangeHigh()); // reversed
    EXPECT_NEAR(x1, (100 - 80) * 1000.0 / 484, 1e-9);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(zoomPans, 1);
    // OnZoomPan comes before painting is restored, which repaints once.
    EXPECT_EQ(paintsAtZoomPan, 0);
    EXPECT_EQ(chart.paints, 1);
    EXPECT_FALSE(band.RubberBandActive());
}

TEST_F(RubberBandTest, ZoomWindPosKeepsEveryAxisDirection) {
    chart.SetLayerRange(2, 500, 0, 0, 100);  // layer 2's X runs downwards
    drag(maZoomWindPos, 300, 100, 100, 250); // dragged down-left
    double ax, ay, bx, by;
    corner(2, 300, 100, ax, ay);
    corner(2, 100, 250, bx, by);
    release(maZoomWindPos);
    EXPECT_LT(chart.ScaleX(1).RangeLow(), chart.ScaleX(1).RangeHigh());
    EXPECT_LT(chart.ScaleY(1).RangeLow(), chart.ScaleY(1).RangeHigh());
    EXPECT_GT(chart.ScaleX(2).RangeLow(), chart.ScaleX(2).RangeHigh());
    EXPECT_DOUBLE_EQ(chart.ScaleX(2).RangeLow(), std::max(ax, bx));
    EXPECT_DOUBLE_EQ(chart.ScaleY(2).RangeLow(), std::min(ay, by));
}

TEST_F(RubberBandTest, RubberBandReportsEachControlledLayerWithoutZooming) {
    drag(maRubberBand, 300, 100, 100, 250);
    EXPECT_EQ(release(maRubberBand), RubberBand::Released::Done);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].layer, 1);
    EXPECT_EQ(reports[1].layer, 2);
    double x1, y1, x2, y2;
    corner(2, 100, 250, x1, y1);
    corner(2, 300, 100, x2, y2);
    EXPECT_DOUBLE_EQ(reports[1].loX, x1);
    EXPECT_DOUBLE_EQ(reports[1].loY, y1);
    EXPECT_DOUBLE_EQ(reports[1].hiX, x2);
    EXPECT_DOUBLE_EQ(reports[1].hiY, y2);
    EXPECT_EQ(chart.ScaleX(1).RangeLow(), 0);
    EXPECT_EQ(chart.ScaleY(2).RangeHigh(), 100);
    EXPECT_EQ(zoomPans, 1);
}

TEST_F(RubberBandTest, RightReleaseCancelsOtherButtonsEndAndEmptyRectanglesDoNothing) {
    struct Case {
        TMouseButton button;
        int x2, y2;
        RubberBand::Released want;
    };
    const std::vector<Case> cases = {
        {TMouseButton::mbRight, 300, 250, RubberBand::Released::Cancelled},
        {TMouseButton::mbMiddle, 300, 250, RubberBand::Released::Ignored},
        {TMouseButton::mbLeft, 100, 250, RubberBand::Released::Empty}, // no width
        {TMouseButton::mbLeft, 300, 100, RubberBand::Released::Empty}, // no height
    };
    for (const Case& c : cases) {
        drag(maZoomWind, 100, 100, c.x2, c.y2);
        EXPECT_EQ(release(maZoomWind, c.button), c.want);
        EXPECT_FALSE(band.RubberBandActive());
    }
    EXPECT_EQ(chart.ScaleX(1).RangeLow(), 0);
    EXPECT_EQ(chart.ScaleX(1).RangeHigh(), 1000);
    EXPECT_EQ(zoomPans, 0);
    EXPECT_EQ(chart.paints, 0);
    // Without an active rectangle, a release does nothing.
    EXPECT_EQ(release(maZoomWind), RubberBand::Released::Idle);
}

TEST_F(RubberBandTest, IsometricReleaseMakesYExtentMatchX) {
    drag(maZoomWindPos, 100, 100, 300, 250);
    band.Release(chart, maZoomWindPos, TMouseButton::mbLeft, true, 1, 1, mask, {}, {});
    const double xs = chart.ScaleX(1).RangeHigh() - chart.ScaleX(1).RangeLow();
    const double ys = chart.ScaleY(1).RangeHigh() - chart.ScaleY(1).RangeLow();
    EXPECT_NEAR(ys, xs * 286.0 / 485.0, 1e-9);
}

} // namespace
