// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/analysis/channelfilter.h"

#include "app/analysis/butterworth.h"

ChannelFilter::ChannelFilter(const FilterSpec& spec, std::optional<double> sampleRate) {
    CheckFilterSpec(spec, sampleRate);
    m_spec = spec;
    if (spec.Kind == FilterKind::Mean) {
        m_mean.emplace(spec.Length);
    } else if (IsButterworth(spec.Kind)) {
        m_sos = SosFilter(DesignButterworth(spec));
    }
}

void ChannelFilter::Reset() {
    if (m_mean) {
        m_mean->Reset();
    }
    m_sos.Reset();
}
