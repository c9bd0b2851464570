// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TCommBaseIO: the base of the serial component. It holds the handle of the open device, the
// open/close skeleton, the listener list, the delivery of received blocks and the fatal-error
// report. Plain C++; the window supplies how exceptions are shown (SetShowException).

#include "base/exception.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class TCommBaseIO;

// A received block: Buffer holds Received bytes (never 0). Buffer is valid until the handler
// returns or until the port is closed, whichever comes first.
using TOnReceived =
    std::function<void(TCommBaseIO* Com, const char* Buffer, std::uint32_t Received)>;
// A fatal error. RaiseException arrives true; clearing it stops the exception that follows.
using TOnFatalErrorEvent =
    std::function<void(TCommBaseIO* Sender, std::uint32_t ErrorCode, std::uint32_t Detail,
                       const std::string& ErrorMsg, bool& RaiseException)>;
using TOnCloseEvent = std::function<void(TCommBaseIO* Com)>;
// A listener: called with its user data, the component and the code (TCommNotifyCode).
using TCommNotifyProc = std::function<void(void* Data, TCommBaseIO* Com, int Code)>;
// The application's standard exception display (a modal error box in the window).
using TShowExceptionProc = std::function<void(const Exception& E)>;

enum TCommNotifyCode { cnClosed = 1, cnOpened = 2, cnPortNoChanged = 3 };

// An ordered list of (callback, user data) pairs.
class TCommNotifyList {
public:
    void Add(TCommNotifyProc proc, void* data) { m_items.emplace_back(std::move(proc), data); }
    // Removes every entry with this user data.
    void Remove(void* data);
    int Count() const { return static_cast<int>(m_items.size()); }
    // Calls every entry in list order.
    void Notify(TCommBaseIO* com, int code) const;

private:
    std::vector<std::pair<TCommNotifyProc, void*>> m_items;
};

class TCommBaseIO {
public:
    static constexpr int kInvalidHandle = -1;

    TCommBaseIO();
    virtual ~TCommBaseIO();
    TCommBaseIO(const TCommBaseIO&) = delete;
    TCommBaseIO& operator=(const TCommBaseIO&) = delete;

    // True while a device is open.
    bool IsOpen() const { return m_handle != kInvalidHandle; }
    int Handle() const { return m_handle; }

    TCommNotifyList& ListenerList() { return m_listenerList; }

    // True when received bytes have somewhere to go (here: OnAfterReceive is assigned).
    virtual bool HasReceiveConsumers() const;
    // Calls every listener with code (1 after close, 2 after open, 3 after a port change).
    virtual void NotifyListeners(int Code);
    // Hands one received block to OnAfterReceive.
    virtual void DoAfterReceive(const char* Buffer, std::uint32_t Count);
    // Reports a fatal error: OnFatalError first; then, unless the handler cleared
    // RaiseException, throws ECommError(ErrorMsg) (ShowOnly false) or passes an ECommError to the
    // show-exception hook without throwing (ShowOnly true).
    virtual void DoFatalError(std::uint32_t ErrorCode, std::uint32_t Detail, bool ShowOnly,
                              const std::string& ErrorMsg);

    // The standard exception display used by the show-only fatal error. Unset: the text goes to
    // standard error.
    void SetShowException(TShowExceptionProc proc) { m_showException = std::move(proc); }

    bool UseMainThread() const { return m_useMainThread; }
    void SetUseMainThread(bool value) { m_useMainThread = value; }

    TOnReceived OnAfterReceive;
    TOnFatalErrorEvent OnFatalError;
    TOnCloseEvent OnClose;

protected:
    // Opens the device; the base has none and returns kInvalidHandle.
    virtual int OpenDevice() { return kInvalidHandle; }
    virtual void CloseDevice(int handle);
    virtual void OpenPort();
    virtual void ClosePort();
    virtual void StartThreads() {}
    virtual void StopThreads() {}

    int m_handle = kInvalidHandle;

private:
    TCommNotifyList m_listenerList;
    TShowExceptionProc m_showException;
    bool m_useMainThread = true;
};
