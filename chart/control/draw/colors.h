// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The chart's colour values (0x00BBGGRR, negative = system colour) as Qt colours.

#include "chart/control/draw/canvas.h"

#include <QColor>
#include <QPalette>

// Plain colours: red in the low byte. System colours (0x80000000 | index) take the matching role
// of the palette: button face → Button, window text → WindowText, button shadow → Dark, and so
// on; an index without a counterpart gives the palette's Window colour.
QColor ToQColor(TColor color, const QPalette& palette);

// The same with the application's palette.
QColor ToQColor(TColor color);

// A Qt colour back as 0x00BBGGRR (alpha dropped).
TColor FromQColor(const QColor& color);
