// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The filter of one channel as the pipeline runs it: built from a FilterSpec, fed one scaled
// value per sample, its state started afresh by Reset. "Kein Filter" passes values unchanged.

#include "app/analysis/filterspec.h"
#include "app/analysis/movingmean.h"
#include "app/analysis/sosfilter.h"

#include <optional>

class ChannelFilter {
public:
    ChannelFilter() = default;
    // Raises EConvertError for a spec that CheckFilterSpec refuses (sampleRate only for texts).
    explicit ChannelFilter(const FilterSpec& spec, std::optional<double> sampleRate = {});

    const FilterSpec& Spec() const { return m_spec; }
    bool Active() const { return m_spec.Kind != FilterKind::None; }

    double Process(double x) {
        switch (m_spec.Kind) {
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
    FilterSpec m_spec;
    std::optional<MovingMean> m_mean;
    SosFilter m_sos;
};
