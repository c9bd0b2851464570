// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whether the comm-event worker lets arrivals gather before it hands them to the main thread.
//
// Each hand-off wakes three threads, so a device that sends many small pieces is best handed
// over in gathered blocks; a slow device (a line every few milliseconds) is best handed over at
// once, so that its value shows without delay and each line arrives as its own block. Gathering
// pays only while bytes arrive faster than they are handed off:
// - it begins when bytes were queued already as the last hand-off ended, or when an arrival came
//   less than kQuickArrival after the one before;
// - it goes on while a gathered block holds at least kGatheredPieces times what was queued when
//   its wait began (several arrivals within the gathering time), or came from a stream that
//   outruns the reader.
// The first arrival is handed over at once. Plain state, one thread.

#include <chrono>
#include <cstdint>

class ArrivalPace {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kQuickArrival{2};
    // How long a gathering wait lasts at most: one display frame (no picture shows the bytes
    // sooner).
    static constexpr std::chrono::milliseconds kGatherTime{16};
    // A device whose arrivals come quickly fills a gathering wait with this many of them; a
    // slower one, which only a hiccup made gather, brings fewer and stops gathering.
    static constexpr std::int64_t kGatheredPieces = kGatherTime / kQuickArrival;

    // Bytes arrived at `now` (the worker woke for them): true when they should gather first.
    bool Arrived(Clock::time_point now);
    // A hand-off ended. queuedAtWait: what was queued when the gathering wait began (0 when it
    // did not gather); delivered: what the hand-off delivered; fastStream: the delivery took a
    // full tty queue; queuedNow: bytes are queued already.
    void HandedOff(std::int64_t queuedAtWait, std::int64_t delivered, bool fastStream,
                   bool queuedNow);

private:
    bool m_started = false;
    Clock::time_point m_arrived{};
    bool m_queuedAtHandOff = false;
    bool m_gathering = false;
};
