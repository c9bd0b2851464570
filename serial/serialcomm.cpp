// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/serialcomm.h"

#include "base/systemerror.h"
#include "serial/commworkers.h"
#include "serial/deviceaccess.h"
#include "serial/portnames.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <thread>

namespace {

// A sustained stream would keep one event reading for ever and starve the main thread's event
// loop; after this many blocks the event ends and the worker posts the next one at once.
constexpr int kMaxBlocksPerEvent = 64;
// A read that took a full tty read queue (a tty hands out at most 4095 bytes at once) came from
// a device that outruns the reader; the queue is then often empty only while the next bytes are
// on their way. The event waits that long for them instead of handing back to the workers, which
// would cost two thread wake-ups per block and let the device side fill up meanwhile.
constexpr long kFullTtyRead = 4095;
constexpr int kRefillWaitMs = 1;
constexpr std::size_t kMinReceiveBuffer = 8192;
constexpr std::size_t kMaxSystemText = 256;

// The system text as the open error shows it: at most 256 characters, without trailing blanks,
// control characters and full stops.
std::string trimmedSystemText(std::string text) {
    if (text.size() > kMaxSystemText) {
        text.resize(kMaxSystemText);
    }
    while (!text.empty()) {
        const unsigned char c = static_cast<unsigned char>(text.back());
        if (c <= ' ' || c == '.' || c == 0x7f) {
            text.pop_back();
        } else {
            break;
        }
    }
    return text;
}

} // namespace

TCustomComm::TCustomComm(std::shared_ptr<TCommPlatform> platform)
    : m_platform(platform ? std::move(platform) : std::make_shared<TPosixCommPlatform>()) {}

TCustomComm::~TCustomComm() {
    TCustomComm::ClosePort();
}

void TCustomComm::SetPlatform(std::shared_ptr<TCommPlatform> platform) {
    if (!IsOpen()) {
        m_platform = platform ? std::move(platform) : std::make_shared<TPosixCommPlatform>();
    }
}

void TCustomComm::SetActive(bool value) {
    if (value == IsOpen()) {
        return;
    }
    if (value) {
        OpenPort();
    } else {
        ClosePort();
    }
}

void TCustomComm::SetBaudRate(std::uint32_t value) {
    m_settings.BaudRate = value;
    ApplyDCB();
}

void TCustomComm::SetParity(TParity value) {
    m_settings.Parity = value;
    ApplyDCB();
}

void TCustomComm::SetStopBits(TStopBits value) {
    m_settings.StopBits = value;
    ApplyDCB();
}

void TCustomComm::SetByteSize(std::uint8_t value) {
    m_settings.ByteSize = (value >= 4 && value <= 8) ? value : 8;
    ApplyDCB();
}

void TCustomComm::SetEventChar(char value) {
    m_settings.EventChar = value;
    ApplyDCB();
}

void TCustomComm::SetStreamProtocol(TStreamProtocol value) {
    m_settings.StreamProtocol = value;
    ApplyDCB();
}

void TCustomComm::SetRS485Mode(bool value) {
    m_rs485Mode = value;
    ApplyDCB();
}

void TCustomComm::SetTraceStates(TTraceStates value) {
    m_traceStates = value;
    std::uint32_t mask = EV_RXCHAR;
    const std::pair<TTraceState, std::uint32_t> bits[] = {
        {tsRxFlag, EV_RXFLAG},     {tsTxEmpty, EV_TXEMPTY}, {tsCTS, EV_CTS},      {tsDSR, EV_DSR},
        {tsRLSD, EV_RLSD},         {tsBreak, EV_BREAK},     {tsErr, EV_ERR},      {tsRing, EV_RING},
        {tsRx80Full, EV_RX80FULL}, {tsEvent1, EV_EVENT1},   {tsEvent2, EV_EVENT2}};
    for (const auto& [state, bit] : bits) {
        if (value & TraceSet(state)) {
            mask |= bit;
        }
    }
    // Only arrivals and hang-ups are watched on Linux; the mask is kept for what reads it.
    m_eventMask = mask;
}

void TCustomComm::ApplyDCB() {
    if (IsOpen()) {
        m_platform->Configure(m_handle, m_settings);
    }
}

void TCustomComm::PurgeAll() {
    if (IsOpen()) {
        m_platform->Purge(m_handle);
    }
}

std::uint32_t TCustomComm::OutQueueCount() {
    if (!IsOpen()) {
        return 0;
    }
    std::uint32_t errors = 0;
    TComStat stat;
    return m_platform->ClearCommError(m_handle, errors, &stat) ? stat.cbOutQue : 0;
}

void TCustomComm::SetupPort() {
    std::uint32_t errors = 0;
    m_platform->ClearCommError(m_handle, errors, nullptr);
    // Queue sizes and time-outs have no counterpart on Linux: reads never wait (VMIN = VTIME =
    // 0) and take what the input count says.
    ApplyDCB();
    SetTraceStates(m_traceStates);
}

void TCustomComm::OpenPort() {
    ClosePort();
    m_handle = OpenDevice();
    if (m_handle == kInvalidHandle) {
        const int err = errno;
        const std::string port = EscapedPortName(PortName());
        const std::string text = trimmedSystemText(OpenErrorSystemText(err));
        m_lastErrorText = "Device \"" + port + "\" Open Error !!!\r" + text;
        DoFatalError(1, 0, false, m_lastErrorText);
        return;
    }
    if (m_deliveryDepth > 0 && !m_receiveBuffer.empty()) {
        m_retiredBuffer = std::move(m_receiveBuffer);
    }
    m_receiveBuffer.assign(std::max<std::size_t>(m_bufferInSize, kMinReceiveBuffer), 0);
    ++m_openCount;
    m_closeReason = crNone;
    SetupPort();
    StartThreads();
    NotifyListeners(cnOpened);
}

std::string TCustomComm::OpenErrorSystemText(int err) const {
    return systemErrorText(err);
}

void TCustomComm::ClosePort() {
    if (!IsOpen()) {
        return;
    }
    try {
        ShutdownPort(true);
    } catch (...) {
        // Closing must never raise: close the handle directly.
        if (IsOpen()) {
            const int handle = m_handle;
            m_handle = kInvalidHandle;
            CloseDevice(handle);
            m_closeReason = crRequested;
            if (OnClose) {
                try {
                    OnClose(this);
                } catch (...) {
                }
            }
        }
    }
    doTraceState(TraceSet(tsTxEmpty));
}

void TCustomComm::ShutdownPort(bool purge, TCloseReason reason) {
    if (m_handle == kInvalidHandle) {
        return;
    }
    StopThreads();
    if (purge && OutQueueCount() > 0) {
        PurgeAll();
    }
    // A handler that closed the port still holds Buffer: keep the memory until it returns.
    if (m_deliveryDepth > 0) {
        m_retiredBuffer = std::move(m_receiveBuffer);
    }
    m_receiveBuffer = {};
    const int handle = m_handle;
    CloseDevice(handle);
    m_handle = kInvalidHandle;
    ++m_openCount;
    m_closeReason = reason;
    if (OnClose) {
        try {
            OnClose(this);
        } catch (...) {
        }
    }
    NotifyListeners(cnClosed);
}

void TCustomComm::CloseDevice(int handle) {
    if (handle != kInvalidHandle) {
        m_platform->Close(handle);
    }
}

void TCustomComm::StartThreads() {
    if (m_link) {
        return;
    }
    auto invoker = UseMainThread() ? m_invoker : TMainThreadInvoker{};
    auto link = std::make_shared<TCommLink>(m_platform, m_handle, std::move(invoker), this);
    if (!link->valid()) {
        return; // no receive path without eventfds; the port stays open and silent
    }
    m_link = link;
    std::thread(RunMsgThread, link).detach();
    m_commThread = std::thread(RunCommThread, link);
}

void TCustomComm::StopThreads() {
    if (!m_link) {
        return;
    }
    const std::shared_ptr<TCommLink> link = std::move(m_link);
    link->terminated.store(true);
    link->post({TCommMessage::Quit, 0});
    link->signalStop();
    {
        // A look at the device that began before `terminated` ends before the handle closes;
        // it never waits (timeout 0).
        std::lock_guard lock(link->lookMutex);
    }
    if (!link->invoker) {
        // Events run on the message worker: wait for a running one to end (a handler closing
        // the port on that worker re-enters the recursive lock).
        std::lock_guard lock(link->directCallMutex);
    }
    // The comm-event worker never waits for the main thread, so joining it is brief.
    if (m_commThread.joinable() && m_commThread.get_id() != std::this_thread::get_id()) {
        m_commThread.join();
    } else if (m_commThread.joinable()) {
        m_commThread.detach();
    }
}

TCustomComm::TCommEventResult TCustomComm::ProcessCommEvent(std::uint32_t mask) {
    TCommEventResult result;
    if (!IsOpen()) {
        return result;
    }
    const std::uint64_t openCount = m_openCount;
    try {
        std::uint32_t errors = 0;
        if (!m_platform->ClearCommError(m_handle, errors, &m_comStat)) {
            return result; // the comm-event worker sees the failure at its next wait
        }
        if (errors != 0) {
            // Nothing is read for this event; the queued bytes go with the next one, which the
            // comm-event worker posts at once since they are readable. Waiting for the count to
            // change instead would stop delivery for good when the queue is full.
            DoCommError(errors, 0, static_cast<TComStateFlags>(m_comStat.Flags & 0xff));
            return result;
        }
        if ((mask & EV_RXCHAR) && m_comStat.cbInQue > 0) {
            if ((m_traceStates & TraceSet(tsRxChar)) || HasReceiveConsumers()) {
                for (int blocks = 0; m_comStat.cbInQue > 0; ++blocks) {
                    if (blocks == kMaxBlocksPerEvent) {
                        break;
                    }
                    // At most what the count said: a tty's queue holds 4096 bytes, and the pipeline
                    // takes a larger block for a reader that fell hopelessly behind.
                    const std::size_t want =
                        std::min<std::size_t>(m_comStat.cbInQue, m_receiveBuffer.size());
                    const long got = m_platform->Read(m_handle, m_receiveBuffer.data(), want);
                    if (got <= 0) {
                        // A failed read ends the loop; bytes the driver counts but does not
                        // hand out wait for the next arrival instead of spinning.
                        result.unread = got == 0 ? m_comStat.cbInQue : 0;
                        break;
                    }
                    result.delivered += static_cast<std::uint32_t>(got);
                    ++m_deliveryDepth;
                    try {
                        DoAfterReceive(m_receiveBuffer.data(), static_cast<std::uint32_t>(got));
                    } catch (...) {
                        --m_deliveryDepth;
                        m_retiredBuffer = {};
                        throw;
                    }
                    --m_deliveryDepth;
                    m_retiredBuffer = {};
                    if (!IsOpen() || openCount != m_openCount) {
                        return {}; // the handler closed (or reopened) the port
                    }
                    // Only the input count: line errors that arose meanwhile stay pending for the
                    // next event instead of being cleared unseen.
                    long queued = m_platform->InputCount(m_handle);
                    if (queued == 0 && got >= kFullTtyRead &&
                        m_platform->Wait(m_handle, true, -1, kRefillWaitMs) == TWaitResult::Input) {
                        queued = m_platform->InputCount(m_handle);
                    }
                    if (queued < 0) {
                        break;
                    }
                    m_comStat.cbInQue = static_cast<std::uint32_t>(queued);
                }
            } else {
                result.unread = m_comStat.cbInQue;
            }
        }
        TTraceStates trace = 0;
        const std::pair<std::uint32_t, TTraceState> bits[] = {
            {EV_RXFLAG, tsRxFlag}, {EV_CTS, tsCTS},      {EV_DSR, tsDSR}, {EV_RLSD, tsRLSD},
            {EV_RING, tsRing},     {EV_BREAK, tsBreak},  {EV_ERR, tsErr}, {EV_RX80FULL, tsRx80Full},
            {EV_EVENT1, tsEvent1}, {EV_EVENT2, tsEvent2}};
        for (const auto& [bit, state] : bits) {
            if (mask & bit) {
                trace |= TraceSet(state);
            }
        }
        if (trace != 0) {
            doTraceState(trace);
        }
    } catch (const Exception& e) {
        DoFatalError(1, static_cast<std::uint32_t>(errno), true, e.Message());
    } catch (const std::exception& e) {
        DoFatalError(1, static_cast<std::uint32_t>(errno), true, ExceptionMessage(e));
    }
    return result;
}

void TCustomComm::DoCommError(std::uint32_t CommCode, std::uint32_t SysError,
                              TComStateFlags State) {
    bool flFlashBuffers = false;
    if (OnCommError) {
        OnCommError(this, CommCode, SysError, State, flFlashBuffers);
    }
    if (flFlashBuffers) {
        PurgeAll();
    }
}

void TCustomComm::doTraceState(TTraceStates states) {
    if (OnTraceState) {
        OnTraceState(this, states);
    }
}

TCustomSerialComm::TCustomSerialComm(std::shared_ptr<TCommPlatform> platform)
    : TCustomComm(std::move(platform)) {
    SetComPort(cpCOM1);
    SetBaudRate(19200);
    SetByteSize(8);
    SetParity(pNone);
    SetStopBits(sbOne);
    SetStreamProtocol(spHardware);
    SetEventChar(0);
}

TCustomSerialComm::~TCustomSerialComm() {
    // Before any member or base goes: the workers must be stopped first.
    TCustomComm::ClosePort();
}

TSerialComm::~TSerialComm() {
    TCustomComm::ClosePort();
}

void TCustomSerialComm::changePort(std::uint16_t portNo, const std::string& deviceName) {
    const bool wasOpen = IsOpen();
    SetActive(false);
    m_comPortNo = portNo;
    m_deviceName = deviceName;
    SetActive(wasOpen);
    NotifyListeners(cnPortNoChanged);
}

void TCustomSerialComm::SetComPortNo(std::uint16_t value) {
    changePort(value, std::string());
}

void TCustomSerialComm::SetDeviceName(const std::string& value) {
    changePort(m_comPortNo, value);
}

TComPort TCustomSerialComm::ComPort() const {
    if (m_comPortNo == 0 || m_comPortNo > 8) {
        return cpCOMxx;
    }
    return static_cast<TComPort>(m_comPortNo - 1);
}

void TCustomSerialComm::SetComPort(TComPort value) {
    if (value != cpCOMxx) {
        SetComPortNo(static_cast<std::uint16_t>(value + 1));
    }
}

std::string TCustomSerialComm::PortName() const {
    if (!m_deviceName.empty()) {
        return m_deviceName;
    }
    return "COM" + std::to_string(m_comPortNo);
}

std::string TCustomSerialComm::OpenErrorSystemText(int err) const {
    std::string text = TCustomComm::OpenErrorSystemText(err);
    if (err == EACCES || err == EPERM) {
        const std::string hint = DeviceAccessHint(devicePath());
        if (!hint.empty()) {
            text += ". " + hint;
        }
    }
    return text;
}

std::string TCustomSerialComm::devicePath() const {
    return m_deviceName.empty() ? ComDevicePath(m_comPortNo) : m_deviceName;
}

int TCustomSerialComm::OpenDevice() {
    const std::string path = devicePath();
    if (path.empty()) {
        errno = ENOENT;
        return kInvalidHandle;
    }
    return Platform().Open(path);
}
