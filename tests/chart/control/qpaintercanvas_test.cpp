// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/control/draw/qpaintercanvas.h"

#include "chart/control/draw/textstamps.h"
#include "linereference.h"

#include <QImage>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {

constexpr QRgb kRed = 0xFFFF0000;  // CanvasPen colour 0x0000FF
constexpr QRgb kBlue = 0xFF0000FF; // 0xFF0000
constexpr QRgb kGreen = 0xFF00FF00;

QRgb rgbAt(const QImage& image, int x, int y) {
    return image.pixel(x, y) | 0xFF000000;
}

} // namespace

// Dense data repeats points; a repeated point is a zero-length segment and must leave the pixels
// those of the polyline without it, and both those of the line rule.
TEST(QPainterCanvasPolyline, RepeatedPointsGiveTheSamePixelsAsThePlainPolyline) {
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        const int points0 = 2 + static_cast<int>(rng() % 100);
        std::vector<QPoint> points;
        std::vector<QPoint> plainPoints;
        int x = static_cast<int>(rng() % 20);
        for (int i = 0; i < points0; ++i) {
            if (rng() % 4 == 0) {
                x += static_cast<int>(rng() % 3) - (round % 3 == 0 ? 1 : 0);
            }
            const int y = static_cast<int>(rng() % 60) - 5;
            points.emplace_back(x, y);
            if (plainPoints.empty() || plainPoints.back() != points.back()) {
                plainPoints.push_back(points.back());
            }
            for (int repeat = static_cast<int>(rng() % 4); repeat > 0; --repeat) {
                points.emplace_back(x, y);
            }
        }
        QImage thinned(80, 50, QImage::Format_RGB32);
        thinned.fill(Qt::white);
        QImage plain = thinned;
        QImage reference = thinned;
        {
            QPainterCanvas canvas(thinned, QPalette());
            canvas.SetPen(CanvasPen{0x0000FF, 1, psSolid});
            canvas.Polyline(points.data(), static_cast<int>(points.size()));
        }
        {
            QPainterCanvas canvas(plain, QPalette());
            canvas.SetPen(CanvasPen{0x0000FF, 0, psInsideFrame});
            canvas.Polyline(plainPoints.data(), static_cast<int>(plainPoints.size()));
        }
        referencePolyline(reference, points.data(), static_cast<int>(points.size()), kRed);
        ASSERT_EQ(thinned, plain) << "round " << round;
        ASSERT_EQ(thinned, reference) << "round " << round;
    }
}

// Direct scanline writes and painter calls land in the order they are made, pens set for direct
// lines reach the painter when it next draws, and the text colour does not stay on the pen.
TEST(QPainterCanvasPolyline, DirectLinesAndPainterCallsMixInOrder) {
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::white);
    const QImage before = image; // shared until the canvas draws
    {
        QPainterCanvas canvas(image, QPalette());
        canvas.SetBrush(CanvasBrush{0xFF0000, false});
        canvas.FillRect(0, 0, 20, 30); // blue, painter
        canvas.SetPen(CanvasPen{0x0000FF, 1, psSolid});
        canvas.Line(QPoint(0, 5), QPoint(40, 5)); // red, direct, over the fill
        canvas.SetBrush(CanvasBrush{0x00FF00, false});
        canvas.FillRect(10, 0, 15, 30); // green, painter, over the line
        canvas.SetPen(CanvasPen{0xFF0000, 1, psDot});
        canvas.Line(QPoint(0, 10), QPoint(40, 10)); // blue dots, painter
        canvas.SetPen(CanvasPen{0x00FF00, 1, psSolid});
        canvas.Line(QPoint(0, 15), QPoint(40, 15)); // green, direct
        canvas.SetFont(TChartFont{"DejaVu Sans", -12, 0x0000FF});
        canvas.TextOut(22, 18, "x"); // red text
        canvas.SetBrush(CanvasBrush{0xFFFFFF, true});
        canvas.Rectangle(25, 20, 35, 28); // outline in the green pen, not the text's red
    }
    EXPECT_EQ(rgbAt(before, 3, 5), 0xFFFFFFFFu) << "a copy taken before drawing stays blank";
    EXPECT_EQ(rgbAt(image, 3, 5), kRed);
    EXPECT_EQ(rgbAt(image, 3, 6), kBlue);
    EXPECT_EQ(rgbAt(image, 12, 5), kGreen);
    EXPECT_EQ(rgbAt(image, 25, 5), kRed);
    EXPECT_EQ(rgbAt(image, 39, 5), kRed);
    EXPECT_EQ(rgbAt(image, 0, 10), kBlue);
    EXPECT_EQ(rgbAt(image, 30, 15), kGreen);
    EXPECT_EQ(rgbAt(image, 25, 20), kGreen);
    EXPECT_EQ(rgbAt(image, 34, 27), kGreen);
    EXPECT_EQ(rgbAt(image, 30, 24), 0xFFFFFFFFu);
}

// What stays with the painter: wide pens, dashes, other image formats.
TEST(QPainterCanvasPolyline, WideDashedAndOtherFormatsStillDraw) {
    QImage wide(20, 20, QImage::Format_RGB32);
    wide.fill(Qt::white);
    {
        QPainterCanvas canvas(wide, QPalette());
        canvas.SetPen(CanvasPen{0x0000FF, 3, psSolid});
        canvas.Line(QPoint(2, 10), QPoint(17, 10));
    }
    EXPECT_EQ(rgbAt(wide, 8, 9), kRed);
    EXPECT_EQ(rgbAt(wide, 8, 11), kRed);

    QImage dashed(40, 5, QImage::Format_RGB32);
    dashed.fill(Qt::white);
    {
        QPainterCanvas canvas(dashed, QPalette());
        canvas.SetPen(CanvasPen{0x0000FF, 1, psDash});
        canvas.Line(QPoint(0, 2), QPoint(40, 2));
    }
    int inked = 0;
    for (int x = 0; x < 40; ++x) {
        inked += rgbAt(dashed, x, 2) == kRed;
    }
    EXPECT_GT(inked, 5);
    EXPECT_LT(inked, 35);

    QImage rgb888(20, 20, QImage::Format_RGB888);
    rgb888.fill(Qt::white);
    {
        QPainterCanvas canvas(rgb888, QPalette());
        canvas.SetPen(CanvasPen{0x0000FF, 1, psSolid});
        canvas.Line(QPoint(2, 10), QPoint(17, 10));
        canvas.SetPixel(QPoint(5, 5), 0x0000FF);
    }
    EXPECT_EQ(rgbAt(rgb888, 8, 10), kRed);
    EXPECT_EQ(rgbAt(rgb888, 5, 5), kRed);
}

TEST(QPainterCanvasShapes, RectangleCoversRightAndBottomExclusive) {
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainterCanvas canvas(image, QPalette());
        canvas.SetPen(CanvasPen{0x000000, 1, psSolid});
        canvas.SetBrush(CanvasBrush{0x0000FF, false});
        canvas.Rectangle(2, 2, 6, 5);
    }
    EXPECT_EQ(image.pixel(2, 2) & 0xFFFFFF, 0u);        // outline
    EXPECT_EQ(image.pixel(5, 4) & 0xFFFFFF, 0u);        // last outline pixel
    EXPECT_EQ(image.pixel(3, 3) & 0xFFFFFF, 0xFF0000u); // red inside
    EXPECT_EQ(image.pixel(6, 4) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(image.pixel(5, 5) & 0xFFFFFF, 0xFFFFFFu);
}

// A stamped text must set exactly the pixels drawing it sets, wherever it lies (also partly
// outside the image), in the chart's fonts; and those fonts must really be stamped, or the
// stamps would silently save nothing.
TEST(QPainterCanvasShapes, StampedTextsSetThePixelsOfDrawnTexts) {
    const TChartFont fonts[] = {TChartFont{}, TChartFont{"Arial", -11, 0x000080},
                                TChartFont{"DejaVu Sans", 16, 0x008000}};
    const QString texts[] = {"0", "1500", "-0,25", "Anzahl Samples", "ÄÖÜ µs", "  "};
    const QPoint places[] = {{10, 10}, {0, 0}, {-7, 3}, {55, -6}, {70, 40}, {33, 17}};
    TextStamps stamps;
    int stamped = 0;
    for (const TChartFont& font : fonts) {
        for (const QString& text : texts) {
            for (const QPoint at : places) {
                QImage drawn(80, 50, QImage::Format_RGB32);
                drawn.fill(kGreen);
                QImage viaStamps = drawn;
                {
                    QPainterCanvas canvas(drawn, QPalette());
                    canvas.SetFont(font);
                    canvas.TextOut(at.x(), at.y(), text);
                }
                {
                    QPainterCanvas canvas(viaStamps, QPalette());
                    canvas.SetTextStamps(&stamps);
                    canvas.SetFont(font);
                    canvas.TextOut(at.x(), at.y(), text);
                }
                EXPECT_TRUE(drawn == viaStamps) << text.toStdString() << " at " << at.x() << ","
                                                << at.y() << " in " << font.Name;
            }
            QImage probe(8, 8, QImage::Format_RGB32);
            stamped += stamps.Draw(probe, "probe " + font.Name + std::to_string(font.Height),
                                   QPainterCanvas::ToQFont(font), {0, 0}, text, kRed);
        }
    }
    EXPECT_EQ(stamped, 18);
}
