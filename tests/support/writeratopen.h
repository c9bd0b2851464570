// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A device that starts sending the moment its port is opened, as a board does whose firmware
// streams from power-up: a thread on the master side of a pseudo-terminal waits for the slave to
// be opened, then writes its bytes as fast as the pty takes them, and counts every byte that
// comes back to it. A program that never sends must leave that count at 0; a line still in
// cooked mode at open echoes the device's bytes back.
//
// The thread runs at the lowest priority: a device does not take the processor from the program
// it feeds. On a loaded machine an equal thread could otherwise run while the program waits for
// the processor between open() and setting raw mode, a gap the program cannot close. Even so a
// busy machine (a parallel test run) can preempt the program inside that gap, and the device's
// bytes are then echoed through no fault of the program. A run that heard an echo is therefore
// tried again, up to kTries times in all: a program that sets raw mode late echoes on every try.
//
// Requires a non-blocking master whose slave has been opened and closed once, as a Pty
// (tests/support/pty.h) leaves it: the master then reports POLLHUP until the slave is opened again.

#include "tests/support/pty.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <ctime>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

class WriterAtOpen {
public:
    static constexpr int kTries = 3;

    WriterAtOpen(int master, std::string bytes)
        : m_master(master), m_bytes(std::move(bytes)), m_thread([this] { run(); }) {}
    ~WriterAtOpen() { Finish(); }
    WriterAtOpen(const WriterAtOpen&) = delete;
    WriterAtOpen& operator=(const WriterAtOpen&) = delete;

    // Stops the thread after it has taken what is still echoed; returns the bytes written.
    std::size_t Finish() {
        m_stop = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
        return m_written;
    }
    bool Opened() const { return m_opened; }
    std::size_t Echoed() const { return m_echoed; }

    // "1\r\n" ... "<count>\r\n": every sample tells where it belongs.
    static std::string NumberedLines(int count) {
        std::string text;
        for (int i = 1; i <= count; ++i) {
            text += std::to_string(i) + "\r\n";
        }
        return text;
    }

private:
    void run() {
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);
        // A look every 1 ms: far inside the tens of milliseconds a line stayed cooked while the
        // lock and the process scan ran first. Raw mode follows open() within microseconds;
        // a device that starts sending inside that gap cannot be told from one that sent just
        // before the open, which no open can prevent.
        const timespec pause{0, 1000000};
        for (;;) {
            if (m_stop) {
                return;
            }
            pollfd p{m_master, 0, 0};
            if (::poll(&p, 1, 0) >= 0 && (p.revents & POLLHUP) == 0) {
                break;
            }
            ::nanosleep(&pause, nullptr);
        }
        m_opened = true;
        std::size_t done = 0;
        while (done < m_bytes.size() && !m_stop) {
            const ssize_t n = ::write(m_master, m_bytes.data() + done, m_bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                break;
            }
            drainEcho();
            if (n <= 0) {
                pollfd p{m_master, POLLOUT | POLLIN, 0};
                ::poll(&p, 1, 5);
            }
        }
        m_written = done;
        while (!m_stop) {
            drainEcho();
            ::nanosleep(&pause, nullptr);
        }
        drainEcho();
    }

    void drainEcho() { m_echoed += ptyio::readAvailable(m_master).size(); }

    int m_master;
    std::string m_bytes;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_opened{false};
    std::atomic<std::size_t> m_echoed{0};
    std::size_t m_written = 0;
    std::thread m_thread;
};
