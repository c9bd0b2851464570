#include "app/window/plotmiraapplication.h"

#include "app/window/messagedisplay.h"

PlotmiraApplication::PlotmiraApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool PlotmiraApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowCurrentException(std::current_exception());
        return false;
    }
}
