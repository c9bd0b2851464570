// SPDX-License-Identifier: GPL-3.0-or-later
// Pan and zoom-drag on the chart's layers: the worked examples, drag start and end rules,
// mouse-controlled layers only, one repaint per step, and the empty-plot guard.
#include "chart/core/mousedrag.h"

#include "mousetestchart.h"

#include <gtest/gtest.h>

namespace {

LayerMask layers12() {
    LayerMask m{};
    m[1] = m[2] = true;
    return m;
}

struct Ranges {
    double xl, xh, yl, yh;
};
Ranges rangesOf(const ChartLayers& c, int layer) {
    return {c.ScaleX(layer).RangeLow(), c.ScaleX(layer).RangeHigh(), c.ScaleY(layer).RangeLow(),
            c.ScaleY(layer).RangeHigh()};
}

class MouseDragTest : public ::testing::Test {
protected:
    MouseDrag::Step move(TMouseActMode mode, int x, int y, bool left = true, bool iso = false) {
        return drag.Move(chart, mode, left, x, y, iso, layers12());
    }
    CountingChart chart;
    MouseDrag drag;
};

TEST_F(MouseDragTest, PanWorkedExampleStartsAtFirstMoveNotAtPress) {
    // Pressed at (300, 200): the first move with the button only records the start.
    EXPECT_EQ(move(maPan, 310, 200), MouseDrag::Step::Started);
    EXPECT_TRUE(drag.DragActive());
    EXPECT_EQ(chart.ScaleX(1).RangeLow(), 0);
    EXPECT_EQ(chart.paints, 0);

    EXPECT_EQ(move(maPan, 350, 200), MouseDrag::Step::Moved);
    const double dx = 1000.0 * 40 / 484;
    for (int layer : {1, 2}) {
        const Ranges r = rangesOf(chart, layer);
        EXPECT_NEAR(r.xl, -dx, 1e-9) << layer;
        EXPECT_NEAR(r.xh, 1000 - dx, 1e-9) << layer;
        EXPECT_EQ(r.yl, 1) << layer;
        EXPECT_EQ(r.yh, 10) << layer;
    }
    EXPECT_NEAR(chart.ScaleX(1).RangeLow(), -82.6, 0.05);
    // Both layers moved, the chart repainted once.
    EXPECT_EQ(chart.paints, 1);
}

TEST_F(MouseDragTest, OutsidePlotChangesNothingAndReentryContinuesFromStart) {
    move(maPan, 310, 200);
    move(maPan, 330, 250);
    const Ranges mid = rangesOf(chart, 1);
    EXPECT_EQ(move(maPan, 10, 250), MouseDrag::Step::Outside);  // left of the plot
    EXPECT_EQ(move(maPan, 330, 340), MouseDrag::Step::Outside); // below it
    const Ranges still = rangesOf(chart, 1);
    EXPECT_EQ(still.xl, mid.xl);
    EXPECT_EQ(still.yl, mid.yl);
    EXPECT_TRUE(drag.DragActive());

    move(maPan, 350, 200);
    EXPECT_NEAR(chart.ScaleX(1).RangeLow(), -1000.0 * 40 / 484, 1e-9);
    EXPECT_NEAR(chart.ScaleY(1).RangeLow(), 1, 1e-12);
}

TEST_F(MouseDragTest, MoveWithoutLeftButtonEndsDragAndNextStartsAfresh) {
    move(maPan, 310, 200);
    move(maPan, 350, 200);
    EXPECT_EQ(move(maPan, 360, 200, false), MouseDrag::Step::Ended);
    EXPECT_FALSE(drag.DragActive());
    const Ranges before = rangesOf(chart, 1);
    EXPECT_EQ(move(maPan, 400, 220), MouseDrag::Step::Started);
    EXPECT_EQ(drag.DragStart(1).X0, 400);
    EXPECT_EQ(drag.DragStart(1).XLow0, before.xl);
    EXPECT_EQ(rangesOf(chart, 1).xl, before.xl);
}

TEST_F(MouseDragTest, DragStartCoversAllLayersOnlyControlledOnesMove) {
    chart.SetLayerRange(3, 5, 6, 7, 8);
    move(maPan, 310, 200);
    EXPECT_EQ(drag.DragStart(3).XLow0, 5);
    EXPECT_EQ(drag.DragStart(3).YHigh0, 8);
    EXPECT_EQ(drag.DragStart(16).X0, 310);
    move(maPan, 400, 100);
    const Ranges r3 = rangesOf(chart, 3);
    EXPECT_EQ(r3.xl, 5);
    EXPECT_EQ(r3.xh, 7);
    EXPECT_EQ(r3.yl, 6);
    EXPECT_EQ(r3.yh, 8);
    EXPECT_NE(chart.ScaleX(2).RangeLow(), 0);
}

TEST_F(MouseDragTest, HorizontalAndVerticalPanKeepTheOtherAxisExactly) {
    move(maPanHoriz, 310, 200);
    move(maPanHoriz, 350, 260);
    EXPECT_EQ(chart.ScaleY(1).RangeLow(), 1);
    EXPECT_EQ(chart.ScaleY(1).RangeHigh(), 10);
    EXPECT_NE(chart.ScaleX(1).RangeLow(), 0);

    move(maPanVert, 0, 0, false);
    const Ranges before = rangesOf(chart, 1);
    move(maPanVert, 310, 200);
    move(maPanVert, 350, 257);
    EXPECT_EQ(chart.ScaleX(1).RangeLow(), before.xl);
    EXPECT_EQ(chart.ScaleX(1).RangeHigh(), before.xh);
    EXPECT_NEAR(chart.ScaleY(1).RangeLow(), 1 + 9.0 * 57 / 285, 1e-12); // down: larger values
}

TEST_F(MouseDragTest, LogarithmicPanMultipliesRange) {
    chart.SetLayerRange(1, 1, 1, 1000, 10);
    chart.ScaleX(1).SetLogarithmic(true);
    move(maPan, 80, 200);
    move(maPan, 80 + 484, 200); // a whole plot width right divides by the ratio
    EXPECT_NEAR(chart.ScaleX(1).RangeLow(), 0.001, 1e-15);
    EXPECT_NEAR(chart.ScaleX(1).RangeHigh(), 1, 1e-12);
}

TEST_F(MouseDragTest, ZoomDragWorkedExamplesUseControlWidth) {
    move(maZoomDrag, 300, 200);
    move(maZoomDrag, 417, 200); // 117 of 585 to the right: factor 0.8
    EXPECT_NEAR(chart.ScaleX(1).RangeLow(), 100, 1e-9);
    EXPECT_NEAR(chart.ScaleX(1).RangeHigh(), 900, 1e-9);
    EXPECT_EQ(chart.ScaleY(1).RangeLow(), 1); // horizontal drag: fy = 1
    EXPECT_EQ(chart.ScaleY(1).RangeHigh(), 10);
    move(maZoomDrag, 183, 200); // 117 to the left of the start: factor 1.2
    EXPECT_NEAR(chart.ScaleX(2).RangeLow(), -100, 1e-9);
    EXPECT_NEAR(chart.ScaleX(2).RangeHigh(), 1100, 1e-9);
}

TEST_F(MouseDragTest, IsometricZoomDragUsesXFactorForY) {
    move(maZoomDrag, 300, 200, true, true);
    move(maZoomDrag, 417, 200, true, true);
    EXPECT_NEAR(chart.ScaleY(1).RangeLow(), 5.5 - 4.5 * 0.8, 1e-12);
    EXPECT_NEAR(chart.ScaleY(1).RangeHigh(), 5.5 + 4.5 * 0.8, 1e-12);
}

TEST_F(MouseDragTest, ZoomBelowMinRangeKeepsThatAxisOnly) {
    chart.SetLayerRange(1, 0, 1, 2e-10, 10);
    move(maZoomDrag, 100, 300);
    move(maZoomDrag, 100 + 351, 100); // fx = 0.4: X span 0.8e-10 < MinRange; up narrows Y
    EXPECT_EQ(chart.ScaleX(1).RangeLow(), 0);
    EXPECT_EQ(chart.ScaleX(1).RangeHigh(), 2e-10);
    EXPECT_GT(chart.ScaleY(1).RangeLow(), 1);
    EXPECT_LT(chart.ScaleY(1).RangeHigh(), 10);
}

TEST_F(MouseDragTest, SuspendedPaintingStaysSuspendedAndPaintsNothing) {
    chart.SuspendPaint(true);
    move(maPan, 310, 200);
    move(maPan, 350, 200);
    EXPECT_EQ(chart.paints, 0);
    EXPECT_TRUE(chart.PaintSuspended());
    EXPECT_NE(chart.ScaleX(1).RangeLow(), 0); // ranges follow; the picture at the next redraw
    chart.SuspendPaint(false);
    EXPECT_EQ(chart.paints, 1);
}

TEST_F(MouseDragTest, ModesWithoutDragDoNothing) {
    for (TMouseActMode m : {maNone, maRubberBand, maZoom, maZoomWind, maZoomWindPos, maRotate,
                            maRotAndZoom, maRotXOnly, maRotZOnly}) {
        EXPECT_EQ(move(m, 310, 200), MouseDrag::Step::Idle) << int(m);
        EXPECT_EQ(move(m, 350, 250), MouseDrag::Step::Idle) << int(m);
    }
    EXPECT_FALSE(drag.DragActive());
    EXPECT_EQ(chart.ScaleX(1).RangeLow(), 0);
    // Cross-hair and label drags keep the bookkeeping but change no range.
    EXPECT_EQ(move(maDragCrossH, 310, 200), MouseDrag::Step::Started);
    EXPECT_EQ(move(maDragCrossH, 350, 250), MouseDrag::Step::Dragged);
    EXPECT_EQ(chart.ScaleX(1).RangeLow(), 0);
}

TEST_F(MouseDragTest, ChangingModeKeepsDragActive) {
    move(maPan, 310, 200);
    EXPECT_EQ(move(maZoomDrag, 427, 200), MouseDrag::Step::Moved);
    // The zoom continues from the start the pan took.
    EXPECT_NEAR(chart.ScaleX(1).RangeLow(), 100, 1e-9);
}

TEST_F(MouseDragTest, PlotWithoutAreaChangesNothing) {
    chart.SetMarginLeft(700); // wider than the control: no plot width
    move(maPan, 310, 200);
    EXPECT_EQ(move(maPan, 350, 200), MouseDrag::Step::Outside);
    EXPECT_EQ(move(maZoomDrag, 700, 200), MouseDrag::Step::Outside);
    EXPECT_EQ(chart.ScaleX(1).RangeLow(), 0);
    EXPECT_EQ(chart.ScaleX(1).RangeHigh(), 1000);
    EXPECT_EQ(chart.paints, 0);
}

} // namespace
