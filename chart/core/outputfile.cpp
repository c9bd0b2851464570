// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/core/outputfile.h"

#include "base/exception.h"
#include "chart/core/systemerror.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Large files go out in large writes straight from memory.
constexpr std::size_t kWriteChunk = std::size_t{8} << 20;

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

[[noreturn]] void raiseCreateError(const std::string& fileName, const std::string& reason) {
    throw EFCreateError("Datei \"" + fullFileName(fileName) + "\" kann nicht erstellt werden. " +
                        reason);
}

} // namespace

int OpenOutputFile(const std::string& fileName) {
    const int fd =
        ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) {
        const int err = errno;
        struct stat st {};
        if (err == ENXIO && ::stat(fileName.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) {
            // The only open that would have waited: nobody reads the FIFO.
            raiseCreateError(fileName, "Am anderen Ende der Pipe befindet sich kein Prozess");
        }
        raiseCreateError(fileName, systemErrorText(err));
    }
    // The writes may wait as writes to any file do (a full pipe drains while its reader reads).
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int err = errno;
        ::close(fd);
        raiseCreateError(fileName, systemErrorText(err));
    }
    return fd;
}

int WriteOutputFile(int fd, const void* data, std::size_t size) {
    PipeSignalBlock block;
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, std::min(size, kWriteChunk));
        if (written < 0) {
            const int err = errno;
            if (err == EINTR) {
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
