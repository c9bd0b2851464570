// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window/framepacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <chrono>

FramePacer::FramePacer(QWidget* window) : QObject(window), m_window(window) {
    setObjectName(QStringLiteral("FramePacer"));
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        // Qt keeps the request it sent as pending and sends no other until this one arrives.
        QCoreApplication::postEvent(m_window, new QEvent(QEvent::UpdateRequest),
                                    Qt::LowEventPriority);
    });
    window->installEventFilter(this);
}

FramePacer* FramePacer::Of(QWidget* widget) {
    QWidget* window = widget->window();
    if (auto* pacer = window->findChild<FramePacer*>(QStringLiteral("FramePacer"),
                                                     Qt::FindDirectChildrenOnly)) {
        return pacer;
    }
    return new FramePacer(window);
}

std::int64_t FramePacer::Now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool FramePacer::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_window || event->type() != QEvent::UpdateRequest) {
        return false;
    }
    const std::int64_t now = Now();
    const std::int64_t frame = now / kFrameNs;
    if (frame != m_lastFrame) {
        m_lastFrame = frame;
        m_timer.stop();
        emit FrameDue();
        return false; // the window repaints now
    }
    if (!m_timer.isActive()) {
        const std::int64_t wait = (frame + 1) * kFrameNs - now;
        m_timer.start(static_cast<int>((wait + 999'999) / 1'000'000));
    }
    return true;
}
