// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Mouse handling of the chart widget: one entry per event, forwarded by TCustomPlotChart.
//
// Holds the mouse properties (MouseAction, MouseCursorFixed, Isometric), the notifications and
// the double-click flag, and dispatches to the interactions: MouseDrag (pan, zoom-drag, the
// cross-hair and label drags) and RubberBand (modes 4, 6, 7). Each event first fires the
// standard notification (OnMouseDown, OnMouseMove, OnMouseUp), then runs the interaction.
// Qt grabs the mouse while a button is down, so moves and the release arrive even outside the
// control; mouse tracking is switched on so that a move without a button ends a drag.
//
// The rubber band is drawn in XOR over the shown picture by paintOverlay, never into the
// chart's images; moving it only repaints the widget from the shown picture.

#include "chart/control/mousecursor.h"
#include "chart/core/mousedrag.h"
#include "chart/core/mouserange.h"
#include "chart/core/rubberband.h"

#include <functional>

class QMouseEvent;
class QEnterEvent;
class QEvent;
class QPainter;
class TCustomPlotChart;

// Shift state of a mouse event: keys and buttons held, and the press of a double click.
enum TShiftStateFlag : unsigned {
    ssShift = 0x01,
    ssAlt = 0x02,
    ssCtrl = 0x04,
    ssLeft = 0x08,
    ssRight = 0x10,
    ssMiddle = 0x20,
    ssDouble = 0x40,
};
using TShiftState = unsigned;

class ChartMouse {
public:
    using TNotifyEvent = std::function<void(TCustomPlotChart* Sender)>;
    using TMouseEvent = std::function<void(TCustomPlotChart* Sender, TMouseButton Button,
                                           TShiftState Shift, int X, int Y)>;
    using TMouseMoveEvent =
        std::function<void(TCustomPlotChart* Sender, TShiftState Shift, int X, int Y)>;
    using TRubberBandEvent = std::function<void(TCustomPlotChart* Sender, int Layer, double LoX,
                                                double LoY, double HiX, double HiY)>;
    using TMouseMoveInChartEvent =
        std::function<void(TCustomPlotChart* Sender, bool InChart, TShiftState Shift,
                           double rMousePosX, double rMousePosY)>;
    using TCrossHairMoveEvent = std::function<void(TCustomPlotChart* Sender, int WhichCrossHair)>;
    using TTextLabelMoveEvent = std::function<void(TCustomPlotChart* Sender, int WhichTextLabel)>;

    // Switches mouse tracking on for the chart (moves without a button must arrive).
    explicit ChartMouse(TCustomPlotChart& chart);
    ~ChartMouse();
    ChartMouse(const ChartMouse&) = delete;
    ChartMouse& operator=(const ChartMouse&) = delete;

    // ---- Properties -------------------------------------------------------------------------
    // Default maPan. No side effects; a value outside maNone..maRotZOnly is ignored. A change
    // does not end a drag in progress.
    TMouseActMode MouseAction() const { return m_mouseAction; }
    void SetMouseAction(TMouseActMode value);
    // True: the chart never sets a screen cursor of its own (every move resets it to the
    // default, so the widget's own cursor shows). Default false.
    bool MouseCursorFixed() const { return m_mouseCursorFixed; }
    void SetMouseCursorFixed(bool value) { m_mouseCursorFixed = value; }
    // Square rubber bands and zoom windows, equal zoom-drag factors. Default false.
    bool Isometric() const { return m_isometric; }
    void SetIsometric(bool value) { m_isometric = value; }

    // ---- State ------------------------------------------------------------------------------
    bool DragActive() const { return m_drag.DragActive(); }
    const TDragStart& DragStart(int layer) const { return m_drag.DragStart(layer); }
    bool RubberBandActive() const { return m_band.RubberBandActive(); }
    const TRubberBandRect& RubberBandRect() const { return m_band.RubberBandRect(); }
    bool DoubleClickPending() const { return m_doubleClick; }
    TChartCursor ScreenCursorChoice() const { return m_cursor.Current(); }

    // ---- Notifications (none assigned by default) ------------------------------------------
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TNotifyEvent OnDblClick;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    // After each pan or zoom-drag step, and after a released rectangle of modes 4, 6, 7.
    TNotifyEvent OnZoomPan;
    // Once per mouse-controlled layer when a maRubberBand rectangle is released.
    TRubberBandEvent OnRubberBand;
    // Every move: inside the plot area?, and the pointer in the active layer's data units.
    TMouseMoveInChartEvent OnMouseMoveInChart;
    // Never fired here: the chart shows no cross-hairs or labels to drag.
    TCrossHairMoveEvent OnCrossHairMove;
    TTextLabelMoveEvent OnTextLabelMove;

    // ---- Event entries (from the widget) ----------------------------------------------------
    void mousePressEvent(QMouseEvent* event);
    void mouseMoveEvent(QMouseEvent* event);
    void mouseReleaseEvent(QMouseEvent* event);
    // A double click arrives in place of the second press: OnDblClick fires, and that press is
    // swallowed whole (no OnMouseDown, no rubber band). The release after it runs normally.
    void mouseDoubleClickEvent(QMouseEvent* event);
    void enterEvent(QEnterEvent* event);
    void leaveEvent(QEvent* event);

    // Draws what the mouse shows over the presented picture (the rubber band, in XOR with
    // white), never into the chart's own images. Called at the end of the widget's paint event.
    void paintOverlay(QPainter& painter);

    // The same entries in chart pixels, for callers without a Qt event.
    void Press(TMouseButton button, TShiftState shift, int x, int y);
    void Move(TShiftState shift, int x, int y);
    void Release(TMouseButton button, TShiftState shift, int x, int y);
    void DoubleClick(TMouseButton button, TShiftState shift, int x, int y);

private:
    LayerMask mouseControlled() const;
    void setBandShown(bool shown);
    void updateBandArea();

    TCustomPlotChart& m_chart;
    MouseDrag m_drag;
    RubberBand m_band;
    ScreenCursor m_cursor;
    TMouseActMode m_mouseAction = maPan;
    bool m_mouseCursorFixed = false;
    bool m_isometric = false;
    bool m_doubleClick = false;
    // The rectangle the overlay draws (the band as last shown), in chart pixels.
    bool m_bandShown = false;
    TRubberBandRect m_shownRect;
};
