#include "chart/control/chartmouse.h"

void ChartMouse::mousePressEvent(QMouseEvent*) {}
void ChartMouse::mouseMoveEvent(QMouseEvent*) {}
void ChartMouse::mouseReleaseEvent(QMouseEvent*) {}
void ChartMouse::mouseDoubleClickEvent(QMouseEvent*) {}
void ChartMouse::enterEvent(QEnterEvent*) {}
void ChartMouse::leaveEvent(QEvent*) {}
void ChartMouse::paintOverlay(QPainter&) {}
