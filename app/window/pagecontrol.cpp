// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window/pagecontrol.h"

#include <QTabBar>

namespace {

class FittingTabBar : public QTabBar {
public:
    explicit FittingTabBar(QWidget* parent) : QTabBar(parent) {
        setUsesScrollButtons(false);
        setElideMode(Qt::ElideNone);
        setExpanding(false);
    }

protected:
    QSize tabSizeHint(int index) const override {
        QSize hint = QTabBar::tabSizeHint(index);
        // The page control's width bounds the bar (the bar's own width follows these hints).
        const int available = parentWidget() != nullptr ? parentWidget()->width() : width();
        int total = 0;
        for (int i = 0; i < count(); ++i) {
            if (isTabVisible(i)) {
                total += QTabBar::tabSizeHint(i).width();
            }
        }
        if (total > available && available > 0) {
            hint.setWidth(
                static_cast<int>(static_cast<long long>(hint.width()) * available / total));
        }
        return hint;
    }

    QSize minimumTabSizeHint(int index) const override { return tabSizeHint(index); }
};

} // namespace

PageControl::PageControl(QWidget* parent) : QTabWidget(parent) {
    setTabBar(new FittingTabBar(this));
}
