// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The texts the sample pipeline sets for every line (the live value and the status panels),
// handed to their labels at most once per display frame each. A text that differs from the
// shown one goes out at once when its label has not changed for a frame; otherwise it waits for
// the end of that frame, or for the window's next repaint if that comes first (FramePacer), and
// only the newest text is shown. Setting a label's text costs a layout request and a repaint; at
// thousands of lines per second only the last one of a frame can ever be seen.

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
    static constexpr std::int64_t kFrameNs = FramePacer::kFrameNs;

    explicit LiveTexts(QObject* parent = nullptr);

    // Adds a label; returns its index for Set.
    int Add(QLabel* label);
    // The label's text becomes `text`, now or at the end of the current frame (see above).
    void Set(int index, const std::string& text);
    // The same for a text of numbers: one that waits for the end of the frame is made only
    // then, from the newest numbers.
    void SetNumber(int index, const NumberText& text);
    // The label shows `text` at once, whatever it showed; a waiting text is dropped.
    void SetNow(int index, const std::string& text);
    // Every waiting text is shown now.
    void Flush();

private:
    struct Entry {
        QLabel* label = nullptr;
        std::string shown;   // what the label was last given
        std::string waiting; // the newest text not yet given
        bool due = false;
        bool numberDue = false; // `waiting` is still to be made from `number`
        NumberText number;
        std::int64_t lastSet = 0;
        bool everSet = false;
    };
    Entry* entryAt(int index);
    void offer(Entry& entry, const std::string& text);
    void apply(Entry& entry, std::int64_t now);
    std::int64_t now() const { return m_clock.nsecsElapsed(); }

    std::vector<Entry> m_entries;
    QTimer m_timer;
    QElapsedTimer m_clock;
};
