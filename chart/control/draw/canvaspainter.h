// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the canvases that paint into a QImage (QPainterCanvas, ScaledCanvas) share: starting the
// painter so that it and the direct pixel writes of the data lines work on one buffer, and the
// Qt pen style of a chart pen style.

#include "chart/control/draw/canvas.h"

#include <QPainter>
#include <cstddef>
#include <cstdint>

class QImage;

// The image's pixels for writing straight into them, or Bits == nullptr where that is not safe.
struct DirectPixels {
    std::uint32_t* Bits = nullptr; // the first scanline
    std::ptrdiff_t Stride = 0;     // in pixels
};

// Begins `painter` on `image` with antialiasing off for lines and text. The pixels are returned
// only when `directFormat` (the caller's 32-bit formats) holds, the image is not null, has device
// pixel ratio 1, and the painter draws into that very buffer untransformed. The image is detached
// before the painter starts, so the returned pixels stay the painter's for its whole life.
DirectPixels BeginCanvasPainter(QPainter& painter, QImage& image, bool directFormat);

// Qt's pen style for a chart pen style; a style byte from a loaded file may hold anything, which
// draws solid.
Qt::PenStyle ToQtPenStyle(TPenStyle style);
