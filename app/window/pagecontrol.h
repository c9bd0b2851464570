// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The settings' page control: a tab widget whose tabs always show side by side. When the tabs'
// natural widths (text plus the style's padding) do not fit, each tab gives up the same share of
// its width, which the blanks around the captions absorb, instead of the tab bar scrolling and
// pushing tabs out of view.

#include <QTabWidget>

class PageControl : public QTabWidget {
    Q_OBJECT
public:
    explicit PageControl(QWidget* parent = nullptr);
};
