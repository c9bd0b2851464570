// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Placement of the program's secondary windows.

class QShowEvent;
class QWidget;

// On the first non-spontaneous show of `window`, centres it over its parent (the main window)
// and sets `placed`; later shows leave it where the user put it.
void CentreOverParentOnFirstShow(QWidget& window, bool& placed, const QShowEvent* event);

// Shows `window` and brings it to the front, restoring it first when it is minimised (a
// maximised window stays maximised).
void ShowAndBringToFront(QWidget& window);
