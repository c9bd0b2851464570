// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/core/sessionfile.h"

#include "base/exception.h"
#include "base/outputfile.h"
#include "base/systemerror.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Closes the descriptor on every path that leaves without an explicit close.
class FileHandle {
public:
    explicit FileHandle(int fd) : m_fd(fd) {}
    ~FileHandle() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int get() const { return m_fd; }
    // Closes now and returns the errno of a failed close, 0 on success.
    int close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int m_fd;
};

} // namespace

void WriteSessionFile(const std::string& fileName, std::span<const ChartItem> items) {
    OutputFile file(fileName);
    if (const int err = file.write(items.data(), items.size_bytes())) {
        raiseInOutError(err);
    }
    if (const int err = file.commit()) {
        raiseInOutError(err);
    }
}

RecordBuffer ReadSessionFile(const std::string& fileName) {
    // Non-blocking so that a FIFO or device name cannot hang the open; it does not affect
    // reads of regular files.
    FileHandle file(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0) {
        raiseOpenError(fileName, errno);
    }
    struct stat st {};
    if (::fstat(file.get(), &st) != 0) {
        raiseOpenError(fileName, errno);
    }
    if (S_ISDIR(st.st_mode)) {
        raiseOpenError(fileName, EISDIR);
    }
    const std::size_t records =
        S_ISREG(st.st_mode) ? static_cast<std::size_t>(st.st_size) / sizeof(ChartItem) : 0;
    RecordBuffer buffer(records);
    auto* bytes = reinterpret_cast<std::uint8_t*>(buffer.data());
    const std::size_t wanted = records * sizeof(ChartItem);
    std::size_t got = 0;
    while (got < wanted) {
        const ssize_t n = ::read(file.get(), bytes + got, wanted - got);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            raiseInOutError(errno);
        }
        if (n == 0) {
            break; // the file shrank since fstat
        }
        got += static_cast<std::size_t>(n);
    }
    buffer.truncate(got / sizeof(ChartItem));
    file.close(); // read-only: a failing close loses nothing
    return buffer;
}
