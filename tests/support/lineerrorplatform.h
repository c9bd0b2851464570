// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/commplatform.h"

#include <atomic>
#include <cstdint>

// Line errors cannot be produced on a pseudo-terminal: this layer adds the pending error bits to
// the next status query, as the driver's error counters would.
class LineErrorPlatform : public TPosixCommPlatform {
public:
    bool ClearCommError(int handle, std::uint32_t& errors, TComStat* stat) override {
        const bool ok = TPosixCommPlatform::ClearCommError(handle, errors, stat);
        errors |= pending.exchange(0);
        return ok;
    }
    std::atomic<std::uint32_t> pending{0};
};
