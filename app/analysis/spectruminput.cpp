// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/analysis/spectruminput.h"

#include <algorithm>
#include <cmath>

namespace {

struct Point {
    int channel = 0; // 0: not a sample
    double x = 0.0;
    double y = 0.0;
};

Point sampleOf(const ChartItem& item) {
    if (item.Layer != 1 && item.Layer != 2) {
        return {};
    }
    Point p;
    switch (item.Kind) {
    case ikMoveTo:
    case ikDrawTo:
        p = {item.Layer, item.X, item.Y};
        break;
    case ikLine:
        p = {item.Layer, item.X2, item.Y2};
        break;
    default:
        return {};
    }
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
        return {};
    }
    return p;
}

struct Collected {
    std::vector<double> x1, y1, y2;
};

SpectrumInput finish(Collected c, bool keepNewest) {
    SpectrumInput input;
    std::size_t n = c.y1.size();
    if (!c.y2.empty()) {
        n = std::min(n, c.y2.size());
    }
    const auto trim = [n, keepNewest](std::vector<double>& v) {
        if (keepNewest) {
            v.erase(v.begin(), v.end() - static_cast<std::ptrdiff_t>(n));
        } else {
            v.resize(n);
        }
    };
    trim(c.x1);
    trim(c.y1);
    input.X = std::move(c.x1);
    input.Channels.push_back(std::move(c.y1));
    if (!c.y2.empty()) {
        trim(c.y2);
        input.Channels.push_back(std::move(c.y2));
    }
    return input;
}

} // namespace

std::optional<double> SpectrumInput::MeanRate() const {
    if (X.size() < 2) {
        return std::nullopt;
    }
    const double span = X.back() - X.front();
    if (!(span > 0.0) || !std::isfinite(span)) {
        return std::nullopt;
    }
    return static_cast<double>(X.size() - 1) / span;
}

SpectrumInput SamplesInRange(std::span<const ChartItem> items, double xLow, double xHigh) {
    if (xHigh < xLow) {
        std::swap(xLow, xHigh);
    }
    Collected c;
    for (const ChartItem& item : items) {
        const Point p = sampleOf(item);
        if (p.channel == 0 || p.x < xLow || p.x > xHigh) {
            continue;
        }
        if (p.channel == 1) {
            c.x1.push_back(p.x);
            c.y1.push_back(p.y);
        } else {
            c.y2.push_back(p.y);
        }
    }
    return finish(std::move(c), false);
}

SpectrumInput NewestSamples(std::span<const ChartItem> items, std::size_t count) {
    Collected c;
    c.x1.reserve(count);
    c.y1.reserve(count);
    // Backwards from the newest item. A two-channel recording writes channel 1's item of a
    // sample before channel 2's, so once channel 1 is full, channel 2 is too; a one-channel
    // recording never fills channel 2 and ends as soon as channel 1 is full.
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        if (c.y1.size() >= count && (c.y2.empty() || c.y2.size() >= count)) {
            break;
        }
        const Point p = sampleOf(*it);
        if (p.channel == 1 && c.y1.size() < count) {
            c.x1.push_back(p.x);
            c.y1.push_back(p.y);
        } else if (p.channel == 2 && c.y2.size() < count) {
            c.y2.push_back(p.y);
        }
    }
    std::reverse(c.x1.begin(), c.x1.end());
    std::reverse(c.y1.begin(), c.y1.end());
    std::reverse(c.y2.begin(), c.y2.end());
    return finish(std::move(c), true);
}
