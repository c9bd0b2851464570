// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/analysis/channelfilter.h"

#include "app/analysis/butterworth.h"

ChannelFilter::ChannelFilter(const FilterSetting& setting, std::optional<double> sampleRate) {
    CheckFilterSetting(setting, sampleRate);
    m_setting = setting;
    if (setting.Kind == FilterKind::Mean) {
        m_mean.emplace(setting.Length);
    } else if (IsButterworth(setting.Kind)) {
        m_sos = SosFilter(DesignButterworth(setting));
    }
}

void ChannelFilter::Reset() {
    if (m_mean) {
        m_mean->Reset();
    }
    m_sos.Reset();
}
