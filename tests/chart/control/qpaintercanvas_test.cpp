#include "chart/control/qpaintercanvas.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <random>
#include <vector>

// The backend drops repeated points of dense polylines; the pixels must be exactly those of the
// plain polyline.
TEST(QPainterCanvasPolyline, RepeatedPointsGiveTheSamePixelsAsThePlainPolyline) {
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        const int points0 = 2 + static_cast<int>(rng() % 100);
        std::vector<QPoint> points;
        int x = static_cast<int>(rng() % 20);
        for (int i = 0; i < points0; ++i) {
            if (rng() % 4 == 0) {
                x += static_cast<int>(rng() % 3) - (round % 3 == 0 ? 1 : 0);
            }
            const int y = static_cast<int>(rng() % 60) - 5;
            points.emplace_back(x, y);
            for (int repeat = static_cast<int>(rng() % 4); repeat > 0; --repeat) {
                points.emplace_back(x, y);
            }
        }
        const int count = static_cast<int>(points.size());
        QImage thinned(80, 50, QImage::Format_RGB32);
        thinned.fill(Qt::white);
        QImage plain = thinned;
        {
            QPainterCanvas canvas(thinned, QPalette());
            canvas.SetPen(CanvasPen{0xFF0000, 1, psSolid});
            canvas.Polyline(points.data(), count);
        }
        {
            QPainter painter(&plain);
            painter.setPen(QPen(QColor(0, 0, 255), 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
            painter.drawPolyline(points.data(), count);
        }
        ASSERT_EQ(thinned, plain) << "round " << round;
    }
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
