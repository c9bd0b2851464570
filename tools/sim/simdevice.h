// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The pseudo-terminal of plotmira-sim and its link $PLOTMIRA_PORTS/COMn.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

class SimDevice {
public:
    // Creates the pty (slave in raw mode) and the link dir/COM<com>. A stale link is replaced.
    // Throws std::runtime_error on failure. The device holds only the master: a reader refuses a
    // port that another process holds open, and while the master stays open the slave keeps its
    // settings and the bytes written between readers.
    SimDevice(const std::string& dir, unsigned com, const std::atomic<bool>& stop);
    // Removes the link and closes the pty.
    ~SimDevice();
    SimDevice(const SimDevice&) = delete;
    SimDevice& operator=(const SimDevice&) = delete;

    const std::string& linkPath() const { return m_link; }
    const std::string& slavePath() const { return m_slavePath; }

    // Writes all bytes, waiting while the reader falls behind (counted as backlog). False when
    // stopped or the pty failed.
    bool write(std::string_view bytes);
    // True while some reader has the port open.
    bool readerPresent() const;
    // Waits until some reader has opened the port. False when stopped.
    bool waitForReader();
    // Waits until every byte written has been read (where a reader's exclusive use hides the
    // queue from this user, at the latest until that reader has closed the port). False when
    // stopped.
    bool drain();
    // The unplugged adapter: closes the pty at once; unread bytes are lost.
    void hangUp();

    std::uint64_t bytesWritten() const { return m_bytes; }
    std::chrono::nanoseconds backlog() const { return m_backlog; }

private:
    // Bytes not yet read on the slave side, or -1 when that cannot be seen.
    long queuedForReader() const;

    int m_master = -1;
    std::string m_slavePath;
    std::string m_link;
    const std::atomic<bool>& m_stop;
    std::uint64_t m_bytes = 0;
    std::chrono::nanoseconds m_backlog{0};
};
