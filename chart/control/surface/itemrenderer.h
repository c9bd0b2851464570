// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Renders the plot image of a full repaint, continuing its last pass where it can (the chart's
// "items cache").
//
// A full repaint draws background, grid, every item and the plot outline into the plot image;
// repainting after new items were appended repeats the same drawing calls and adds some. The
// renderer keeps the item painter's state after the last drawn item (pen, brush, pen position,
// polyline points not yet drawn) and the pixels its render drew over only for showing: the
// pending polyline and the outline. Render takes those off the plot image again, which leaves
// the "committed" image (background, grid and every item call issued so far), draws only the new
// items onto it and puts the pending polyline and the outline back on: the calls, and therefore
// the pixels, are exactly those of a pass from scratch.
//
// The image has the screen's own pixels at a device pixel ratio r (DeviceCanvas; at r = 1 the
// chart's QPainterCanvas). Every drawing call is opaque and aliased at any ratio, so each pixel
// keeps its last writer and the argument above holds unchanged; only the rectangles kept and
// returned (the pixels under the pending polyline, what a continued render changed) are taken
// from the 1× bounds of the calls to device pixels, generously (see deviceRect).
//
// A pass is reused only while everything the drawing reads is unchanged (Key: ratio, plot
// geometry, every layer's transform, ranges and axis kind, the grid settings and the active
// layer's tick lists, colours, the initial line width, the palette) and the item store's
// generation is the same (no item deleted, cleared or loaded since). Anything else starts a pass
// from scratch.

#include "chart/control/draw/itempainter.h"

#include <QImage>
#include <QPalette>
#include <QRect>
#include <QSize>
#include <array>
#include <cstdint>
#include <vector>

class PlotChartCore;

class ItemRenderer {
public:
    // Renders into `plot` what ItemPainter::Paint(true) draws at device pixel ratio `ratio` into
    // a freshly blanked plot image (BlankPlotImage; null when the plot area is empty). Only when
    // `plotIsLastRender` (plot holds this renderer's previous render, untouched since) can the
    // pass continue; then only the pixels that can differ are written. Returns the rectangle (in
    // the image's pixels) outside which `plot` kept its pixels (the whole image when it was drawn
    // afresh).
    QRect Render(const PlotChartCore& chart, const QPalette& palette, QImage& plot,
                 bool plotIsLastRender = false, double ratio = 1.0);
    // Whether the last Render drew exactly the chart's present state at `ratio` (same key,
    // generation and item count): an image it produced then equals a render from scratch now.
    bool IsCurrent(const PlotChartCore& chart, const QPalette& palette, double ratio = 1.0) const;
    // Whether the next Render certainly starts a new pass (a cheap look at the ranges and the
    // store; false does not promise that the pass continues).
    bool StartsAfresh(const PlotChartCore& chart, bool plotIsLastRender) const;
    // Forgets the pass; the next Render starts from scratch.
    void Invalidate() { m_valid = false; }

    // Renders that continued a pass / started one (for the benchmark and tests).
    std::uint64_t Continued() const { return m_continued; }
    std::uint64_t Started() const { return m_started; }

    // The plot image's size at `ratio`: the plot area and one pixel more each way, at r ≠ 1
    // through the whole pen block of the last 1× pixel (DeviceCanvas::Extent).
    static QSize PlotImageSize(const PlotChartCore& chart, double ratio);
    // Blanks `image` at that size: ChartColor inside, ChartFrameColor outline, every pixel written.
    static void BlankPlotImage(const PlotChartCore& chart, const QPalette& palette, QImage& image,
                               double ratio = 1.0);

private:
    struct LayerKey {
        long double Kx = 0, Ox = 0, Ky = 0, Oy = 0;
        double XLow = 0, XHigh = 0, YLow = 0, YHigh = 0;
        bool XLog = false, YLog = false;
        bool operator==(const LayerKey&) const = default;
    };
    struct Key {
        double Ratio = 1.0;
        int Width = 0, Height = 0, PlotWidth = 0, PlotHeight = 0, MarginLeft = 0, MarginTop = 0;
        std::array<LayerKey, 16> Layers{};
        int GridStyle = 0;
        TColor GridColor = 0;
        double GridDx = 0, GridDy = 0;
        int ActiveLayer = 0;
        std::vector<double> TicksX, TicksY;
        TColor ChartColor = 0, ChartFrameColor = 0;
        int LineWidth = 0;
        qint64 Palette = 0;
        bool operator==(const Key&) const = default;
    };

    static Key keyOf(const PlotChartCore& chart, const QPalette& palette, double ratio);
    // The device pixels that may hold what calls within the 1× rectangle `bounds` (BoundsCanvas)
    // drew with pens up to `penWidth` wide, within `image`.
    static QRect deviceRect(const PlotChartCore& chart, const QRect& bounds, int penWidth,
                            double ratio, const QRect& image);

    // The pixels of the last render below its pending polyline, and putting them back: then the
    // image is the committed one again (but for its edges, which only the outline decides).
    void saveUnderOverlays(const QImage& plot);
    void restoreUnderOverlays(QImage& plot) const;

    Key m_key;
    std::uint64_t m_generation = 0;
    int m_drawn = 0; // items of the pass drawn onto the image
    ItemPainter::State m_state;
    // Where the last render drew the pending polyline (in the image's pixels).
    QRect m_lastPending;
    QImage m_underPending;
    bool m_valid = false;
    std::uint64_t m_continued = 0;
    std::uint64_t m_started = 0;
};
