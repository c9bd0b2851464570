// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Pan and zoom-drag of the chart's mouse-controlled layers: the DragActive / DragStart
// bookkeeping and one entry per mouse move. Plain C++ on the chart's layers.
//
// A drag starts at the first move with the left button held (not at the press) and ends at the
// first move without it (not at the release): a release followed by a new press with no move in
// between continues the same drag.

#include "chart/core/chartlayers.h"
#include "chart/core/mouserange.h"

#include <array>

// Mouse-control flags, indexed by layer 1..16 (index 0 unused).
using LayerMask = std::array<bool, ChartLayers::kLayerCount + 1>;

class MouseDrag {
public:
    enum class Step {
        Idle,    // not a drag mode
        Ended,   // no left button: DragActive is now false
        Started, // DragStart taken for all 16 layers; no range changed
        Outside, // drag in progress but the pointer is outside the plot area: nothing changed
        Moved,   // ranges were stepped (pan/zoom modes): OnZoomPan is due
        Dragged, // cross-hair or label drag step (no range change)
    };

    // One mouse move at chart pixel (x, y). In modes 1, 2, 3 and 8 a step sets new ranges on
    // every mouse-controlled layer in ascending order through ApplyLayerRange, with painting
    // suspended meanwhile and restored once (one repaint when it was not suspended before).
    // Isometric zoom-drag uses the X factor for Y. A plot area without width or height, or a
    // result that is not finite, changes nothing on that axis.
    Step Move(ChartLayers& chart, TMouseActMode mode, bool leftHeld, int x, int y, bool isometric,
              const LayerMask& mouseControlled);

    bool DragActive() const { return m_dragActive; }
    // DragStart of a layer 1..16 (clamped).
    const TDragStart& DragStart(int layer) const;

private:
    void takeStart(const ChartLayers& chart, int x, int y);
    void stepLayer(ChartLayers& chart, int layer, TMouseActMode mode, int x, int y, bool isometric);

    bool m_dragActive = false;
    std::array<TDragStart, ChartLayers::kLayerCount> m_start{};
};
