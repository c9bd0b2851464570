// The window's small helpers: the lenient port and baud conversion, the dialog filters and
// default extension, the exception text rule and the hand-off to the main thread.

#include "app/qtbridge/mainthreadinvoker.h"
#include "app/window/filedialogs.h"
#include "app/window/integerfield.h"
#include "app/window/messagedisplay.h"
#include "base/exception.h"

#include <QCoreApplication>
#include <QTest>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

TEST(LenientStrToInt, KeepsTheDigitsBeforeTheFirstInvalidCharacter) {
    const std::pair<const char*, std::int64_t> cases[] = {
        {"5", 5},    {"  12", 12}, {"+7", 7},    {"-3", -3},  {"115200", 115200}, {"12abc", 12},
        {"abc", 0},  {"", 0},      {" ", 0},     {"$1F", 31}, {"0x10", 16},       {"x0A", 10},
        {"0X1g", 1}, {"3.9", 3},   {"9 600", 9}, {"-", 0}};
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(LenientStrToInt(QString::fromLatin1(text)), value) << text;
    }
    // Narrowed as the port number field is: 16 bits.
    EXPECT_EQ(static_cast<std::uint16_t>(LenientStrToInt(QStringLiteral("65541"))), 5);
}

TEST(FileDialogs, FiltersAndDefaultExtension) {
    EXPECT_EQ(QtNameFilter(QStringLiteral("Graphic Files (*.bmp)|*.BMP")),
              QStringLiteral("Graphic Files (*.bmp *.BMP)"));
    EXPECT_EQ(QtNameFilter(QStringLiteral("Plotmira Files (*.pmx)|*.PMX")),
              QStringLiteral("Plotmira Files (*.pmx *.PMX)"));
    EXPECT_EQ(QtNameFilter(QStringLiteral("Alle|*.*|Text (*.txt)|*.txt")),
              QStringLiteral("Alle (*.*);;Text (*.txt)"));

    const std::pair<const char*, const char*> names[] = {
        {"/tmp/lauf", "/tmp/lauf.pmx"},
        {"/tmp/lauf.pmx", "/tmp/lauf.pmx"},
        {"/tmp/run.1", "/tmp/run.1"},
        {"/tmp/my.dir/graph", "/tmp/my.dir/graph.pmx"},
        {"", ""}};
    for (const auto& [given, expected] : names) {
        EXPECT_EQ(WithDefaultExt(QString::fromUtf8(given), QStringLiteral(".pmx")),
                  QString::fromUtf8(expected))
            << given;
    }
}

TEST(ExceptionDisplay, FullStopFollowsLettersAndDigitsOnly) {
    const std::pair<const char*, const char*> cases[] = {
        {"Gleitkommaüberlauf", "Gleitkommaüberlauf."},
        {"Stream-Schreibfehler", "Stream-Schreibfehler."},
        {"Fehler 42", "Fehler 42."},
        {"Schon ein Satz.", "Schon ein Satz."},
        {"Device \"COM0\" Open Error !!!", "Device \"COM0\" Open Error !!!"},
        {"(Klammer)", "(Klammer)"},
        {"Frage?", "Frage?."},
        {"", ""}};
    for (const auto& [message, shown] : cases) {
        EXPECT_EQ(ExceptionDisplayText(QString::fromUtf8(message)), QString::fromUtf8(shown))
            << message;
    }
    EXPECT_EQ(ApplicationTitle(), QStringLiteral("test_window"));
}

TEST(ExceptionDisplay, GuardedHandlersShowWhatTheyThrow) {
    std::vector<QString> shown;
    SetExceptionSink([&](const QString& text) { shown.push_back(text); });
    RunGuarded([] { throw EOverflow(); });
    RunGuarded([] { throw std::runtime_error("kaputt"); });
    RunGuarded([] { throw 42; });
    RunGuarded([] {});
    SetExceptionSink(nullptr);
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0], QString::fromUtf8("Gleitkommaüberlauf."));
    EXPECT_EQ(shown[1], QStringLiteral("kaputt."));
    EXPECT_EQ(shown[2], QStringLiteral("Unbekannter Fehler."));
}

TEST(MainThreadInvoker, RunsCallsOnTheMainThreadAndReturnsAfterThem) {
    MainThreadInvoker invoker;
    const auto invoke = invoker.Invoker();
    const std::thread::id mainThread = std::this_thread::get_id();
    std::atomic<int> ran{0};
    std::atomic<bool> onMain{true};
    std::atomic<bool> workerDone{false};
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i) {
            invoke([&] {
                onMain = onMain && std::this_thread::get_id() == mainThread;
                ++ran;
            });
            EXPECT_EQ(ran.load(), i + 1); // returned only after the call ran
        }
        workerDone = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return workerDone.load(); }, 5000));
    worker.join();
    EXPECT_EQ(ran.load(), 50);
    EXPECT_TRUE(onMain.load());
}

// Destroying the invoker while a worker waits for a call that never ran releases the worker;
// calls after that return at once without running.
TEST(MainThreadInvoker, ShutdownReleasesWaitingWorkersWithoutRunningTheirCalls) {
    auto invoker = std::make_unique<MainThreadInvoker>();
    const auto invoke = invoker->Invoker();
    std::atomic<bool> ran{false};
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        invoke([&] { ran = true; });
        returned = true;
    });
    // The main thread does not run its event loop here, so the call stays queued.
    while (!returned.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (invoker) {
            invoker.reset();
        }
    }
    worker.join();
    EXPECT_FALSE(ran.load());
    bool late = false;
    invoke([&] { late = true; });
    QCoreApplication::processEvents();
    EXPECT_FALSE(late);
}

} // namespace
