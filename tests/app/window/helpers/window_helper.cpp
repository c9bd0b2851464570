// SPDX-License-Identifier: GPL-3.0-or-later
// Usage: window_helper [--start SAMPLES]
// Opens the main window as the program does, on the platform and screen the test sets up, and
// prints in the screen's logical pixels:
//   platform NAME
//   available X Y W H
//   frame X Y W H
//   client W H
//   minimum W H
//   menu H         (the menu bar's height, part of the client area)
//   clipped N      (the number of controls cut off by their parent; their names go to stderr)
// With --start it then shows the info window, presses Start, waits until the device on COM5
// sent SAMPLES samples (at most 20 s) and prints:
//   exposed 0|1    (the window system shows the window)
//   info 0|1       (the info window is shown)
//   samples N
// Exit status 0; 2 when an exception or a program message was shown.
#include "app/pipeline/acquisition.h"
#include "app/window/form1.h"
#include "app/window/forminfo.h"
#include "app/window/messagedisplay.h"

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int samples = 0;
    if (argc == 3 && std::strcmp(argv[1], "--start") == 0) {
        samples = std::stoi(argv[2]);
    }
    int shown = 0;
    const auto report = [&shown](const QString& text) {
        ++shown;
        std::fprintf(stderr, "shown: %s\n", text.toUtf8().constData());
    };
    SetMessageSink(report);
    SetExceptionSink(report);

    TForm1 form;
    TFormInfo info(&form);
    form.SetSecondaryWindows(&info, nullptr);
    form.show();
    const bool exposed = QTest::qWaitForWindowExposed(&form, 10000);
    const QRect available = form.screen()->availableGeometry();
    const QRect frame = form.frameGeometry();
    // A control that the window is too small for sticks out of its parent and is cut off.
    QStringList clipped;
    for (const QWidget* child : form.findChildren<QWidget*>()) {
        if (child->isVisible() && !child->isWindow() &&
            !child->parentWidget()->rect().contains(child->geometry())) {
            clipped << (child->objectName().isEmpty()
                            ? QString::fromLatin1(child->metaObject()->className())
                            : child->objectName());
        }
    }
    std::printf("platform %s\n", QGuiApplication::platformName().toUtf8().constData());
    std::printf("available %d %d %d %d\n", available.x(), available.y(), available.width(),
                available.height());
    std::printf("frame %d %d %d %d\n", frame.x(), frame.y(), frame.width(), frame.height());
    std::printf("client %d %d\n", form.width(), form.height());
    std::printf("minimum %d %d\n", form.minimumWidth(), form.minimumHeight());
    std::printf("menu %d\n", form.menuBar()->height());
    std::printf("clipped %lld\n", static_cast<long long>(clipped.size()));
    if (!clipped.isEmpty()) {
        std::fprintf(stderr, "cut off: %s\n", clipped.join(QLatin1Char(' ')).toUtf8().constData());
    }

    if (samples > 0) {
        std::printf("exposed %d\n", exposed ? 1 : 0);
        form.Info1->trigger();
        const bool infoExposed = QTest::qWaitForWindowExposed(&info, 10000);
        std::printf("info %d\n", infoExposed && info.isVisible() ? 1 : 0);
        info.Button1->click();
        form.StartButton->click();
        static_cast<void>(
            QTest::qWaitFor([&] { return form.Acq().SampleCount >= samples; }, 20000));
        std::printf("samples %lld\n", static_cast<long long>(form.Acq().SampleCount));
        std::fflush(stdout);
        // PLOTMIRA_HOLD_MS keeps the plotting window up a while longer, for a screenshot.
        QTest::qWait(qEnvironmentVariableIntValue("PLOTMIRA_HOLD_MS"));
        form.StopButton->click();
    }
    std::fflush(stdout);
    return shown == 0 ? 0 : 2;
}
