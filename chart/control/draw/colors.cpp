// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/control/draw/colors.h"

#include <QGuiApplication>

namespace {

// Index (low byte of a system colour) → palette role. The indices are the system colour numbers
// the window definitions use (button face 15, window text 8, button shadow 16 ...).
QPalette::ColorRole roleOf(int index) {
    switch (index) {
    case 1:  // desktop
    case 4:  // menu
    case 15: // button face
    case 25: // hot light
        return QPalette::Button;
    case 5: // window background
        return QPalette::Base;
    case 6:  // window frame
    case 16: // button shadow
        return QPalette::Dark;
    case 7: // menu text
    case 8: // window text
    case 9: // caption text
        return QPalette::WindowText;
    case 13: // highlight
        return QPalette::Highlight;
    case 14: // highlighted text
        return QPalette::HighlightedText;
    case 17: // grey text
        return QPalette::PlaceholderText;
    case 18: // button text
        return QPalette::ButtonText;
    case 20: // button highlight
        return QPalette::Light;
    case 21: // 3-D dark shadow
        return QPalette::Shadow;
    case 22: // 3-D light
        return QPalette::Midlight;
    case 23: // tooltip text
        return QPalette::ToolTipText;
    case 24: // tooltip background
        return QPalette::ToolTipBase;
    default:
        return QPalette::Window;
    }
}

} // namespace

QColor ToQColor(TColor color, const QPalette& palette) {
    if (color < 0) {
        return palette.color(QPalette::Active, roleOf(color & 0xFF));
    }
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

QColor ToQColor(TColor color) {
    if (color >= 0) {
        return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
    }
    return ToQColor(color, QGuiApplication::palette());
}

TColor FromQColor(const QColor& color) {
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}
