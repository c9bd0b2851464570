// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The chart image's fixed parts (background, shadow, frame, title, the 32 axes) built from the
// chart's settings, reusing what the last build drew. Building the image (text above all) costs
// far more than comparing its inputs, so an unchanged chart keeps its image, a chart whose axes
// alone changed (a scrolling range) has only their area redrawn, and the axis texts are stamped
// from their first drawing (TextStamps).
//
// Without reuse (the uncached reference) every build lays every axis out and draws the whole
// image with the painter; the pixels are the same either way.
//
// At a device pixel ratio r ≠ 1 the image has the screen's pixels (DeviceCanvas): the axes are
// laid out as at ratio 1 and drawn scaled; a changed image is drawn whole.

#include "chart/control/draw/textstamps.h"
#include "chart/core/axisdrawing.h"
#include "chart/core/chartlayers.h"
#include "chart/core/plotchartcore.h"

#include <QImage>
#include <QPalette>
#include <QRect>
#include <array>
#include <cstdint>
#include <span>
#include <string>

class ChartImageCache {
public:
    // What a build changed in the image outside the plot area's content.
    struct Change {
        // The image was drawn anew: every pixel outside the plot area changed, and what lies in
        // the plot area is undefined (its caller lays the plot over it).
        bool Redrawn = false;
        // Otherwise the pixels that changed (empty: none); they may reach into the plot area.
        QRect Dirty;
    };

    // Makes `image` the chart image of the chart's present state outside its plot area (`plotArea`,
    // in the image's pixels), at device pixel ratio `ratio` (DeviceCanvas::Extent of Width and
    // Height pixels). Refreshes every painted axis's tick list as laying the axes out does (the
    // grid reads them). `imageGeneration` names what `image` holds outside the plot area: a build
    // of this cache at that generation; the build sets it. With `reuse` false nothing of an earlier
    // build is reused. Computes the layer transforms.
    Change Build(PlotChartCore& chart, const QPalette& palette, QImage& image,
                 std::uint64_t& imageGeneration, bool reuse, double ratio, const QRect& plotArea);

private:
    static constexpr int kAxisCount = 2 * ChartLayers::kLayerCount;

    // Everything the background's pixels depend on.
    struct Key {
        int Width = 0, Height = 0, MarginLeft = 0, MarginRight = 0, MarginTop = 0, MarginBottom = 0,
            ShadowWidth = 0;
        TShadowStyle ShadowStyle = ssFlying;
        TColor WindColor = 0, ShadowColor = 0, ShadowBakColor = 0, ChartFrameColor = 0;
        std::string Caption;
        int CaptionPosX = 0, CaptionPosY = 0;
        TAlignment CaptionAlignment = taCenter;
        TCaptionAnchorHoriz AnchorHoriz = cahChartRight;
        TCaptionAnchorVert AnchorVert = cavChartTop;
        TChartFont Font;
        qint64 Palette = 0;
        double Ratio = 1.0;
        bool operator==(const Key&) const = default;
    };
    static Key keyOf(const PlotChartCore& chart, const QPalette& palette, double ratio);

    // Redraws `dirty` of `image`: background (outside `plotArea`) and the axes reaching into it
    // (`bounds`: each axis's AxisBounds).
    void patch(QImage& image, const QPalette& palette, const QRect& dirty, const QRect& plotArea,
               std::span<const AxisDrawing> axes, std::span<const QRect> bounds, bool reuse);

    Key m_key;
    std::array<AxisDrawing, kAxisCount> m_axes;
    // Each axis painter as it was at the layout that gave m_axes, and its layout count then.
    std::array<TScale, kAxisCount> m_laidOutFrom;
    std::array<std::uint64_t, kAxisCount> m_layoutCounts{};
    bool m_valid = false;
    std::uint64_t m_generation = 0; // counts builds that drew
    // The control background alone (shadow, frame, title) for m_backgroundKey: a scrolling range
    // changes only axes, and copying this costs less than drawing it.
    Key m_backgroundKey;
    QImage m_background;
    // The axis texts, stamped (the uncached chart draws them every time).
    TextStamps m_texts;
};
