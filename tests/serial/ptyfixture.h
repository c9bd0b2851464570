// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Test support for the serial tests: the pseudo-terminal standing in for a device
// (tests/support/pty.h), a port folder for $PLOTMIRA_PORTS, and a "main thread" loop that the
// component's invoker hands calls to.

#include "serial/serialcomm.h"
#include "tests/support/pty.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// A temporary $PLOTMIRA_PORTS folder; link(n, path) creates COMn there.
class PortFolder {
public:
    PortFolder();
    ~PortFolder();
    PortFolder(const PortFolder&) = delete;
    PortFolder& operator=(const PortFolder&) = delete;

    void link(unsigned n, const std::string& target);
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
    std::string m_oldValue;
    bool m_hadOldValue = false;
};

// The "main thread" of a test: calls handed over by the invoker run when the test thread calls
// runUntil. Closing (or destroying the last owner) releases waiting workers without running
// their calls, as the invoker's contract allows.
class MainLoop : public std::enable_shared_from_this<MainLoop> {
public:
    static std::shared_ptr<MainLoop> create() { return std::shared_ptr<MainLoop>(new MainLoop); }
    ~MainLoop();

    TMainThreadInvoker invoker();
    // Runs handed-over calls until pred() holds or the timeout passes; returns pred().
    bool runUntil(const std::function<bool()>& pred,
                  std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Runs handed-over calls for the given time.
    void runFor(std::chrono::milliseconds time);
    void close();
    std::thread::id threadId() const { return m_threadId; }

private:
    MainLoop() : m_threadId(std::this_thread::get_id()) {}
    struct Task {
        std::function<void()> call;
        bool done = false;
    };
    void invoke(std::function<void()> call);
    bool runOne(std::chrono::steady_clock::time_point deadline);

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<std::shared_ptr<Task>> m_tasks;
    bool m_closed = false;
    std::thread::id m_threadId;
};
