// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The texts the sample pipeline sets for every line (the live value and the status panels),
// handed to their labels about twenty times a second. A changed text costs a repaint and a
// frame of the window; at thousands of lines per second nobody can read more than the newest
// text now and then, and a frame of its own costs more than painting the labels.
// So the labels change together, and a text that differs from the shown one
// - goes out at once when no label changed for kQuietNs (a slow device: every line shows
//   without delay), and so do the texts that follow within kBurstNs (the other labels of that
//   line);
// - otherwise rides along the first repaint of the window (FramePacer) at least kRideNs after
//   the labels last changed: the busy indicator repaints every 50 ms while data arrives, and the
//   texts share its frames instead of adding their own;
// - and goes out by itself kQuietNs after the last change when no repaint came.
// Only the newest text is shown. The labels share one window.

#include "app/pipeline/numbertext.h"
#include "app/window/framepacer.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <string>
#include <vector>

class QLabel;

class LiveTexts : public QObject {
public:
    static constexpr std::int64_t kRideNs = 40'000'000;
    static constexpr std::int64_t kQuietNs = 50'000'000 + FramePacer::kFrameNs;
    static constexpr std::int64_t kBurstNs = 5'000'000;

    explicit LiveTexts(QObject* parent = nullptr);

    // Adds a label; returns its index for Set.
    int Add(QLabel* label);
    // The label's text becomes `text`, now or with a later repaint (see above).
    void Set(int index, const std::string& text);
    // The same for a text of numbers: one that waits is made only when it goes out, from the
    // newest numbers.
    void SetNumber(int index, const NumberText& text);
    // The label shows `text` at once, whatever it showed; a waiting text is dropped.
    void SetNow(int index, const std::string& text);
    // Every waiting text is shown now.
    void Flush();
    // The window repaints: the texts that may ride along go out.
    void FrameDue();

private:
    struct Entry {
        QLabel* label = nullptr;
        std::string shown;   // what the label was last given
        std::string waiting; // the newest text not yet given
        bool due = false;
        bool numberDue = false; // `waiting` is still to be made from `number`
        NumberText number;
    };
    Entry* entryAt(int index);
    void offer(Entry& entry, const std::string& text);
    void apply(Entry& entry);
    // Shows the waiting texts when the labels last changed at least `gap` ago, else arms the
    // timer for them.
    void flushAfter(std::int64_t gap);
    std::int64_t now() const { return m_clock.nsecsElapsed(); }

    std::vector<Entry> m_entries;
    QTimer m_timer;
    QElapsedTimer m_clock;
    std::int64_t m_lastChange = 0;
    std::int64_t m_burstStart = 0;
    bool m_everChanged = false;
};
