// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/control/draw/recordingcanvas.h"
#include "charttestsupport.h"

#include <QColor>
#include <gtest/gtest.h>
#include <vector>

namespace {

using Op = RecordingCanvas::Op;

constexpr QRgb kBlue = 0x0000FF;   // 0xFF0000 as the chart stores it
constexpr QRgb kSilver = 0xC0C0C0; // grid
constexpr QRgb kWhite = 0xFFFFFF;
constexpr QRgb kBlack = 0x000000;

// Polylines of the items, without the plot outline (always the last one).
std::vector<RecordingCanvas::Call> itemPolylines(const RecordingCanvas& canvas) {
    auto lines = canvas.CallsOf(Op::Polyline);
    lines.pop_back();
    return lines;
}

// Counts full pictures and item pictures handed to the screen.
class CountingChart : public TPlotChart {
public:
    void Present(const QImage& image, int x, int y) override {
        (x == 0 && y == 0 ? fullPresents : plotPresents)++;
        TPlotChart::Present(image, x, y);
    }
    int fullPresents = 0;
    int plotPresents = 0;
};

// Pixels of `colour` in a row from `from` on, one `step` at a time.
int runOf(const QImage& image, QPoint from, QPoint step, QRgb colour) {
    int n = 0;
    for (QPoint p = from; image.rect().contains(p) && (image.pixel(p) & 0xFFFFFF) == colour;
         p += step) {
        ++n;
    }
    return n;
}

} // namespace

TEST(ItemPainting, DrawToRunSplitsIntoPolylinesOf200SharingEndPoints) {
    auto chart = makeFormChart();
    chart->AddMoveTo(0, 5);
    for (int i = 1; i <= 450; ++i) {
        chart->AddDrawTo(i, 5 + (i % 7) * 0.5);
    }
    RecordingCanvas canvas;
    chart->Paint();
    chart->PaintItems(canvas, 0, 1, false, 0);
    const auto lines = itemPolylines(canvas);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].points.size(), 200u);
    EXPECT_EQ(lines[1].points.size(), 200u);
    EXPECT_EQ(lines[2].points.size(), 53u);
    const QPoint start = chartPixel(*chart, 0, 5) - QPoint(80, 30);
    EXPECT_EQ(lines[0].points.front(), start);
    EXPECT_EQ(lines[1].points.front(), lines[0].points.back());
    EXPECT_EQ(lines[2].points.front(), lines[1].points.back());
    EXPECT_EQ(lines[2].points.back(),
              chartPixel(*chart, 450, 5 + (450 % 7) * 0.5) - QPoint(80, 30));
}

TEST(ItemPainting, ColourChangeStartsNewPolylineAtPreviousEndWithNewPen) {
    auto chart = makeFormChart();
    chart->SetDataColor(clBlue);
    chart->AddMoveTo(0, 1);
    chart->AddDrawTo(100, 2);
    chart->AddDrawTo(200, 3);
    chart->SetDataColor(clMaroon);
    chart->AddDrawTo(300, 4);
    chart->AddDrawTo(400, 5);
    RecordingCanvas canvas;
    chart->Paint();
    chart->PaintItems(canvas, 0, 1, false, 0);
    const auto lines = itemPolylines(canvas);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].points.size(), 3u);
    EXPECT_EQ(lines[0].pen.Color, clBlue);
    EXPECT_EQ(lines[1].points.size(), 3u);
    EXPECT_EQ(lines[1].points.front(), lines[0].points.back());
    EXPECT_EQ(lines[1].pen.Color, clMaroon);
    // Pens are set only when they change: the initial one, blue, maroon, the outline's.
    int penChanges = 0;
    for (const auto& call : canvas.Calls()) {
        penChanges += call.op == Op::Pen;
    }
    EXPECT_EQ(penChanges, 1 + 1 + 1 + 1 + 1); // initial, blue, maroon, width back to 1, outline
}

TEST(ItemPainting, FirstDrawToWithoutMoveStartsAtPlotCorner_LineKeepsPolylineStart) {
    auto chart = makeFormChart();
    chart->AddDrawTo(500, 5);
    chart->AddLine(100, 1, 200, 2);
    chart->AddDrawTo(600, 6);
    RecordingCanvas canvas;
    chart->Paint();
    chart->PaintItems(canvas, 0, 1, false, 0);
    const auto lines = itemPolylines(canvas);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].points.front(), QPoint(0, 0));
    // The line item flushed the first run; the next run starts where that run ended.
    EXPECT_EQ(lines[1].points.front(), lines[0].points.back());
    EXPECT_EQ(canvas.CallsOf(Op::Line).size(), 1u);
}

TEST(ItemPainting, NanItemsForeignLayersAndKindsAreNotDrawn) {
    auto chart = makeFormChart();
    chart->AddMoveTo(0, 5);
    chart->AddDrawTo(std::nan(""), 5);
    chart->AddLine(1, 1, std::nan(""), 2);
    chart->AddDrawTo(100, 5);
    RecordingCanvas canvas;
    chart->Paint();
    chart->PaintItems(canvas, 0, 1, false, 0);
    const auto lines = itemPolylines(canvas);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].points.size(), 2u);
    EXPECT_TRUE(canvas.CallsOf(Op::Line).empty());
}

TEST(ItemPainting, GridFollowsActiveLayerTicks) {
    auto chart = makeFormChart();
    chart->Paint();
    RecordingCanvas canvas;
    chart->PaintItems(canvas, 0, 0, false, 0);
    const auto lines = canvas.CallsOf(Op::Line);
    // Short ticks every 50 on 0..1000 and every 0.5 on 0..10, the maximum itself excluded.
    ASSERT_EQ(lines.size(), 40u);
    for (int i = 0; i < 20; ++i) {
        const QPoint top = chartPixel(*chart, 50.0 * i, 10) - QPoint(80, 30);
        const QPoint bottom = chartPixel(*chart, 50.0 * i, 0) - QPoint(80, 30);
        EXPECT_EQ(lines[static_cast<std::size_t>(i)].points[0], bottom) << i;
        EXPECT_EQ(lines[static_cast<std::size_t>(i)].points[1], top) << i;
        EXPECT_EQ(lines[static_cast<std::size_t>(i)].pen.Color, clSilver);
    }
    const QPoint left = chartPixel(*chart, 0, 2.5) - QPoint(80, 30);
    EXPECT_EQ(lines[25].points[0], left);

    // Layer 2's axes are invisible and were never painted: one line at each minimum.
    chart->SetActiveLayer(2);
    canvas.Clear();
    chart->PaintItems(canvas, 0, 0, false, 0);
    EXPECT_EQ(canvas.CallsOf(Op::Line).size(), 2u);
}

TEST(ItemPainting, GridStylesDrawTheirLinesOrDots) {
    struct Case {
        GridStyleType style;
        std::size_t lines;
        std::size_t pixels;
        TPenStyle pen;
    };
    const Case cases[] = {
        {gsNone, 0, 0, psSolid},        {gsPoints, 0, 400, psSolid},
        {gsVertLines, 20, 0, psSolid},  {gsHorizLines, 20, 0, psSolid},
        {gsLines, 40, 0, psSolid},      {gsHorizDotLines, 20, 0, psDot},
        {gsVertDotLines, 20, 0, psDot}, {gsDotLines, 40, 0, psDot},
    };
    auto chart = makeFormChart();
    chart->Paint();
    for (const Case& c : cases) {
        chart->SetGridStyle(c.style);
        RecordingCanvas canvas;
        chart->PaintItems(canvas, 0, 0, false, 0);
        const auto lines = canvas.CallsOf(Op::Line);
        EXPECT_EQ(lines.size(), c.lines) << c.style;
        EXPECT_EQ(canvas.CallsOf(Op::Pixel).size(), c.pixels) << c.style;
        if (!lines.empty()) {
            EXPECT_EQ(lines[0].pen.Style, c.pen) << c.style;
        }
    }
}

TEST(ItemPainting, MonochromeDrawsItemsBlack) {
    auto chart = makeFormChart();
    chart->SetDataColor(clBlue);
    chart->AddMoveTo(0, 1);
    chart->AddDrawTo(10, 2);
    chart->Paint();
    RecordingCanvas canvas;
    chart->PaintItems(canvas, 0, 1, true, 0);
    EXPECT_EQ(itemPolylines(canvas).at(0).pen.Color, clBlack);
}

TEST(ItemPixels, LineWithBothEndsOnOnePixelSetsExactlyThatPixel) {
    auto chart = makeFormChart();
    chart->SetGridStyle(gsNone);
    chart->SetDataColor(clBlue);
    chart->AddLine(500, 5, 500.1, 5.001);
    chart->Paint();
    const QImage& plot = chart->PlotImage();
    EXPECT_EQ(countPixels(plot, kBlue), 1);
    const QPoint p = chartPixel(*chart, 500, 5) - QPoint(80, 30);
    EXPECT_EQ(plot.pixel(p) & 0xFFFFFF, kBlue);
}

TEST(ItemPixels, PointFarOutsideDrawsTowardsClampedPixelAcrossPlot) {
    auto chart = makeFormChart();
    chart->SetGridStyle(gsNone);
    chart->SetDataColor(clBlue);
    chart->AddMoveTo(400, 5);
    chart->AddDrawTo(600, 1e12);
    chart->Paint();
    const QImage& plot = chart->PlotImage();
    // The segment leaves the plot through its top edge, close to x of 400 (the far end lies
    // 30000 pixels up).
    const int x400 = chartPixel(*chart, 400, 5).x() - 80;
    bool crossesTop = false;
    for (int x = x400 - 2; x <= x400 + 3; ++x) {
        crossesTop = crossesTop || (plot.pixel(x, 1) & 0xFFFFFF) == kBlue;
    }
    EXPECT_TRUE(crossesTop);
    EXPECT_GT(countPixels(plot, kBlue), 140);
}

TEST(ItemPixels, ChartImageKeyPixels) {
    auto chart = makeFormChart();
    chart->Paint();
    const QImage& image = chart->ChartImage();
    ASSERT_EQ(image.size(), QSize(kChartWidth, kChartHeight));
    // Black control outline and box shadow.
    EXPECT_EQ(image.pixel(0, 0) & 0xFFFFFF, kBlack);
    EXPECT_EQ(image.pixel(kChartWidth - 1, kChartHeight - 1) & 0xFFFFFF, kBlack);
    EXPECT_EQ(image.pixel(kChartWidth / 2, kChartHeight - 1) & 0xFFFFFF, kBlack);
    EXPECT_EQ(image.pixel(kChartWidth - 1, kChartHeight / 2) & 0xFFFFFF, kBlack);
    // White around the plot, plot outline black, grid silver at X = 500, white between lines.
    EXPECT_EQ(image.pixel(40, 10) & 0xFFFFFF, kWhite);
    EXPECT_EQ(image.pixel(80, 100) & 0xFFFFFF, kBlack);
    EXPECT_EQ(image.pixel(564, 100) & 0xFFFFFF, kBlack);
    EXPECT_EQ(image.pixel(300, 30) & 0xFFFFFF, kBlack);
    EXPECT_EQ(image.pixel(300, 315) & 0xFFFFFF, kBlack);
    const QPoint grid = chartPixel(*chart, 500, 2.25);
    EXPECT_EQ(image.pixel(grid) & 0xFFFFFF, kSilver);
    EXPECT_EQ(image.pixel(grid + QPoint(3, 0)) & 0xFFFFFF, kWhite);
    // The X axis labels hang below the axis line: some dark text pixels there.
    int textPixels = 0;
    for (int y = 322; y < 340; ++y) {
        for (int x = 70; x < 100; ++x) {
            textPixels += (image.pixel(x, y) & 0xFFFFFF) != kWhite;
        }
    }
    EXPECT_GT(textPixels, 5);
    // The shown picture is the chart image.
    EXPECT_EQ(chart->ShownImage(), image);
}

// Ticks count their length from the axis line outward, the axis line itself included; every
// axis line runs from plot edge to plot edge, its last pixel included. Checked on all four axis
// types, in the window's two-channel set-up plus a top and a right axis.
TEST(ItemPixels, TicksAndAxisLinesCoverTheirWholeLength) {
    constexpr QRgb kMaroon = 0x800000; // the second channel's axis
    constexpr QRgb kGreen = 0x008000;
    constexpr QRgb kTeal = 0x008080;
    auto chart = makeFormChart();
    chart->Scale2Y().SetVisible(true);
    chart->SetMarginLeft(160); // plot x 160..564, y 30..315; second Y axis at x = 80
    chart->SetLayerRange(2, 0, 0.3, 1000, 10); // no tick at the low end
    for (int layer : {3, 4}) {
        chart->SetLayerRange(layer, 0, 0.3, 1000, 10);
    }
    chart->Scale3X().SetVisible(true);
    chart->Scale3X().SetScaleLocation(slTop);
    chart->Scale3X().SetScalePos(20); // axis line at y = 10, ticks upward
    chart->Scale3X().SetColorScale(0x008000);
    chart->Scale3X().SetLabelType(ftNoFigs);
    chart->Scale3Y().SetVisible(true);
    chart->Scale3Y().SetScaleLocation(slRight);
    chart->Scale3Y().SetScalePos(10); // axis line at x = 574, ticks to the right
    chart->Scale3Y().SetColorScale(0x808000);
    chart->Scale3Y().SetLabelType(ftNoFigs);
    chart->Scale4X().SetVisible(true);
    chart->Scale4X().SetScaleLocation(slBottom);
    chart->Scale4X().SetScalePos(30); // axis line at y = 345, ticks downward
    chart->Scale4X().SetColorScale(0x008000);
    chart->Scale4X().SetLabelType(ftNoFigs);
    chart->Paint();
    const QImage& image = chart->ChartImage();
    const QPoint up(0, -1), down(0, 1), left(-1, 0), right(1, 0);

    // Sample axis (bottom, y = 315): short tick at 50, labelled tick at 200 (its label follows
    // 7 pixels below the axis line).
    const int x50 = chartPixel(*chart, 50, 1).x();
    const int x200 = chartPixel(*chart, 200, 1).x();
    EXPECT_EQ(runOf(image, QPoint(x50, 315), down, kBlack), 4);
    EXPECT_GE(runOf(image, QPoint(x200, 315), down, kBlack), 7);
    EXPECT_EQ(image.pixel(x200, 321) & 0xFFFFFF, kBlack);
    // Channel-1 axis (left, x = 160): short tick at 0.5, labelled tick at 2.
    const int y05 = chartPixel(*chart, 0, 0.5).y();
    const int y2 = chartPixel(*chart, 0, 2).y();
    EXPECT_EQ(runOf(image, QPoint(160, y05), left, kBlack), 4);
    EXPECT_EQ(runOf(image, QPoint(160, y2), left, kBlack), 6);
    // Channel-2 axis (left, x = 80): ticks as above; the line reaches the plot's bottom edge.
    const int y05b = chartPixel(*chart, 0, 0.5, 2).y();
    const int y2b = chartPixel(*chart, 0, 2, 2).y();
    EXPECT_EQ(runOf(image, QPoint(80, y05b), left, kMaroon), 4);
    EXPECT_EQ(runOf(image, QPoint(80, y2b), left, kMaroon), 6);
    EXPECT_EQ(runOf(image, QPoint(80, 200), down, kMaroon), 315 - 200 + 1);
    EXPECT_EQ(runOf(image, QPoint(80, 200), up, kMaroon), 200 - 30 + 1);
    // Top axis (y = 10) and a second bottom axis (y = 345): 4 and 7 pixels, line to x = 564.
    const int x50c = chartPixel(*chart, 50, 1, 3).x();
    const int x200c = chartPixel(*chart, 200, 1, 3).x();
    EXPECT_EQ(runOf(image, QPoint(x50c, 10), up, kGreen), 4);
    EXPECT_EQ(runOf(image, QPoint(x200c, 10), up, kGreen), 7);
    EXPECT_EQ(runOf(image, QPoint(x50c, 345), down, kGreen), 4);
    EXPECT_EQ(runOf(image, QPoint(x200c, 345), down, kGreen), 7);
    for (int y : {10, 345}) {
        EXPECT_EQ(runOf(image, QPoint(300, y), right, kGreen), 564 - 300 + 1);
        EXPECT_EQ(runOf(image, QPoint(300, y), left, kGreen), 300 - 160 + 1);
    }
    // Right axis (x = 574): 4 and 6 pixels, line from y = 30 to 315.
    EXPECT_EQ(runOf(image, QPoint(574, y05b), right, kTeal), 4);
    EXPECT_EQ(runOf(image, QPoint(574, y2b), right, kTeal), 6);
    EXPECT_EQ(runOf(image, QPoint(574, 200), down, kTeal), 315 - 200 + 1);
    EXPECT_EQ(runOf(image, QPoint(574, 200), up, kTeal), 200 - 30 + 1);
}

TEST(PaintGate, SuspendTwiceThenResumeRebuildsOnce) {
    CountingChart chart;
    chart.ApplyFormChartSettings();
    chart.resize(kChartWidth, kChartHeight);
    chart.SetHeadless(true);
    chart.fullPresents = 0;
    chart.SuspendPaint(true);
    chart.SuspendPaint(true);
    chart.Paint();
    EXPECT_EQ(chart.fullPresents, 0);
    chart.SuspendPaint(false);
    EXPECT_EQ(chart.fullPresents, 1);
}

TEST(PaintGate, RedrawWhileSuspendedShowsNothingButRemembersIndex_RedrawItemsDraws) {
    CountingChart chart;
    chart.ApplyFormChartSettings();
    chart.resize(kChartWidth, kChartHeight);
    chart.SetHeadless(true);
    chart.AddMoveTo(0, 1);
    chart.AddDrawTo(1, 2);
    chart.AddDrawTo(2, 3);
    chart.SuspendPaint(true);
    chart.fullPresents = 0;
    chart.Redraw();
    EXPECT_EQ(chart.fullPresents, 0);
    EXPECT_EQ(chart.LastShownIndex(), 2);
    chart.RedrawItems();
    EXPECT_EQ(chart.plotPresents, 1);
}

TEST(PaintGate, AutoRedrawOffPropertyChangePaintsNothing) {
    CountingChart chart;
    chart.ApplyFormChartSettings();
    chart.SetHeadless(true);
    chart.fullPresents = 0;
    chart.SetGridStyle(gsNone);
    chart.SetGridStyle(gsLines);
    chart.SetCaption("x");
    EXPECT_EQ(chart.fullPresents, 0);
    chart.Redraw();
    EXPECT_EQ(chart.fullPresents, 1);
}

TEST(PaintGate, RedrawItemsDrawsGridOnlyWhenRememberedIndexIsZero) {
    auto chart = makeFormChart();
    chart->Paint();
    const QPoint grid = chartPixel(*chart, 500, 2.25) - QPoint(80, 30);
    auto gridShown = [&] { return (chart->PlotImage().pixel(grid) & 0xFFFFFF) == kSilver; };

    chart->ClearItems(); // blank plot, remembered index 0
    EXPECT_FALSE(gridShown());
    chart->RedrawItems(); // grid; index := -1
    EXPECT_TRUE(gridShown());
    chart->PaintPlotBackground();
    chart->RedrawItems(); // index was -1: no grid
    EXPECT_FALSE(gridShown());
    chart->AddMoveTo(0, 5);
    chart->RedrawItems(); // index := 0
    chart->PaintPlotBackground();
    chart->RedrawItems(); // index was 0: grid
    EXPECT_TRUE(gridShown());
    chart->AddDrawTo(1, 5);
    chart->RedrawItems(); // index := 1
    chart->PaintPlotBackground();
    chart->RedrawItems(); // index was 1: no grid
    EXPECT_FALSE(gridShown());
}
