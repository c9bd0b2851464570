// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The drawing surface of the chart. The renderer talks only to this interface so that tests can
// record every call (RecordingCanvas) while the program draws into QImages (QPainterCanvas).
//
// Coordinates are integer pixels of the target. Semantics follow the raster rules the chart was
// designed for:
//  - Rectangle(x1, y1, x2, y2) covers x1..x2-1 × y1..y2-1: outline with the pen, inside with the
//    brush (nothing for a clear brush);
//  - FillRect covers the same pixels with the brush only;
//  - Line and Polyline draw with the current pen (colour, width, style);
//  - Polygon outlines with the pen and fills with the brush;
//  - TextOut puts the text's top-left corner at (x, y), transparent background, current font.

#include "chart/core/chartfont.h"
#include "chart/core/chartitem.h"
#include "chart/core/tcolor.h"

#include <QPoint>
#include <QSize>
#include <QString>
#include <cstdint>

struct CanvasPen {
    TColor Color = 0;
    int Width = 1;
    TPenStyle Style = psSolid;
    bool operator==(const CanvasPen&) const = default;
};

struct CanvasBrush {
    TColor Color = 0xFFFFFF;
    bool Clear = false;
    bool operator==(const CanvasBrush&) const = default;
};

class Canvas {
public:
    virtual ~Canvas() = default;

    virtual void SetPen(const CanvasPen& pen) = 0;
    virtual void SetBrush(const CanvasBrush& brush) = 0;
    virtual void SetFont(const TChartFont& font) = 0;

    virtual void Line(QPoint from, QPoint to) = 0;
    // Draws one connected line through points[0..count-1]; count >= 2 draws something.
    virtual void Polyline(const QPoint* points, int count) = 0;
    virtual void Polygon(const QPoint* points, int count) = 0;
    virtual void Rectangle(int x1, int y1, int x2, int y2) = 0;
    virtual void FillRect(int x1, int y1, int x2, int y2) = 0;
    virtual void SetPixel(QPoint at, TColor color) = 0;
    virtual void TextOut(int x, int y, const QString& text) = 0;
    // Width and height of the text in the current font.
    virtual QSize TextExtent(const QString& text) = 0;
};
