// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/arrivalpace.h"

#include <algorithm>

bool ArrivalPace::Arrived(Clock::time_point now) {
    const bool quick = m_started && now - m_arrived < kQuickArrival;
    m_gathering = m_gathering || m_queuedAtHandOff || quick;
    m_started = true;
    m_arrived = now;
    return m_gathering;
}

void ArrivalPace::HandedOff(std::int64_t queuedAtWait, std::int64_t delivered, bool fastStream,
                            bool queuedNow) {
    // A gathered block of a single arrival or two: the device is slower than the gathering time
    // and waiting only delays its lines.
    m_gathering =
        m_gathering &&
        (fastStream || delivered >= kGatheredPieces * std::max<std::int64_t>(queuedAtWait, 1));
    m_queuedAtHandOff = queuedNow;
}
