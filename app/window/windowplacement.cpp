// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window/windowplacement.h"

#include <QRect>
#include <QShowEvent>
#include <QWidget>

void CentreOverParentOnFirstShow(QWidget& window, bool& placed, const QShowEvent* event) {
    if (placed || event->spontaneous()) {
        return;
    }
    placed = true;
    if (QWidget* main = window.parentWidget(); main != nullptr) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(main->frameGeometry().center());
        window.move(frame.topLeft());
    }
}

void ShowAndBringToFront(QWidget& window) {
    // show() alone leaves a minimised window minimised.
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    window.raise();
    window.activateWindow();
}
