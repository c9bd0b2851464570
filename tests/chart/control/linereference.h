// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one-pixel line rule walked naively, pixel by pixel over the whole line, for comparison
// with the rasterizer: pixel i of M lies i steps along the major axis and
// floor((2 i m + M - 1) / 2M) along the minor one, end point excluded.

#include <QImage>
#include <QPoint>
#include <cstdint>
#include <cstdlib>
#include <vector>

inline std::vector<QPoint> referenceLinePixels(QPoint from, QPoint to) {
    std::vector<QPoint> out;
    const std::int64_t dx = to.x() - from.x();
    const std::int64_t dy = to.y() - from.y();
    const std::int64_t adx = std::llabs(dx);
    const std::int64_t ady = std::llabs(dy);
    const bool xMajor = adx >= ady;
    const std::int64_t major = xMajor ? adx : ady;
    const std::int64_t minor = xMajor ? ady : adx;
    const int sx = dx < 0 ? -1 : 1;
    const int sy = dy < 0 ? -1 : 1;
    for (std::int64_t i = 0; i < major; ++i) {
        const std::int64_t offset = (2 * i * minor + major - 1) / (2 * major);
        const std::int64_t along = xMajor ? i : offset;
        const std::int64_t across = xMajor ? offset : i;
        out.emplace_back(static_cast<int>(from.x() + sx * along),
                         static_cast<int>(from.y() + sy * across));
    }
    return out;
}

// Sets the reference pixels of the line that fall inside `image`.
inline void referenceLine(QImage& image, QPoint from, QPoint to, QRgb colour) {
    for (QPoint p : referenceLinePixels(from, to)) {
        if (image.rect().contains(p)) {
            image.setPixel(p, colour);
        }
    }
}

inline void referencePolyline(QImage& image, const QPoint* points, int count, QRgb colour) {
    for (int i = 1; i < count; ++i) {
        referenceLine(image, points[i - 1], points[i], colour);
    }
}
