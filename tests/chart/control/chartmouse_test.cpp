// SPDX-License-Identifier: GPL-3.0-or-later
// Mouse interaction of the chart widget, driven by synthetic mouse events on an offscreen
// widget: pan and zoom-drag worked examples, drag start/end rules, rubber bands per mode, the
// double-click swallow, notifications, the XOR band over the shown picture, cursor rules.
#include "chart/control/plotchart.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QtTest/QTest>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

class CountingChart : public TPlotChart {
public:
    void Paint() override {
        ++paints;
        TPlotChart::Paint();
    }
    int paints = 0;
};

// The chart as the main window has it: 585 x 361, form settings (plot 484 x 285 at 80, 30),
// layers 1 and 2 mouse-controlled at X 0..1000, Y 1..10, the cursor not fixed unless a test
// says so.
class ChartMouseTest : public ::testing::Test {
protected:
    void SetUp() override {
        chart = std::make_unique<CountingChart>();
        chart->ApplyFormChartSettings();
        chart->resize(585, 361);
        chart->SetLayerMouseControl(1, true);
        chart->SetLayerMouseControl(2, true);
        chart->SetLayerRange(1, 0, 1, 1000, 10);
        chart->SetLayerRange(2, 0, 1, 1000, 10);
        chart->SetLayerRange(3, 0, 1, 1000, 10);
        chart->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(chart.get()));
        QCoreApplication::processEvents();
        ChartMouse& m = chart->Mouse();
        m.OnZoomPan = [this](TCustomPlotChart*) { log.push_back("zoompan"); };
        m.OnMouseDown = [this](TCustomPlotChart*, TMouseButton, TShiftState, int, int) {
            log.push_back("down");
        };
        m.OnMouseUp = [this](TCustomPlotChart*, TMouseButton, TShiftState, int, int) {
            log.push_back("up");
        };
        m.OnDblClick = [this](TCustomPlotChart*) { log.push_back("dblclick"); };
        chart->paints = 0;
    }
    void TearDown() override {
        chart.reset();
        while (QGuiApplication::overrideCursor() != nullptr) {
            QGuiApplication::restoreOverrideCursor();
        }
    }

    // Low-level events so that the button state of every move is explicit.
    void send(QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(p), chart->mapToGlobal(QPointF(p)), button, buttons,
                      Qt::NoModifier);
        QCoreApplication::sendEvent(chart.get(), &e);
    }
    void press(QPoint p, Qt::MouseButton b = Qt::LeftButton) {
        send(QEvent::MouseButtonPress, p, b, b);
    }
    void release(QPoint p, Qt::MouseButton b = Qt::LeftButton) {
        send(QEvent::MouseButtonRelease, p, b, Qt::NoButton);
    }
    void moveHeld(QPoint p) { send(QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton); }
    void moveFree(QPoint p) { send(QEvent::MouseMove, p, Qt::NoButton, Qt::NoButton); }
    void doubleClick(QPoint p) {
        send(QEvent::MouseButtonDblClick, p, Qt::LeftButton, Qt::LeftButton);
    }

    double xLow(int layer = 1) const { return chart->ScaleX(layer).RangeLow(); }
    double xHigh(int layer = 1) const { return chart->ScaleX(layer).RangeHigh(); }
    double yLow(int layer = 1) const { return chart->ScaleY(layer).RangeLow(); }
    double yHigh(int layer = 1) const { return chart->ScaleY(layer).RangeHigh(); }
    int count(const std::string& what) const {
        return static_cast<int>(std::count(log.begin(), log.end(), what));
    }

    std::unique_ptr<CountingChart> chart;
    std::vector<std::string> log;
};

TEST_F(ChartMouseTest, PanWorkedExampleThroughEvents) {
    chart->SetMouseAction(maPan);
    press({300, 200});
    moveHeld({310, 200}); // records the start only
    EXPECT_EQ(xLow(), 0);
    EXPECT_EQ(count("zoompan"), 0);
    moveHeld({350, 200});
    EXPECT_NEAR(xLow(), -82.6, 0.05);
    EXPECT_NEAR(xHigh(), 917.4, 0.05);
    EXPECT_EQ(yLow(), 1);
    EXPECT_EQ(yHigh(), 10);
    EXPECT_NEAR(xLow(2), -82.6, 0.05); // both channels move together
    EXPECT_EQ(xLow(3), 0);             // layer 3 is not mouse-controlled
    EXPECT_EQ(count("zoompan"), 1);
    EXPECT_EQ(chart->paints, 1); // one full repaint for the step, however many layers
}

TEST_F(ChartMouseTest, ReleaseAndPressWithoutMoveContinuePreviousDrag) {
    chart->SetMouseAction(maPan);
    press({300, 200});
    moveHeld({310, 200});
    moveHeld({350, 200});
    release({350, 200});
    press({360, 200});
    moveHeld({400, 200}); // still measured from 310 with the first drag's start ranges
    EXPECT_NEAR(xLow(), -1000.0 * 90 / 484, 1e-9);
    EXPECT_TRUE(chart->Mouse().DragActive());
    release({400, 200});
    moveFree({410, 200}); // a move without the button ends the drag
    EXPECT_FALSE(chart->Mouse().DragActive());
    press({410, 200});
    moveHeld({420, 200});
    EXPECT_EQ(chart->Mouse().DragStart(1).X0, 420);
}

TEST_F(ChartMouseTest, ZoomWindowAppliesRectangleAsDragged) {
    chart->SetMouseAction(maZoomWind);
    double x1, y1, x2, y2;
    ASSERT_TRUE(chart->PixelToData(1, 100, 100, x1, y1));
    ASSERT_TRUE(chart->PixelToData(1, 300, 250, x2, y2));
    press({100, 100});
    EXPECT_TRUE(chart->Mouse().RubberBandActive());
    moveHeld({300, 250});
    release({500, 300}); // the release position itself is not used
    EXPECT_FALSE(chart->Mouse().RubberBandActive());
    EXPECT_DOUBLE_EQ(xLow(), x1);
    EXPECT_DOUBLE_EQ(xHigh(), x2);
    EXPECT_DOUBLE_EQ(yLow(), y1); // dragged downwards: the Y axis is reversed
    EXPECT_DOUBLE_EQ(yHigh(), y2);
    EXPECT_EQ(count("zoompan"), 1);
    EXPECT_EQ(chart->paints, 1);
}

TEST_F(ChartMouseTest, RectanglesWithoutAreaOrCancelledChangeNothing) {
    chart->SetMouseAction(maZoomWind);
    press({200, 200});
    release({200, 200}); // released at the press pixel
    press({200, 200});
    moveHeld({300, 200}); // no height
    release({300, 200});
    press({200, 200});
    moveHeld({300, 300});
    release({300, 300}, Qt::RightButton); // right button cancels
    EXPECT_EQ(xLow(), 0);
    EXPECT_EQ(xHigh(), 1000);
    EXPECT_EQ(yLow(), 1);
    EXPECT_EQ(yHigh(), 10);
    EXPECT_EQ(count("zoompan"), 0);
    EXPECT_FALSE(chart->Mouse().RubberBandActive());
}

TEST_F(ChartMouseTest, RubberBandReportsLayersOrderedLikeAxesWithoutZooming) {
    struct Report {
        int layer;
        double loX, loY, hiX, hiY;
    };
    std::vector<Report> reports;
    chart->Mouse().OnRubberBand = [&](TCustomPlotChart*, int l, double a, double b, double c,
                                      double d) {
        reports.push_back({l, a, b, c, d});
    };
    chart->SetMouseAction(maRubberBand);
    press({300, 100});
    moveHeld({100, 250}); // dragged down-left
    release({100, 250});
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].layer, 1);
    EXPECT_EQ(reports[1].layer, 2);
    EXPECT_LT(reports[0].loX, reports[0].hiX);
    EXPECT_LT(reports[0].loY, reports[0].hiY);
    EXPECT_EQ(xLow(), 0);
    EXPECT_EQ(count("zoompan"), 1);
}

TEST_F(ChartMouseTest, SecondPressOfDoubleClickIsSwallowedReleaseIsNot) {
    chart->SetMouseAction(maZoomWind);
    press({200, 200}); // first click: a band at the press pixel
    release({200, 200});
    doubleClick({200, 200}); // arrives in place of the second press
    EXPECT_FALSE(chart->Mouse().RubberBandActive());
    EXPECT_FALSE(chart->Mouse().DoubleClickPending());
    release({200, 200});
    EXPECT_EQ(log, (std::vector<std::string>{"down", "up", "dblclick", "up"}));
}

TEST_F(ChartMouseTest, MouseMoveInChartReportsActiveLayerPosition) {
    struct Seen {
        bool inChart;
        double x, y;
    };
    std::vector<Seen> seen;
    chart->Mouse().OnMouseMoveInChart = [&](TCustomPlotChart*, bool in, TShiftState, double x,
                                            double y) {
        seen.push_back({in, x, y});
    };
    chart->SetLayerRange(2, 0, 0, 50, 100);
    chart->SetMouseAction(maNone);
    moveFree({80, 30});   // top-left corner of the plot
    moveFree({564, 315}); // bottom-right corner
    chart->SetActiveLayer(2);
    moveFree({564, 30});
    moveFree({10, 10});
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_TRUE(seen[0].inChart);
    EXPECT_NEAR(seen[0].x, 0, 1e-9);
    EXPECT_NEAR(seen[0].y, 10, 1e-9);
    EXPECT_NEAR(seen[1].x, 1000, 1e-9);
    EXPECT_NEAR(seen[1].y, 1, 1e-9);
    EXPECT_NEAR(seen[2].x, 50, 1e-9);
    EXPECT_NEAR(seen[2].y, 100, 1e-9);
    EXPECT_FALSE(seen[3].inChart);
}

TEST_F(ChartMouseTest, FixedCursorNeverOverridesWhateverTheMode) {
    chart->SetMouseCursorFixed(true);
    for (int m = maNone; m <= maRotZOnly; ++m) {
        chart->SetMouseAction(static_cast<TMouseActMode>(m));
        moveFree({300, 200});
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << m;
    }
}

TEST_F(ChartMouseTest, CursorFollowsModeInsidePlotAndDefaultsOutside) {
    struct Case {
        TMouseActMode mode;
        QPoint at;
        bool overridden;
        Qt::CursorShape shape;
    };
    const std::vector<Case> cases = {
        {maNone, {300, 200}, true, Qt::CrossCursor},
        {maPan, {300, 200}, true, Qt::OpenHandCursor},
        {maPan, {20, 200}, false, Qt::ArrowCursor},
        {maPanVert, {300, 200}, true, Qt::OpenHandCursor},
        {maZoom, {300, 200}, true, Qt::OpenHandCursor}, // unchanged
        {maZoomDrag, {300, 200}, true, Qt::BitmapCursor},
        {maRubberBand, {300, 200}, false, Qt::ArrowCursor},
        {maZoomWind, {300, 200}, true, Qt::BitmapCursor},
    };
    for (const Case& c : cases) {
        chart->SetMouseAction(c.mode);
        moveFree(c.at);
        const QCursor* cursor = QGuiApplication::overrideCursor();
        ASSERT_EQ(cursor != nullptr, c.overridden) << int(c.mode);
        if (cursor != nullptr) {
            EXPECT_EQ(cursor->shape(), c.shape) << int(c.mode);
        }
    }
    // Leaving the control gives the cursor back.
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(chart.get(), &leave);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(ChartMouseTest, BandIsXorOverShownPictureNotInChartImages) {
    chart->SetMouseAction(maZoomWindPos);
    QCoreApplication::processEvents();
    const QImage chartImage = chart->ChartImage().copy();
    const QImage shown = chart->ShownImage().copy();
    const int paintsBefore = chart->paints;
    press({100, 100});
    moveHeld({200, 150});
    moveHeld({300, 250});
    QCoreApplication::processEvents();
    EXPECT_EQ(chart->paints, paintsBefore); // the band moves without rebuilding the chart
    EXPECT_EQ(chart->ChartImage(), chartImage);

    QImage onScreen(chart->size(), QImage::Format_RGB32);
    {
        QPainter p(&onScreen);
        p.drawImage(0, 0, chart->ShownImage());
        chart->Mouse().paintOverlay(p);
    }
    const auto inverted = [&](int x, int y) {
        return (onScreen.pixel(x, y) & 0xFFFFFF) == (~shown.pixel(x, y) & 0xFFFFFF);
    };
    EXPECT_TRUE(inverted(100, 100));
    EXPECT_TRUE(inverted(299, 249)); // the outline ends one pixel short of the corner
    EXPECT_TRUE(inverted(200, 100));
    EXPECT_TRUE(inverted(100, 200));
    EXPECT_FALSE(inverted(300, 250));
    EXPECT_EQ(onScreen.pixel(200, 200), shown.pixel(200, 200)); // inside untouched
    EXPECT_EQ(onScreen.pixel(150, 149), shown.pixel(150, 149)); // the old rectangle is gone

    // The widget's own paint event draws the band over its picture too.
    const QImage grabbed = chart->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(grabbed.pixel(100, 100) & 0xFFFFFF, ~grabbed.pixel(101, 101) & 0xFFFFFF);

    release({300, 250}, Qt::RightButton);
    QImage after(chart->size(), QImage::Format_RGB32);
    {
        QPainter p(&after);
        p.drawImage(0, 0, chart->ShownImage());
        chart->Mouse().paintOverlay(p);
    }
    EXPECT_EQ(after, chart->ShownImage().convertToFormat(QImage::Format_RGB32));
}

TEST_F(ChartMouseTest, RealEventPathDeliversDragAndDoubleClick) {
    // Through QTest's event path: the widget needs mouse tracking for moves without a button.
    EXPECT_TRUE(chart->hasMouseTracking());
    chart->SetMouseAction(maPan);
    QTest::mousePress(chart.get(), Qt::LeftButton, {}, QPoint(300, 200));
    QTest::mouseMove(chart.get(), QPoint(310, 200));
    QTest::mouseMove(chart.get(), QPoint(350, 200));
    QTest::mouseRelease(chart.get(), Qt::LeftButton, {}, QPoint(350, 200));
    EXPECT_NEAR(xLow(), -82.6, 0.05);
    QTest::mouseMove(chart.get(), QPoint(360, 200));
    EXPECT_FALSE(chart->Mouse().DragActive());
    QTest::mouseDClick(chart.get(), Qt::LeftButton, {}, QPoint(300, 200));
    EXPECT_EQ(count("dblclick"), 1);
    EXPECT_EQ(count("down"), 1);
}

} // namespace
