// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// For tests that hand a FIFO to code that must never wait on it. Should the code under test
// still be blocked (in open, read or write) when the time limit passes, the watchdog opens the
// FIFO from the other side and drains it until it stays quiet, so the blocked call returns and
// the test fails on Fired() instead of hanging.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>

class FifoWatchdog {
public:
    explicit FifoWatchdog(std::string path,
                          std::chrono::milliseconds limit = std::chrono::seconds(10))
        : m_path(std::move(path)), m_thread([this, limit] { watch(limit); }) {}
    ~FifoWatchdog() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_cv.notify_all();
        m_thread.join();
    }
    FifoWatchdog(const FifoWatchdog&) = delete;
    FifoWatchdog& operator=(const FifoWatchdog&) = delete;

    // Whether the time ran out and the FIFO had to be opened from the other side.
    bool Fired() const { return m_fired.load(); }

private:
    void watch(std::chrono::milliseconds limit) {
        {
            std::unique_lock lock(m_mutex);
            if (m_cv.wait_for(lock, limit, [this] { return m_stop; })) {
                return;
            }
        }
        m_fired = true;
        // Read and write at once: releases a blocked writer's open and a blocked reader's open.
        const int fd = ::open(m_path.c_str(), O_RDWR | O_NONBLOCK);
        if (fd < 0) {
            return;
        }
        char buffer[65536];
        pollfd p{fd, POLLIN, 0};
        while (::poll(&p, 1, 500) > 0) {
            if (::read(fd, buffer, sizeof buffer) <= 0) {
                break;
            }
        }
        ::close(fd); // a reader still waiting for data now sees the end of the file
    }

    std::string m_path;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_stop = false;
    std::atomic<bool> m_fired{false};
    std::thread m_thread;
};
