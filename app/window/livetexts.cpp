// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window/livetexts.h"

#include <QLabel>
#include <algorithm>

LiveTexts::LiveTexts(QObject* parent) : QObject(parent) {
    m_clock.start();
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] { Flush(); });
}

int LiveTexts::Add(QLabel* label) {
    Entry entry;
    entry.label = label;
    entry.shown = label->text().toStdString();
    m_entries.push_back(std::move(entry));
    // Texts that wait go out with any repaint of their window: the frame's picture is then
    // complete, and no second repaint follows for them.
    connect(FramePacer::Of(label), &FramePacer::FrameDue, this, &LiveTexts::Flush,
            Qt::UniqueConnection);
    return static_cast<int>(m_entries.size()) - 1;
}

LiveTexts::Entry* LiveTexts::entryAt(int index) {
    if (index < 0 || index >= static_cast<int>(m_entries.size())) {
        return nullptr;
    }
    return &m_entries[static_cast<std::size_t>(index)];
}

void LiveTexts::apply(Entry& entry, std::int64_t at) {
    entry.label->setText(QString::fromStdString(entry.waiting));
    entry.shown.swap(entry.waiting);
    entry.due = false;
    entry.numberDue = false;
    entry.lastSet = at;
    entry.everSet = true;
}

void LiveTexts::Set(int index, const std::string& text) {
    if (Entry* entry = entryAt(index)) {
        entry->numberDue = false; // the text replaces a waiting number
        offer(*entry, text);
    }
}

void LiveTexts::SetNumber(int index, const NumberText& text) {
    Entry* entry = entryAt(index);
    if (entry == nullptr) {
        return;
    }
    if (entry->due) {
        // The frame's timer runs already: the newest numbers are made into a text when it ends.
        entry->number = text;
        entry->numberDue = true;
        return;
    }
    offer(*entry, text.Make());
}

void LiveTexts::offer(Entry& entry, const std::string& text) {
    if (text == (entry.due ? entry.waiting : entry.shown)) {
        return;
    }
    if (text == entry.shown) {
        entry.due = false; // back to what the label shows
        return;
    }
    entry.waiting = text;
    if (entry.due) {
        return; // the timer for the end of this label's frame runs already
    }
    entry.due = true;
    const std::int64_t at = now();
    if (!entry.everSet || at - entry.lastSet >= kFrameNs) {
        apply(entry, at);
        return;
    }
    const std::int64_t wait = kFrameNs - (at - entry.lastSet);
    const int ms = static_cast<int>((wait + 999999) / 1000000);
    if (!m_timer.isActive() || m_timer.remainingTime() > ms) {
        m_timer.start(ms);
    }
}

void LiveTexts::SetNow(int index, const std::string& text) {
    if (Entry* entry = entryAt(index)) {
        entry->waiting = text;
        apply(*entry, now());
    }
}

void LiveTexts::Flush() {
    m_timer.stop();
    const std::int64_t at = now();
    for (Entry& entry : m_entries) {
        if (!entry.due) {
            continue;
        }
        if (entry.numberDue) {
            entry.waiting = entry.number.Make();
            if (entry.waiting == entry.shown) {
                entry.due = entry.numberDue = false; // the label shows it already
                continue;
            }
        }
        apply(entry, at);
    }
}
