// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The samples a spectrum analyses, taken from a recording's chart items.
//
// A sample of channel 1 is the end point of a layer-1 item (a move-to or draw-to at (X, Y), a
// line's (X2, Y2)); a sample of channel 2 likewise of a layer-2 item. X is whatever the
// recording counts along the X axis (sample numbers, or seconds), so selecting by X works for
// both. Items of other layers or kinds and points with a non-finite coordinate are left out.
// When channel 2 has samples, both channels keep equally many: the shorter count, aligned at
// the start of a range and at the newest end of the newest samples.

#include "chart/core/chartitem.h"

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

struct SpectrumInput {
    std::vector<double> X;                     // channel 1's positions, ascending in a recording
    std::vector<std::vector<double>> Channels; // 1 or 2 channels, each X.size() values

    std::size_t Count() const { return X.size(); }
    // (N − 1) / (last X − first X): the mean rate when X counts seconds. Empty when N < 2 or the
    // positions do not advance.
    std::optional<double> MeanRate() const;
};

// Every sample whose X lies between xLow and xHigh (inclusive, either order), in item order.
SpectrumInput SamplesInRange(std::span<const ChartItem> items, double xLow, double xHigh);

// The newest `count` samples in item order (fewer while fewer exist). Reads only as far back as
// it needs: about count items per channel.
SpectrumInput NewestSamples(std::span<const ChartItem> items, std::size_t count);
