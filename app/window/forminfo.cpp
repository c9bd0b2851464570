// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window/forminfo.h"

#include "app/window/windowdecorations.h"
#include "app/window/windowplacement.h"

#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

TFormInfo::TFormInfo(QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint) {
    setWindowTitle(QStringLiteral("  Info"));
    setFont(QFont(QStringLiteral("MS Sans Serif")));
    setFixedSize(252, 323);

    Label1 = new QLabel(QStringLiteral("Plotmira"), this);
    QFont titleFont(QStringLiteral("Arial"));
    titleFont.setPixelSize(20);
    titleFont.setBold(true);
    Label1->setFont(titleFont);
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label1->setGeometry(0, 16, width(), 32);

    Label3 = new QLabel(QStringLiteral("Version 0.6.5\n"
                                       "\n"
                                       "Grafische Darstellung serieller\n"
                                       "Messdaten\n"
                                       "\n"
                                       "Hilfsmittel für die Entwicklung\n"
                                       "von Mikroprozessor-Anwendungen"),
                        this);
    Label3->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label3->setWordWrap(true);
    Label3->setGeometry((width() - 217) / 2, 56, 217, 217);

    Button1 = new QPushButton(QStringLiteral("Close"), this);
    Button1->setGeometry((width() - 75) / 2, height() - 25 - 16, 75, 25);
    connect(Button1, &QPushButton::clicked, this, &TFormInfo::Button1Click);
}

void TFormInfo::Button1Click() {
    hide();
}

void TFormInfo::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    RequestTitleBarWithoutButtons(*this);
    CentreOverParentOnFirstShow(*this, m_placed, event);
}
