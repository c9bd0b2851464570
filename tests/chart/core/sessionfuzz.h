// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Random and mutated session file contents for fuzz-style tests: any length, arbitrary bytes,
// records whose doubles are NaN, infinite, huge or denormal and whose kind and layer take any
// value. Deterministic for a given generator state, so a failing case can be replayed.

#include "chart/core/chartitem.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace sessionfuzz {

inline double oddDouble(std::mt19937& rng) {
    constexpr double values[] = {std::numeric_limits<double>::quiet_NaN(),
                                 -std::numeric_limits<double>::quiet_NaN(),
                                 std::numeric_limits<double>::signaling_NaN(),
                                 std::numeric_limits<double>::infinity(),
                                 -std::numeric_limits<double>::infinity(),
                                 std::numeric_limits<double>::max(),
                                 std::numeric_limits<double>::lowest(),
                                 std::numeric_limits<double>::denorm_min(),
                                 -0.0,
                                 0.0,
                                 1e300,
                                 -1e12,
                                 2147483648.0,
                                 -2147483649.0,
                                 0.5};
    return values[rng() % std::size(values)];
}

// A record that looks like one this system writes, then mutated.
inline ChartItem plausibleRecord(std::mt19937& rng) {
    ChartItem item{};
    const std::uint8_t kinds[] = {ikMoveTo, ikDrawTo, ikLine};
    item.Kind = kinds[rng() % 3];
    item.Layer = static_cast<std::int32_t>(rng() % 2 + 1);
    item.Color = (rng() % 2) ? clBlue : clMaroon;
    item.FillColor = clSilver;
    item.LineWidth = 1;
    item.X = static_cast<double>(rng() % 2000);
    item.Y = static_cast<double>(rng() % 1000) / 100.0;
    item.X2 = item.X + 1;
    item.Y2 = item.Y;
    switch (rng() % 8) {
    case 0:
        item.X = oddDouble(rng);
        break;
    case 1:
        item.Y2 = oddDouble(rng);
        break;
    case 2:
        item.Kind = static_cast<std::uint8_t>(rng()); // any code, foreign kinds included
        break;
    case 3: {
        const std::int32_t layers[] = {0,
                                       -1,
                                       17,
                                       1000,
                                       std::numeric_limits<std::int32_t>::min(),
                                       std::numeric_limits<std::int32_t>::max()};
        item.Layer = layers[rng() % std::size(layers)];
        break;
    }
    case 4:
        item.LineWidth = static_cast<std::int32_t>(rng());
        item.PenStyle = static_cast<std::uint8_t>(rng());
        break;
    case 5:
        item.Text[0] = static_cast<std::uint8_t>(rng()); // text length beyond its field
        item.Angle = static_cast<std::int32_t>(rng());
        item.Size = static_cast<std::int32_t>(rng());
        item.Marker = static_cast<std::uint8_t>(rng());
        break;
    default:
        break;
    }
    return item;
}

// File contents: whole plausible records, pure noise, or noise with a trailing fragment.
inline std::vector<std::uint8_t> fileBytes(std::mt19937& rng) {
    const unsigned shape = rng() % 4;
    const std::size_t records = rng() % 40;
    const std::size_t fragment = (shape >= 2) ? rng() % sizeof(ChartItem) : 0;
    std::vector<std::uint8_t> bytes(records * sizeof(ChartItem) + fragment);
    for (std::size_t r = 0; r < records; ++r) {
        if (shape == 1) {
            for (std::size_t i = 0; i < sizeof(ChartItem); ++i) {
                bytes[r * sizeof(ChartItem) + i] = static_cast<std::uint8_t>(rng());
            }
        } else {
            const ChartItem item = plausibleRecord(rng);
            std::memcpy(&bytes[r * sizeof(ChartItem)], &item, sizeof item);
        }
    }
    for (std::size_t i = records * sizeof(ChartItem); i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(rng());
    }
    // A few flipped bits anywhere.
    for (unsigned flips = rng() % 4; flips > 0 && !bytes.empty(); --flips) {
        bytes[rng() % bytes.size()] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
    }
    return bytes;
}

} // namespace sessionfuzz
