// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The operating-system calls of the serial component, behind one small interface so that tests
// can substitute what a pseudo-terminal cannot produce (line errors). TPosixCommPlatform is the
// real one. Handles are file descriptors; kNoHandle (-1) is the invalid handle.

#include <cstddef>
#include <cstdint>
#include <string>

// The driver's status: line-error free part of the Windows COMSTAT record.
struct TComStat {
    std::uint32_t Flags = 0;    // COMSTAT flag bits (hold states); always 0 on Linux
    std::uint32_t cbInQue = 0;  // bytes waiting in the input queue
    std::uint32_t cbOutQue = 0; // bytes waiting in the output queue
};

// Line settings derived from the component's properties.
struct TLineSettings {
    std::uint32_t BaudRate = 19200;
    std::uint8_t ByteSize = 8;       // 4..8; sizes below 5 cannot be set on Linux and are refused
    std::uint8_t Parity = 0;         // TParity ordinal
    std::uint8_t StopBits = 0;       // TStopBits ordinal
    std::uint8_t StreamProtocol = 2; // TStreamProtocol ordinal
    char EventChar = 0;
};

// Result of waiting for the device.
enum class TWaitResult {
    Input,   // bytes are queued (or, with watchInput false, the timeout passed)
    Woken,   // the wake descriptor became readable: stop or re-check
    Timeout, // the timeout passed without input
    Failure  // the device hung up or failed (adapter removed, pty master closed)
};

class TCommPlatform {
public:
    static constexpr int kNoHandle = -1;

    virtual ~TCommPlatform() = default;

    // Opens the device exclusively for reading and writing, non-blocking, without making it the
    // controlling terminal, its line in raw mode (no echo, no line editing) from the moment it
    // is open, before any other check; a refused open restores the line as it was. Refused with
    // EBUSY (or EWOULDBLOCK) while another open holds it or another process of this user has it
    // open; once open, later openers other than root are refused. Returns the handle, or kNoHandle
    // with errno set.
    virtual int Open(const std::string& path) = 0;
    // Restores the line settings found at open, ends the exclusive use and closes the handle.
    virtual void Close(int handle) = 0;
    // Applies raw mode, line settings and modem lines (DTR, RTS asserted). Raw mode always
    // applies; a character size that cannot be set keeps the previous one, and any other refusal
    // of the driver leaves the previous settings in force. Nothing is reported.
    virtual void Configure(int handle, const TLineSettings& settings) = 0;
    // Returns and clears the line-error bits (CE_ values) since the last call and fills stat
    // when given. False with errno set when the device cannot be queried (then errors is 0).
    virtual bool ClearCommError(int handle, std::uint32_t& errors, TComStat* stat) = 0;
    // Bytes waiting in the input queue, or -1 with errno set. Clears nothing.
    virtual long InputCount(int handle) = 0;
    // Reads at most count bytes without blocking: the count read (0 when nothing is queued), or
    // -1 with errno set.
    virtual long Read(int handle, void* buffer, std::size_t count) = 0;
    // Discards everything queued in both directions.
    virtual void Purge(int handle) = 0;
    // Waits until input is queued (watchInput) or the device fails, or wakeFd becomes readable,
    // or timeoutMs (negative: none) passes. Hang-up is reported even when watchInput is false.
    virtual TWaitResult Wait(int handle, bool watchInput, int wakeFd, int timeoutMs) = 0;
};

// The Linux implementation: open + flock, termios (any baud rate through termios2), FIONREAD,
// TIOCOUTQ, TIOCGICOUNT, poll.
class TPosixCommPlatform : public TCommPlatform {
public:
    int Open(const std::string& path) override;
    void Close(int handle) override;
    void Configure(int handle, const TLineSettings& settings) override;
    bool ClearCommError(int handle, std::uint32_t& errors, TComStat* stat) override;
    long InputCount(int handle) override;
    long Read(int handle, void* buffer, std::size_t count) override;
    void Purge(int handle) override;
    TWaitResult Wait(int handle, bool watchInput, int wakeFd, int timeoutMs) override;

private:
    void restoreSavedTermios(int handle);

    struct Counters {
        int frame = 0, parity = 0, overrun = 0, brk = 0, bufOverrun = 0;
    };
    // One component opens one device at a time; these belong to that device.
    Counters m_lastCounters;
    bool m_haveCounters = false;
    bool m_haveSavedTermios = false;
    unsigned char m_savedTermios[128] = {}; // a struct termios, kept opaque for this header
};

// Sets any baud rate on an open terminal through termios2 / BOTHER. False with errno set when
// the driver refuses. Lives in its own source file because <asm/termbits.h> clashes with
// <termios.h>.
bool SetAnyBaudRate(int handle, std::uint32_t baudRate);
// The output baud rate in force on an open terminal, 0 when it cannot be read.
std::uint32_t GetBaudRate(int handle);
