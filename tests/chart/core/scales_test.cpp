// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/exception.h"
#include "chart/core/chartlayers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Counts full rebuilds so tests can see when a range update repaints.
class CountingLayers : public ChartLayers {
public:
    int paints = 0;
    int plotAreaChanges = 0;
    void Paint() override { ++paints; }

protected:
    void PlotAreaChanged() override { ++plotAreaChanges; }
};

// Six pixels per character, 13 pixels high: enough to check placement arithmetic.
class FakeMeasure : public TextMeasure {
public:
    int TextWidth(const TChartFont&, const std::string& text) const override {
        return 6 * static_cast<int>(text.size());
    }
    int TextHeight(const TChartFont&, const std::string&) const override { return 13; }
};

// The form's chart at its design size.
struct FormChart : ::testing::Test {
    CountingLayers chart;
    FakeMeasure measure;
    void SetUp() override {
        chart.ApplyFormScaleSettings();
        chart.SetControlSize(786, 526);
        chart.SetPaintSuspended(false);
        chart.paints = 0;
    }
};

TEST(ScaleProps, LayerDefaults) {
    ChartLayers chart;
    for (int n = 1; n <= 16; ++n) {
        const TScalePropsHoriz& x = chart.ScaleX(n);
        const TScalePropsVert& y = chart.ScaleY(n);
        EXPECT_EQ(x.ScalePos(), ((n - 1) / 2) * 30) << n;
        EXPECT_EQ(y.ScalePos(), ((n - 1) / 2) * 50) << n;
        EXPECT_EQ(x.SideCode(), n % 2 == 0 ? sctXB : sctXT) << n;
        EXPECT_EQ(y.SideCode(), n % 2 == 0 ? sctYL : sctYR) << n;
        EXPECT_EQ(x.ColorScale(), DefaultScaleColor(n));
        EXPECT_EQ(x.DecPlaces(), -2);
        EXPECT_EQ(x.MinTicks(), 3);
        EXPECT_EQ(x.MinRange(), 1e-10);
        EXPECT_EQ(x.RangeLow(), 0.0);
        EXPECT_EQ(x.RangeHigh(), 1.0);
        EXPECT_FALSE(y.Visible());
        EXPECT_TRUE(y.ShortTicks());
        EXPECT_EQ(chart.XControlledBy(n), n);
        EXPECT_EQ(chart.YControlledBy(n), n);
    }
    EXPECT_EQ(DefaultScaleColor(2), 0x000080);
    EXPECT_EQ(chart.MarginLeft(), 50);
    EXPECT_EQ(chart.MarginRight(), 10);
    EXPECT_EQ(chart.MarginTop(), 16);
    EXPECT_EQ(chart.MarginBottom(), 32);
    EXPECT_EQ(chart.ShadowWidth(), 0);
    EXPECT_TRUE(chart.PaintSuspended());
    // Setting the location ends the even/odd rule.
    chart.ScaleX(2).SetScaleLocation(slBottom);
    chart.ScaleY(2).SetScaleLocation(slLeft);
    EXPECT_EQ(chart.ScaleX(2).SideCode(), sctXT);
    EXPECT_EQ(chart.ScaleY(2).SideCode(), sctYR);
}

TEST(ScaleProps, RangeSettersKeepMinRangeAndFireOnChange) {
    TScalePropsVert y(1);
    int changes = 0;
    y.OnChange = [&] { ++changes; };
    y.SetRangeLow(1); // high 1 is too close: high := 1 + MinRange
    EXPECT_EQ(y.RangeLow(), 1.0);
    EXPECT_EQ(y.RangeHigh(), 1.0 + 1e-10);
    y.SetRangeHigh(10);
    EXPECT_EQ(y.RangeHigh(), 10.0);
    y.SetRangeHigh(1.0); // low 1 is too close: low := 1 − MinRange
    EXPECT_EQ(y.RangeLow(), 1.0 - 1e-10);
    EXPECT_EQ(changes, 3);
    y.SetRangeLow(kNaN);
    y.SetRangeHigh(kInf);
    EXPECT_EQ(y.RangeHigh(), 1.0);
    EXPECT_EQ(changes, 3);

    TScalePropsHoriz x(1);
    x.SetRangeLow(1);
    x.SetRangeHigh(100);
    x.SetLogarithmic(true);
    x.SetRangeLow(0); // refused on a logarithmic axis
    x.SetRangeLow(1e-101);
    EXPECT_EQ(x.RangeLow(), 1.0);
    x.SetRangeLow(1e-100);
    EXPECT_EQ(x.RangeLow(), 1e-100);
}

TEST_F(FormChart, FormSettings) {
    EXPECT_EQ(chart.MarginLeft(), 80);
    EXPECT_EQ(chart.MarginRight(), 20);
    EXPECT_EQ(chart.MarginTop(), 30);
    EXPECT_EQ(chart.MarginBottom(), 45);
    EXPECT_EQ(chart.ShadowWidth(), 1);
    EXPECT_EQ(chart.Scale1X().Caption(), "Anzahl Samples");
    EXPECT_EQ(chart.Scale1X().DecPlaces(), 0);
    EXPECT_EQ(chart.Scale1X().RangeHigh(), 1000.0);
    EXPECT_EQ(chart.Scale1Y().RangeLow(), 1.0);
    EXPECT_EQ(chart.Scale1Y().RangeHigh(), 10.0);
    EXPECT_TRUE(chart.Scale1X().Visible());
    EXPECT_TRUE(chart.Scale1Y().Visible());
    EXPECT_FALSE(chart.Scale2X().Visible());
    EXPECT_FALSE(chart.Scale2Y().Visible());
    EXPECT_EQ(chart.Scale2Y().ScalePos(), 80);
    EXPECT_EQ(chart.Scale2Y().ColorScale(), 0x000080);
    EXPECT_EQ(chart.Scale2Y().SideCode(), sctYR);
    EXPECT_EQ(chart.Scale2X().SideCode(), sctXT);
    EXPECT_EQ(chart.Scale1Y().Font().Name, "MS Sans Serif");
    EXPECT_EQ(chart.Scale1Y().Font().Height, -13);
}

TEST_F(FormChart, ControlSizeIsRaisedToTheMinimum) {
    chart.SetControlSize(10, 10);
    EXPECT_EQ(chart.Width(), 80 + 20 + 1 + 80);
    EXPECT_EQ(chart.Height(), 30 + 45 + 1 + 20);
    EXPECT_EQ(chart.paints, 0);
    EXPECT_FALSE(chart.PaintSuspended());
}

TEST_F(FormChart, PlotAreaGeometry) {
    const PlotRect r = chart.PlotArea();
    EXPECT_EQ(r.Left, 80);
    EXPECT_EQ(r.Top, 30);
    EXPECT_EQ(r.Right, 786 - 20 - 1);
    EXPECT_EQ(r.Bottom, 526 - 45 - 1);
    EXPECT_EQ(chart.PlotWidth(), 685);
    EXPECT_EQ(chart.PlotHeight(), 450);
    EXPECT_TRUE(chart.IsInsidePlot(80, 30));
    EXPECT_TRUE(chart.IsInsidePlot(765, 480));
    EXPECT_FALSE(chart.IsInsidePlot(79, 100));
    EXPECT_FALSE(chart.IsInsidePlot(100, 481));
}

TEST_F(FormChart, MarginSetterUpdatesAxesAndTransforms) {
    chart.plotAreaChanges = 0;
    chart.SetMarginLeft(160);
    EXPECT_EQ(chart.plotAreaChanges, 1);
    int px = 0, py = 0;
    ASSERT_TRUE(chart.DataToPixel(1, 0, 10, px, py));
    EXPECT_EQ(px, 160);
    EXPECT_EQ(chart.Scale(1, TAxis::Y).AxisPosition(), 160);
    EXPECT_EQ(chart.Scale(2, TAxis::Y).AxisPosition(), 80); // ScalePos 80 further out
    chart.SetMarginLeft(-1);
    EXPECT_EQ(chart.MarginLeft(), 160);
    EXPECT_EQ(chart.paints, 0);
}

TEST_F(FormChart, DataToPixelMapsRangeEndsToPlotEdges) {
    int px = 0, py = 0;
    ASSERT_TRUE(chart.DataToPixel(1, 0, 10, px, py));
    EXPECT_EQ(px, 80);
    EXPECT_EQ(py, 30);
    ASSERT_TRUE(chart.DataToPixel(1, 1000, 1, px, py));
    EXPECT_EQ(px, 765);
    EXPECT_EQ(py, 480);
    // Layer outside 1..16 is clamped.
    ASSERT_TRUE(chart.DataToPixel(0, 0, 10, px, py));
    EXPECT_EQ(px, 80);
    // Ranges that do not start at 0 (a trend window, negative values) also reach both edges,
    // and their middle lies halfway between them.
    chart.SetLayerRange(3, 1000, -20, 3000, -2);
    ASSERT_TRUE(chart.DataToPixel(3, 1000, -2, px, py));
    EXPECT_EQ(px, 80);
    EXPECT_EQ(py, 30);
    ASSERT_TRUE(chart.DataToPixel(3, 3000, -20, px, py));
    EXPECT_EQ(px, 765);
    EXPECT_EQ(py, 480);
    ASSERT_TRUE(chart.DataToPixel(3, 2000, -11, px, py));
    EXPECT_EQ(px, 422); // 422.5, rounded to even
    EXPECT_EQ(py, 255);
}

TEST_F(FormChart, PixelToDataInvertsDataToPixel) {
    for (double x : {0.0, 1.0, 123.456, 999.0, -50.0, 2000.0}) {
        int px = 0, py = 0;
        ASSERT_TRUE(chart.DataToPixel(1, x, 5.5, px, py));
        double bx = 0, by = 0;
        ASSERT_TRUE(chart.PixelToData(1, px, py, bx, by));
        EXPECT_NEAR(bx, x, 0.5 * 1000.0 / 685.0 + 1e-9);
        EXPECT_NEAR(by, 5.5, 0.5 * 9.0 / 450.0 + 1e-9);
    }
    double x = 0, y = 0;
    ASSERT_TRUE(chart.PixelToData(1, 80, 480, x, y));
    EXPECT_DOUBLE_EQ(x, 0.0);
    EXPECT_DOUBLE_EQ(y, 1.0);
}

// Margins 10 all round and a 100-pixel plot give one pixel per data unit.
struct UnitChart : ::testing::Test {
    ChartLayers chart;
    void SetUp() override {
        chart.SetMarginLeft(10);
        chart.SetMarginRight(10);
        chart.SetMarginTop(10);
        chart.SetMarginBottom(10);
        chart.SetControlSize(120, 120);
        chart.SetLayerRange(1, 0, 0, 100, 100);
    }
};

TEST_F(UnitChart, RoundsHalvesToEven) {
    struct Case {
        double x;
        int px;
    };
    for (const Case c : {Case{0.5, 10}, Case{1.5, 12}, Case{2.5, 12}, Case{2.4999, 12},
                         Case{2.5001, 13}, Case{-10.5, 0}, Case{-11.5, -2}}) {
        int px = 0, py = 0;
        ASSERT_TRUE(chart.DataToPixel(1, c.x, 0, px, py));
        EXPECT_EQ(px, c.px) << c.x;
    }
}

// The double-precision path of DataToPixel must give the pixel of the long double formula
// round-half-even(K · v + O) for every input: random layouts and ranges, random coordinates, and
// coordinates aimed at half pixels, where a careless double computation rounds the other way.
TEST(DataToPixelPrecision, DoubleResultsEqualTheLongDoubleFormula) {
    std::mt19937_64 rng(9);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const auto reference = [](long double k, long double o, double v) {
        const long double r = k == 0 ? o : k * v + o;
        return static_cast<int>(std::lrint(std::clamp(r, -2147483647.0L, 2147483647.0L)));
    };
    int nearHalf = 0;
    for (int layout = 0; layout < 200; ++layout) {
        ChartLayers chart;
        chart.SetMarginLeft(static_cast<int>(rng() % 200));
        chart.SetMarginTop(static_cast<int>(rng() % 60));
        chart.SetControlSize(300 + static_cast<int>(rng() % 1500),
                             200 + static_cast<int>(rng() % 900));
        const double scale = std::pow(10.0, static_cast<int>(rng() % 25) - 12);
        const double lo = (unit(rng) - 0.5) * 2000 * scale;
        const double hi = lo + (0.001 + unit(rng) * 3000) * scale;
        chart.SetLayerRange(1, lo, -hi, hi, hi * 2 + 1);
        const long double kx = chart.Kx(1), ox = chart.Ox(1), ky = chart.Ky(1), oy = chart.Oy(1);
        for (int i = 0; i < 2000; ++i) {
            double x = lo + (unit(rng) * 1.4 - 0.2) * (hi - lo);
            double y = -hi + (unit(rng) * 1.4 - 0.2) * (3 * hi + 1);
            if (i % 2 == 0) {
                // Aim at a half pixel and step a few units in the last place around it.
                const long double half = std::floor(kx * x + ox) + 0.5L;
                x = static_cast<double>((half - ox) / kx);
                for (int s = static_cast<int>(rng() % 7) - 3; s != 0; s += s > 0 ? -1 : 1) {
                    x = std::nextafter(x, s > 0 ? kInf : -kInf);
                }
                const long double halfY = std::floor(ky * y + oy) + 0.5L;
                y = static_cast<double>((halfY - oy) / ky);
                ++nearHalf;
            }
            int px = 0, py = 0;
            ASSERT_TRUE(chart.DataToPixel(1, x, y, px, py));
            ASSERT_EQ(px, reference(kx, ox, x)) << "x " << x << " layout " << layout;
            ASSERT_EQ(py, reference(ky, oy, y)) << "y " << y << " layout " << layout;
        }
    }
    EXPECT_GT(nearHalf, 100000);
}

TEST_F(UnitChart, ClampsHugeAndInfiniteCoordinates) {
    struct Case {
        double x, y;
        int px, py;
    };
    for (const Case c :
         {Case{1e300, 0, 2147483647, 110}, Case{-1e300, 0, -2147483647, 110},
          Case{kInf, -kInf, 2147483647, 2147483647}, Case{-kInf, kInf, -2147483647, -2147483647},
          Case{3e9, 50, 2147483647, 60}}) {
        int px = 1, py = 1;
        ASSERT_TRUE(chart.DataToPixel(1, c.x, c.y, px, py));
        EXPECT_EQ(px, c.px) << c.x;
        EXPECT_EQ(py, c.py) << c.y;
    }
}

TEST_F(UnitChart, NaNCoordinateIsReportedNotConverted) {
    int px = 7, py = 7;
    EXPECT_FALSE(chart.DataToPixel(1, kNaN, 5, px, py));
    EXPECT_FALSE(chart.DataToPixel(1, 5, kNaN, px, py));
    EXPECT_EQ(px, 0);
    EXPECT_EQ(py, 0);
}

TEST_F(UnitChart, EmptyPlotAreaMapsToTheMiddleAndCannotBeInverted) {
    chart.SetMarginLeft(500); // wider than the control: no plot width
    int px = 0, py = 0;
    ASSERT_TRUE(chart.DataToPixel(1, kInf, 50, px, py));
    EXPECT_EQ(px, 60); // W / 2
    double x = 1, y = 2;
    EXPECT_FALSE(chart.PixelToData(1, 30, 30, x, y));
    EXPECT_EQ(x, 1.0);
    EXPECT_EQ(y, 2.0);
}

TEST_F(UnitChart, LogarithmicAxes) {
    chart.SetLayerRange(1, 1, 0, 1000, 100);
    chart.ScaleX(1).SetLogarithmic(true);
    EXPECT_THROW(chart.ScaleY(1).SetLogarithmic(true), EChartError); // Y range 0..100
    try {
        chart.ComputeLayerTransforms();
        FAIL();
    } catch (const EChartError& e) {
        EXPECT_EQ(e.Message(), "Logarithmic axis must not be negative.");
    }
    chart.ScaleY(1).SetLogarithmic(false);
    int px = 0, py = 0;
    ASSERT_TRUE(chart.DataToPixel(1, 10, 0, px, py));
    EXPECT_EQ(px, 10 + 33); // a third of the decades
    ASSERT_TRUE(chart.DataToPixel(1, 1000, 0, px, py));
    EXPECT_EQ(px, 110);
    ASSERT_TRUE(chart.DataToPixel(1, 0, 0, px, py));
    EXPECT_EQ(px, 0); // non-positive on an upward axis
    double x = 0, y = 0;
    ASSERT_TRUE(chart.PixelToData(1, 110, 10, x, y));
    EXPECT_NEAR(x, 1000, 1e-9);
    // Non-positive log bounds are not stored; equal bounds widen by 1.1.
    chart.SetLayerRange(1, -5, 0, 100, 100);
    EXPECT_EQ(chart.ScaleX(1).RangeLow(), 1.0);
    EXPECT_EQ(chart.ScaleX(1).RangeHigh(), 100.0);
    chart.SetLayerRange(1, 10, 0, 10, 100);
    EXPECT_NEAR(chart.ScaleX(1).RangeLow(), 10 / 1.1, 1e-12);
    EXPECT_NEAR(chart.ScaleX(1).RangeHigh(), 11, 1e-12);
}

TEST(LayerRange, EqualBoundsWidenByHalfMinRange) {
    ChartLayers chart;
    chart.SetLayerRange(1, 0, 5, 100, 5);
    EXPECT_EQ(chart.ScaleX(1).RangeLow(), 0.0); // X applied independently
    EXPECT_EQ(chart.ScaleX(1).RangeHigh(), 100.0);
    EXPECT_DOUBLE_EQ(chart.ScaleY(1).RangeLow(), 5 - 5e-11);
    EXPECT_DOUBLE_EQ(chart.ScaleY(1).RangeHigh(), 5 + 5e-11);
    // Values where the widened span rounds below MinRange are still applied.
    for (double v : {10.0, 1e10, -3e12}) {
        chart.SetLayerRange(1, v, v, v, v);
        for (const TScaleProps* p : {static_cast<const TScaleProps*>(&chart.ScaleX(1)),
                                     static_cast<const TScaleProps*>(&chart.ScaleY(1))}) {
            EXPECT_LT(p->RangeLow(), v) << v;
            EXPECT_GT(p->RangeHigh(), v) << v;
            EXPECT_GE(p->RangeHigh() - p->RangeLow(), 1e-10) << v;
            EXPECT_LE(p->RangeHigh() - p->RangeLow(), std::fabs(v) * 1e-15 + 2e-10) << v;
        }
    }
}

TEST(LayerRange, RefusedAxisKeepsItsRangeWhileTheOtherIsApplied) {
    ChartLayers chart;
    chart.SetLayerRange(1, 0, 1, 1000, 10);
    struct Case {
        double xl, yl, xh, yh;
        double ex0, ex1, ey0, ey1;
    };
    for (const Case c :
         {Case{5, 2, 5 + 1e-11, 3, 0, 1000, 2, 3}, Case{0, 4, kInf, 6, 0, 1000, 4, 6},
          Case{kNaN, -kInf, 50, 6, 0, 1000, 4, 6}, Case{-20, 7, 20, 7 + 1e-12, -20, 20, 4, 6}}) {
        chart.ApplyLayerRange(1, c.xl, c.yl, c.xh, c.yh);
        EXPECT_EQ(chart.ScaleX(1).RangeLow(), c.ex0);
        EXPECT_EQ(chart.ScaleX(1).RangeHigh(), c.ex1);
        EXPECT_EQ(chart.ScaleY(1).RangeLow(), c.ey0);
        EXPECT_EQ(chart.ScaleY(1).RangeHigh(), c.ey1);
    }
    // A descending request is stored as given.
    chart.ApplyLayerRange(1, 10, 1, 0, 0);
    EXPECT_EQ(chart.ScaleX(1).RangeLow(), 10.0);
    EXPECT_EQ(chart.ScaleX(1).RangeHigh(), 0.0);
}

TEST(LayerRange, AllLayersAtOnce) {
    ChartLayers chart;
    chart.SetLayerRange(0, 0, -1, 50, 1);
    for (int n = 1; n <= 16; ++n) {
        EXPECT_EQ(chart.ScaleX(n).RangeHigh(), 50.0) << n;
        EXPECT_EQ(chart.ScaleY(n).RangeLow(), -1.0) << n;
    }
    chart.SetLayerRange(17, 0, 0, 9, 9); // ignored
    EXPECT_EQ(chart.ScaleX(16).RangeHigh(), 50.0);
}

TEST_F(FormChart, RangeUpdateRepaintsOnceUnlessSuspended) {
    chart.SetLayerRange(1, 1, 1, 1001, 10);
    EXPECT_EQ(chart.paints, 1);
    EXPECT_FALSE(chart.PaintSuspended());
    chart.SuspendPaint(true);
    chart.SetLayerRange(1, 2, 1, 1002, 10);
    chart.SetLayerRange(2, 2, 1, 1002, 10);
    EXPECT_EQ(chart.paints, 1);
    EXPECT_TRUE(chart.PaintSuspended());
    chart.SuspendPaint(true);
    EXPECT_EQ(chart.paints, 1);
    chart.SuspendPaint(false);
    EXPECT_EQ(chart.paints, 2);
}

TEST_F(FormChart, SettingChangeReappliesAxesAndCallsPaintOnce) {
    chart.Scale1Y().SetMinTicks(63);
    EXPECT_EQ(chart.paints, 1);
    EXPECT_EQ(chart.Scale1Y().MinTicks(), 63); // the property keeps what was set
    EXPECT_EQ(chart.Scale(1, TAxis::Y).MinTicks, 10);
    chart.Scale1Y().SetDecPlaces(40);
    EXPECT_EQ(chart.Scale(1, TAxis::Y).DecPlaces, 12);
    chart.Scale1Y().SetDecPlaces(-9);
    EXPECT_EQ(chart.Scale(1, TAxis::Y).DecPlaces, -3);
    chart.Scale1Y().SetMinTicks(1);
    EXPECT_EQ(chart.Scale(1, TAxis::Y).MinTicks, 2);
    chart.Scale1Y().SetMinTicks(0);
    EXPECT_EQ(chart.Scale(1, TAxis::Y).MinTicks, 0);
    chart.Scale2Y().SetCaption("Kanal 2");
    EXPECT_EQ(chart.Scale(2, TAxis::Y).Caption, "Kanal 2");
    EXPECT_FALSE(chart.PaintSuspended());
}

TEST_F(FormChart, FailedTransformRestoresThePaintGate) {
    EXPECT_THROW(chart.Scale1X().SetLogarithmic(true), EChartError); // range 0..1000
    EXPECT_FALSE(chart.PaintSuspended());
}

// The transforms a fresh chart computes from a's geometry, ranges and logarithmic flags: what
// every layer of a must hold after a computation of a's that succeeded.
void expectTransformsAsFromScratch(const ChartLayers& a, int step) {
    ChartLayers b;
    b.BeginLoading();
    b.SetMarginLeft(a.MarginLeft());
    b.SetMarginRight(a.MarginRight());
    b.SetMarginTop(a.MarginTop());
    b.SetMarginBottom(a.MarginBottom());
    b.SetShadowWidth(a.ShadowWidth());
    b.SetControlSize(a.Width(), a.Height());
    for (int n = 1; n <= ChartLayers::kLayerCount; ++n) {
        for (const TAxis axis : {TAxis::X, TAxis::Y}) {
            const TScaleProps& from = axis == TAxis::X
                                          ? static_cast<const TScaleProps&>(a.ScaleX(n))
                                          : static_cast<const TScaleProps&>(a.ScaleY(n));
            TScaleProps& to = b.ScaleProps(n, axis);
            to.StoreRangeLow(from.RangeLow());
            to.StoreRangeHigh(from.RangeHigh());
            if (from.Logarithmic())
                to.SetLogarithmic(true);
        }
    }
    b.EndLoading();
    ASSERT_EQ(b.Width(), a.Width());
    for (int n = 1; n <= ChartLayers::kLayerCount; ++n) {
        ASSERT_EQ(a.Kx(n), b.Kx(n)) << "layer " << n << " step " << step;
        ASSERT_EQ(a.Ox(n), b.Ox(n)) << "layer " << n << " step " << step;
        ASSERT_EQ(a.Ky(n), b.Ky(n)) << "layer " << n << " step " << step;
        ASSERT_EQ(a.Oy(n), b.Oy(n)) << "layer " << n << " step " << step;
        const ChartLayers::FastMapping fa = a.FastMappingOf(n), fb = b.FastMappingOf(n);
        ASSERT_EQ(fa.Usable, fb.Usable) << "layer " << n << " step " << step;
        ASSERT_EQ(fa.Kx, fb.Kx) << "layer " << n << " step " << step;
        ASSERT_EQ(fa.Ox, fb.Ox) << "layer " << n << " step " << step;
        ASSERT_EQ(fa.Ky, fb.Ky) << "layer " << n << " step " << step;
        ASSERT_EQ(fa.Oy, fb.Oy) << "layer " << n << " step " << step;
    }
}

bool anyLogarithmicAxisNotPositive(const ChartLayers& chart) {
    for (int n = 1; n <= ChartLayers::kLayerCount; ++n) {
        for (const TScaleProps* p : {static_cast<const TScaleProps*>(&chart.ScaleX(n)),
                                     static_cast<const TScaleProps*>(&chart.ScaleY(n))}) {
            if (p->Logarithmic() && !(p->RangeLow() > 0 && p->RangeHigh() > 0))
                return true;
        }
    }
    return false;
}

// A layer's transform is computed again only when its inputs changed; whatever the sequence of
// range updates, trend shifts, setting changes, direct range stores, geometry changes, joins and
// failed computations, a computation that succeeds leaves every layer as a fresh chart computes
// it, and a computation fails exactly when some logarithmic axis has a bound <= 0.
TEST(LayerTransforms, RandomOperationsLeaveEveryTransformAsComputedFromScratch) {
    const double values[] = {-5, -1, 0, 1e-3, 0.5, 1, 2, 10, 100, 1000, 1e6};
    std::mt19937 rng(20261208);
    const auto pick = [&] { return values[rng() % std::size(values)]; };
    const auto layer = [&] {
        return rng() % 4 == 0 ? 1 + static_cast<int>(rng() % 16) : 1 + static_cast<int>(rng() % 3);
    };
    ChartLayers a;
    a.ApplyFormScaleSettings();
    a.SetControlSize(786, 526);
    int checked = 0, failed = 0;
    for (int step = 0; step < 3000; ++step) {
        bool computes = true; // the operation ends with a computation of the transforms
        try {
            switch (rng() % 12) {
            case 0:
                a.SetLayerRange(rng() % 20 == 0 ? 0 : layer(), pick(), pick(), pick(), pick());
                break;
            case 1:
            case 2: {
                const int n = 1 + static_cast<int>(rng() % 2); // a trend shift
                a.SetLayerRange(n, a.ScaleX(n).RangeLow() + 1, a.ScaleY(n).RangeLow(),
                                a.ScaleX(n).RangeHigh() + 1, a.ScaleY(n).RangeHigh());
                break;
            }
            case 3:
                a.ApplyLayerRange(layer(), pick(), pick(), pick(), pick());
                break;
            case 4:
                a.ScaleProps(layer(), rng() % 2 ? TAxis::X : TAxis::Y)
                    .SetLogarithmic(rng() % 3 == 0);
                break;
            case 5: {
                TScaleProps& p = a.ScaleProps(layer(), rng() % 2 ? TAxis::X : TAxis::Y);
                if (rng() % 2)
                    p.StoreRangeLow(pick());
                else
                    p.StoreRangeHigh(pick());
                computes = false;
                break;
            }
            case 6: {
                TScaleProps& p = a.ScaleProps(layer(), rng() % 2 ? TAxis::X : TAxis::Y);
                const double v = pick();
                computes = !(p.Logarithmic() && v < 1e-100); // else refused without a change
                if (rng() % 2)
                    p.SetRangeLow(v);
                else
                    p.SetRangeHigh(v);
                break;
            }
            case 7:
                switch (rng() % 6) {
                case 0:
                    a.SetMarginLeft(static_cast<int>(rng() % 100));
                    break;
                case 1:
                    a.SetMarginRight(static_cast<int>(rng() % 60));
                    break;
                case 2:
                    a.SetMarginTop(static_cast<int>(rng() % 60));
                    break;
                case 3:
                    a.SetMarginBottom(static_cast<int>(rng() % 60));
                    break;
                case 4:
                    a.SetShadowWidth(static_cast<int>(rng() % 3));
                    break;
                default:
                    a.SetControlSize(300 + static_cast<int>(rng() % 600),
                                     300 + static_cast<int>(rng() % 400));
                    break;
                }
                break;
            case 8: {
                const int n = layer();
                const int k = rng() % 2 ? n : layer();
                computes = k != n; // joining a layer to itself computes nothing
                if (rng() % 2)
                    a.SetXControlledBy(n, k);
                else
                    a.SetYControlledBy(n, k);
                break;
            }
            case 9:
                a.BeginLoading();
                a.ScaleProps(layer(), TAxis::X).SetRangeHigh(pick());
                a.SetMarginTop(static_cast<int>(rng() % 60));
                a.EndLoading();
                break;
            case 10: {
                const int n = layer();
                const int k = rng() % 2 ? 1 : 2;
                computes = k != n; // joining a layer to itself computes nothing
                a.SetXControlledBy(n, k);
                break;
            }
            default:
                a.ComputeLayerTransforms();
                break;
            }
        } catch (const EChartError&) {
            computes = false;
        }
        if (computes) {
            ASSERT_FALSE(anyLogarithmicAxisNotPositive(a)) << "step " << step;
            expectTransformsAsFromScratch(a, step);
            ++checked;
        }
        if (step % 7 == 0) {
            bool threw = false;
            try {
                a.ComputeLayerTransforms();
            } catch (const EChartError& e) {
                EXPECT_EQ(e.Message(), "Logarithmic axis must not be negative.");
                threw = true;
                ++failed;
            }
            ASSERT_EQ(threw, anyLogarithmicAxisNotPositive(a)) << "step " << step;
            if (!threw)
                expectTransformsAsFromScratch(a, step);
        }
        if (::testing::Test::HasFatalFailure())
            return;
    }
    EXPECT_GT(checked, 1000);
    EXPECT_GT(failed, 20);
}

// The computation goes through the layers in order and stops at the first logarithmic axis with
// a bound <= 0: the layers before it are up to date, that layer and the ones after keep their
// transforms until a later computation succeeds.
TEST(LayerTransforms, AFailedComputationStopsAtTheInvalidLayer) {
    ChartLayers chart;
    chart.SetLayerRange(0, 1, 1, 100, 100);
    const long double kx9 = chart.Kx(9);
    ChartLayers other;
    other.SetLayerRange(1, 1, 1, 201, 100);
    chart.ScaleX(3).StoreRangeHigh(201);
    chart.ScaleX(9).StoreRangeHigh(301);
    chart.ScaleX(5).StoreRangeLow(-1);
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            if (attempt == 0)
                chart.ScaleX(5).SetLogarithmic(true);
            else
                chart.ComputeLayerTransforms();
            FAIL() << attempt;
        } catch (const EChartError& e) {
            EXPECT_EQ(e.Message(), "Logarithmic axis must not be negative.");
        }
        EXPECT_EQ(chart.Kx(3), other.Kx(1)) << attempt; // layer 3 before layer 5: up to date
        EXPECT_EQ(chart.Kx(9), kx9) << attempt;
    }
    chart.ScaleX(5).StoreRangeLow(1);
    chart.ComputeLayerTransforms();
    EXPECT_NE(chart.Kx(9), kx9);
    EXPECT_NE(chart.Kx(5), chart.Kx(1));
    int px = 0, py = 0;
    chart.DataToPixel(9, 301, 1, px, py);
    EXPECT_EQ(px, chart.PlotArea().Right);
    // The flag alone, set without the chart's answer, is enough to fail the next computation.
    chart.SetLayerRange(7, 1, -1, 100, 1);
    chart.ScaleY(7).OnChange = nullptr;
    chart.ScaleY(7).SetLogarithmic(true);
    EXPECT_THROW(chart.ComputeLayerTransforms(), EChartError);
}

TEST(JoinedLayers, ErrorTexts) {
    ChartLayers chart;
    const auto message = [&](auto action) {
        try {
            action();
        } catch (const EChartError& e) {
            return e.Message();
        }
        return std::string("no error");
    };
    EXPECT_EQ(message([&] { chart.SetXControlledBy(1, 17); }),
              "Destination layer 17 is out of range");
    EXPECT_EQ(message([&] { chart.SetYControlledBy(1, 0); }),
              "Destination layer 0 is out of range");
    chart.SetXControlledBy(1, 2);
    EXPECT_EQ(message([&] { chart.SetXControlledBy(3, 1); }),
              "Destination layer 1 is already joined");
    chart.SetXControlledBy(1, 1); // independent again
    chart.SetXControlledBy(3, 1);
    chart.SetXControlledBy(5, 1);
    EXPECT_EQ(message([&] { chart.SetXControlledBy(1, 2); }),
              "Layer 1 is joined by other layers (3, 5)");
    // The Y links are separate from the X links.
    EXPECT_EQ(message([&] { chart.SetYControlledBy(1, 2); }), "no error");
    EXPECT_EQ(chart.XControlledBy(1), 1);
    EXPECT_EQ(chart.YControlledBy(1), 2);
}

TEST(JoinedLayers, FollowersTakeAndKeepTheControllersRange) {
    ChartLayers chart;
    chart.SetLayerRange(1, 0, 0, 1000, 10);
    chart.SetLayerRange(3, 5, 5, 6, 6);
    chart.SetXControlledBy(3, 1);
    EXPECT_EQ(chart.ScaleX(3).RangeHigh(), 1000.0); // taken at once
    EXPECT_EQ(chart.ScaleY(3).RangeHigh(), 6.0);    // Y stays independent

    chart.SetLayerRange(1, 100, 0, 200, 10);
    EXPECT_EQ(chart.ScaleX(3).RangeLow(), 100.0);
    EXPECT_EQ(chart.ScaleX(3).RangeHigh(), 200.0);
    EXPECT_EQ(chart.ScaleY(3).RangeHigh(), 6.0);

    // A request on the follower's joined axis is replaced by its current range.
    chart.SetLayerRange(3, 0, 0, 5, 50);
    EXPECT_EQ(chart.ScaleX(3).RangeHigh(), 200.0);
    EXPECT_EQ(chart.ScaleY(3).RangeHigh(), 50.0);
    int a = 0, b = 0, c = 0, d = 0;
    chart.DataToPixel(1, 150, 0, a, b);
    chart.DataToPixel(3, 150, 0, c, d);
    EXPECT_EQ(a, c);
}

TEST_F(FormChart, SampleAxisLayout) {
    const AxisDrawing x = chart.LayoutAxis(1, TAxis::X, measure);
    ASSERT_TRUE(x.Visible);
    EXPECT_EQ(x.Color, 0);
    const int axis = 526 - 45 - 1;
    EXPECT_EQ(x.AxisLine, (AxisSegment{80, axis, 765, axis}));
    ASSERT_EQ(x.Ticks.size(), 21u + 6u);
    EXPECT_EQ(x.Ticks[0], (AxisSegment{80, axis, 80, axis + 3}));  // short, 4 pixels down
    EXPECT_EQ(x.Ticks[21], (AxisSegment{80, axis, 80, axis + 6})); // labelled, 7 pixels
    EXPECT_EQ(x.Ticks[26], (AxisSegment{765, axis, 765, axis + 6}));
    ASSERT_EQ(x.Labels.size(), 6u);
    EXPECT_EQ(x.Labels[0], (AxisText{"0", 80 - 3, axis + 7}));
    EXPECT_EQ(x.Labels[1], (AxisText{"200", 80 + 137 - 9, axis + 7}));
    EXPECT_EQ(x.Labels[5].Text, "1000");
    ASSERT_TRUE(x.Caption.has_value());
    // Ends at the right end of the axis, its top 28 pixels below the axis line.
    EXPECT_EQ(x.Caption->X + 6 * 14, 766);
    EXPECT_EQ(x.Caption->Y, axis + 28);
    // The grid takes the short ticks.
    const TickList& ticks = chart.Ticks(1, TAxis::X);
    ASSERT_EQ(ticks.NumTicks(), 21);
    EXPECT_EQ(ticks[1], 50.0);
}

TEST_F(FormChart, ChannelAxisLayout) {
    chart.Scale1Y().SetCaption("Kanal 1");
    const AxisDrawing y = chart.LayoutAxis(1, TAxis::Y, measure);
    ASSERT_TRUE(y.Visible);
    EXPECT_EQ(y.AxisLine, (AxisSegment{80, 30, 80, 480}));
    ASSERT_EQ(y.Labels.size(), 5u);
    EXPECT_EQ(y.Labels[0].Text, "2.0");
    EXPECT_EQ(y.Labels[4].Text, "10.0");
    // Right-aligned 8 pixels left of the axis, centred on the tick by the height of "0".
    EXPECT_EQ(y.Labels[4].X, 80 - 8 - 24);
    EXPECT_EQ(y.Labels[4].Y, 30 - 6);
    EXPECT_EQ(y.Ticks.back(), (AxisSegment{80, 30, 75, 30})); // 6 pixels to the left
    ASSERT_TRUE(y.Caption.has_value());
    EXPECT_EQ(y.Caption->X, 50);
    EXPECT_EQ(y.Caption->Y, 2);
    EXPECT_EQ(chart.Ticks(1, TAxis::Y).NumTicks(), 19);

    // The second channel's axis sits 80 pixels further out and its caption ends there.
    chart.Scale2Y().SetVisible(true);
    chart.Scale2Y().SetCaption("Kanal 2");
    chart.SetMarginLeft(160);
    const AxisDrawing y2 = chart.LayoutAxis(2, TAxis::Y, measure);
    EXPECT_EQ(y2.Color, 0x000080);
    EXPECT_EQ(y2.AxisLine.X1, 80);
    EXPECT_EQ(y2.Caption->X + 6 * 7, 80);
}

TEST_F(FormChart, InvisibleAxisKeepsItsPreviousTickList) {
    EXPECT_FALSE(chart.LayoutAxis(2, TAxis::X, measure).Visible);
    EXPECT_EQ(chart.Ticks(2, TAxis::X).NumTicks(), 0);
    chart.LayoutAxis(1, TAxis::X, measure);
    chart.Scale1X().SetVisible(false);
    EXPECT_FALSE(chart.LayoutAxis(1, TAxis::X, measure).Visible);
    EXPECT_EQ(chart.Ticks(1, TAxis::X).NumTicks(), 21);
}

TEST_F(FormChart, LabelsStayInsideTheControl) {
    chart.SetMarginLeft(3);
    chart.SetMarginRight(0);
    chart.SetShadowWidth(0);
    const AxisDrawing x = chart.LayoutAxis(1, TAxis::X, measure);
    ASSERT_EQ(x.Labels.size(), 6u);
    EXPECT_EQ(x.Labels.front().X, 2);              // tick at x = 3
    EXPECT_EQ(x.Labels.back().X + 6 * 4, 786 - 2); // "1000" ends at W − 2
}

TEST_F(FormChart, DenseTicksAndUnitSteps) {
    chart.Scale1X().SetMinTicks(6);
    AxisDrawing x = chart.LayoutAxis(1, TAxis::X, measure);
    EXPECT_EQ(x.Labels.size(), 11u);
    EXPECT_EQ(chart.Ticks(1, TAxis::X)[1], 20.0);
    chart.Scale1X().SetMinTicks(0); // unit steps over 0..1000: more ticks than the list holds
    x = chart.LayoutAxis(1, TAxis::X, measure);
    EXPECT_EQ(chart.Ticks(1, TAxis::X).NumTicks(), TickList::kCapacity);
    chart.Scale1X().SetShortTicks(false);
    chart.Scale1X().SetMinTicks(3);
    chart.Scale1X().SetLabelType(ftNoFigs);
    x = chart.LayoutAxis(1, TAxis::X, measure);
    EXPECT_TRUE(x.Labels.empty());
    EXPECT_EQ(x.Ticks.size(), 6u);
    EXPECT_EQ(chart.Ticks(1, TAxis::X).NumTicks(), 6); // labelled ticks when short ones are off
}

TEST_F(FormChart, TopAndRightAxesPointOutward) {
    chart.Scale3X().SetVisible(true);
    chart.Scale3X().SetScaleLocation(slTop);
    chart.Scale3Y().SetVisible(true);
    chart.Scale3Y().SetScaleLocation(slRight);
    chart.Scale3X().SetScalePos(0);
    chart.Scale3Y().SetScalePos(0);
    const AxisDrawing x = chart.LayoutAxis(3, TAxis::X, measure);
    EXPECT_EQ(x.AxisLine.Y1, 30);
    EXPECT_EQ(x.Ticks.back().Y2, 30 - 6);
    EXPECT_EQ(x.Labels.back().Y, 30 - 13 - 7);
    const AxisDrawing y = chart.LayoutAxis(3, TAxis::Y, measure);
    EXPECT_EQ(y.AxisLine.X1, 765);
    EXPECT_EQ(y.Ticks.back().X2, 765 + 5);
    EXPECT_EQ(y.Labels.back().X, 765 + 8);
}

// Any range the user or a loaded file can produce lays out and converts without running away.
TEST_F(FormChart, ExtremeRangesStayBoundedAndDefined) {
    const double values[] = {0,        1,      -1,    1e-300, -1e-300, 1e300, -1e300, 1e16,
                             1e16 + 2, 5e-324, 1e308, -1e308, 3.5,     1e10,  kInf,   kNaN};
    std::mt19937 rng(12345);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(values) - 1);
    std::uniform_int_distribution<int> ticks(-2, 12);
    std::uniform_int_distribution<int> places(-4, 14);
    for (int i = 0; i < 400; ++i) {
        chart.Scale1X().SetMinTicks(ticks(rng));
        chart.Scale1Y().SetDecPlaces(places(rng));
        chart.Scale1Y().SetShortTicks(i % 3 != 0);
        chart.ApplyLayerRange(1, values[pick(rng)], values[pick(rng)], values[pick(rng)],
                              values[pick(rng)]);
        for (TAxis axis : {TAxis::X, TAxis::Y}) {
            const AxisDrawing d = chart.LayoutAxis(1, axis, measure);
            EXPECT_LE(d.Ticks.size(), 2u * kMaxTicksPerLoop);
            for (const AxisText& t : d.Labels)
                EXPECT_LE(t.Text.size(), 14u) << t.Text;
            EXPECT_LE(chart.Ticks(1, axis).NumTicks(), TickList::kCapacity);
        }
        for (double v : values) {
            int px = 0, py = 0;
            if (chart.DataToPixel(1, v, v, px, py)) {
                double x = 0, y = 0;
                chart.PixelToData(1, px, py, x, y);
            }
        }
    }
}

TEST_F(FormChart, LogarithmicAxisTicksAtDecades) {
    chart.SetLayerRange(1, 0, 0.01, 1000, 1000);
    chart.Scale1Y().SetLogarithmic(true);
    const AxisDrawing y = chart.LayoutAxis(1, TAxis::Y, measure);
    std::vector<std::string> texts;
    for (const AxisText& t : y.Labels)
        texts.push_back(t.Text);
    EXPECT_EQ(texts, (std::vector<std::string>{"0.01", "0.1", "1", "10", "100", "1000"}));
    // Decades are evenly spaced: 450 pixels over five decades.
    ASSERT_EQ(y.Ticks.size(),
              y.Labels.size() + static_cast<std::size_t>(chart.Ticks(1, TAxis::Y).NumTicks()));
    const AxisSegment& first = y.Ticks[y.Ticks.size() - 6];
    const AxisSegment& second = y.Ticks[y.Ticks.size() - 5];
    EXPECT_EQ(first.Y1, 480);
    EXPECT_EQ(first.Y1 - second.Y1, 90);
    EXPECT_EQ(chart.Ticks(1, TAxis::Y)[0], 0.01);
}

} // namespace
