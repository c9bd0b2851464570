#include "chart/control/recordingcanvas.h"
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
