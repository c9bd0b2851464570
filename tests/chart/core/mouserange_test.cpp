// SPDX-License-Identifier: GPL-3.0-or-later
// Range arithmetic of pan, zoom-drag and rubber band against the chart's worked examples.
#include "chart/core/mouserange.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// The form's chart: 585 x 361, margins 80/20/30/45, shadow 1 -> plot 484 x 285.
PlotGeometry formGeometry() {
    return {585, 361, 80, 20, 30, 45, 1};
}

struct PanCase {
    std::string name;
    bool horizontal;
    AxisSpan start;
    AxisSpan current;
    bool logarithmic;
    int pointer;
    int start0;
    int plotSize;
    double low;
    double high;
};

class PanTest : public ::testing::TestWithParam<PanCase> {};

TEST_P(PanTest, MovesRangeWithPointer) {
    const PanCase& c = GetParam();
    const auto r = c.horizontal
                       ? PanX(c.start, c.current, c.logarithmic, c.pointer, c.start0, c.plotSize)
                       : PanY(c.start, c.current, c.logarithmic, c.pointer, c.start0, c.plotSize);
    ASSERT_TRUE(r.has_value());
    EXPECT_NEAR(r->Low, c.low, std::abs(c.low) * 1e-12 + 1e-12);
    EXPECT_NEAR(r->High, c.high, std::abs(c.high) * 1e-12 + 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, PanTest,
    ::testing::Values(
        // The worked example: start recorded at x 310, pointer at 350, plot width 484.
        PanCase{"LinearXRightShowsSmallerValues",
                true,
                {0, 1000},
                {0, 1000},
                false,
                350,
                310,
                484,
                -1000.0 * 40 / 484,
                1000 - 1000.0 * 40 / 484},
        PanCase{"LinearXBackAtStartRestoresRange",
                true,
                {0, 1000},
                {-82, 918},
                false,
                310,
                310,
                484,
                0,
                1000},
        // dx uses the current span, the start range is what moves.
        PanCase{
            "LinearXUsesCurrentSpan", true, {0, 1000}, {0, 500}, false, 300, 200, 400, -125, 875},
        PanCase{"ReversedXFollowsPointer",
                true,
                {1000, 0},
                {1000, 0},
                false,
                350,
                310,
                484,
                1000 + 1000.0 * 40 / 484,
                1000.0 * 40 / 484},
        PanCase{"LinearYDownShowsLargerValues",
                false,
                {1, 10},
                {1, 10},
                false,
                250,
                200,
                285,
                1 + 9.0 * 50 / 285,
                10 + 9.0 * 50 / 285},
        PanCase{
            "LinearYUpShowsSmallerValues", false, {1, 10}, {1, 10}, false, 100, 200, 300, -2, 7},
        PanCase{"LogXWholePlotRightDividesByRatio",
                true,
                {1, 1000},
                {1, 1000},
                true,
                500,
                100,
                400,
                0.001,
                1},
        PanCase{"LogXHalfPlotLeft", true, {1, 100}, {1, 100}, true, 100, 300, 400, 10, 1000},
        PanCase{"LogYWholePlotDownMultipliesByRatio",
                false,
                {1, 100},
                {1, 100},
                true,
                300,
                0,
                300,
                100,
                10000}),
    [](const auto& info) { return info.param.name; });

TEST(PanGuards, NoChangeWithoutFiniteResult) {
    // A plot area without width or height (mend: nothing changes instead of dividing by 0).
    EXPECT_FALSE(PanX({0, 1000}, {0, 1000}, false, 10, 0, 0));
    EXPECT_FALSE(PanY({0, 1000}, {0, 1000}, false, 10, 0, -5));
    // Logarithm of a non-positive current range.
    EXPECT_FALSE(PanX({-1, 10}, {-1, 10}, true, 10, 0, 100));
    EXPECT_FALSE(PanY({0, 10}, {0, 10}, true, 10, 0, 100));
    // Ranges that overflow or already hold NaN from a loaded file.
    EXPECT_FALSE(PanX({-1e308, 1e308}, {-1e308, 1e308}, false, 10, 0, 100));
    EXPECT_FALSE(PanX({kNaN, 1}, {0, 1}, false, 10, 0, 100));
    EXPECT_FALSE(PanY({0, 1}, {0, kInf}, false, 10, 0, 100));
}

struct ZoomCase {
    std::string name;
    int pointer;
    int start0;
    int controlSize;
    bool vertical;
    AxisSpan start;
    double low;
    double high;
};

class ZoomDragTest : public ::testing::TestWithParam<ZoomCase> {};

TEST_P(ZoomDragTest, ScalesAboutCentre) {
    const ZoomCase& c = GetParam();
    const double f = c.vertical ? ZoomFactorY(c.pointer, c.start0, c.controlSize)
                                : ZoomFactorX(c.pointer, c.start0, c.controlSize);
    const auto r = ZoomAboutCentre(c.start, f);
    ASSERT_TRUE(r.has_value());
    EXPECT_NEAR(r->Low, c.low, 1e-9);
    EXPECT_NEAR(r->High, c.high, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, ZoomDragTest,
    ::testing::Values(
        // Control 585 wide: 117 pixels right -> factor 0.8, 117 left -> 1.2.
        ZoomCase{"RightNarrows", 417, 300, 585, false, {0, 1000}, 100, 900},
        ZoomCase{"LeftWidens", 183, 300, 585, false, {0, 1000}, -100, 1100},
        ZoomCase{"NoOffsetKeepsRange", 300, 300, 585, false, {0, 1000}, 0, 1000},
        // Y: up narrows, down widens; 361 high.
        ZoomCase{"UpNarrows",
                 200 - 361 / 2,
                 200,
                 361,
                 true,
                 {1, 10},
                 5.5 - 4.5 * (1 - 180.0 / 361),
                 5.5 + 4.5 * (1 - 180.0 / 361)},
        ZoomCase{"DownWidens", 200 + 361, 200, 361, true, {1, 10}, -3.5, 14.5},
        ZoomCase{"HorizontalDragLeavesY", 200, 200, 361, true, {1, 10}, 1, 10},
        ZoomCase{"ReversedAxisStaysReversed", 417, 300, 585, false, {1000, 0}, 900, 100}),
    [](const auto& info) { return info.param.name; });

TEST(ZoomDragGuards, ZeroSizedControlAndNonFiniteRanges) {
    EXPECT_EQ(ZoomFactorX(500, 0, 0), 1.0);
    EXPECT_EQ(ZoomFactorY(500, 0, -1), 1.0);
    EXPECT_FALSE(ZoomAboutCentre({kNaN, 1}, 0.5));
    EXPECT_FALSE(ZoomAboutCentre({-1e308, 1e308}, 2));
}

TEST(RubberBandCorners, OrderLikeAxis) {
    struct Case {
        double d1, d2, axisLow, axisHigh, want1, want2;
    };
    const std::vector<Case> cases = {
        {5, 2, 0, 10, 2, 5}, // ascending axis, dragged backwards: swapped
        {2, 5, 0, 10, 2, 5}, // ascending, already ordered
        {2, 5, 10, 0, 5, 2}, // descending axis keeps its direction
        {5, 2, 10, 0, 5, 2}, // descending, already ordered
        {3, 3, 0, 10, 3, 3}, // equal corners stay
        {5, 2, 4, 4, 5, 2},  // an axis without direction leaves them as they are
    };
    for (const Case& c : cases) {
        double a = c.d1;
        double b = c.d2;
        OrderLikeAxis(a, b, c.axisLow, c.axisHigh);
        EXPECT_EQ(a, c.want1) << c.d1 << "," << c.d2 << " on " << c.axisLow << ".." << c.axisHigh;
        EXPECT_EQ(b, c.want2) << c.d1 << "," << c.d2 << " on " << c.axisLow << ".." << c.axisHigh;
    }
}

TEST(RubberBandCorners, IsometricRecentresYOnXExtent) {
    double y1 = 2;
    double y2 = 4;
    // Square plot (99 + 1 both ways), square pixels: half height = half the X extent.
    MakeIsometric(0, 10, y1, y2, 99, 99, 1, 1);
    EXPECT_DOUBLE_EQ(y1, -2);
    EXPECT_DOUBLE_EQ(y2, 8);
    // A plot twice as wide as high halves it.
    y1 = 0;
    y2 = 0;
    MakeIsometric(0, 10, y1, y2, 199, 99, 1, 1);
    EXPECT_DOUBLE_EQ(y1, -2.5);
    EXPECT_DOUBLE_EQ(y2, 2.5);
}

TEST(RubberBandCorners, CurrentCornerClampedIntoPlotArea) {
    const PlotGeometry g = formGeometry(); // x 80..564, y 30..315
    struct Case {
        int x1, y1, x, y;
        bool isometric;
        PixelPoint want;
    };
    const std::vector<Case> cases = {
        {100, 100, 200, 200, false, {200, 200}},
        {100, 100, 10, 5, false, {80, 30}},                   // left of and above the plot
        {100, 100, 9000, 9000, false, {564, 315}},            // captured far outside
        {100, 100, 564, 315, false, {564, 315}},              // edges included
        {100, 100, 150, 120, true, {150, 150}},               // down-right: square downwards
        {100, 100, 150, 80, true, {150, 50}},                 // up-right: square upwards
        {200, 200, 150, 260, true, {150, 250}},               // down-left
        {200, 200, 150, 100, true, {150, 150}},               // up-left
        {200, 200, 250, 200, true, {250, 150}},               // no vertical offset squares upwards
        {100, 100, 2000000000, -2000000000, true, {564, 30}}, // no overflow far out
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RubberBandCorner(g, c.x1, c.y1, c.x, c.y, c.isometric), c.want)
            << c.x << "," << c.y << " iso " << c.isometric;
    }
}

TEST(MouseModes, ClassesOfTheFifteenModes) {
    std::string drag;
    std::string panZoom;
    std::string band;
    for (int m = maNone; m <= maRotZOnly; ++m) {
        const auto mode = static_cast<TMouseActMode>(m);
        drag += IsDragMode(mode) ? '1' : '0';
        panZoom += IsPanZoomMode(mode) ? '1' : '0';
        band += IsRubberBandMode(mode) ? '1' : '0';
    }
    EXPECT_EQ(drag, "011100001110000");
    EXPECT_EQ(panZoom, "011100001000000");
    EXPECT_EQ(band, "000010110000000");
}

} // namespace
