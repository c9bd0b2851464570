#include "chart/core/ticks.h"

TickInterval ComputeTickInterval(int, double lo, double) {
    TickInterval t;
    t.First = lo;
    return t;
}

TickValues GenerateTickValues(const TickInterval&, double, double, bool) {
    return {};
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
