#include "tools/sim/simdevice.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

std::runtime_error systemError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

void makeRaw(int fd) {
    termios t{};
    if (::tcgetattr(fd, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(fd, TCSANOW, &t);
    }
}

} // namespace

SimDevice::SimDevice(const std::string& dir, unsigned com, const std::atomic<bool>& stop)
    : m_stop(stop) {
    char name[PATH_MAX] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        throw systemError("openpty");
    }
    m_slavePath = name;
    // Raw, so that `cat` on the link shows the bytes as sent (no CR translation, no echo).
    makeRaw(m_slave);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);

    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        throw systemError("cannot create " + dir);
    }
    m_link = dir + "/COM" + std::to_string(com);
    struct stat st {};
    if (::lstat(m_link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            throw std::runtime_error(m_link + " exists and is not a link");
        }
        ::unlink(m_link.c_str()); // left behind by a device that was killed hard
    }
    if (::symlink(m_slavePath.c_str(), m_link.c_str()) != 0) {
        const auto error = systemError("cannot create " + m_link);
        m_link.clear();
        throw error;
    }
}

SimDevice::~SimDevice() {
    if (!m_link.empty()) {
        ::unlink(m_link.c_str());
    }
    hangUp();
}

bool SimDevice::write(std::string_view bytes) {
    while (!bytes.empty()) {
        if (m_stop.load() || m_master < 0) {
            return false;
        }
        const ssize_t n = ::write(m_master, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            m_bytes += static_cast<std::uint64_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            return false;
        }
        // The pty is full: the reader fell behind.
        const auto start = std::chrono::steady_clock::now();
        pollfd p{m_master, POLLOUT, 0};
        ::poll(&p, 1, 100);
        m_backlog += std::chrono::steady_clock::now() - start;
    }
    return true;
}

bool SimDevice::waitForReader() {
    // The master reports POLLHUP while no slave is open, so the device's own slave is closed
    // while it waits and opened again once a reader is there.
    ::close(m_slave);
    m_slave = -1;
    for (;;) {
        if (m_stop.load()) {
            return false;
        }
        pollfd p{m_master, POLLOUT, 0};
        if (::poll(&p, 1, 0) >= 0 && !(p.revents & POLLHUP)) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    m_slave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    return true;
}

bool SimDevice::drain() {
    // Written bytes reach the slave's queue a moment later, so the queue must be seen empty
    // twice in a row.
    int emptyChecks = 0;
    while (!m_stop.load()) {
        int queued = 0;
        if (m_slave < 0 || ::ioctl(m_slave, FIONREAD, &queued) != 0) {
            return true;
        }
        emptyChecks = queued == 0 ? emptyChecks + 1 : 0;
        if (emptyChecks >= 3) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void SimDevice::hangUp() {
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
    if (m_slave >= 0) {
        ::close(m_slave);
        m_slave = -1;
    }
}
