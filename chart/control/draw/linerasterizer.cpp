// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/control/draw/linerasterizer.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Division rounding towards minus and plus infinity; d > 0.
std::int64_t floorDiv(std::int64_t n, std::int64_t d) {
    const std::int64_t q = n / d;
    return (n % d != 0 && n < 0) ? q - 1 : q;
}

std::int64_t ceilDiv(std::int64_t n, std::int64_t d) {
    const std::int64_t q = n / d;
    return (n % d != 0 && n > 0) ? q + 1 : q;
}

} // namespace

LineRasterizer::LineRasterizer(std::uint32_t* bits, int width, int height, std::ptrdiff_t stride)
    : m_bits(bits), m_width(width), m_height(height), m_stride(stride) {}

void LineRasterizer::Line(QPoint from, QPoint to, std::uint32_t pixel) {
    const int dx = to.x() - from.x();
    const int dy = to.y() - from.y();
    const bool xMajor = std::abs(dx) >= std::abs(dy);
    // u runs along the major axis, v along the minor one.
    const std::int64_t major = xMajor ? std::abs(dx) : std::abs(dy);
    const std::int64_t minor = xMajor ? std::abs(dy) : std::abs(dx);
    if (major == 0 || m_width <= 0 || m_height <= 0) {
        return;
    }
    const int au = xMajor ? from.x() : from.y();
    const int av = xMajor ? from.y() : from.x();
    const int su = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const int sv = (xMajor ? dy : dx) < 0 ? -1 : 1;
    const int uLimit = xMajor ? m_width : m_height;
    const int vLimit = xMajor ? m_height : m_width;
    const std::ptrdiff_t uStep = xMajor ? su : su * m_stride;
    const std::ptrdiff_t vStep = xMajor ? sv * m_stride : sv;
    const std::int64_t twoMajor = 2 * major;
    const std::int64_t twoMinor = 2 * minor;

    std::int64_t first = 0;
    std::int64_t last = major - 1;
    const auto inside = [](int value, int limit) { return value >= 0 && value < limit; };
    const bool endsInside = inside(from.x(), m_width) && inside(from.y(), m_height) &&
                            inside(to.x(), m_width) && inside(to.y(), m_height);
    if (!endsInside) {
        // Steps whose major coordinate lies in the image.
        if (su > 0) {
            first = std::max<std::int64_t>(first, -static_cast<std::int64_t>(au));
            last = std::min<std::int64_t>(last, static_cast<std::int64_t>(uLimit) - 1 - au);
        } else {
            first = std::max<std::int64_t>(first, static_cast<std::int64_t>(au) - (uLimit - 1));
            last = std::min<std::int64_t>(last, au);
        }
        // Minor offsets that lie in the image, then the steps that have them: the offset never
        // decreases along the line, so they form one run of steps.
        std::int64_t lowOffset =
            sv > 0 ? -static_cast<std::int64_t>(av) : static_cast<std::int64_t>(av) - (vLimit - 1);
        std::int64_t highOffset =
            sv > 0 ? static_cast<std::int64_t>(vLimit) - 1 - av : static_cast<std::int64_t>(av);
        lowOffset = std::max<std::int64_t>(lowOffset, 0);
        highOffset = std::min<std::int64_t>(highOffset, minor);
        if (lowOffset > highOffset) {
            return;
        }
        if (minor > 0) {
            // offset(i) >= k  <=>  2im + M - 1 >= 2Mk;  offset(i) <= k  <=>  2im <= 2Mk + M.
            first = std::max(first, ceilDiv(twoMajor * lowOffset - major + 1, twoMinor));
            last = std::min(last, floorDiv(twoMajor * highOffset + major, twoMinor));
        }
        if (first > last) {
            return;
        }
    }

    // Bresenham from step `first`: offset and remainder of (2im + M - 1) / 2M.
    // From the first step (the usual case) that is 0 and M - 1, without a 64-bit division.
    const std::int64_t numerator = twoMinor * first + major - 1;
    const std::int64_t offset = first == 0 ? 0 : numerator / twoMajor;
    std::int64_t remainder = first == 0 ? numerator : numerator % twoMajor;
    const std::int64_t u = au + su * first;
    const std::int64_t v = av + sv * offset;
    std::ptrdiff_t at = xMajor ? static_cast<std::ptrdiff_t>(v * m_stride + u)
                               : static_cast<std::ptrdiff_t>(u * m_stride + v);
    std::int64_t count = last - first + 1;
    if (minor == 0 && xMajor) {
        std::fill_n(m_bits + (su > 0 ? at : at - (count - 1)), count, pixel);
        return;
    }
    for (;;) {
        m_bits[at] = pixel;
        if (--count == 0) {
            break;
        }
        remainder += twoMinor;
        if (remainder >= twoMajor) {
            remainder -= twoMajor;
            at += vStep;
        }
        at += uStep;
    }
}

void LineRasterizer::Polyline(const QPoint* points, int count, std::uint32_t pixel) {
    for (int i = 1; i < count; ++i) {
        Line(points[i - 1], points[i], pixel);
    }
}
