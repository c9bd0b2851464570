// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The serial port component: TCustomComm (workers, status, time-outs, queue sizes, trace mask,
// line settings, purge, comm-error report), TCustomSerialComm (device naming from ComPortNo) and
// TSerialComm (the class the window owns). Plain C++, no Qt.
//
// Threads. While the port is open two workers run: the comm-event worker waits (poll) for bytes
// or a hang-up of the device and posts an event to the message worker, which hands each event to
// the main thread through the main-thread invoker and blocks until it has run. On the main
// thread ProcessCommEvent reads what is queued and calls OnAfterReceive once per block. All
// properties, Active and PurgeAll belong to the main thread.
//
// Guarantees to the handlers (with an invoker set and UseMainThread true):
// - OnAfterReceive runs on the main thread, one block at a time, in arrival order, never with
//   Received 0 and never with more than the receive buffer (max(BufferInSize, 8192) bytes).
// - A handler may set Active to false (or change ComPortNo); it gets no further call for that
//   event and none after, and closing never blocks inside the handler.
// - An exception derived from std::exception escaping a handler called by ProcessCommEvent goes
//   to OnFatalError (ErrorCode 1, Detail errno, ErrorMsg its text) and then, unless the handler
//   clears RaiseException, to the show-exception hook. The port stays open.
// - An unplugged device (hang-up) closes the port on the main thread: Active reads false
//   afterwards, CloseReason reads crDeviceLost (already inside OnClose), no event reaches the
//   handlers, and the port can be opened again.
//
// The main-thread invoker contract (SetMainThreadInvoker):
// - invoker(call) runs call on the main thread and returns when it has run. It is called from the
//   message worker only, never from the main thread.
// - It may return without running call when the main thread will never run it (its event loop or
//   the object it queues to is gone); the worker then ends quietly.
// - Shutdown: closing the port (also at destruction) signals the workers and joins only the
//   comm-event worker, which never waits for the main thread. The message worker is detached; it
//   shares only a small state block with the component, never the component itself, so a call
//   that runs after the port closed or the component was destroyed does nothing. The invoker
//   (and what it captures) must therefore stay callable until that worker ends.
// - Without an invoker (or with UseMainThread false) events are processed on the message worker
//   itself; closing from another thread then waits until a running event has ended.

#include "serial/commbase.h"
#include "serial/commplatform.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

enum TParity : std::uint8_t { pNone, pOdd, pEven, pMark, pSpace };
enum TStopBits : std::uint8_t { sbOne, sbOneAndHalf, sbTwo };
enum TStreamProtocol : std::uint8_t { spNone, spXonXoff, spHardware };
enum TComPort : std::uint8_t {
    cpCOM1,
    cpCOM2,
    cpCOM3,
    cpCOM4,
    cpCOM5,
    cpCOM6,
    cpCOM7,
    cpCOM8,
    cpCOMxx
};
enum TCommEnumPorts : std::uint8_t { epQuickAll, epFullInfo, epFullPresent };
enum TTerminalUsage : std::uint8_t { tuNone, tuSend, tuReceive, tuBoth };
enum TTraceState : std::uint8_t {
    tsRxChar,
    tsRxFlag,
    tsTxEmpty,
    tsCTS,
    tsDSR,
    tsRLSD,
    tsBreak,
    tsErr,
    tsRing,
    tsRx80Full,
    tsEvent1,
    tsEvent2
};
// A set of TTraceState, bit n for member n.
using TTraceStates = std::uint16_t;
constexpr TTraceStates TraceSet(TTraceState s) {
    return static_cast<TTraceStates>(1u << s);
}

// COMSTAT hold flags, bit 0 first: fCtlHold, fDsrHold, fRlsHold, fXoffHold, fXOffSent, fEof, fTxim.
using TComStateFlags = std::uint8_t;

// Why the port closed: asked to (Active false, a port change, destruction), or by itself
// because the device failed (unplugged, hung up).
enum TCloseReason : std::uint8_t { crNone, crRequested, crDeviceLost };

// Line-error bits passed as CommCode.
constexpr std::uint32_t CE_RXOVER = 0x0001;
constexpr std::uint32_t CE_OVERRUN = 0x0002;
constexpr std::uint32_t CE_RXPARITY = 0x0004;
constexpr std::uint32_t CE_FRAME = 0x0008;
constexpr std::uint32_t CE_BREAK = 0x0010;

// Comm event mask bits.
constexpr std::uint32_t EV_RXCHAR = 0x0001;
constexpr std::uint32_t EV_RXFLAG = 0x0002;
constexpr std::uint32_t EV_TXEMPTY = 0x0004;
constexpr std::uint32_t EV_CTS = 0x0008;
constexpr std::uint32_t EV_DSR = 0x0010;
constexpr std::uint32_t EV_RLSD = 0x0020;
constexpr std::uint32_t EV_BREAK = 0x0040;
constexpr std::uint32_t EV_ERR = 0x0080;
constexpr std::uint32_t EV_RING = 0x0100;
constexpr std::uint32_t EV_RX80FULL = 0x0400;
constexpr std::uint32_t EV_EVENT1 = 0x0800;
constexpr std::uint32_t EV_EVENT2 = 0x1000;

// Line errors. flFlashBuffers arrives false; setting it purges both queues afterwards.
using TOnCommErrorEvent =
    std::function<void(TCommBaseIO* Com, std::uint32_t CommCode, std::uint32_t SysError,
                       TComStateFlags State, bool& flFlashBuffers)>;
using TOnTraceEvent = std::function<void(TCommBaseIO* Com, TTraceStates Event)>;
// Runs a call on the main thread and returns when it has run (see the contract above).
using TMainThreadInvoker = std::function<void(std::function<void()>)>;

struct TCommLink;

class TCustomComm : public TCommBaseIO {
public:
    // platform: the operating-system layer; null means TPosixCommPlatform.
    explicit TCustomComm(std::shared_ptr<TCommPlatform> platform = nullptr);
    ~TCustomComm() override;

    // Opens (true) or closes (false) the port when the value differs from IsOpen(). Opening
    // failures raise ECommError with LastErrorText after OnFatalError. Closing never raises.
    void SetActive(bool value);
    bool Active() const { return IsOpen(); }

    std::uint32_t BaudRate() const { return m_settings.BaudRate; }
    void SetBaudRate(std::uint32_t value);
    TParity Parity() const { return static_cast<TParity>(m_settings.Parity); }
    void SetParity(TParity value);
    TStopBits StopBits() const { return static_cast<TStopBits>(m_settings.StopBits); }
    void SetStopBits(TStopBits value);
    // 4..8 are stored, any other value becomes 8.
    std::uint8_t ByteSize() const { return m_settings.ByteSize; }
    void SetByteSize(std::uint8_t value);
    char EventChar() const { return m_settings.EventChar; }
    void SetEventChar(char value);
    TStreamProtocol StreamProtocol() const {
        return static_cast<TStreamProtocol>(m_settings.StreamProtocol);
    }
    void SetStreamProtocol(TStreamProtocol value);
    bool RS485Mode() const { return m_rs485Mode; }
    void SetRS485Mode(bool value);
    bool SoftwareRtsControl() const { return false; }

    std::uint16_t BufferInSize() const { return m_bufferInSize; }
    void SetBufferInSize(std::uint16_t value) { m_bufferInSize = value; }
    std::uint16_t BufferOutSize() const { return m_bufferOutSize; }
    void SetBufferOutSize(std::uint16_t value) { m_bufferOutSize = value; }
    std::uint32_t TimeoutRead() const { return m_timeoutRead; }
    void SetTimeoutRead(std::uint32_t value) { m_timeoutRead = value; }
    std::uint32_t TimeoutWrite() const { return m_timeoutWrite; }
    void SetTimeoutWrite(std::uint32_t value) { m_timeoutWrite = value; }

    TTraceStates TraceStates() const { return m_traceStates; }
    void SetTraceStates(TTraceStates value);
    // The event mask derived from TraceStates (EV_RXCHAR always).
    std::uint32_t EventMask() const { return m_eventMask; }

    TCommEnumPorts EnumPorts() const { return m_enumPorts; }
    void SetEnumPorts(TCommEnumPorts value) { m_enumPorts = value; }
    TTerminalUsage TerminalUsage() const { return m_terminalUsage; }
    void SetTerminalUsage(TTerminalUsage value) { m_terminalUsage = value; }
    bool TerminalEcho() const { return m_terminalEcho; }
    void SetTerminalEcho(bool value) { m_terminalEcho = value; }

    // Why the port closed the last time: set before OnClose runs and kept until the next open
    // (crNone before the first close and while open). crDeviceLost tells a handler of OnClose,
    // or whoever finds the port closed, that the device went away during the run.
    TCloseReason CloseReason() const { return m_closeReason; }

    // Text of the last open failure: "Device \"<port>\" Open Error !!!\r<system text>".
    const std::string& LastErrorText() const { return m_lastErrorText; }
    // Size of the receive buffer while open, 0 while closed.
    std::size_t ReceiveBufferSize() const { return m_receiveBuffer.size(); }

    // Discards everything queued in both directions; nothing while closed.
    void PurgeAll();
    // Bytes in the output queue, 0 when closed or the query fails.
    std::uint32_t OutQueueCount();
    // Name of the port for messages.
    virtual std::string PortName() const { return "Unknown"; }

    // Replaces the operating-system layer (null: TPosixCommPlatform); ignored while open.
    void SetPlatform(std::shared_ptr<TCommPlatform> platform);

    // Installs the main-thread invoker (see the contract above). Takes effect at the next open.
    void SetMainThreadInvoker(TMainThreadInvoker invoker) { m_invoker = std::move(invoker); }

    // What one comm event did.
    struct TCommEventResult {
        std::uint32_t delivered = 0; // bytes handed to OnAfterReceive
        std::uint32_t unread = 0;    // input count left unread on purpose (no consumer)
    };
    // Processes one comm event (mask of EV_ bits): line errors → OnCommError, queued bytes →
    // OnAfterReceive per block. Runs on the main thread; called by the message worker's hand-off.
    // After a line error it reads nothing and leaves unread 0, so that the next event reads what
    // is queued.
    TCommEventResult ProcessCommEvent(std::uint32_t mask);
    // Closes the port: stops the workers, purges when allowed and bytes wait to be sent,
    // releases the receive buffer, closes the device, sets CloseReason to reason, fires OnClose,
    // notifies listeners (1).
    void ShutdownPort(bool purge, TCloseReason reason = crRequested);
    // Line-error report: OnCommError, then PurgeAll when the handler asked for it.
    virtual void DoCommError(std::uint32_t CommCode, std::uint32_t SysError, TComStateFlags State);

    TOnCommErrorEvent OnCommError;
    TOnTraceEvent OnTraceState;

protected:
    void OpenPort() override;
    void ClosePort() override;
    void CloseDevice(int handle) override;
    void StartThreads() override;
    void StopThreads() override;
    // Applies queues, time-outs, line settings and the event mask after open.
    virtual void SetupPort();
    // Applies the line settings when open.
    void ApplyDCB();
    // The system text of an open failure with error number err, before trimming.
    virtual std::string OpenErrorSystemText(int err) const;
    TCommPlatform& Platform() { return *m_platform; }

private:
    void doTraceState(TTraceStates states);

    std::shared_ptr<TCommPlatform> m_platform;
    std::shared_ptr<TCommLink> m_link;
    std::thread m_commThread;
    TMainThreadInvoker m_invoker;
    TLineSettings m_settings;
    TComStat m_comStat;
    std::vector<char> m_receiveBuffer;
    std::vector<char> m_retiredBuffer; // a buffer released during a delivery, freed after it
    std::string m_lastErrorText;
    std::uint64_t m_openCount = 0; // tells a read loop that the port closed or reopened
    int m_deliveryDepth = 0;
    std::uint32_t m_timeoutRead = 0;
    std::uint32_t m_timeoutWrite = 0;
    std::uint32_t m_eventMask = EV_RXCHAR;
    TTraceStates m_traceStates = 0;
    std::uint16_t m_bufferInSize = 8192;
    std::uint16_t m_bufferOutSize = 8192;
    bool m_rs485Mode = false;
    TCloseReason m_closeReason = crNone;
    TCommEnumPorts m_enumPorts = epQuickAll;
    TTerminalUsage m_terminalUsage = tuNone;
    bool m_terminalEcho = false;
};

class TCustomSerialComm : public TCustomComm {
public:
    explicit TCustomSerialComm(std::shared_ptr<TCommPlatform> platform = nullptr);
    ~TCustomSerialComm() override;

    // Selects port n ("COMn"; the device as ComDevicePath gives it) and clears DeviceName. An
    // open port is closed and reopened on the new number; listeners get code 3.
    std::uint16_t ComPortNo() const { return m_comPortNo; }
    void SetComPortNo(std::uint16_t value);
    // cpCOMxx is ignored; cpCOM1..cpCOM8 set ComPortNo 1..8. Reads cpCOMxx above 8 and for 0.
    TComPort ComPort() const;
    void SetComPort(TComPort value);
    // A device path typed directly ("/dev/ttyACM0"); when set it is both the device opened and
    // the port name in messages. Setting it acts like a change of ComPortNo. Empty: ComPortNo.
    const std::string& DeviceName() const { return m_deviceName; }
    void SetDeviceName(const std::string& value);

    // "COM<ComPortNo>", or DeviceName when set.
    std::string PortName() const override;

protected:
    int OpenDevice() override;
    // Access denied by the device's permissions adds how to get access.
    std::string OpenErrorSystemText(int err) const override;

private:
    void changePort(std::uint16_t portNo, const std::string& deviceName);
    std::string devicePath() const;

    std::uint16_t m_comPortNo = 1;
    std::string m_deviceName;
};

class TSerialComm final : public TCustomSerialComm {
public:
    using TCustomSerialComm::TCustomSerialComm;
    ~TSerialComm() override;
};
