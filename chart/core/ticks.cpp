// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/core/ticks.h"

#include <cmath>

namespace {

constexpr double kLog2 = 0.30102999566398119521;
constexpr double kLog5 = 0.69897000433601880479;
constexpr double kTolerance = 1e-10;

} // namespace

TickInterval ComputeTickInterval(int minTicks, double lo, double hi) {
    TickInterval t;
    t.First = lo;
    if (hi == lo || !std::isfinite(lo) || !std::isfinite(hi) || !std::isfinite(hi - lo))
        return t;
    const double d = hi > lo ? 1.0 : -1.0;
    const double span = std::fabs(hi - lo);

    if (minTicks <= 0) {
        // Unit steps follow the axis direction; a step against it would never reach hi.
        t.Step = d;
        t.First = std::trunc(lo) - d;
        t.Subdivisions = span > 10.0 ? 1 : 5;
    } else {
        double g = std::log10(span / minTicks);
        double f = g - std::trunc(g);
        if (std::fabs(f) < kTolerance || std::fabs(f) > 1.0 - kTolerance) {
            g = std::round(g);
            f = 0.0;
        }
        if (g < 0.0 && f != 0.0)
            g -= 1.0;
        if (f < 0.0)
            f += 1.0;
        double mantissa = 5.0;
        t.Subdivisions = 5;
        if (f < kLog2 + kTolerance) {
            mantissa = 1.0;
        } else if (f < kLog5 + kTolerance) {
            mantissa = 2.0;
            t.Subdivisions = 4;
        }
        t.Step = d * mantissa * std::pow(10.0, std::trunc(g));
        if (t.Step == 0.0 || !std::isfinite(t.Step)) {
            t.Step = 0.0;
            t.Subdivisions = 1;
            return t;
        }
        t.First = (std::trunc(lo / t.Step) - 1.0) * t.Step;
    }
    // Advance to the first multiple at or beyond lo. Normally one or two steps; the cap guards
    // against a step too small to change a huge first value.
    for (int i = 0; i < kMaxTicksPerLoop && d * (lo - t.First) > 0.001 * std::fabs(t.Step); ++i) {
        const double next = t.First + t.Step;
        if (next == t.First)
            break;
        t.First = next;
    }
    return t;
}

TickValues GenerateTickValues(const TickInterval& interval, double lo, double hi, bool shortTicks) {
    TickValues out;
    const double step = interval.Step;
    if (step == 0.0 || !std::isfinite(step) || !std::isfinite(interval.First))
        return out;
    const double d = hi > lo ? 1.0 : -1.0;
    const double first = interval.First;

    if (shortTicks) {
        const double s = step / (interval.Subdivisions > 0 ? interval.Subdivisions : 1);
        const double start = first - step;
        for (int i = 0; i < kMaxTicksPerLoop; ++i) {
            const double v = start + i * s;
            if (d * v >= d * lo)
                out.Short.push_back(v);
            if (d * ((start + (i + 1) * s) - hi) > 0.001 * std::fabs(s))
                break;
        }
    }
    for (int j = 0; j < kMaxTicksPerLoop; ++j) {
        out.Labelled.push_back(first + j * step);
        if (d * ((first + (j + 1) * step) - hi) > 0.001 * std::fabs(step))
            break;
    }
    return out;
}

void TickList::Reset() {
    m_values.fill(0.0);
    m_count = 0;
}

void TickList::Append(double v) {
    if (m_count >= kCapacity)
        return;
    m_values[static_cast<std::size_t>(m_count++)] = v;
}
