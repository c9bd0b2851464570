// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/analysis/movingmean.h"

#include <algorithm>
#include <cmath>

MovingMean::MovingMean(int length) : m_window(static_cast<std::size_t>(std::max(length, 1))) {}

void MovingMean::Reset() {
    std::fill(m_window.begin(), m_window.end(), 0.0);
    m_next = 0;
    m_count = 0;
    m_sum = 0;
}

double MovingMean::exactSum() {
    // Shewchuk's partials: the values' sum held exactly as non-overlapping doubles, then
    // rounded once (the sum Python's math.fsum gives).
    m_partials.clear();
    for (std::size_t i = 0; i < m_count; ++i) {
        double x = m_window[i];
        std::size_t kept = 0;
        for (double y : m_partials) {
            if (std::abs(x) < std::abs(y)) {
                std::swap(x, y);
            }
            const double high = x + y;
            const double low = y - (high - x);
            if (low != 0) {
                m_partials[kept++] = low;
            }
            x = high;
        }
        m_partials.resize(kept);
        m_partials.push_back(x);
    }
    // Adding the partials from the largest down rounds once, apart from the half-way case
    // math.fsum also looks at, which a mean does not need.
    double sum = 0;
    for (auto it = m_partials.rbegin(); it != m_partials.rend(); ++it) {
        sum += *it;
    }
    return sum;
}
