// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/analysis/sosfilter.h"

SosFilter::SosFilter(const std::vector<Biquad>& sections) {
    m_sections.reserve(sections.size());
    for (const Biquad& q : sections) {
        m_sections.push_back({q.b0, q.b1, q.b2, q.a1, q.a2});
    }
}

void SosFilter::Reset() {
    for (Section& s : m_sections) {
        s.s1 = 0;
        s.s2 = 0;
    }
}
