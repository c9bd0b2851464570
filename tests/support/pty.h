// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A pseudo-terminal standing in for a serial device, for the tests and the benchmarks: the
// device side writes on the master, the program under test opens the slave by its path.
//
// Pty opens a pair, sets the slave's line (raw, or the cooked mode of a fresh terminal) and closes
// the slave again: the serial component refuses a device that another process holds open, and the
// line's settings and the bytes written meanwhile stay while the master is open. The master is
// close-on-exec (a copy in a started program would keep the device alive after a hang-up) and,
// unless asked otherwise, non-blocking.
//
// The free functions work on any descriptor (a master handed to a thread, a slave a test opened).
// Plain POSIX, no test framework: the benchmarks use this header too.

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstddef>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <string>
#include <string_view>
#include <termios.h>
#include <unistd.h>

namespace ptyio {

// Puts the line of the terminal fd into raw mode (cfmakeraw: no echo, no line editing, 8 bits,
// a read returns once a byte is there). False when fd is not a terminal.
inline bool makeRaw(int fd) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        return false;
    }
    ::cfmakeraw(&t);
    return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

inline bool setNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

inline bool setCloseOnExec(int fd) {
    return ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

// What writeAll does when a write takes nothing.
struct WriteWait {
    // Called while the pty is full (EAGAIN, EINTR). Unset: wait up to 100 ms for room.
    std::function<void()> pause;
    // A master whose slave nobody has open refuses writes with EIO. True: wait (calling pause)
    // until a reader opens it; false: that ends the write with false (the device was unplugged
    // on the other side, or the reader closed the port).
    bool untilOpened = false;
    // Give up with false when no byte could be written for this long.
    std::chrono::steady_clock::duration stall = std::chrono::steady_clock::duration::max();
};

// Writes all of bytes to the non-blocking fd, waiting while the pty is full. False when fd is
// closed (-1), a write fails, or the writes stalled (see WriteWait).
inline bool writeAll(int fd, std::string_view bytes, const WriteWait& wait = {}) {
    auto lastProgress = std::chrono::steady_clock::now();
    while (!bytes.empty()) {
        if (fd < 0) {
            return false;
        }
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            lastProgress = std::chrono::steady_clock::now();
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR && !(errno == EIO && wait.untilOpened)) {
            return false;
        }
        if (std::chrono::steady_clock::now() - lastProgress > wait.stall) {
            return false;
        }
        if (wait.pause) {
            wait.pause();
        } else {
            // Without a reader the master reports POLLHUP at once: pause instead of spinning.
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, 100) > 0 && (p.revents & POLLHUP)) {
                ::poll(nullptr, 0, 1);
            }
        }
    }
    return true;
}

// Reads what the non-blocking fd holds now, without waiting; empty when nothing is there.
inline std::string readAvailable(int fd) {
    std::string data;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) {
        data.append(buffer, static_cast<std::size_t>(n));
    }
    return data;
}

} // namespace ptyio

class Pty {
public:
    enum class Line { Raw, Cooked };
    enum class Master { NonBlocking, Blocking };

    // Throws std::runtime_error when no pseudo-terminal can be had.
    explicit Pty(Line line = Line::Raw, Master mode = Master::NonBlocking) {
        char name[PATH_MAX] = {};
        int slave = -1;
        if (::openpty(&m_master, &slave, name, nullptr, nullptr) != 0) {
            throw std::runtime_error("openpty failed");
        }
        m_slavePath = name;
        if (line == Line::Raw) {
            ptyio::makeRaw(slave);
        }
        ::close(slave);
        if (mode == Master::NonBlocking) {
            ptyio::setNonBlocking(m_master);
        }
        ptyio::setCloseOnExec(m_master);
    }
    ~Pty() { hangUp(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& slavePath() const { return m_slavePath; }
    // -1 once hung up.
    int master() const { return m_master; }
    // See ptyio::writeAll. False once hung up.
    bool write(std::string_view bytes, const ptyio::WriteWait& wait = {}) const {
        return ptyio::writeAll(m_master, bytes, wait);
    }
    std::string readAvailable() const { return ptyio::readAvailable(m_master); }
    // Unplugs the device: closes the master; the slave's reader sees a hang-up.
    void hangUp() {
        if (m_master >= 0) {
            ::close(m_master);
            m_master = -1;
        }
    }

private:
    int m_master = -1;
    std::string m_slavePath;
};
