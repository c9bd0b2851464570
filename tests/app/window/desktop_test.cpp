// SPDX-License-Identifier: GPL-3.0-or-later
// The window on today's desktops: where it opens (kept at its designed place where it fits the
// screen, moved and if need be shrunk where it does not: laptops, scaled desktops), and a run on
// a Wayland compositor.

#include "app/window/windowplacement.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <gtest/gtest.h>
#include <map>

// How a failed comparison shows a placement (found by GoogleTest beside the type).
void PrintTo(const WindowPlacement& p, std::ostream* out) {
    *out << "frame at (" << p.framePosition.x() << ", " << p.framePosition.y() << "), client "
         << p.clientSize.width() << " x " << p.clientSize.height();
}

namespace {

TEST(WindowPlacement, KeepsMovesOrShrinksTheWindowToFitTheAvailableArea) {
    const QPoint wanted(409, 237);
    const QSize client(786, 547);
    const QSize smallest(720, 520);
    const QMargins frame(4, 32, 4, 4);
    const struct {
        const char* screen;
        QRect available;
        WindowPlacement expected;
    } cases[] = {
        {"1920x1080 at 100 %", QRect(0, 0, 1920, 1080), {wanted, client}},
        {"1920x1080, dock on the left", QRect(64, 27, 1856, 1053), {wanted, client}},
        {"1366x768 with a top panel", QRect(0, 27, 1366, 741), {{409, 768 - 583}, client}},
        {"1920x1080 at 150 %", QRect(0, 0, 1280, 720), {{409, 720 - 583}, client}},
        {"1600x1200 at 200 %", QRect(0, 0, 800, 600), {{800 - 794, 600 - 583}, client}},
        {"1600x1200 at 200 %, top panel", QRect(0, 16, 800, 584), {{6, 17}, client}},
        {"1600x1200 at 200 %, two panels", QRect(0, 32, 800, 560), {{6, 32}, {786, 524}}},
        {"too small for the controls", QRect(0, 24, 640, 480), {{0, 24}, smallest}},
        {"second screen right of the first", QRect(1920, 0, 1366, 768), {{1920, 185}, client}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FitIntoArea(c.available, wanted, client, smallest, frame), c.expected)
            << c.screen;
    }
    // Without a frame the window may use the area to its edge.
    EXPECT_EQ(FitIntoArea(QRect(0, 0, 786, 547), wanted, client, smallest, QMargins()),
              (WindowPlacement{{0, 0}, client}));
}

#ifdef PLOTMIRA_WINDOW_HELPER

using Report = std::map<QString, QList<int>>;

// Runs the window helper with `env` and `args`: what it printed, by key (the platform's name
// under "platform:<name>"). Its error output goes to `errors`.
Report runWindowHelper(const QProcessEnvironment& env, const QStringList& args,
                       QString* errors = nullptr) {
    QProcess helper;
    helper.setProcessEnvironment(env);
    helper.start(QStringLiteral(PLOTMIRA_WINDOW_HELPER), args);
    EXPECT_TRUE(helper.waitForFinished(60000));
    const QString stderrText = QString::fromLocal8Bit(helper.readAllStandardError());
    EXPECT_EQ(helper.exitCode(), 0) << stderrText.toStdString();
    if (errors != nullptr) {
        *errors = stderrText;
    }
    Report values;
    QTextStream out(helper.readAllStandardOutput());
    while (!out.atEnd()) {
        QStringList words = out.readLine().split(QLatin1Char(' '));
        const QString key = words.takeFirst();
        if (key == QLatin1String("platform")) {
            values[key + QLatin1Char(':') + words.value(0)] = {1};
            continue;
        }
        for (const QString& w : words) {
            values[key] << w.toInt();
        }
    }
    return values;
}

// The window opened on a virtual screen of the given size (device pixels) and scale.
Report openOnScreen(const QTemporaryDir& dir, QSize screen, const char* scaleFactor) {
    const QString config = dir.filePath(QStringLiteral("screen-%1x%2-%3.json")
                                            .arg(screen.width())
                                            .arg(screen.height())
                                            .arg(QLatin1String(scaleFactor)));
    QFile file(config);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("{\"screens\": [{\"name\": \"virtual\", \"x\": 0, \"y\": 0, "
                              "\"width\": %1, \"height\": %2, \"logicalDpi\": 96, "
                              "\"logicalBaseDpi\": 96}]}")
                   .arg(screen.width())
                   .arg(screen.height())
                   .toUtf8());
    file.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen:configfile=") + config);
    env.insert(QStringLiteral("QT_SCALE_FACTOR"), QLatin1String(scaleFactor));
    env.remove(QStringLiteral("QT_SCREEN_SCALE_FACTORS"));
    env.remove(QStringLiteral("QT_ENABLE_HIGHDPI_SCALING"));
    return runWindowHelper(env, {});
}

TEST(WindowPlacement, TheWindowIsWhollyVisibleOnLaptopAndScaledScreens) {
    QTemporaryDir dir;
    enum class Expect { Kept, Moved, Shrunk, AtSmallest };
    const struct {
        const char* name;
        QSize screen;
        const char* scaleFactor;
        Expect expect;
    } cases[] = {
        {"1920x1080 at 100 %", {1920, 1080}, "1", Expect::Kept},
        {"1366x768 at 100 %", {1366, 768}, "1", Expect::Moved},
        {"1920x1080 at 150 %", {1920, 1080}, "1.5", Expect::Moved},
        {"1600x1200 at 200 %", {1600, 1200}, "2", Expect::Moved},
        {"1600x1060 at 200 %", {1600, 1060}, "2", Expect::Shrunk},
        {"1600x900 at 200 %", {1600, 900}, "2", Expect::AtSmallest},
    };
    QSize designed;
    for (const auto& c : cases) {
        auto v = openOnScreen(dir, c.screen, c.scaleFactor);
        ASSERT_EQ(v[QStringLiteral("frame")].size(), 4) << c.name;
        const QList<int> a = v[QStringLiteral("available")];
        const QList<int> f = v[QStringLiteral("frame")];
        const QRect available(a[0], a[1], a[2], a[3]);
        const QRect frame(f[0], f[1], f[2], f[3]);
        const QSize client(v[QStringLiteral("client")][0], v[QStringLiteral("client")][1]);
        const QSize minimum(v[QStringLiteral("minimum")][0], v[QStringLiteral("minimum")][1]);
        if (designed.isEmpty()) {
            designed = client;
        }
        EXPECT_EQ(v[QStringLiteral("clipped")], QList<int>{0}) << c.name << ": controls cut off";
        EXPECT_EQ(minimum, client) << c.name << ": the window shrinks below its opening size";
        switch (c.expect) {
        case Expect::Kept:
            EXPECT_EQ(frame.topLeft(), QPoint(409, 237)) << c.name;
            EXPECT_EQ(client.height() - v[QStringLiteral("menu")].value(0), 526) << c.name;
            EXPECT_EQ(client.width(), 786) << c.name;
            break;
        case Expect::Moved:
            EXPECT_NE(frame.topLeft(), QPoint(409, 237)) << c.name;
            EXPECT_TRUE(available.contains(frame)) << c.name;
            EXPECT_EQ(client, designed) << c.name;
            break;
        case Expect::Shrunk:
            EXPECT_TRUE(available.contains(frame)) << c.name;
            EXPECT_EQ(client.width(), designed.width()) << c.name;
            EXPECT_LT(client.height(), designed.height()) << c.name;
            break;
        case Expect::AtSmallest:
            // Too small even so: the caption stays in reach at the area's top-left corner.
            EXPECT_EQ(frame.top(), available.top()) << c.name;
            EXPECT_LT(client.height(), designed.height()) << c.name;
            EXPECT_GT(frame.height(), available.height()) << c.name;
            break;
        }
    }
}

// On a Wayland compositor (a headless weston) the window opens natively, the info window's
// X11-only title bar hints step aside without a message, and Start plots the simulated device.
TEST(Wayland, TheWindowRunsNativelyAndStartPlotsTheSimulatedDevice) {
    const QString weston = QStandardPaths::findExecutable(QStringLiteral("weston"));
    ASSERT_FALSE(weston.isEmpty()) << "weston is not installed (tools/install-deps brings it)";
    QTemporaryDir runtime; // the compositor's socket folder, private to the user
    ASSERT_TRUE(QFile::setPermissions(
        runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    env.remove(QStringLiteral("DISPLAY"));
    QProcess compositor;
    compositor.setProcessEnvironment(env);
    compositor.start(weston,
                     {QStringLiteral("--backend=headless-backend.so"),
                      QStringLiteral("--use-pixman"), QStringLiteral("--no-config"),
                      QStringLiteral("--idle-time=0"), QStringLiteral("--socket=plotmira-test")});
    const QString socket = runtime.filePath(QStringLiteral("plotmira-test"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(socket); }, 20000))
        << compositor.readAllStandardError().toStdString();

    QTemporaryDir ports;
    QProcess device;
    device.start(QStringLiteral(PLOTMIRA_SIM_PATH),
                 {QStringLiteral("--ports"), ports.path(), QStringLiteral("--com"),
                  QStringLiteral("5"), QStringLiteral("--rate"), QStringLiteral("200"),
                  QStringLiteral("--while-open"), QStringLiteral("--quiet")});
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return QFileInfo::exists(ports.filePath(QStringLiteral("COM5"))); }, 10000));

    env.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("plotmira-test"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    env.insert(QStringLiteral("PLOTMIRA_PORTS"), ports.path());
    // Under the sanitizers, the Wayland client library and a module it unloads leave their
    // one-time allocations unfreed at exit; the other checks stay on.
    const QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               (asan.isEmpty() ? QString() : asan + QLatin1Char(':')) +
                   QStringLiteral("detect_leaks=0"));
    QString errors;
    Report report =
        runWindowHelper(env, {QStringLiteral("--start"), QStringLiteral("50")}, &errors);
    EXPECT_EQ(report.count(QStringLiteral("platform:wayland")), 1u) << errors.toStdString();
    EXPECT_EQ(report[QStringLiteral("exposed")], QList<int>{1});
    EXPECT_EQ(report[QStringLiteral("info")], QList<int>{1});
    ASSERT_EQ(report[QStringLiteral("samples")].size(), 1);
    EXPECT_GE(report[QStringLiteral("samples")][0], 50);
    EXPECT_FALSE(errors.contains(QLatin1String("xcb"), Qt::CaseInsensitive))
        << errors.toStdString();

    device.terminate();
    device.waitForFinished();
    compositor.terminate();
    compositor.waitForFinished();
}

#endif

} // namespace
