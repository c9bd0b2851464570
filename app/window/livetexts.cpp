// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window/livetexts.h"

#include <QLabel>
#include <algorithm>

LiveTexts::LiveTexts(QObject* parent) : QObject(parent) {
    m_clock.start();
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] { flushAfter(kQuietNs); });
}

int LiveTexts::Add(QLabel* label) {
    Entry entry;
    entry.label = label;
    entry.shown = label->text().toStdString();
    m_entries.push_back(std::move(entry));
    connect(FramePacer::Of(label), &FramePacer::FrameDue, this, &LiveTexts::FrameDue,
            Qt::UniqueConnection);
    return static_cast<int>(m_entries.size()) - 1;
}

LiveTexts::Entry* LiveTexts::entryAt(int index) {
    if (index < 0 || index >= static_cast<int>(m_entries.size())) {
        return nullptr;
    }
    return &m_entries[static_cast<std::size_t>(index)];
}

void LiveTexts::apply(Entry& entry) {
    entry.label->setText(QString::fromStdString(entry.waiting));
    entry.shown.swap(entry.waiting);
    entry.due = false;
    entry.numberDue = false;
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
        // The text waits already: the newest numbers are made into it when it goes out.
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
        return; // its timer runs already
    }
    entry.due = true;
    const std::int64_t at = now();
    if (!m_everChanged || at - m_lastChange >= kQuietNs) {
        m_burstStart = at;
    }
    flushAfter(at - m_burstStart < kBurstNs ? 0 : kQuietNs);
}

void LiveTexts::SetNow(int index, const std::string& text) {
    if (Entry* entry = entryAt(index)) {
        entry->waiting = text;
        apply(*entry);
    }
}

void LiveTexts::Flush() {
    flushAfter(0);
}

void LiveTexts::FrameDue() {
    flushAfter(kRideNs);
}

void LiveTexts::flushAfter(std::int64_t gap) {
    const auto due = [](const Entry& entry) { return entry.due; };
    if (std::none_of(m_entries.begin(), m_entries.end(), due)) {
        return;
    }
    const std::int64_t at = now();
    if (m_everChanged && at - m_lastChange < gap) {
        if (!m_timer.isActive()) {
            const std::int64_t wait = kQuietNs - (at - m_lastChange);
            m_timer.start(static_cast<int>((std::max<std::int64_t>(wait, 0) + 999999) / 1000000));
        }
        return;
    }
    m_timer.stop();
    bool changed = false;
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
        apply(entry);
        changed = true;
    }
    if (changed) {
        m_lastChange = at;
        m_everChanged = true;
    }
}
