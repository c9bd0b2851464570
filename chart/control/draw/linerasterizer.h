// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One-pixel solid lines written straight into 32-bit scanlines, with the raster rule of the
// platform the chart was designed for: a line from A to B sets the pixels from A up to but
// excluding B; a polyline is consecutive such lines, so its last point is not set either and a
// zero-length segment sets nothing.
//
// Which pixels: let M be the larger of |dx| and |dy| (the major axis; x when they are equal) and
// m the smaller. The line sets M pixels; pixel i (0 <= i < M) lies i steps from A along the
// major axis and, along the minor axis, at the nearest whole offset to i * m / M from A, an exact
// half rounding towards A:
//     offset(i) = floor((2 * i * m + M - 1) / (2 * M)).
// Ties therefore depend on the direction of travel, as with the platform's lines: A->B and B->A
// may differ by the pixels of exact halves.
//
// Clipping is exact: the pixels set are those of the unclipped walk that fall inside the image;
// the part outside is skipped arithmetically, not walked.

#include <QPoint>
#include <cstdint>

class LineRasterizer {
public:
    // Coordinates whose magnitude exceeds this are refused (Accepts): the set-up arithmetic stays
    // within 64 bits.
    static constexpr int kMaxCoordinate = 1 << 28;

    // `bits` is the first scanline of a width × height image of 32-bit pixels, `stride` the
    // distance between scanlines in pixels (not bytes).
    LineRasterizer(std::uint32_t* bits, int width, int height, std::ptrdiff_t stride);

    static bool Accepts(QPoint p) {
        return p.x() >= -kMaxCoordinate && p.x() <= kMaxCoordinate && p.y() >= -kMaxCoordinate &&
               p.y() <= kMaxCoordinate;
    }

    // Sets the pixels of the line from `from` to `to` (end excluded) to `pixel`. Both points
    // must be accepted.
    void Line(QPoint from, QPoint to, std::uint32_t pixel);
    // Consecutive lines through points[0..count-1]; every point must be accepted.
    void Polyline(const QPoint* points, int count, std::uint32_t pixel);

private:
    std::uint32_t* m_bits;
    int m_width;
    int m_height;
    std::ptrdiff_t m_stride;
};
