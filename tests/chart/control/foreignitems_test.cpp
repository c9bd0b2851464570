// SPDX-License-Identifier: GPL-3.0-or-later
// Session files from elsewhere may hold any bytes. Loading and drawing them must never crash or
// run into undefined behaviour (this test is meant for the sanitizer build as well).
#include "charttestsupport.h"

#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <vector>

namespace {

const double kNastyDoubles[] = {std::numeric_limits<double>::quiet_NaN(),
                                std::numeric_limits<double>::infinity(),
                                -std::numeric_limits<double>::infinity(),
                                1e300,
                                -1e300,
                                1e12,
                                -1e12,
                                std::numeric_limits<double>::denorm_min(),
                                0.0,
                                5.0,
                                500.0};

ChartItem validItem(std::mt19937& rng) {
    ChartItem item{};
    std::uniform_real_distribution<double> x(0, 1000);
    std::uniform_real_distribution<double> y(0, 10);
    item.X = x(rng);
    item.Y = y(rng);
    item.X2 = x(rng);
    item.Y2 = y(rng);
    item.Color = 0xFF0000;
    item.FillColor = 0xC0C0C0;
    item.LineWidth = 1;
    const std::uint8_t kinds[] = {ikLine, ikDrawTo, ikMoveTo};
    item.Kind = kinds[rng() % 3];
    item.Layer = 1 + static_cast<int>(rng() % 2);
    return item;
}

// A valid item with one or more fields replaced by something hostile.
ChartItem mutatedItem(std::mt19937& rng) {
    ChartItem item = validItem(rng);
    const int mutations = 1 + static_cast<int>(rng() % 3);
    for (int m = 0; m < mutations; ++m) {
        const double nasty = kNastyDoubles[rng() % std::size(kNastyDoubles)];
        switch (rng() % 10) {
        case 0:
            item.X = nasty;
            break;
        case 1:
            item.Y = nasty;
            break;
        case 2:
            item.X2 = nasty;
            item.Y2 = kNastyDoubles[rng() % std::size(kNastyDoubles)];
            break;
        case 3:
            item.Kind = static_cast<std::uint8_t>(rng());
            break;
        case 4: {
            const std::int32_t layers[] = {
                0, -1, 17, 1000, INT32_MIN, INT32_MAX, static_cast<std::int32_t>(rng())};
            item.Layer = layers[rng() % std::size(layers)];
            break;
        }
        case 5: {
            const std::int32_t widths[] = {0, -1, 3, 255, 100000, INT32_MIN, INT32_MAX};
            item.LineWidth = widths[rng() % std::size(widths)];
            break;
        }
        case 6:
            item.PenStyle = static_cast<std::uint8_t>(rng());
            break;
        case 7:
            item.Color = static_cast<TColor>(rng());
            item.FillColor = static_cast<TColor>(rng());
            break;
        case 8:
            item.Text[0] = static_cast<std::uint8_t>(rng());
            item.Flag = static_cast<std::uint8_t>(rng());
            break;
        default:
            item.Kind = static_cast<std::uint8_t>(1 + rng() % 16);
            break;
        }
    }
    return item;
}

// Records a chart keeps but never draws: a layer outside 1..16 or a kind outside 1..16.
bool neverDrawn(const ChartItem& item) {
    return item.Layer < 1 || item.Layer > 16 || item.Kind < 1 || item.Kind > 16;
}

// Whether a and b differ anywhere outside the plot area of chart.
bool differOutsidePlot(const TPlotChart& chart, const QImage& a, const QImage& b) {
    const PlotRect r = chart.PlotArea();
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const bool inside = x >= r.Left && x <= r.Right && y >= r.Top && y <= r.Bottom;
            if (!inside && a.pixel(x, y) != b.pixel(x, y)) {
                return true;
            }
        }
    }
    return false;
}

void writeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

} // namespace

TEST(ForeignSessionFiles, RandomAndMutatedRecordsRenderAndExportWithoutFault) {
    QTemporaryDir dir;
    const std::string session = dir.path().toStdString() + "/fuzz.pmx";
    const std::string picture = dir.path().toStdString() + "/fuzz.bmp";
    std::mt19937 rng(20240611);
    auto chart = makeFormChart(300, 200);
    // Records that are never drawn leave the picture of an empty chart.
    auto empty = makeFormChart(300, 200);
    empty->Paint();
    const QImage blank = empty->ShownImage();
    for (int round = 0; round < 150; ++round) {
        std::vector<unsigned char> bytes;
        std::vector<unsigned char> foreignBytes;
        const int count = static_cast<int>(rng() % 120);
        for (int i = 0; i < count; ++i) {
            ChartItem item{};
            if (round % 5 == 0) {
                for (std::size_t b = 0; b < sizeof item; ++b) {
                    reinterpret_cast<unsigned char*>(&item)[b] = static_cast<unsigned char>(rng());
                }
            } else {
                item = rng() % 4 == 0 ? validItem(rng) : mutatedItem(rng);
            }
            const auto* p = reinterpret_cast<const unsigned char*>(&item);
            bytes.insert(bytes.end(), p, p + sizeof item);
            if (neverDrawn(item)) {
                foreignBytes.insert(foreignBytes.end(), p, p + sizeof item);
            }
        }
        bytes.resize(bytes.size() + rng() % 3 * 17); // a trailing fragment now and then
        writeFile(session, bytes);

        chart->LoadItemsFromFile(session, false);
        ASSERT_EQ(chart->ItemCount(), count);
        chart->SetGridStyle(static_cast<GridStyleType>(round % 8));
        chart->SetActiveLayer(1 + round % 3);
        chart->Paint();
        chart->RedrawItems();
        if (round % 10 == 0) {
            chart->ExportBitmap(picture, round % 20 == 0);
            // The whole control, 24 bits per pixel, rows padded to 4 bytes.
            std::ifstream in(picture, std::ios::binary | std::ios::ate);
            EXPECT_EQ(static_cast<long>(in.tellg()), 54 + 900 * 200) << "round " << round;

            writeFile(session, foreignBytes);
            empty->LoadItemsFromFile(session, false);
            ASSERT_EQ(empty->ItemCount(),
                      static_cast<int>(foreignBytes.size() / sizeof(ChartItem)));
            empty->Paint();
            EXPECT_TRUE(empty->ShownImage() == blank) << "round " << round;
        }
    }
}

TEST(ForeignSessionFiles, ExtremeRangesAndGridSpacingRenderWithoutFault) {
    auto chart = makeFormChart(300, 200);
    chart->AddMoveTo(0, 5);
    chart->AddDrawTo(1e12, -1e12);
    chart->AddLine(std::numeric_limits<double>::infinity(), 0, 0,
                   -std::numeric_limits<double>::infinity());
    const double ranges[][4] = {{0, 0, 1e-9, 1e-9},
                                {-1e300, -1e300, 1e300, 1e300},
                                {1000, 10, 0, 0},
                                {0, 0, 1e308, 1e308},
                                {1e15, 1e15, 1e15 + 1, 1e15 + 1}};
    for (const auto& r : ranges) {
        chart->SetLayerRange(1, r[0], r[1], r[2], r[3]);
        chart->SetGridStyle(gsNone);
        chart->Paint();
        const QImage noGrid = chart->ShownImage();
        for (double spacing : {0.0, 1e-300, 1.0, 1e300}) {
            chart->SetGridDx(spacing);
            chart->SetGridDy(spacing);
            for (GridStyleType style : {gsPoints, gsLines, gsDotLines}) {
                chart->SetGridStyle(style);
                chart->Paint();
                // However dense or sparse, the grid stays inside the plot area.
                EXPECT_FALSE(differOutsidePlot(*chart, chart->ShownImage(), noGrid))
                    << r[0] << ".." << r[2] << " spacing " << spacing << " style " << style;
            }
        }
    }
}
