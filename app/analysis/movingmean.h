// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The mean of the newest Length inputs (of all inputs while fewer have arrived), kept as a
// running sum. Adding and removing values rounds, and a huge value that passes through takes
// the small ones' digits with it; so once every Length inputs the sum is made again, exactly
// rounded, from the kept values, and no error outlives one window.

#include <cstddef>
#include <vector>

class MovingMean {
public:
    // length >= 1.
    explicit MovingMean(int length);

    double Process(double x) {
        double& slot = m_window[m_next];
        if (m_count == m_window.size()) {
            m_sum -= slot;
        } else {
            ++m_count;
        }
        slot = x;
        m_sum += x;
        if (++m_next == m_window.size()) {
            m_next = 0;
            m_sum = exactSum();
        }
        return m_sum / static_cast<double>(m_count);
    }

    // No inputs yet.
    void Reset();

    int Length() const { return static_cast<int>(m_window.size()); }

private:
    double exactSum();

    std::vector<double> m_window;
    std::vector<double> m_partials; // scratch of exactSum, kept to avoid allocating
    std::size_t m_next = 0;
    std::size_t m_count = 0;
    double m_sum = 0;
};
