// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/control/mousecursor.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <utility>

TChartCursor CursorForMove(TMouseActMode mode, bool cursorFixed, bool inPlot) {
    if (cursorFixed || !inPlot) {
        return TChartCursor::Default;
    }
    switch (mode) {
    case maNone:
        return TChartCursor::Crosshair;
    case maPan:
    case maPanHoriz:
    case maPanVert:
        return TChartCursor::Hand;
    case maZoomWind:
        return TChartCursor::ZoomWind;
    case maZoomDrag:
        return TChartCursor::ZoomDrag;
    case maZoomWindPos:
        return TChartCursor::ZoomWindPos;
    case maRubberBand:
    case maDragCrossH:
    case maDragLabel:
        return TChartCursor::Default;
    case maZoom:
    case maRotate:
    case maRotAndZoom:
    case maRotXOnly:
    case maRotZOnly:
        break;
    }
    return TChartCursor::Unchanged;
}

namespace {

// A magnifying glass with a mark in the lens: a small frame (zoom window), a vertical double
// arrow (zoom-drag) or a plus (zoom window keeping the axes' direction). Hot spot: lens centre.
QCursor magnifier(int mark) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QPoint centre(12, 12);
    for (const auto& [colour, width] : {std::pair{QColor(Qt::white), 4}, {QColor(Qt::black), 2}}) {
        p.setPen(QPen(colour, width));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(centre, 9, 9);
        p.drawLine(19, 19, 29, 29);
    }
    p.setPen(QPen(Qt::black, 1));
    switch (mark) {
    case 2:
        p.drawRect(8, 9, 8, 6);
        break;
    case 3:
        p.drawLine(12, 6, 12, 18);
        p.drawLine(9, 9, 12, 6);
        p.drawLine(15, 9, 12, 6);
        p.drawLine(9, 15, 12, 18);
        p.drawLine(15, 15, 12, 18);
        break;
    default:
        p.drawLine(8, 12, 16, 12);
        p.drawLine(12, 8, 12, 16);
        break;
    }
    p.end();
    return QCursor(pixmap, centre.x(), centre.y());
}

} // namespace

QCursor ChartCustomCursor(int number) {
    // Built on demand (only when the cursor changes): nothing outlives the application object.
    switch (number) {
    case 1:
        return QCursor(Qt::OpenHandCursor);
    case 2:
    case 3:
    case 4:
        return magnifier(number);
    default:
        return QCursor(Qt::ArrowCursor);
    }
}

ScreenCursor::~ScreenCursor() {
    Reset();
}

void ScreenCursor::Set(TChartCursor cursor) {
    if (cursor == TChartCursor::Unchanged || cursor == m_current) {
        return;
    }
    m_current = cursor;
    if (cursor == TChartCursor::Default) {
        if (m_pushed && QGuiApplication::instance() != nullptr) {
            QGuiApplication::restoreOverrideCursor();
        }
        m_pushed = false;
        return;
    }
    QCursor shape;
    switch (cursor) {
    case TChartCursor::Crosshair:
        shape = QCursor(Qt::CrossCursor);
        break;
    case TChartCursor::Hand:
        shape = ChartCustomCursor(1);
        break;
    case TChartCursor::ZoomWind:
        shape = ChartCustomCursor(2);
        break;
    case TChartCursor::ZoomDrag:
        shape = ChartCustomCursor(3);
        break;
    default:
        shape = ChartCustomCursor(4);
        break;
    }
    if (m_pushed) {
        QGuiApplication::changeOverrideCursor(shape);
    } else {
        QGuiApplication::setOverrideCursor(shape);
        m_pushed = true;
    }
}
