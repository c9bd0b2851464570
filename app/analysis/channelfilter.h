// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The filter of one channel as the pipeline runs it: built from a FilterSetting, fed one scaled
// value per sample, its state started afresh by Reset. "Kein Filter" passes values unchanged.

#include "app/analysis/filtersetting.h"
#include "app/analysis/movingmean.h"
#include "app/analysis/sosfilter.h"

#include <optional>

class ChannelFilter {
public:
    ChannelFilter() = default;
    // Raises EConvertError for a setting that CheckFilterSetting refuses (sampleRate only for
    // texts).
    explicit ChannelFilter(const FilterSetting& setting, std::optional<double> sampleRate = {});

    const FilterSetting& Setting() const { return m_setting; }
    bool Active() const { return m_setting.Kind != FilterKind::None; }

    double Process(double x) {
        switch (m_setting.Kind) {
        case FilterKind::None:
            return x;
        case FilterKind::Mean:
            return m_mean->Process(x);
        default:
            return m_sos.Process(x);
        }
    }

    void Reset();

private:
    FilterSetting m_setting;
    std::optional<MovingMean> m_mean;
    SosFilter m_sos;
};
