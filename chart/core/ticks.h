// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Tick spacing of a numeric axis: nice steps of 1, 2 or 5 times a power of ten, and the fixed
// 250-entry tick list an axis keeps from its last painting (the grid is drawn at it).

#include <array>
#include <vector>

struct TickInterval {
    double First = 0.0;   // first labelled tick: the first multiple of Step at or beyond lo
    double Step = 0.0;    // signed: negative when the axis runs from a higher to a lower value
    int Subdivisions = 1; // short-tick intervals per step
};

// The nice step for minTicks intervals over lo..hi (minTicks 0 = unit steps). Equal bounds give
// step 0. Non-finite bounds or spans also give step 0, so nothing is drawn for them.
TickInterval ComputeTickInterval(int minTicks, double lo, double hi);

struct TickValues {
    std::vector<double> Short;    // short tick values (empty when short ticks are off)
    std::vector<double> Labelled; // labelled tick values
};

// The values of the short and the labelled ticks from lo to hi, in drawing order. Each loop is
// capped at kMaxTicksPerLoop values, more than the widest window has pixels, so that unit steps
// over a huge span or steps below the resolution of the values cannot run away.
TickValues GenerateTickValues(const TickInterval& interval, double lo, double hi, bool shortTicks);
inline constexpr int kMaxTicksPerLoop = 4096;

class TickList {
public:
    static constexpr int kCapacity = 250;
    // Empties the list (all 250 entries back to 0).
    void Reset();
    // Appends v; values beyond the 250th are not stored.
    void Append(double v);
    int NumTicks() const { return m_count; }
    // Entry i (0-based, i < NumTicks()).
    double operator[](int i) const { return m_values[static_cast<std::size_t>(i)]; }
    const double* begin() const { return m_values.data(); }
    const double* end() const { return m_values.data() + m_count; }

private:
    std::array<double, kCapacity> m_values{};
    int m_count = 0;
};
