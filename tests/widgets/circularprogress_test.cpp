// SPDX-License-Identifier: GPL-3.0-or-later
// The busy indicator: the ring's rules as plain functions, and the widget's timer, geometry and
// picture.

#include "widgets/circularprogress.h"

#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

using namespace circularprogress;

namespace {

TEST(CircularProgressRules, TickAdvancesHeadAndTogglesPhaseAfterTwelve) {
    struct Case {
        SpinState From;
        SpinState To;
    };
    const Case cases[] = {
        {{1, true}, {2, true}},   {{11, true}, {12, true}}, {{12, true}, {1, false}},
        {{5, false}, {6, false}}, {{12, false}, {1, true}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NextTick(c.From), c.To) << c.From.Head << " " << c.From.Phase;
    }
    // Two full cycles bring the ring back to its start.
    SpinState s;
    for (int i = 0; i < 24; ++i) {
        s = NextTick(s);
    }
    EXPECT_EQ(s, SpinState{});
}

TEST(CircularProgressRules, SweepGrowsWithLargerSide) {
    struct Case {
        int W, H, Sweep;
    };
    const Case cases[] = {{30, 30, 22},   {39, 10, 22},   {10, 40, 23}, {59, 59, 23},
                          {60, 60, 24},   {99, 20, 24},   {100, 1, 25}, {199, 199, 25},
                          {200, 200, 26}, {1000, 10, 26}, {0, 0, 22}};
    for (const Case& c : cases) {
        EXPECT_EQ(SegmentSweep(c.W, c.H), c.Sweep) << c.W << "x" << c.H;
    }
}

TEST(CircularProgressRules, ProgressIndexStaysInRangeAndRoundsToNearest) {
    struct Case {
        int Min, Max, Position, P;
    };
    const Case cases[] = {
        {0, 100, 0, -1},   // the program's setting: nothing in progress colour
        {0, 100, -5, -1},  // below the range
        {0, 100, 100, 12}, // complete
        {0, 100, 50, 6},   // 50 / 8.33 = 6
        {0, 100, 4, 0},    // 0.48
        {0, 100, 5, 1},    // 0.6
        {0, 24, 1, 0},     // 0.5 ties to even
        {0, 24, 3, 2},     // 1.5 ties to even
        {0, 100, 500, 12}, // beyond Max stays within the ring
        {10, 10, 20, 12},  // empty range: no division by zero
        {10, 0, 20, 12},   // inverted range
        {10, 10, 10, 12},  // Position == Max wins over Min >= Position
        {-2147483647 - 1, 2147483647, 2147483646, 6},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProgressIndex(c.Min, c.Max, c.Position), c.P)
            << c.Min << " " << c.Max << " " << c.Position;
    }
}

TEST(CircularProgressRules, SegmentColoursFollowHeadPhaseAndProgress) {
    const TProgressAppearance a;
    const auto A = a.ActiveSegmentColor, T = a.TransitionSegmentColor, I = a.InActiveSegmentColor,
               P = a.ProgressSegmentColor;
    struct Case {
        SpinState State;
        int Progress;
        std::array<std::int32_t, 12> Colors;
    };
    const Case cases[] = {
        // Phase set: filled behind the head, rest inactive or in progress colour.
        {{1, true}, -1, {T, I, I, I, I, I, I, I, I, I, I, I}},
        {{4, true}, -1, {A, A, A, T, I, I, I, I, I, I, I, I}},
        {{4, true}, 6, {A, A, A, T, P, P, I, I, I, I, I, I}},
        {{12, true}, -1, {A, A, A, A, A, A, A, A, A, A, A, T}},
        // Phase clear: behind the head empties, ahead stays active.
        {{1, false}, -1, {T, A, A, A, A, A, A, A, A, A, A, A}},
        {{4, false}, -1, {I, I, I, T, A, A, A, A, A, A, A, A}},
        {{4, false}, 2, {P, P, I, T, A, A, A, A, A, A, A, A}},
        {{6, true}, 12, {A, A, A, A, A, T, P, P, P, P, P, P}},
    };
    for (const Case& c : cases) {
        for (int i = 1; i <= 12; ++i) {
            EXPECT_EQ(SegmentColor(i, c.State, c.Progress, a), c.Colors[std::size_t(i - 1)])
                << "head " << c.State.Head << " phase " << c.State.Phase << " p " << c.Progress
                << " segment " << i;
        }
    }
}

TEST(CircularProgressRules, ColoursConvertFromWindowsByteOrder) {
    EXPECT_EQ(ToQColor(0xFF9F9F), QColor(0x9F, 0x9F, 0xFF));
    EXPECT_EQ(ToQColor(0xA00000), QColor(0, 0, 0xA0));
    EXPECT_EQ(ToQColor(0x400080), QColor(0x80, 0, 0x40));
    EXPECT_EQ(ToQColor(0x0000FF).alpha(), 255);
}

TEST(CircularProgressRules, GeometryPlacesSegmentOneAtTwelveOClockAndRingHole) {
    const Geometry g = BuildGeometry(60, 60, false);
    EXPECT_EQ(g.InnerDisc, QRectF(14, 14, 32, 32));
    // Segment 1 spans 24 degrees clockwise from 12 o'clock: right of the top centre.
    EXPECT_TRUE(g.Segments[0].contains(QPointF(33, 3)));
    EXPECT_FALSE(g.Segments[0].contains(QPointF(27, 3)));
    // Segment 4 starts at 3 o'clock and runs clockwise (downwards on screen).
    EXPECT_TRUE(g.Segments[3].contains(QPointF(57, 33)));
    EXPECT_FALSE(g.Segments[3].contains(QPointF(57, 27)));
    // With a border the drawing box shrinks by one pixel.
    const Geometry b = BuildGeometry(31, 31, true);
    EXPECT_EQ(b.InnerDisc, QRectF(7, 7, 16, 16));
    EXPECT_LE(b.Segments[3].boundingRect().right(), 30.0);
}

// Colour of the pixel in the middle of segment i of a w x w ring.
QColor segmentPixel(const QImage& image, int i, int sweep) {
    const double w = image.width();
    const double angle = (30.0 * i - 120.0 + sweep / 2.0) * std::numbers::pi / 180.0;
    const double r = w * 0.38;
    const QPoint p(int(std::lround(w / 2 + r * std::cos(angle))),
                   int(std::lround(w / 2 + r * std::sin(angle))));
    return image.pixelColor(p);
}

TEST(CircularProgressWidget, SpinsWhileEnabledAndFreezesWhenDisabled) {
    TCircularProgress ring;
    QSignalSpy updates(&ring, &TCircularProgress::ProgressUpdate);
    EXPECT_TRUE(ring.IsSpinning());
    ring.TimerTick();
    ring.TimerTick();
    EXPECT_EQ(ring.State(), (SpinState{3, true}));
    EXPECT_EQ(updates.count(), 2);

    ring.setEnabled(false);
    EXPECT_FALSE(ring.IsSpinning());
    ring.TimerTick(); // a tick already queued must not move a frozen ring
    EXPECT_EQ(ring.State(), (SpinState{3, true}));
    EXPECT_EQ(updates.count(), 2);

    ring.setEnabled(true);
    EXPECT_TRUE(ring.IsSpinning());
    ring.TimerTick();
    EXPECT_EQ(ring.State(), (SpinState{4, true}));

    // A disabled parent freezes the ring as well.
    QWidget panel;
    TCircularProgress child(&panel);
    panel.setEnabled(false);
    EXPECT_FALSE(child.IsSpinning());
}

TEST(CircularProgressWidget, TimerDrivesTheRingAtTheSetInterval) {
    TCircularProgress ring;
    EXPECT_EQ(ring.Interval(), 100u);
    ring.SetInterval(1);
    QSignalSpy updates(&ring, &TCircularProgress::ProgressUpdate);
    ASSERT_TRUE(updates.wait(5000));
    EXPECT_GT(ring.State().Head, 1);
}

TEST(CircularProgressWidget, GeometryIsRebuiltOnlyOnResizeAndEachPictureIsPaintedOnce) {
    TCircularProgress ring;
    ring.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ring));
    const int built = ring.GeometryBuildCount();
    // Two turns of the ring show its 24 pictures; the turns after them paint none.
    const int painted = ring.PicturePaintCount();
    for (int i = 0; i < 4 * 12; ++i) {
        ring.TimerTick();
        ring.repaint();
    }
    EXPECT_GT(ring.PicturePaintCount(), painted);
    EXPECT_LE(ring.PicturePaintCount() - painted, 24);
    const int turned = ring.PicturePaintCount();
    for (int i = 0; i < 2 * 12; ++i) {
        ring.TimerTick();
        ring.repaint();
    }
    EXPECT_EQ(ring.PicturePaintCount(), turned);
    ring.SetPosition(50); // another progress: other pictures
    ring.repaint();
    EXPECT_EQ(ring.PicturePaintCount(), turned + 1);
    EXPECT_EQ(ring.GeometryBuildCount(), built);

    ring.resize(30, 30);
    EXPECT_EQ(ring.GeometryBuildCount(), built + 1);
    ring.resize(30, 30);
    EXPECT_EQ(ring.GeometryBuildCount(), built + 1);

    TProgressAppearance bordered;
    bordered.BorderColor = 0;
    ring.SetAppearance(bordered); // the drawing box shrinks by the border
    EXPECT_EQ(ring.GeometryBuildCount(), built + 2);
}

TEST(CircularProgressWidget, PictureShowsActiveHeadAndInactiveSegments) {
    TCircularProgress ring;
    TProgressAppearance look;
    look.BackGroundColor = 0xFFFFFF;
    ring.SetAppearance(look);
    for (int i = 0; i < 3; ++i) {
        ring.TimerTick(); // head at 4, phase set
    }
    const QImage image = ring.grab().toImage();
    ASSERT_EQ(image.size(), QSize(60, 60));
    const int sweep = SegmentSweep(60, 60);
    for (int i = 1; i <= 12; ++i) {
        const std::int32_t expected = i < 4    ? look.ActiveSegmentColor
                                      : i == 4 ? look.TransitionSegmentColor
                                               : look.InActiveSegmentColor;
        EXPECT_EQ(segmentPixel(image, i, sweep), ToQColor(expected)) << "segment " << i;
    }
    // The inner disc and the gaps between segments show the background.
    EXPECT_EQ(image.pixelColor(30, 30), QColor(Qt::white));
    EXPECT_EQ(segmentPixel(image, 1, -6), QColor(Qt::white)); // just before segment 1

    // After a full cycle the phase clears: the ring empties behind the head.
    for (int i = 0; i < 12; ++i) {
        ring.TimerTick();
    }
    EXPECT_EQ(ring.State(), (SpinState{4, false}));
    const QImage next = ring.grab().toImage();
    EXPECT_EQ(segmentPixel(next, 2, sweep), ToQColor(look.InActiveSegmentColor));
    EXPECT_EQ(segmentPixel(next, 8, sweep), ToQColor(look.ActiveSegmentColor));
}

TEST(CircularProgressWidget, NoneColourLeavesSegmentsUnpainted) {
    TCircularProgress ring;
    TProgressAppearance look;
    look.BackGroundColor = 0xFFFFFF;
    look.InActiveSegmentColor = TProgressAppearance::clNone;
    ring.SetAppearance(look);
    const QImage image = ring.grab().toImage();
    const int sweep = SegmentSweep(60, 60);
    EXPECT_EQ(segmentPixel(image, 1, sweep), ToQColor(look.TransitionSegmentColor));
    EXPECT_EQ(segmentPixel(image, 7, sweep), QColor(Qt::white));
}

} // namespace
