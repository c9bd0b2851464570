// SPDX-License-Identifier: GPL-3.0-or-later
// When the comm-event worker lets arrivals gather before a hand-off, driven with made-up times.

#include "serial/arrivalpace.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

// One arrival and its hand-off: whether it gathered. A gathered block holds `pieces` arrivals of
// `piece` bytes; an ungathered one the first piece alone.
struct Device {
    ArrivalPace pace;
    ArrivalPace::Clock::time_point now{};
    bool arrive(std::chrono::microseconds after, int pieces = 1, bool queuedNow = false) {
        const int piece = 7;
        now += after;
        const bool gathers = pace.Arrived(now);
        pace.HandedOff(gathers ? piece : 0, gathers ? piece * pieces : piece, false, queuedNow);
        return gathers;
    }
};

} // namespace

TEST(ArrivalPace, SlowArrivalsAreHandedOverAtOnceFastOnesGatherWhileTheyStayFast) {
    Device d;
    EXPECT_FALSE(d.arrive(0us)) << "the first arrival";
    for (int i = 0; i < 20; ++i) {
        ASSERT_FALSE(d.arrive(5ms)) << "a line every 5 ms, arrival " << i;
    }
    // A line every 0.5 ms: the second quick arrival gathers, and gathering goes on while each
    // block holds many arrivals, however long after the last block the next one comes.
    EXPECT_TRUE(d.arrive(500us, 16));
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(d.arrive(9ms, 16)) << i;
    }
    // The device slows down: a gathered block of two arrivals ends gathering.
    EXPECT_TRUE(d.arrive(9ms, 2));
    EXPECT_FALSE(d.arrive(5ms));
    EXPECT_FALSE(d.arrive(5ms));
    // Bytes queued already when a hand-off ended came faster than they were handed off. The
    // gathered block then holds what a line every 5 ms brings in a whole gathering wait: too
    // few for a quick device, so the next line is handed over at once again.
    EXPECT_FALSE(d.arrive(5ms, 1, true));
    const int slowPieces = static_cast<int>(ArrivalPace::kGatherTime / 5ms) + 1;
    EXPECT_TRUE(d.arrive(0us, slowPieces));
    EXPECT_FALSE(d.arrive(5ms));
}

TEST(ArrivalPace, AStreamThatOutrunsTheReaderKeepsGathering) {
    ArrivalPace pace;
    ArrivalPace::Clock::time_point now{};
    pace.Arrived(now);
    pace.HandedOff(0, 4095, true, false);
    now += 1ms;
    ASSERT_TRUE(pace.Arrived(now));
    // A full queue taken at the wait's start: the block holds no more than that.
    pace.HandedOff(4095, 4095, true, true);
    EXPECT_TRUE(pace.Arrived(now + 20ms));
}
