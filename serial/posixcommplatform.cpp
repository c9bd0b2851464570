// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/commplatform.h"

#include "serial/deviceaccess.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr std::uint32_t kRxOver = 0x0001, kOverrun = 0x0002, kRxParity = 0x0004, kFrame = 0x0008,
                        kBreak = 0x0010;

// A holder that lets go at once is not another user of the port (a device looking at its queue,
// a process between fork and exec): look again before refusing.
bool heldByOtherProcess(dev_t rdev) {
    for (int look = 0; look < 3; ++look) {
        if (look > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!DeviceHeldByOtherProcess(rdev)) {
            return false;
        }
    }
    return true;
}

} // namespace

int TPosixCommPlatform::Open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return kNoHandle;
    }
    // Raw before anything else: a fresh adapter's line is cooked, and a device that sends from
    // the moment it is opened would meanwhile hear its bytes echoed back and lose lines to the
    // canonical line editing. The lock and the process scan below take tens of milliseconds.
    termios saved{};
    m_haveSavedTermios = ::tcgetattr(fd, &saved) == 0;
    if (m_haveSavedTermios) {
        std::memcpy(m_savedTermios, &saved, sizeof saved);
        termios raw = saved;
        raw.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
        raw.c_oflag &= ~OPOST;
        raw.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
        raw.c_cc[VMIN] = 0;
        raw.c_cc[VTIME] = 0;
        ::tcsetattr(fd, TCSANOW, &raw);
    }
    // A refused open leaves the line as it found it: it may be another program's terminal.
    const auto refuse = [&](int err) {
        restoreSavedTermios(fd);
        ::close(fd);
        errno = err;
        return kNoHandle;
    };
    // flock binds root as well, unlike TIOCEXCL: a port held by another open fails here.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || !::isatty(fd)) {
        return refuse(errno == 0 ? ENOTTY : errno);
    }
    // flock binds only programs that use it: a terminal program or a second reader of this
    // user that holds the device would otherwise split the data with us.
    struct stat st {};
    if (::fstat(fd, &st) == 0 && heldByOtherProcess(st.st_rdev)) {
        return refuse(EBUSY);
    }
    // Later openers other than root get EBUSY.
    ::ioctl(fd, TIOCEXCL);
    serial_icounter_struct counters{};
    m_haveCounters = ::ioctl(fd, TIOCGICOUNT, &counters) == 0;
    if (m_haveCounters) {
        m_lastCounters = {counters.frame, counters.parity, counters.overrun, counters.brk,
                          counters.buf_overrun};
    }
    return fd;
}

void TPosixCommPlatform::restoreSavedTermios(int handle) {
    if (m_haveSavedTermios) {
        termios saved{};
        std::memcpy(&saved, m_savedTermios, sizeof saved);
        // Fails harmlessly when the device is already gone.
        ::tcsetattr(handle, TCSANOW, &saved);
        m_haveSavedTermios = false;
    }
}

void TPosixCommPlatform::Close(int handle) {
    if (handle < 0) {
        return;
    }
    restoreSavedTermios(handle);
    m_haveCounters = false;
    // The flag outlives this open while the device stays (a pty whose master is open): clear it
    // so that the next program may open the device.
    ::ioctl(handle, TIOCNXCL);
    ::close(handle);
}

void TPosixCommPlatform::Configure(int handle, const TLineSettings& settings) {
    termios t{};
    if (::tcgetattr(handle, &t) != 0) {
        return;
    }
    // Raw mode whatever else the driver refuses: a cooked line would turn CR into LF and echo
    // the device's bytes back to it.
    const tcflag_t previousSize = t.c_cflag & CSIZE;
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~CSIZE;
    switch (settings.ByteSize) {
    case 5:
        t.c_cflag |= CS5;
        break;
    case 6:
        t.c_cflag |= CS6;
        break;
    case 7:
        t.c_cflag |= CS7;
        break;
    case 8:
        t.c_cflag |= CS8;
        break;
    default:
        t.c_cflag |= previousSize; // no such character size here: the previous one stays
        break;
    }
    t.c_cflag &= ~(PARENB | PARODD | CMSPAR);
    t.c_iflag &= ~INPCK;
    switch (settings.Parity) {
    case 1: // odd
        t.c_cflag |= PARENB | PARODD;
        break;
    case 2: // even
        t.c_cflag |= PARENB;
        break;
    case 3: // mark
        t.c_cflag |= PARENB | PARODD | CMSPAR;
        break;
    case 4: // space
        t.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    if (settings.Parity != 0) {
        t.c_iflag |= INPCK;
    }
    if (settings.StopBits == 0) {
        t.c_cflag &= ~CSTOPB;
    } else {
        t.c_cflag |= CSTOPB; // one and a half stop bits exist only with 5 data bits: two
    }
    t.c_cflag &= ~CRTSCTS;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (settings.StreamProtocol == 1) {
        t.c_iflag |= IXON | IXOFF;
        t.c_cc[VSTART] = 17;
        t.c_cc[VSTOP] = 19;
    } else if (settings.StreamProtocol == 2) {
        t.c_cflag |= CRTSCTS;
    }
    // Reads never wait: the component reads what the input count says.
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (::tcsetattr(handle, TCSANOW, &t) != 0) {
        return;
    }
    // Any rate, also those outside the classic table (14400, 56000, 128000, 256000); a refusal
    // leaves the previous rate, as on the original platform.
    SetAnyBaudRate(handle, settings.BaudRate);
    // DTR and RTS asserted; a pseudo-terminal has no modem lines (ENOTTY), which is fine.
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (settings.StreamProtocol == 2) {
        lines = TIOCM_DTR; // RTS belongs to the handshake
    }
    ::ioctl(handle, TIOCMBIS, &lines);
}

bool TPosixCommPlatform::ClearCommError(int handle, std::uint32_t& errors, TComStat* stat) {
    errors = 0;
    int inQueue = 0;
    if (::ioctl(handle, FIONREAD, &inQueue) != 0) {
        return false;
    }
    serial_icounter_struct c{};
    if (m_haveCounters && ::ioctl(handle, TIOCGICOUNT, &c) == 0) {
        if (c.frame != m_lastCounters.frame) {
            errors |= kFrame;
        }
        if (c.parity != m_lastCounters.parity) {
            errors |= kRxParity;
        }
        if (c.overrun != m_lastCounters.overrun) {
            errors |= kOverrun;
        }
        if (c.brk != m_lastCounters.brk) {
            errors |= kBreak;
        }
        if (c.buf_overrun != m_lastCounters.bufOverrun) {
            errors |= kRxOver;
        }
        m_lastCounters = {c.frame, c.parity, c.overrun, c.brk, c.buf_overrun};
    }
    if (stat) {
        int outQueue = 0;
        if (::ioctl(handle, TIOCOUTQ, &outQueue) != 0) {
            outQueue = 0;
        }
        stat->Flags = 0;
        stat->cbInQue = static_cast<std::uint32_t>(inQueue);
        stat->cbOutQue = static_cast<std::uint32_t>(outQueue);
    }
    return true;
}

long TPosixCommPlatform::InputCount(int handle) {
    int inQueue = 0;
    if (::ioctl(handle, FIONREAD, &inQueue) != 0) {
        return -1;
    }
    return inQueue;
}

long TPosixCommPlatform::Read(int handle, void* buffer, std::size_t count) {
    for (;;) {
        const ssize_t n = ::read(handle, buffer, count);
        if (n >= 0) {
            return static_cast<long>(n);
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return 0;
        }
        return -1;
    }
}

void TPosixCommPlatform::Purge(int handle) {
    ::tcflush(handle, TCIOFLUSH);
}

TWaitResult TPosixCommPlatform::Wait(int handle, bool watchInput, int wakeFd, int timeoutMs) {
    pollfd fds[2] = {{handle, static_cast<short>(watchInput ? POLLIN : 0), 0}, {wakeFd, POLLIN, 0}};
    for (;;) {
        const int r = ::poll(fds, 2, timeoutMs);
        if (r < 0) {
            if (errno == EINTR) {
                continue;
            }
            return TWaitResult::Failure;
        }
        if (r == 0) {
            return TWaitResult::Timeout;
        }
        if (fds[1].revents & POLLIN) {
            return TWaitResult::Woken;
        }
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            return TWaitResult::Failure;
        }
        return TWaitResult::Input;
    }
}
