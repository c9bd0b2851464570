// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Paces a top-level window's repaints to the display's frame rate. No screen shows more than
// about 60 pictures a second, yet every changed text and every presented chart picture asks the
// window to repaint and flush to the display server at once. The pacer lets at most one repaint
// through per frame: the first request of a frame goes out at once, later ones wait for the start
// of the next frame and go out together, so that nothing reaches the screen more than one frame
// late. Frames are the slots [k·kFrameNs, (k+1)·kFrameNs) of the steady clock.

#include <QObject>
#include <QTimer>
#include <cstdint>

class QWidget;

class FramePacer : public QObject {
    Q_OBJECT

public:
    static constexpr std::int64_t kFrameNs = 16'666'667; // 60 Hz

    // The pacer of `widget`'s top-level window, made on first use; it lives as long as the window.
    static FramePacer* Of(QWidget* widget);
    // The steady clock in nanoseconds.
    static std::int64_t Now();

signals:
    // The window is about to repaint: what should appear in this frame is handed over now.
    void FrameDue();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit FramePacer(QWidget* window);

    QWidget* m_window;
    QTimer m_timer;
    std::int64_t m_lastFrame = -1;
};
