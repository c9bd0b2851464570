// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window/plotmiraapplication.h"

#include "app/window/messagedisplay.h"

#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

PlotmiraApplication::PlotmiraApplication(int& argc, char** argv) : QApplication(argc, argv) {
    InstallQtGermanTranslation();
    KeepEmptyWindowTitlesEmpty();
    SetProgramIcon();
}

bool PlotmiraApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowCurrentException(std::current_exception());
        return false;
    }
}

QTranslator* InstallQtGermanTranslation() {
    auto* translator = new QTranslator(QCoreApplication::instance());
    // By file name, not by the user's locale: the program is German on every system.
    if (!translator->load(QStringLiteral("qtbase_de"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

void SetProgramIcon() {
    // The resource lives in a static library: its registration must be pulled in by name.
    Q_INIT_RESOURCE(plotmira);
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/plotmira-%1.png").arg(size), QSize(size, size));
    }
    QGuiApplication::setWindowIcon(icon);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.plotmira.Plotmira"));
}

void KeepEmptyWindowTitlesEmpty() {
    // The platform fills an empty title with the display name, or with the application's name
    // while no display name is set; an empty display name is appended to no title.
    QGuiApplication::setApplicationDisplayName(QStringLiteral(""));
}
