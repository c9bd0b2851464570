// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's application object. Its notify() is the last catch point of the standard
// exception display: an exception that escapes an event handler (a paint or resize handler of a
// control, for instance) is shown there instead of ending the program. The window's own
// handlers already run guarded (RunGuarded), so nothing unwinds through the toolkit's frames
// from them.
//
// Its constructor also makes the application-wide settings below.

#include <QApplication>

class QTranslator;

class PlotmiraApplication : public QApplication {
    Q_OBJECT
public:
    PlotmiraApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

// Loads Qt's own German texts (dialog buttons, file dialogs and their questions, the edit
// fields' context menu) whatever the user's locale, so that they match the program's German
// texts. Returns the installed translator (owned by the application object), or null when the
// translation is not installed on this system; the program's own texts are not translated.
QTranslator* InstallQtGermanTranslation();

// Gives every window of the program its icon, and names the desktop entry (its file name
// without ".desktop") by which a Wayland compositor finds the program's name and icon.
void SetProgramIcon();

// Keeps window titles that the program leaves empty (its message boxes) empty on screen: the
// window system would otherwise show the application's name there.
void KeepEmptyWindowTitlesEmpty();
