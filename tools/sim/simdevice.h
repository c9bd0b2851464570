#pragma once
// The pseudo-terminal of plotmira-sim and its link $PLOTMIRA_PORTS/COMn.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

class SimDevice {
public:
    // Creates the pty (slave in raw mode, kept open by the device itself so that it does not
    // hang up between readers) and the link dir/COM<com>. A stale link is replaced. Throws
    // std::runtime_error on failure.
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
    // Waits until some reader has opened the port. False when stopped.
    bool waitForReader();
    // Waits until the reader has taken every byte written. False when stopped.
    bool drain();
    // The unplugged adapter: closes the pty at once; unread bytes are lost.
    void hangUp();

    std::uint64_t bytesWritten() const { return m_bytes; }
    std::chrono::nanoseconds backlog() const { return m_backlog; }

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
    std::string m_link;
    const std::atomic<bool>& m_stop;
    std::uint64_t m_bytes = 0;
    std::chrono::nanoseconds m_backlog{0};
};
