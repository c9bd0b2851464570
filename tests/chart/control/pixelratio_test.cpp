// SPDX-License-Identifier: GPL-3.0-or-later
// The chart on a scaled screen: at ratio 1 the pictures of the reference, whatever ratio came
// before; at 1.5 and 2 the chart of ratio 1 with every length scaled (pens, ticks, margins,
// fonts) and the same ticks and labels at the scaled places; the bitmap export stays the 1×
// picture.
#include "charttestsupport.h"

#include <QTemporaryDir>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <set>
#include <vector>

namespace {

constexpr QRgb kBlue = 0x0000FF; // 0xFF0000 as the chart stores it
constexpr QRgb kBlack = 0x000000;

bool is(const QImage& image, int x, int y, QRgb colour) {
    return image.rect().contains(x, y) && (image.pixel(x, y) & 0xFFFFFF) == colour;
}

int device(int v, double ratio) {
    return static_cast<int>(std::floor(v * ratio));
}

// The window's chart with a few horizontal and vertical data lines, painted at `ratio`.
std::unique_ptr<TPlotChart> linesChart(double ratio) {
    auto chart = makeFormChart();
    chart->SetPixelRatio(ratio);
    chart->SetDataColor(clBlue);
    for (int k = 0; k < 6; ++k) { // rows of both parities
        chart->AddMoveTo(100, 2 + k * 0.37);
        chart->AddDrawTo(900, 2 + k * 0.37);
    }
    chart->AddMoveTo(640, 1.5);
    chart->AddDrawTo(640, 9.5);
    chart->Paint();
    return chart;
}

// The columns of row y holding `colour` within [from, to).
std::set<int> columnsOf(const QImage& image, int y, int from, int to, QRgb colour) {
    std::set<int> out;
    for (int x = from; x < to; ++x) {
        if (is(image, x, y, colour)) {
            out.insert(x);
        }
    }
    return out;
}

// Runs of columns holding anything but white between rows y0 and y1, `gap` apart at most: the
// labels of an axis.
std::vector<std::pair<int, int>> inkRuns(const QImage& image, int y0, int y1, int gap) {
    std::vector<std::pair<int, int>> runs;
    for (int x = 0; x < image.width(); ++x) {
        bool ink = false;
        for (int y = y0; y < y1 && !ink; ++y) {
            ink = !is(image, x, y, 0xFFFFFF);
        }
        if (ink && !runs.empty() && runs.back().second >= x - gap) {
            runs.back().second = x; // digits of one label lie close together
        } else if (ink) {
            runs.emplace_back(x, x);
        }
    }
    return runs;
}

std::vector<unsigned char> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST(PixelRatio, OneGivesTheReferencePicturesWhateverRatioCameBefore) {
    auto reference = linesChart(1);
    auto scaled = linesChart(2);
    ASSERT_EQ(scaled->ShownImage().size(), QSize(2 * kChartWidth, 2 * kChartHeight));
    for (auto* chart : {reference.get(), scaled.get()}) {
        chart->AddLine(0, 1, 1000, 10);
        chart->RedrawItems();
    }
    scaled->SetPixelRatio(1);
    for (auto* chart : {reference.get(), scaled.get()}) {
        chart->SuspendPaint(true);
        chart->AddDrawTo(500, 5);
        chart->SuspendPaint(false);
        chart->RedrawItems();
    }
    EXPECT_EQ(scaled->ShownImage(), reference->ShownImage());
    EXPECT_EQ(scaled->ChartImage(), reference->ChartImage());
    EXPECT_EQ(scaled->PlotImage(), reference->PlotImage());
    // And a chart that never left ratio 1 draws the same as one drawing from scratch.
    auto plain = linesChart(1);
    plain->SetItemCacheEnabled(false);
    plain->AddLine(0, 1, 1000, 10);
    plain->AddDrawTo(500, 5);
    plain->Paint();
    EXPECT_EQ(plain->ShownImage(), reference->ShownImage());
}

// At 2 and 1.5 every one-pixel line is round(r) device pixels thick wherever it lies, and it
// starts at floor(r · x) of its 1× pixel x: ticks, axis line, plot outline and data alike.
TEST(PixelRatio, LinesTicksAndOutlineAreScaledInPlaceAndEvenlyThick) {
    auto reference = linesChart(1);
    const QImage& one = reference->ShownImage();
    for (double ratio : {2.0, 1.5}) {
        SCOPED_TRACE(ratio);
        auto chart = linesChart(ratio);
        const QImage& image = chart->ShownImage();
        const int wd = static_cast<int>(std::lround(ratio));
        // The last 1× pixel's block is whole: the control's outline is as thick there as
        // elsewhere.
        ASSERT_EQ(image.size(),
                  QSize(device(kChartWidth - 1, ratio) + wd, device(kChartHeight - 1, ratio) + wd));

        // Data lines: each 1× row of blue becomes wd device rows from floor(r · y), no more.
        const int x1 = 300; // a column crossed by the horizontal lines only
        int rows = 0;
        for (int y = 0; y < one.height(); ++y) {
            if (!is(one, x1, y, kBlue)) {
                continue;
            }
            ++rows;
            const int dx = device(x1, ratio) + 1;
            const int top = device(y, ratio);
            EXPECT_FALSE(is(image, dx, top - 1, kBlue)) << "row " << y;
            for (int k = 0; k < wd; ++k) {
                EXPECT_TRUE(is(image, dx, top + k, kBlue)) << "row " << y;
            }
            EXPECT_FALSE(is(image, dx, top + wd, kBlue)) << "row " << y;
        }
        EXPECT_EQ(rows, 6);
        // The vertical data line and the plot's left and right outline, wd columns each.
        const int yMid = 200;
        for (int x : {chartPixel(*chart, 640, 5).x(), 80, 564}) {
            const QRgb colour = x == 80 || x == 564 ? kBlack : kBlue;
            const int left = device(x, ratio);
            EXPECT_FALSE(is(image, left - 1, device(yMid, ratio), colour)) << x;
            for (int k = 0; k < wd; ++k) {
                EXPECT_TRUE(is(image, left + k, device(yMid, ratio), colour)) << x;
            }
            EXPECT_FALSE(is(image, left + wd, device(yMid, ratio), colour)) << x;
        }

        // The sample axis's ticks (axis line at y = 315, short ticks 4 pixels, labelled 7): the
        // tick columns of a 1× row below the line, scaled, are those of the device rows there.
        std::set<int> expected;
        for (int x : columnsOf(one, 317, 82, 563, kBlack)) {
            for (int k = 0; k < wd; ++k) {
                expected.insert(device(x, ratio) + k);
            }
        }
        ASSERT_GT(expected.size(), 10U);
        EXPECT_EQ(
            columnsOf(image, device(317, ratio), device(82, ratio), device(563, ratio), kBlack),
            expected);
        // A short tick is 4 pixels long from the axis line on: D(319) − D(315) device rows.
        int shortTicks = 0;
        for (int x : columnsOf(one, 317, 82, 563, kBlack)) {
            int run = 0;
            while (is(one, x, 315 + run, kBlack)) {
                ++run;
            }
            if (run != 4) {
                continue; // a labelled tick, which runs into its label
            }
            ++shortTicks;
            int deviceRun = 0;
            while (is(image, device(x, ratio), device(315, ratio) + deviceRun, kBlack)) {
                ++deviceRun;
            }
            EXPECT_EQ(deviceRun, device(319, ratio) - device(315, ratio)) << x;
        }
        EXPECT_GT(shortTicks, 3);
    }
}

// The labels are the same texts at the scaled places, drawn in the scaled font.
TEST(PixelRatio, TickLabelsAreTheSameAtTheScaledPlacesInTheScaledFont) {
    auto reference = linesChart(1);
    const auto one = inkRuns(reference->ShownImage(), 322, 340, 3);
    const TickList& list = reference->Ticks(1, TAxis::X);
    const std::vector<double> ticks(list.begin(), list.end());
    for (double ratio : {2.0, 1.5}) {
        SCOPED_TRACE(ratio);
        auto chart = linesChart(ratio);
        const TickList& scaledList = chart->Ticks(1, TAxis::X);
        EXPECT_EQ(std::vector<double>(scaledList.begin(), scaledList.end()), ticks)
            << "the same ticks as at ratio 1";
        const auto scaled = inkRuns(chart->ShownImage(), device(322, ratio), device(340, ratio),
                                    static_cast<int>(3 * ratio));
        ASSERT_EQ(scaled.size(), one.size());
        for (std::size_t i = 0; i < one.size(); ++i) {
            const double centre = (one[i].first + one[i].second + 1) / 2.0 * ratio;
            const double width = (one[i].second - one[i].first + 1) * ratio;
            EXPECT_NEAR((scaled[i].first + scaled[i].second + 1) / 2.0, centre, 3.0) << i;
            EXPECT_NEAR(scaled[i].second - scaled[i].first + 1, width, 0.25 * width + 2) << i;
        }
    }
}

TEST(PixelRatio, ExportWritesTheOneTimesPictureAndLeavesTheScreen) {
    QTemporaryDir dir;
    auto reference = linesChart(1);
    auto scaled = linesChart(2);
    const QImage shown = scaled->ShownImage().copy();
    for (bool monochrome : {true, false}) {
        const std::string a = dir.path().toStdString() + "/a.bmp";
        const std::string b = dir.path().toStdString() + "/b.bmp";
        reference->ExportBitmap(a, monochrome);
        scaled->ExportBitmap(b, monochrome);
        const auto bytes = readFile(b);
        ASSERT_GT(bytes.size(), 54U);
        EXPECT_EQ(bytes, readFile(a)) << monochrome;
        EXPECT_EQ(scaled->ShownImage(), shown);
    }
    scaled->AddDrawTo(1000, 10);
    scaled->Paint();
    EXPECT_EQ(scaled->ShownImage().size(), shown.size());
    EXPECT_GT(countPixels(scaled->ShownImage(), kBlue), countPixels(shown, kBlue));
}

// The caches at a ratio other than 1 give what drawing everything afresh gives: the chart
// image's, and the item renderer's passes, continued after appends of every kind of item (wide
// pens beyond the plot's edges too, whose scaled bands reach further than their 1× bounds) and
// started afresh straight into the chart image.
TEST(PixelRatio, CachedAndUncachedChartsAgreeAtRatiosOneAndAHalfAndTwo) {
    const TColor colours[] = {clBlue, clMaroon, clRed, clGreen, clBlack};
    for (const double ratio : {2.0, 1.5}) {
        auto cached = linesChart(ratio);
        auto plain = linesChart(ratio);
        plain->SetItemCacheEnabled(false);
        const std::uint64_t continuedBefore = cached->ItemCacheContinued();
        std::mt19937 rng(7);
        std::uniform_int_distribution<int> pick(0, 99);
        std::uniform_real_distribution<double> x(-80, 1080);
        std::uniform_real_distribution<double> y(-1.5, 11.5);
        double low = 0;
        for (int step = 0; step < 120; ++step) {
            const int op = pick(rng) % 13;
            // The items of this step, drawn once so that both charts get the same.
            struct Item {
                int kind;
                double x1, y1, x2, y2;
                TColor colour;
                TPenStyle style;
                int width;
            };
            std::vector<Item> items;
            const int n = op < 7 ? 1 + pick(rng) % 40 : 0;
            const bool leftEdge = pick(rng) % 2 == 0;
            const double along = 0.1 + pick(rng) / 125.0;
            for (int i = 0; i < n; ++i) {
                const int r = pick(rng);
                Item item{pick(rng) % 10,
                          x(rng),
                          y(rng),
                          x(rng),
                          y(rng),
                          colours[pick(rng) % 5],
                          r < 80 ? psSolid : static_cast<TPenStyle>(pick(rng) % 5),
                          r % 7 == 0 ? 2 + pick(rng) % 12 : pick(rng) % 2};
                item.x2 = item.x1 + (item.x2 - item.x1) / 8;
                items.push_back(item);
            }
            for (auto* chart : {cached.get(), plain.get()}) {
                if (op < 2) {
                    chart->AddDrawTo(step * 13 % 1000, 1 + step % 9);
                    chart->RedrawItems();
                } else if (op < 7) {
                    // The pipeline's pace: items while painting is suspended, then the repaint
                    // that continues the pass.
                    chart->SuspendPaint(true);
                    for (const Item& item : items) {
                        chart->SetDataColor(item.colour);
                        chart->SetPenStyle(item.style);
                        chart->SetLineWidth(item.width);
                        if (item.kind == 0) {
                            chart->AddMoveTo(item.x1, item.y1);
                        } else if (item.kind < 8) {
                            chart->AddDrawTo(item.x1, item.y1);
                        } else {
                            chart->AddLine(item.x1, item.y1, item.x2, item.y2);
                        }
                    }
                    chart->SetLineWidth(1); // the pass's initial width stays: it continues
                    chart->SuspendPaint(false);
                } else if (op < 9) {
                    chart->SetLayerRange(1, low + 5, 0, 1000 + low + 5, 10);
                    chart->Paint();
                } else if (op < 10) {
                    chart->SetGridStyle(chart->GridStyle() == gsNone ? gsLines : gsNone);
                    chart->Redraw();
                } else if (op == 12) {
                    // Alone in its repaint, a wide line a few pixels beyond the left or top edge:
                    // its 1× bounds stay outside, its scaled band reaches into the plot.
                    const double xl = chart->Scale1X().RangeLow();
                    const double xh = chart->Scale1X().RangeHigh();
                    const double yl = chart->Scale1Y().RangeLow();
                    const double yh = chart->Scale1Y().RangeHigh();
                    const double outX = xl - (xh - xl) * 9.0 / chart->PlotWidth();
                    const double outY = yh + (yh - yl) * 9.0 / chart->PlotHeight();
                    const double ax = xl + (xh - xl) * along;
                    const double ay = yl + (yh - yl) * along;
                    chart->SuspendPaint(true);
                    chart->SetDataColor(clGreen);
                    chart->SetLineWidth(13);
                    if (leftEdge) {
                        chart->AddLine(outX, ay, outX, ay + (yh - yl) / 20);
                    } else {
                        chart->AddLine(ax, outY, ax + (xh - xl) / 20, outY);
                    }
                    chart->SetLineWidth(1);
                    chart->AddMoveTo(leftEdge ? outX : ax, leftEdge ? ay : outY);
                    chart->SuspendPaint(false);
                } else if (op < 11) {
                    chart->SuspendPaint(true);
                    chart->SuspendPaint(false);
                    chart->RedrawItems();
                } else if (chart->ItemCount() > 1500) {
                    chart->ClearItems();
                    chart->Paint();
                }
            }
            if (op >= 7 && op < 9) {
                low += 5;
            }
            ASSERT_EQ(cached->ShownImage(), plain->ShownImage()) << ratio << ", step " << step;
            ASSERT_EQ(cached->ChartImage(), plain->ChartImage()) << ratio << ", step " << step;
            ASSERT_EQ(cached->PlotImage(), plain->PlotImage()) << ratio << ", step " << step;
        }
        // The comparison means something only if passes were really continued.
        EXPECT_GT(cached->ItemCacheContinued() - continuedBefore, 40u) << ratio;
    }
}
