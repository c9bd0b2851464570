// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qtbridge/mainthreadinvoker.h"

#include <QObject>
#include <future>
#include <mutex>

struct MainThreadInvoker::Shared {
    std::mutex mutex;
    QObject* target = nullptr; // null once the invoker is gone
};

namespace {

// Fulfils the waiting worker's promise when the queued call is destroyed: after it ran, or when
// the event loop discarded it unrun (its target was destroyed).
struct Completion {
    std::promise<void> done;
    ~Completion() { done.set_value(); }
};

} // namespace

MainThreadInvoker::MainThreadInvoker()
    : m_shared(std::make_shared<Shared>()), m_target(std::make_unique<QObject>()) {
    m_shared->target = m_target.get();
}

MainThreadInvoker::~MainThreadInvoker() {
    {
        const std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->target = nullptr;
    }
    // Destroying the target removes its queued calls, which releases their workers.
    m_target.reset();
}

std::function<void(std::function<void()>)> MainThreadInvoker::Invoker() const {
    return [shared = m_shared](std::function<void()> call) {
        auto completion = std::make_shared<Completion>();
        std::future<void> finished = completion->done.get_future();
        {
            const std::lock_guard<std::mutex> lock(shared->mutex);
            if (shared->target == nullptr) {
                return;
            }
            QMetaObject::invokeMethod(
                shared->target,
                [completion = std::move(completion), call = std::move(call)] { call(); },
                Qt::QueuedConnection);
        }
        finished.wait();
    };
}
