// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The serial component's hand-off to the main thread: a call made on a worker thread is queued
// into the Qt event loop of the thread that created the MainThreadInvoker and the worker blocks
// until it has run.
//
// Shutdown never deadlocks: destroying the MainThreadInvoker (on the main thread) drops every
// call that has not run yet and releases the workers waiting for them; later calls return at
// once without running. The function returned by Invoker() holds only shared state, so it stays
// safe to call after the MainThreadInvoker is gone.

#include <functional>
#include <memory>

class QObject;

class MainThreadInvoker {
public:
    MainThreadInvoker();
    ~MainThreadInvoker();
    MainThreadInvoker(const MainThreadInvoker&) = delete;
    MainThreadInvoker& operator=(const MainThreadInvoker&) = delete;

    // invoker(call): runs call on the main thread and returns when it has run, or without
    // running it once this object is destroyed. Must not be called from the main thread.
    std::function<void(std::function<void()>)> Invoker() const;

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
    std::unique_ptr<QObject> m_target;
};
