// SPDX-License-Identifier: GPL-3.0-or-later
// A window repaints at most once per display frame, and the newest state always reaches the
// screen within a frame: whatever asks for repaints, however often.
#include "app/window/framepacer.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>
#include <vector>

namespace {

// A child that records which version of its state each of its paints showed.
class Version : public QWidget {
public:
    using QWidget::QWidget;
    int version = 0;
    std::vector<int> painted;
    std::vector<std::int64_t> paintedAt;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(rect(), version % 2 != 0 ? Qt::black : Qt::white);
        painted.push_back(version);
        paintedAt.push_back(FramePacer::Now());
    }
};

struct Window {
    QWidget window;
    Version* a = new Version(&window);
    Version* b = new Version(&window);
    FramePacer* pacer = FramePacer::Of(a);

    Window() {
        window.resize(200, 100);
        a->setGeometry(0, 0, 100, 100);
        b->setGeometry(100, 0, 100, 100);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        a->painted.clear();
        b->painted.clear();
        a->paintedAt.clear();
        b->paintedAt.clear();
    }
};

// Waits until nothing paints for three frames.
void settle() {
    QTest::qWait(static_cast<int>(3 * FramePacer::kFrameNs / 1000000));
}

} // namespace

TEST(FramePacer, OnePacerPerWindowRepaintsAtMostOncePerFrameAndShowsTheNewestState) {
    Window w;
    EXPECT_EQ(FramePacer::Of(w.b), w.pacer);
    EXPECT_EQ(FramePacer::Of(&w.window), w.pacer);
    int frameDue = 0;
    QObject::connect(w.pacer, &FramePacer::FrameDue, [&] { ++frameDue; });

    // Both children change every 0.5 ms for 150 ms, with the event loop running in between.
    QElapsedTimer clock;
    clock.start();
    const std::int64_t start = FramePacer::Now();
    while (clock.elapsed() < 150) {
        ++w.a->version;
        w.a->update();
        if (w.a->version % 3 == 0) {
            ++w.b->version;
            w.b->update();
        }
        QTest::qWait(0);
        const std::int64_t until = FramePacer::Now() + 500'000;
        while (FramePacer::Now() < until) {
        }
    }
    settle();
    const std::int64_t end = FramePacer::Now();

    // At most one repaint per frame slot; the children of one window repaint together.
    ASSERT_FALSE(w.a->paintedAt.empty());
    const std::int64_t frames = end / FramePacer::kFrameNs - start / FramePacer::kFrameNs + 1;
    EXPECT_LE(static_cast<std::int64_t>(w.a->paintedAt.size()), frames);
    EXPECT_GE(w.a->paintedAt.size(), 4U) << "the screen follows while the state changes";
    for (std::size_t i = 1; i < w.a->paintedAt.size(); ++i) {
        EXPECT_NE(w.a->paintedAt[i] / FramePacer::kFrameNs,
                  w.a->paintedAt[i - 1] / FramePacer::kFrameNs)
            << "two repaints in one frame";
    }
    EXPECT_EQ(frameDue, static_cast<int>(w.a->paintedAt.size()));
    // The last state reached the screen.
    EXPECT_EQ(w.a->painted.back(), w.a->version);
    EXPECT_EQ(w.b->painted.back(), w.b->version);

    // After a quiet frame a change goes out at once, the next one in the frame after.
    const std::size_t before = w.a->painted.size();
    ++w.a->version;
    w.a->update();
    QCoreApplication::processEvents();
    ASSERT_EQ(w.a->painted.size(), before + 1);
    EXPECT_EQ(w.a->painted.back(), w.a->version);
    const std::int64_t first = w.a->paintedAt.back();
    ++w.a->version;
    w.a->update();
    QCoreApplication::processEvents();
    if (FramePacer::Now() / FramePacer::kFrameNs == first / FramePacer::kFrameNs) {
        EXPECT_EQ(w.a->painted.size(), before + 1) << "a second repaint within the frame";
    }
    settle();
    ASSERT_EQ(w.a->painted.size(), before + 2);
    EXPECT_EQ(w.a->painted.back(), w.a->version);
}
