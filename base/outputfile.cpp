// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/outputfile.h"

#include "base/systemerror.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Large files go out in large writes straight from memory.
constexpr std::size_t kWriteChunk = std::size_t{8} << 20;
// Room left in a file name for the temporary name's dot and suffix (names hold 255 bytes).
constexpr std::size_t kLongestTemporaryStem = 200;

// Holds SIGPIPE back on this thread while it writes: a write to a pipe without a reader then
// fails with EPIPE. The signal such a write raised is taken back, one that was pending before
// is left alone.
class PipeSignalBlock {
public:
    PipeSignalBlock() {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &m_pipe, &m_old);
        sigset_t pending;
        m_wasPending = sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;
    }
    ~PipeSignalBlock() { pthread_sigmask(SIG_SETMASK, &m_old, nullptr); }
    PipeSignalBlock(const PipeSignalBlock&) = delete;
    PipeSignalBlock& operator=(const PipeSignalBlock&) = delete;

    void takeBackRaisedSignal() {
        if (m_wasPending) {
            return;
        }
        const timespec now{};
        while (sigtimedwait(&m_pipe, nullptr, &now) < 0 && errno == EINTR) {
        }
    }

private:
    sigset_t m_pipe;
    sigset_t m_old;
    bool m_wasPending = false;
};

// Names that stand for an already open descriptor: reopening one through /proc reaches whatever
// the descriptor is (a pipe, a terminal, a file the shell truncated), and renaming over its
// link would not reach it.
bool isDescriptorName(const std::string& name) {
    return name == "/dev/stdout" || name == "/dev/stderr" || name.rfind("/dev/fd/", 0) == 0 ||
           name.rfind("/proc/", 0) == 0;
}

bool isSymbolicLink(const std::string& name) {
    struct stat st {};
    return ::lstat(name.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// The file a name finally reaches, so that a link to it stays a link.
std::string linkTarget(const std::string& name) {
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(name.c_str(), nullptr),
                                                           &std::free);
    return real ? std::string(real.get()) : name;
}

// The writes through a descriptor opened without waiting may wait as writes to any file do (a
// full pipe drains while its reader reads).
int keepInPlace(int fd, const std::string& fileName) {
    const int fileFlags = ::fcntl(fd, F_GETFL);
    if (fileFlags < 0 || ::fcntl(fd, F_SETFL, fileFlags & ~O_NONBLOCK) != 0) {
        const int err = errno;
        ::close(fd);
        raiseCreateError(fileName, err);
    }
    return fd;
}

// Opens the target itself for writing, the way a plain save would, without waiting for a FIFO's
// reader. Raises the create error.
int openInPlace(const std::string& fileName, int flags) {
    const int fd = ::open(fileName.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK | flags, 0666);
    if (fd < 0) {
        const int err = errno;
        struct stat st {};
        if (err == ENXIO && ::stat(fileName.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) {
            raiseCreateError(fileName, EPIPE); // nobody reads the FIFO
        }
        raiseCreateError(fileName, err);
    }
    return keepInPlace(fd, fileName);
}

std::string temporarySuffix() {
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t x =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        (static_cast<std::uint64_t>(::getpid()) << 40) ^
        (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
    static const char kAlphabet[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string suffix(6, 'x');
    for (char& c : suffix) {
        c = kAlphabet[x % 62];
        x /= 62;
        x ^= x << 13; // keep mixing: six letters use few of the bits
    }
    return suffix;
}

struct Temporary {
    int fd = -1;
    std::string name;
    int err = 0;
};

// Creates ".<name>.XXXXXX" beside target, with the mode (and owner) of the file it will replace
// or, for a new file, 0666 less the umask.
Temporary createTemporary(const std::string& target, const struct stat* replaced) {
    const std::size_t slash = target.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string stem =
        target.substr(slash == std::string::npos ? 0 : slash + 1).substr(0, kLongestTemporaryStem);
    const mode_t mode = replaced != nullptr ? (replaced->st_mode & 0777) : 0666;
    Temporary t;
    for (int attempt = 0; attempt < 100; ++attempt) {
        t.name = folder + "." + stem + "." + temporarySuffix();
        t.fd = ::open(t.name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (t.fd >= 0 || errno != EEXIST) {
            break;
        }
    }
    if (t.fd < 0) {
        t.err = errno;
        t.name.clear();
        return t;
    }
    if (replaced != nullptr) {
        // The umask narrowed the mode; the replaced file's mode is what its owner chose.
        [[maybe_unused]] const int chmodResult = ::fchmod(t.fd, replaced->st_mode & 0777);
        if (replaced->st_uid != ::geteuid() || replaced->st_gid != ::getegid()) {
            // Only allowed to the owner's group or to root; otherwise the file becomes ours.
            [[maybe_unused]] const int chownResult =
                ::fchown(t.fd, replaced->st_uid, replaced->st_gid);
        }
    }
    return t;
}

} // namespace

OutputFile::OutputFile(const std::string& fileName) {
    if (!isDescriptorName(fileName)) {
        // Opening the target without truncating checks that it may be written, as a plain save
        // would, and tells what it is, without waiting for a FIFO's reader or changing a thing.
        const int fd = ::open(fileName.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd >= 0) {
            struct stat st {};
            if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
                // A FIFO with a reader, a device: this open is the one to write through (closing
                // it would show a FIFO's reader the end of its input).
                m_fd = keepInPlace(fd, fileName);
                return;
            }
            ::close(fd);
            const std::string target = isSymbolicLink(fileName) ? linkTarget(fileName) : fileName;
            Temporary t = createTemporary(target, &st);
            if (t.fd >= 0) {
                m_fd = t.fd;
                m_temporary = std::move(t.name);
                m_target = target;
                m_replaces = true;
                m_inPlace = false;
                return;
            }
            // A folder that takes no new names may still hold a writable file: write it in
            // place as before. Any other failure (no room for the new file) must not cost the
            // old one.
            if (t.err != EACCES && t.err != EPERM) {
                raiseCreateError(fileName, t.err);
            }
        } else if (errno == ENOENT && !isSymbolicLink(fileName)) {
            Temporary t = createTemporary(fileName, nullptr);
            if (t.fd >= 0) {
                m_fd = t.fd;
                m_temporary = std::move(t.name);
                m_target = fileName;
                m_inPlace = false;
                return;
            }
            // The plain open below gives the error the target itself meets.
        }
    }
    m_fd = openInPlace(fileName, O_CREAT | O_TRUNC);
}

OutputFile::~OutputFile() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
    }
}

namespace {
bool (*g_abandon)() = nullptr;
} // namespace

void OutputFile::SetAbandonCheck(bool (*abandon)()) {
    g_abandon = abandon;
}

int OutputFile::write(const void* data, std::size_t size) {
    if (m_fd < 0) {
        return EBADF;
    }
    PipeSignalBlock block;
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        // A signal during a write that made progress ends it short instead of with EINTR.
        if (g_abandon != nullptr && g_abandon()) {
            return EINTR;
        }
        const ssize_t written = ::write(m_fd, bytes, std::min(size, kWriteChunk));
        if (written < 0) {
            const int err = errno;
            if (err == EINTR && (g_abandon == nullptr || !g_abandon())) {
                continue;
            }
            if (err == EPIPE) {
                block.takeBackRaisedSignal();
            }
            return err;
        }
        if (written == 0) {
            return ENOSPC; // no progress: the medium is full
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

int OutputFile::commit() {
    if (m_fd < 0) {
        return EBADF;
    }
    int err = 0;
    // A file that replaces another reaches the disk before the rename, so that a crash leaves
    // the old file or the new one, never an empty one. A new file has nothing to lose.
    if (m_replaces && ::fdatasync(m_fd) != 0 && errno != EINVAL) {
        err = errno;
    }
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 && err == 0 && errno != EINTR) {
        err = errno;
    }
    if (m_temporary.empty()) {
        return err;
    }
    if (err == 0 && ::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        err = errno;
    }
    if (err != 0) {
        ::unlink(m_temporary.c_str());
    }
    m_temporary.clear();
    return err;
}
