// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/commbase.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

void TCommNotifyList::Remove(void* data) {
    std::erase_if(m_items, [data](const auto& item) { return item.second == data; });
}

void TCommNotifyList::Notify(TCommBaseIO* com, int code) const {
    // A copy, so that a listener may change the list.
    const auto items = m_items;
    for (const auto& [proc, data] : items) {
        if (proc) {
            proc(data, com, code);
        }
    }
}

TCommBaseIO::TCommBaseIO() = default;

TCommBaseIO::~TCommBaseIO() = default;

bool TCommBaseIO::HasReceiveConsumers() const {
    return static_cast<bool>(OnAfterReceive);
}

void TCommBaseIO::NotifyListeners(int Code) {
    m_listenerList.Notify(this, Code);
}

void TCommBaseIO::DoAfterReceive(const char* Buffer, std::uint32_t Count) {
    if (OnAfterReceive) {
        OnAfterReceive(this, Buffer, Count);
    }
}

void TCommBaseIO::DoFatalError(std::uint32_t ErrorCode, std::uint32_t Detail, bool ShowOnly,
                               const std::string& ErrorMsg) {
    bool raiseException = true;
    if (OnFatalError) {
        OnFatalError(this, ErrorCode, Detail, ErrorMsg, raiseException);
    }
    if (!raiseException) {
        return;
    }
    if (!ShowOnly) {
        throw ECommError(ErrorMsg);
    }
    const ECommError error(ErrorMsg);
    if (m_showException) {
        m_showException(error);
    } else {
        std::fprintf(stderr, "%s\n", error.Message().c_str());
    }
}

void TCommBaseIO::CloseDevice(int handle) {
    if (handle != kInvalidHandle) {
        ::close(handle);
    }
}

void TCommBaseIO::OpenPort() {
    m_handle = OpenDevice();
}

void TCommBaseIO::ClosePort() {
    if (!IsOpen()) {
        return;
    }
    CloseDevice(m_handle);
    m_handle = kInvalidHandle;
    if (OnClose) {
        OnClose(this);
    }
}
