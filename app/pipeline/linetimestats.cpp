// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/pipeline/linetimestats.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace {

// A positive float's bit pattern grows with its value: its exponent and upper ten mantissa
// bits give the bucket.
constexpr int kDropBits = 13;
const std::uint32_t kLowest =
    std::bit_cast<std::uint32_t>(static_cast<float>(LineTimeStats::kMinMs));
const std::uint32_t kHighest =
    std::bit_cast<std::uint32_t>(static_cast<float>(LineTimeStats::kMaxMs));
const std::size_t kBuckets = ((kHighest - kLowest) >> kDropBits) + 1;

std::size_t bucketOf(float ms) {
    if (!(ms > static_cast<float>(LineTimeStats::kMinMs))) {
        return 0;
    }
    const float clamped = std::min(ms, static_cast<float>(LineTimeStats::kMaxMs));
    return (std::bit_cast<std::uint32_t>(clamped) - kLowest) >> kDropBits;
}

double lowerEdge(std::size_t bucket) {
    return std::bit_cast<float>(kLowest + (static_cast<std::uint32_t>(bucket) << kDropBits));
}

} // namespace

void LineTimeStats::Add(float ms) {
    if (m_buckets.empty()) {
        m_buckets.assign(kBuckets, 0);
    }
    ++m_buckets[bucketOf(ms)];
    ++m_count;
}

double LineTimeStats::Percentile(double p) const {
    if (m_count == 0) {
        return 0.0;
    }
    const auto rank = std::min<std::uint64_t>(
        m_count - 1, static_cast<std::uint64_t>(std::max(0.0, p) * static_cast<double>(m_count)));
    std::uint64_t seen = 0;
    for (std::size_t b = 0; b < m_buckets.size(); ++b) {
        seen += m_buckets[b];
        if (seen > rank) {
            return lowerEdge(b);
        }
    }
    return kMaxMs;
}
