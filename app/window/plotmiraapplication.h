#pragma once
// The program's application object. Its notify() is the last catch point of the standard
// exception display: an exception that escapes an event handler (a paint or resize handler of a
// control, for instance) is shown there instead of ending the program. The window's own
// handlers already run guarded (RunGuarded), so nothing unwinds through the toolkit's frames
// from them.

#include <QApplication>

class PlotmiraApplication : public QApplication {
    Q_OBJECT
public:
    PlotmiraApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};
