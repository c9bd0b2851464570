// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/exception.h"
#include "base/systemerror.h"
#include "chart/control/bmpwriter.h"
#include "charttestsupport.h"
#include "tests/support/fifowatchdog.h"
#include "tests/support/filesizelimit.h"

#include <QDir>
#include <QTemporaryDir>
#include <cerrno>
#include <cstdint>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::vector<unsigned char> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t u32(const std::vector<unsigned char>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

std::uint16_t u16(const std::vector<unsigned char>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

// Decodes a 24-bit bottom-up BMP as our writer produces it.
QImage decodeBmp(const std::vector<unsigned char>& b) {
    const int w = static_cast<int>(u32(b, 18));
    const int h = static_cast<int>(u32(b, 22));
    const std::size_t row = (static_cast<std::size_t>(w) * 3 + 3) & ~std::size_t{3};
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        const unsigned char* p = b.data() + u32(b, 10) + row * static_cast<std::size_t>(h - 1 - y);
        for (int x = 0; x < w; ++x, p += 3) {
            image.setPixel(x, y, qRgb(p[2], p[1], p[0]));
        }
    }
    return image;
}

std::unique_ptr<TPlotChart> chartWithTwoChannels() {
    auto chart = makeFormChart();
    chart->SetDataColor(clBlue);
    chart->AddMoveTo(0, 2);
    for (int i = 1; i < 1000; i += 10) {
        chart->AddDrawTo(i, 2 + (i % 100) / 25.0);
    }
    chart->SetActiveLayer(2);
    chart->SetDataColor(clMaroon);
    chart->AddLine(0, 8, 1000, 9);
    chart->SetActiveLayer(1);
    return chart;
}

} // namespace

TEST(BitmapFileName, CutsFileNameAtFirstDotAndAddsBmp) {
    const std::pair<const char*, const char*> cases[] = {
        {"data/run.1.txt", "data/run.bmp"}, {"my.dir/graph", "my.dir/graph.bmp"},
        {"dir/.hidden", "dir/.bmp"},        {"graph.png", "graph.bmp"},
        {"/a/b.c/d.e.f", "/a/b.c/d.bmp"},   {"plain", "plain.bmp"},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(TCustomPlotChart::BitmapFileName(in), out) << in;
    }
}

TEST(BmpWriter, HeadersRowsAndPaddingOfA24BitFile) {
    QImage image(5, 3, QImage::Format_RGB32);
    image.fill(qRgb(1, 2, 3));
    image.setPixel(0, 0, qRgb(255, 0, 0)); // top-left: last row of the file
    image.setPixel(4, 2, qRgb(0, 0, 255)); // bottom-right: first row of the file
    const std::vector<unsigned char> b = EncodeBmp(image);
    const std::size_t row = 16; // 5 × 3 = 15 bytes, padded to 16
    ASSERT_EQ(b.size(), 54 + row * 3);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(u32(b, 2), b.size());
    EXPECT_EQ(u32(b, 10), 54u);
    EXPECT_EQ(u32(b, 14), 40u);
    EXPECT_EQ(u32(b, 18), 5u);
    EXPECT_EQ(u32(b, 22), 3u);
    EXPECT_EQ(u16(b, 26), 1u);
    EXPECT_EQ(u16(b, 28), 24u);
    EXPECT_EQ(u32(b, 30), 0u);
    EXPECT_EQ(u32(b, 34), row * 3);
    // First stored row is the image's bottom row, pixels as B, G, R.
    EXPECT_EQ(b[54 + 12], 255);
    EXPECT_EQ(b[54 + 13], 0);
    EXPECT_EQ(b[54 + 14], 0);
    EXPECT_EQ(b[54 + 15], 0); // padding
    EXPECT_EQ(b[54 + 2 * row + 2], 255);
    EXPECT_EQ(b[54 + 2 * row + 0], 0);
    EXPECT_EQ(decodeBmp(b), image);
}

TEST(BmpWriter, WriteErrorsCarryTheProgramTexts) {
    QTemporaryDir dir;
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::white);
    const std::string missing = dir.path().toStdString() + "/no/such/dir/x.bmp";
    try {
        WriteBmp(image, missing);
        FAIL() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), "Datei \"" + missing + "\" kann nicht erstellt werden. " +
                                   systemErrorText(ENOENT));
    }
    // A FIFO nobody reads would make a plain open wait for ever.
    const std::string fifo = dir.path().toStdString() + "/pipe.bmp";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    {
        FifoWatchdog watchdog(fifo);
        try {
            WriteBmp(image, fifo);
            ADD_FAILURE() << "no error";
        } catch (const EFCreateError& e) {
            EXPECT_EQ(e.Message(), "Datei \"" + fifo +
                                       "\" kann nicht erstellt werden. Am anderen Ende der Pipe "
                                       "befindet sich kein Prozess");
        }
        EXPECT_FALSE(watchdog.Fired());
    }
    const std::string full = dir.path().toStdString() + "/full.bmp";
    ASSERT_EQ(::symlink("/dev/full", full.c_str()), 0);
    try {
        WriteBmp(image, full);
        FAIL() << "no error";
    } catch (const EWriteError& e) {
        EXPECT_EQ(e.Message(), "Stream-Schreibfehler");
    }
}

// A smaller picture over a larger one leaves no old tail; one that fails midway (a full disk)
// leaves the old file as it was and nothing beside it.
TEST(BmpWriter, ReplacesTheOldFileWholeOrNotAtAll) {
    QTemporaryDir dir;
    const std::string name = dir.path().toStdString() + "/run.bmp";
    QImage large(300, 200, QImage::Format_RGB32);
    large.fill(Qt::blue);
    QImage small(8, 4, QImage::Format_RGB32);
    small.fill(Qt::red);
    WriteBmp(large, name);
    WriteBmp(small, name);
    EXPECT_EQ(readFile(name), EncodeBmp(small));
    {
        FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.Active());
        EXPECT_THROW(WriteBmp(large, name), EWriteError);
    }
    EXPECT_EQ(readFile(name), EncodeBmp(small));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"run.bmp"});
}

TEST(ExportBitmap, MonochromePictureIsBlackOnWhiteWithSilverGridAndColoursComeBack) {
    QTemporaryDir dir;
    auto chart = chartWithTwoChannels();
    chart->Scale2Y().SetVisible(true);
    chart->SetMarginLeft(160);
    chart->Paint();
    EXPECT_GT(countPixels(chart->ShownImage(), 0x0000FF), 0); // blue on screen
    const QImage before = chart->ShownImage();

    chart->ExportBitmap(dir.path().toStdString() + "/graph.png", true);
    const QImage picture = decodeBmp(readFile(dir.path().toStdString() + "/graph.bmp"));
    ASSERT_EQ(picture.size(), QSize(kChartWidth, kChartHeight));
    EXPECT_EQ(picture, chart->ChartImage());
    EXPECT_EQ(countPixels(picture, 0x0000FF), 0);    // no blue
    EXPECT_EQ(countPixels(picture, 0x800000), 0);    // no maroon (data and second axis)
    EXPECT_GT(countPixels(picture, 0xC0C0C0), 1000); // grid keeps its silver
    EXPECT_EQ(picture.pixel(20, 10) & 0xFFFFFF, 0xFFFFFFu);
    const QPoint sample = chartPixel(*chart, 1, 2 + 1 / 25.0);
    EXPECT_EQ(picture.pixel(sample) & 0xFFFFFF, 0u);

    // Colours, gate and the screen are as before; the next paint shows colours again.
    EXPECT_EQ(chart->WindColor(), clWhite);
    EXPECT_EQ(chart->ShadowColor(), clGray);
    EXPECT_EQ(chart->ShadowBakColor(), clBtnFace);
    EXPECT_EQ(chart->Scale2Y().ColorScale(), clMaroon);
    EXPECT_EQ(chart->Scale1Y().Font().Color, static_cast<TColor>(0xFF000008));
    EXPECT_FALSE(chart->PaintSuspended());
    EXPECT_EQ(chart->ShownImage(), before);
    chart->Paint();
    EXPECT_EQ(chart->ShownImage(), before);
}

TEST(ExportBitmap, ColourPictureFollowsControlSizeAndOverwrites) {
    QTemporaryDir dir;
    auto chart = chartWithTwoChannels();
    const std::string name = dir.path().toStdString() + "/run.1.txt";
    {
        std::ofstream old(dir.path().toStdString() + "/run.bmp");
        old << "old contents";
    }
    chart->ExportBitmap(name, false);
    QImage picture = decodeBmp(readFile(dir.path().toStdString() + "/run.bmp"));
    EXPECT_EQ(picture.size(), QSize(kChartWidth, kChartHeight));
    EXPECT_GT(countPixels(picture, 0x0000FF), 100);

    chart->resize(kChartWidth + 100, kChartHeight + 50);
    chart->ExportBitmap(name, false);
    picture = decodeBmp(readFile(dir.path().toStdString() + "/run.bmp"));
    EXPECT_EQ(picture.size(), QSize(kChartWidth + 100, kChartHeight + 50));
}

TEST(ExportBitmap, FailedExportRestoresColoursAndGate) {
    auto chart = chartWithTwoChannels();
    const TColor frame = chart->ChartFrameColor();
    chart->SetChartColor(clYellow);
    EXPECT_THROW(chart->ExportBitmap("/nonexistent-plotmira-dir/x.bmp", true), EFCreateError);
    EXPECT_EQ(chart->ChartColor(), clYellow);
    EXPECT_EQ(chart->ChartFrameColor(), frame);
    EXPECT_EQ(chart->Scale1X().ColorScale(), clBlack);
    EXPECT_EQ(chart->Scale2Y().ColorScale(), clMaroon);
    EXPECT_FALSE(chart->PaintSuspended());
}
