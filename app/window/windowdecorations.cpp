// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window/windowdecorations.h"

#include <QGuiApplication>
#include <QWidget>

#if defined(PLOTMIRA_HAVE_XCB) && QT_CONFIG(xcb)
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>
#endif

namespace {

// From the Motif window manager's hints.
constexpr std::uint32_t kHintsFunctions = 1U << 0;
constexpr std::uint32_t kHintsDecorations = 1U << 1;
constexpr std::uint32_t kFunctionMove = 1U << 2;
constexpr std::uint32_t kDecorationBorder = 1U << 1;
constexpr std::uint32_t kDecorationTitle = 1U << 3;

} // namespace

std::array<std::uint32_t, 5> MotifHintsWithoutButtons() {
    return {kHintsFunctions | kHintsDecorations, kFunctionMove,
            kDecorationBorder | kDecorationTitle, 0, 0};
}

void RequestTitleBarWithoutButtons([[maybe_unused]] QWidget& window) {
#if defined(PLOTMIRA_HAVE_XCB) && QT_CONFIG(xcb)
    auto* x11 =
        qApp != nullptr ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr) {
        return;
    }
    xcb_connection_t* connection = x11->connection();
    static const char kName[] = "_MOTIF_WM_HINTS";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, sizeof kName - 1, kName), nullptr);
    if (atom == nullptr) {
        return;
    }
    const std::array<std::uint32_t, 5> hints = MotifHintsWithoutButtons();
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE,
                        static_cast<xcb_window_t>(window.winId()), atom->atom, atom->atom, 32,
                        static_cast<std::uint32_t>(hints.size()), hints.data());
    std::free(atom);
    xcb_flush(connection);
#endif
}
