// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A cascade of second-order sections run in transposed direct form II in double precision:
// two state values per section, each output one multiply-add away from its input.

#include "app/analysis/butterworth.h"

#include <vector>

class SosFilter {
public:
    SosFilter() = default;
    explicit SosFilter(const std::vector<Biquad>& sections);

    // The next output for input x. With finite inputs and stable sections the state stays
    // finite (it is bounded by the inputs times the sum of the impulse response).
    double Process(double x) {
        for (Section& s : m_sections) {
            const double y = s.b0 * x + s.s1;
            s.s1 = s.b1 * x - s.a1 * y + s.s2;
            s.s2 = s.b2 * x - s.a2 * y;
            x = y;
        }
        return x;
    }

    // Zero state: the filter as if it had only ever seen zeros.
    void Reset();

private:
    struct Section {
        double b0, b1, b2, a1, a2;
        double s1 = 0;
        double s2 = 0;
    };
    std::vector<Section> m_sections;
};
