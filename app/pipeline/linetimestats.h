// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The distribution of the time spent per line over a whole run, in a fixed amount of memory:
// a recording that runs for days (trend mode has no end) must not keep one entry per sample.
//
// Times are counted in buckets one 1024th of a power of two wide, so a percentile comes back
// with at most 0.1 % relative error (rounded down to its bucket's lower edge). Times below
// kMinMs count as kMinMs, above kMaxMs as kMaxMs; negative and NaN times count as kMinMs.

#include <cstdint>
#include <vector>

class LineTimeStats {
public:
    static constexpr double kMinMs = 1.0 / (1 << 20); // about 1 ns
    static constexpr double kMaxMs = 1 << 20;         // about 17 minutes

    void Add(float ms);
    std::uint64_t Count() const { return m_count; }
    // The time below which the fraction p (0..1) of the times lie, as the nearest-rank
    // percentile of the sorted times (index min(n-1, floor(p*n))); 0 without any time.
    double Percentile(double p) const;

private:
    std::vector<std::uint64_t> m_buckets; // allocated at the first time, never grown after
    std::uint64_t m_count = 0;
};
