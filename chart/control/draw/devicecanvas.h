// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The canvas for an image of the screen's own pixels at a device pixel ratio: at ratio 1 the
// chart's QPainterCanvas (its pixels are the reference), otherwise a ScaledCanvas. Whoever draws
// into the surface's images makes its canvas here, so that no drawing knows the ratio.

#include "chart/control/draw/qpaintercanvas.h"
#include "chart/control/draw/scaledcanvas.h"

#include <QImage>
#include <QPalette>
#include <QPoint>
#include <algorithm>
#include <cmath>
#include <optional>

class DeviceCanvas {
public:
    // `origin`: where the image's (0, 0) lies on the 1× grid of the whole chart.
    DeviceCanvas(QImage& image, const QPalette& palette, double ratio, QPoint origin = QPoint()) {
        if (ratio == 1.0) {
            m_plain.emplace(image, palette);
        } else {
            m_scaled.emplace(image, palette, ratio, origin);
        }
    }

    Canvas& Get() { return m_plain ? static_cast<Canvas&>(*m_plain) : *m_scaled; }
    // Texts are stamped at ratio 1 only (stamps are taken at that size).
    void SetTextStamps(TextStamps* stamps) {
        if (m_plain) {
            m_plain->SetTextStamps(stamps);
        }
    }

    // The device pixel at which the 1× coordinate `v` begins.
    static int Device(int v, double ratio) {
        return ratio == 1.0 ? v : static_cast<int>(std::floor(v * ratio));
    }
    // The device pixels that `n` 1× pixels from 0 on take, through the whole pen block of the
    // last one (a line along the edge is as thick there as elsewhere).
    static int Extent(int n, double ratio) {
        if (ratio == 1.0 || n <= 0) {
            return std::max(n, 0);
        }
        return Device(n - 1, ratio) + ScaledCanvas::DeviceWidth(1, ratio);
    }

private:
    std::optional<QPainterCanvas> m_plain;
    std::optional<ScaledCanvas> m_scaled;
};
