// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The rubber-band rectangle of the modes maRubberBand, maZoomWind and maZoomWindPos: started by
// a left press inside the plot area, stretched by moves, and on release turned into data
// rectangles of the mouse-controlled layers (reported, or applied as their new ranges).
// Plain C++; the widget draws the rectangle over the shown picture.

#include "chart/core/chartlayers.h"
#include "chart/core/mousedrag.h"
#include "chart/core/mouserange.h"

#include <functional>

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// The press corner (X1, Y1) and the current corner (X2, Y2), chart pixels.
struct TRubberBandRect {
    int X1 = 0;
    int Y1 = 0;
    int X2 = 0;
    int Y2 = 0;
    bool operator==(const TRubberBandRect&) const = default;
};

class RubberBand {
public:
    enum class Released {
        Idle,      // not a rubber-band mode or no rectangle active
        Cancelled, // right button: the rectangle is erased, nothing else
        Ignored,   // another non-left button: the band ends, nothing else
        Empty,     // no width or height (or no plot area): nothing changes
        Done,      // layers reported or zoomed; OnZoomPan has fired
    };

    // Per-layer report of maRubberBand: the rectangle in the layer's data units, bounds
    // ordered like its axes.
    using RubberBandReport =
        std::function<void(int layer, double loX, double loY, double hiX, double hiY)>;

    // A press: in modes 4, 6, 7 a left press inside the plot area starts a rectangle at
    // (x, y) unless one is active. Returns true when it started.
    bool Press(const ChartLayers& chart, TMouseActMode mode, TMouseButton button, int x, int y);

    // A move: while a rectangle is active in modes 4, 6, 7 its current corner follows the
    // pointer, clamped into the plot area (square on screen when isometric). Returns true when
    // the rectangle is active (the caller redraws it).
    bool Move(const ChartLayers& chart, TMouseActMode mode, int x, int y, bool isometric);

    // A release (the release position itself is not used). For a left release of a rectangle
    // with width and height: for each mouse-controlled layer ascending, the corners become data
    // (ordered like the axes in modes 4 and 7, squared when isometric using the pixel aspect
    // aspectY / aspectX); mode 4 reports them, modes 6 and 7 apply them through ApplyLayerRange
    // with the first corner as the low ends. Painting is suspended meanwhile; zoomPan runs
    // after all layers and before painting is restored (one repaint when it was not
    // suspended before). Layers whose corners are not finite are skipped.
    Released Release(ChartLayers& chart, TMouseActMode mode, TMouseButton button, bool isometric,
                     double aspectY, double aspectX, const LayerMask& mouseControlled,
                     const RubberBandReport& report, const std::function<void()>& zoomPan);

    bool RubberBandActive() const { return m_active; }
    const TRubberBandRect& RubberBandRect() const { return m_rect; }

private:
    bool m_active = false;
    TRubberBandRect m_rect;
};
