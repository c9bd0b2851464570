// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TFormInfo: the info window with the program's name and version. No title-bar buttons, stays
// on top; its "Close" button hides it. Created once and only shown and hidden.

#include <QWidget>

class QLabel;
class QPushButton;

class TFormInfo : public QWidget {
    Q_OBJECT
public:
    // mainWindow: the window it opens centred on (first showing); may be null.
    explicit TFormInfo(QWidget* mainWindow = nullptr);

    QLabel* Label1 = nullptr;       // "Plotmira"
    QLabel* Label3 = nullptr;       // version and distribution lines
    QPushButton* Button1 = nullptr; // "Close"

public slots:
    // Hides the window.
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool m_placed = false;
};
