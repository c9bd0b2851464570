// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/control/chartmouse.h"

#include "chart/control/plotchart.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <optional>

namespace {

TShiftState shiftOf(const QMouseEvent& event) {
    TShiftState s = 0;
    const Qt::KeyboardModifiers keys = event.modifiers();
    const Qt::MouseButtons buttons = event.buttons();
    s |= keys.testFlag(Qt::ShiftModifier) ? ssShift : 0u;
    s |= keys.testFlag(Qt::AltModifier) ? ssAlt : 0u;
    s |= keys.testFlag(Qt::ControlModifier) ? ssCtrl : 0u;
    s |= buttons.testFlag(Qt::LeftButton) ? ssLeft : 0u;
    s |= buttons.testFlag(Qt::RightButton) ? ssRight : 0u;
    s |= buttons.testFlag(Qt::MiddleButton) ? ssMiddle : 0u;
    return s;
}

// Buttons beyond the three the chart knows are not reported at all.
std::optional<TMouseButton> buttonOf(const QMouseEvent& event) {
    switch (event.button()) {
    case Qt::LeftButton:
        return TMouseButton::mbLeft;
    case Qt::RightButton:
        return TMouseButton::mbRight;
    case Qt::MiddleButton:
        return TMouseButton::mbMiddle;
    default:
        return std::nullopt;
    }
}

QPoint pointOf(const QMouseEvent& event) {
    return event.position().toPoint();
}

// The outline as the original drew it: from the top-left corner to one pixel short of the
// bottom-right corner. Empty when the rectangle has no width or height.
QRect outlineOf(const TRubberBandRect& r) {
    const int left = std::min(r.X1, r.X2);
    const int right = std::max(r.X1, r.X2) - 1;
    const int top = std::min(r.Y1, r.Y2);
    const int bottom = std::max(r.Y1, r.Y2) - 1;
    if (right <= left || bottom <= top) {
        return {};
    }
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

} // namespace

ChartMouse::ChartMouse(TCustomPlotChart& chart) : m_chart(chart) {
    m_chart.setMouseTracking(true);
}

ChartMouse::~ChartMouse() = default;

void ChartMouse::SetMouseAction(TMouseActMode value) {
    if (value <= maRotZOnly) {
        m_mouseAction = value;
    }
}

LayerMask ChartMouse::mouseControlled() const {
    LayerMask mask{};
    for (int layer = 1; layer <= ChartLayers::kLayerCount; ++layer) {
        mask[static_cast<std::size_t>(layer)] = m_chart.LayerMouseControl(layer);
    }
    return mask;
}

// ---- Qt entries ---------------------------------------------------------------------------

void ChartMouse::mousePressEvent(QMouseEvent* event) {
    if (const auto button = buttonOf(*event)) {
        Press(*button, shiftOf(*event), pointOf(*event).x(), pointOf(*event).y());
    }
}

void ChartMouse::mouseMoveEvent(QMouseEvent* event) {
    Move(shiftOf(*event), pointOf(*event).x(), pointOf(*event).y());
}

void ChartMouse::mouseReleaseEvent(QMouseEvent* event) {
    if (const auto button = buttonOf(*event)) {
        Release(*button, shiftOf(*event), pointOf(*event).x(), pointOf(*event).y());
    }
}

void ChartMouse::mouseDoubleClickEvent(QMouseEvent* event) {
    if (const auto button = buttonOf(*event)) {
        DoubleClick(*button, shiftOf(*event), pointOf(*event).x(), pointOf(*event).y());
    }
}

void ChartMouse::enterEvent(QEnterEvent*) {
    if (OnMouseEnter) {
        OnMouseEnter(&m_chart);
    }
}

void ChartMouse::leaveEvent(QEvent*) {
    // A cursor the chart chose must not stay over the rest of the window.
    m_cursor.Reset();
    if (OnMouseLeave) {
        OnMouseLeave(&m_chart);
    }
}

// ---- The steps ------------------------------------------------------------------------------

void ChartMouse::DoubleClick(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnDblClick) {
        OnDblClick(&m_chart);
    }
    m_doubleClick = true;
    // The double click stands for the second press, which the flag swallows.
    Press(button, shift | ssDouble, x, y);
}

void ChartMouse::Press(TMouseButton button, TShiftState shift, int x, int y) {
    if (m_doubleClick) {
        m_doubleClick = false;
        return;
    }
    if (OnMouseDown) {
        OnMouseDown(&m_chart, button, shift, x, y);
    }
    if (m_band.Press(m_chart, m_mouseAction, button, x, y)) {
        setBandShown(true);
    }
}

void ChartMouse::Move(TShiftState shift, int x, int y) {
    if (OnMouseMove) {
        OnMouseMove(&m_chart, shift, x, y);
    }
    if (m_band.Move(m_chart, m_mouseAction, x, y, m_isometric)) {
        setBandShown(true);
    }
    const MouseDrag::Step step = m_drag.Move(m_chart, m_mouseAction, (shift & ssLeft) != 0, x, y,
                                             m_isometric, mouseControlled());
    if (step == MouseDrag::Step::Moved && OnZoomPan) {
        OnZoomPan(&m_chart);
    }
    const bool inPlot = m_chart.IsInsidePlot(x, y);
    m_cursor.Set(CursorForMove(m_mouseAction, m_mouseCursorFixed, inPlot));
    if (OnMouseMoveInChart) {
        double dataX = 0;
        double dataY = 0;
        m_chart.PixelToData(m_chart.ActiveLayer(), x, y, dataX, dataY);
        OnMouseMoveInChart(&m_chart, inPlot, shift, dataX, dataY);
    }
}

void ChartMouse::Release(TMouseButton button, TShiftState shift, int x, int y) {
    if (m_doubleClick) {
        m_doubleClick = false;
        return;
    }
    if (OnMouseUp) {
        OnMouseUp(&m_chart, button, shift, x, y);
    }
    if (!m_band.RubberBandActive()) {
        return;
    }
    // The rectangle leaves the screen whatever the release does; the zoom's repaint (if any)
    // comes from the chart itself.
    // Pixel aspect (height / width of one device pixel) = horizontal / vertical resolution.
    const int dpiX = m_chart.physicalDpiX();
    const int dpiY = m_chart.physicalDpiY();
    const bool knownDpi = dpiX > 0 && dpiY > 0;
    const auto released = m_band.Release(
        m_chart, m_mouseAction, button, m_isometric, knownDpi ? dpiX : 1.0, knownDpi ? dpiY : 1.0,
        mouseControlled(),
        [this](int layer, double loX, double loY, double hiX, double hiY) {
            if (OnRubberBand) {
                OnRubberBand(&m_chart, layer, loX, loY, hiX, hiY);
            }
        },
        [this] {
            setBandShown(false);
            if (OnZoomPan) {
                OnZoomPan(&m_chart);
            }
        });
    if (released != RubberBand::Released::Idle) {
        setBandShown(false);
    }
}

// ---- Overlay --------------------------------------------------------------------------------

void ChartMouse::setBandShown(bool shown) {
    if (m_bandShown) {
        updateBandArea(); // erase the old rectangle
    }
    m_bandShown = shown;
    if (shown) {
        m_shownRect = m_band.RubberBandRect();
        updateBandArea();
    }
}

void ChartMouse::updateBandArea() {
    const QRect r = outlineOf(m_shownRect);
    if (r.isEmpty()) {
        return;
    }
    // Only the four edges change: repaint them from the shown picture.
    m_chart.UpdateShownArea(QRect(r.left(), r.top(), r.width() + 1, 1));
    m_chart.UpdateShownArea(QRect(r.left(), r.bottom(), r.width() + 1, 1));
    m_chart.UpdateShownArea(QRect(r.left(), r.top(), 1, r.height() + 1));
    m_chart.UpdateShownArea(QRect(r.right(), r.top(), 1, r.height() + 1));
}

void ChartMouse::paintOverlay(QPainter& painter) {
    const QRect r = outlineOf(m_shownRect);
    if (!m_bandShown || r.isEmpty()) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setPen(QPen(QColor(255, 255, 255), 1));
    painter.setBrush(Qt::NoBrush);
    // drawRect covers width + 1 pixels: pass the inclusive span.
    painter.drawRect(QRect(r.left(), r.top(), r.width() - 1, r.height() - 1));
    painter.restore();
}
