// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/control/draw/canvaspainter.h"

#include <QImage>

DirectPixels BeginCanvasPainter(QPainter& painter, QImage& image, bool directFormat) {
    // bits() detaches a shared image now; were it to detach after begin(), the painter would
    // draw into a copy the direct writes never see.
    std::uint32_t* bits = nullptr;
    if (directFormat && !image.isNull() && image.devicePixelRatio() == 1.0) {
        bits = reinterpret_cast<std::uint32_t*>(image.bits());
    }
    painter.begin(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    DirectPixels direct;
    if (bits != nullptr && painter.isActive() && painter.deviceTransform().isIdentity() &&
        image.constBits() == reinterpret_cast<const uchar*>(bits)) {
        direct.Bits = bits;
        direct.Stride = image.bytesPerLine() / 4;
    }
    return direct;
}

Qt::PenStyle ToQtPenStyle(TPenStyle style) {
    switch (style) {
    case psDash:
        return Qt::DashLine;
    case psDot:
        return Qt::DotLine;
    case psDashDot:
        return Qt::DashDotLine;
    case psDashDotDot:
        return Qt::DashDotDotLine;
    case psClear:
        return Qt::NoPen;
    case psSolid:
    case psInsideFrame:
        return Qt::SolidLine;
    }
    return Qt::SolidLine;
}
