// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/control/surface/pixelcopy.h"

#include <cstddef>
#include <cstring>

void CopyPixels(QImage& to, QPoint at, const QImage& from, const QRect& part) {
    if (part.isEmpty()) {
        return;
    }
    const std::size_t bytes = static_cast<std::size_t>(part.width()) * 4;
    for (int y = 0; y < part.height(); ++y) {
        std::memcpy(to.scanLine(at.y() + y) + static_cast<std::ptrdiff_t>(at.x()) * 4,
                    from.constScanLine(part.top() + y) +
                        static_cast<std::ptrdiff_t>(part.left()) * 4,
                    bytes);
    }
}

void CopyOutside(const QImage& from, QImage& to, const QRect& area, const QRect& skip) {
    const QRect hole = area & skip;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto copy = [&](int left, int right) { // [left, right)
            if (right > left) {
                std::memcpy(to.scanLine(y) + static_cast<std::ptrdiff_t>(left) * 4,
                            from.constScanLine(y) + static_cast<std::ptrdiff_t>(left) * 4,
                            static_cast<std::size_t>(right - left) * 4);
            }
        };
        if (hole.isEmpty() || y < hole.top() || y > hole.bottom()) {
            copy(area.left(), area.right() + 1);
        } else {
            copy(area.left(), hole.left());
            copy(hole.right() + 1, area.right() + 1);
        }
    }
}
