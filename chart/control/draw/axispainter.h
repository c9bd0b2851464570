// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Drawing of the chart image's fixed parts: the axes from their laid-out data (a dumb loop over
// ticks, axis line, labels and caption) and the control background with shadow, frame and title.

#include "chart/control/draw/canvas.h"
#include "chart/core/axisdrawing.h"

#include <QPoint>
#include <QRect>

class QPaintDevice;

#include <string>

class PlotChartCore;

// Text extents of the axis layout measured through a canvas (so a recording canvas gives its
// fixed metrics and a QPainter canvas the real ones).
class CanvasTextMeasure : public TextMeasure {
public:
    explicit CanvasTextMeasure(Canvas& canvas) : m_canvas(&canvas) {}
    int TextWidth(const TChartFont& font, const std::string& text) const override;
    int TextHeight(const TChartFont& font, const std::string& text) const override;

private:
    Canvas* m_canvas;
};

// Text extents from Qt's font metrics of the chart font, without a canvas; matches what
// QPainterCanvas draws.
class QtTextMeasure : public TextMeasure {
public:
    int TextWidth(const TChartFont& font, const std::string& text) const override;
    int TextHeight(const TChartFont& font, const std::string& text) const override;
};

// Ticks and axis line in the axis colour (solid, width 1), then labels and caption in the axis
// font with a transparent background. An invisible axis draws nothing.
// `offset` moves the whole drawing (a canvas on a part of the image draws the same pixels there).
// With `within` (in the axis's own coordinates, measured on `metricsDevice`), texts that cannot
// reach into that area are left out: they would not change a pixel of it.
void DrawAxis(Canvas& canvas, const AxisDrawing& axis, QPoint offset = QPoint(),
              const QRect& within = QRect(), const QPaintDevice* metricsDevice = nullptr);
// Every pixel DrawAxis may change on an image of `metricsDevice`'s resolution (conservative:
// whole segments, the ink and advance boxes of the texts and two pixels around them); empty for
// an invisible axis.
QRect AxisBounds(const AxisDrawing& axis, const QPaintDevice& metricsDevice);

// Background in WindColor over the whole control, the shadow (ssFlying or ssBox) with its two
// corner squares, the black outline and the title at its anchor.
void DrawControlBackground(Canvas& canvas, const PlotChartCore& chart);
