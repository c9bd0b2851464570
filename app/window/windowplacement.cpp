// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window/windowplacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace {

// A caption of about 30 pixels and thin borders: the frames of the common desktops' window
// managers and of Qt's own Wayland decorations at 100 %.
constexpr QMargins kUsualDesktopFrame(4, 32, 4, 4);

// The start of a span of `length` that lies in [low, low + room) as near to `wanted` as it can;
// `low` when it is longer than the room.
int fitSpan(int wanted, int length, int low, int room) {
    return std::max(low, std::min(wanted, low + room - length));
}

} // namespace

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

WindowPlacement FitIntoArea(const QRect& available, QPoint wanted, QSize client, QSize smallest,
                            const QMargins& frame) {
    const int frameWidth = frame.left() + frame.right();
    const int frameHeight = frame.top() + frame.bottom();
    const QSize fits(available.width() - frameWidth, available.height() - frameHeight);
    const QSize size = client.boundedTo(fits).expandedTo(smallest.boundedTo(client));
    return {
        QPoint(
            fitSpan(wanted.x(), size.width() + frameWidth, available.left(), available.width()),
            fitSpan(wanted.y(), size.height() + frameHeight, available.top(), available.height())),
        size};
}

void PlaceOnScreen(QWidget& window, QPoint wanted, QSize client, QSize smallest) {
    QScreen* screen = QGuiApplication::screenAt(wanted);
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    // The native window knows its frame where the platform draws or reports it once created.
    static_cast<void>(window.winId());
    QMargins frame = window.windowHandle()->frameMargins();
    const QString platform = QGuiApplication::platformName();
    if (frame.isNull() &&
        (platform == QLatin1String("xcb") || platform == QLatin1String("wayland"))) {
        frame = kUsualDesktopFrame;
    }
    const WindowPlacement placement =
        screen != nullptr
            ? FitIntoArea(screen->availableGeometry(), wanted, client, smallest, frame)
            : WindowPlacement{wanted, client};
    window.setMinimumSize(placement.clientSize);
    window.resize(placement.clientSize);
    window.move(placement.framePosition);
}
