// SPDX-License-Identifier: GPL-3.0-or-later
// The window's small helpers: the lenient port and baud conversion, the dialog filters and
// default extension, the kept file dialog, the exception text rule, the message boxes, Qt's own
// texts and the hand-off to the main thread.

#include "app/qtbridge/mainthreadinvoker.h"
#include "app/window/filedialogs.h"
#include "app/window/forminfo.h"
#include "app/window/integerfield.h"
#include "app/window/messagedisplay.h"
#include "app/window/plotmiraapplication.h"
#include "base/exception.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <atomic>
#include <gtest/gtest.h>
#include <new>
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
    RunGuarded([] { throw std::bad_alloc(); }); // out of memory, e.g. loading a huge session
    SetExceptionSink(nullptr);
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0], QString::fromUtf8("Gleitkommaüberlauf."));
    EXPECT_EQ(shown[1], QStringLiteral("kaputt."));
    EXPECT_EQ(shown[2], QStringLiteral("Unbekannter Fehler."));
    EXPECT_EQ(shown[3], QStringLiteral("Zu wenig Arbeitsspeicher."));
}

// The program's messages: an empty title, kept empty on screen (the window system would fill an
// empty title with the application's display name, or its name while none is set), an
// information icon, OK, no owner, on top.
TEST(MessageBoxes, ProgramMessagesShowAnEmptyTitle) {
    KeepEmptyWindowTitlesEmpty();
    int shown = 0;
    SetMessageBoxRunner([&shown](QMessageBox& box) {
        ++shown;
        EXPECT_TRUE(box.windowTitle().isEmpty());
        EXPECT_EQ(box.icon(), QMessageBox::Information);
        EXPECT_EQ(box.standardButtons(), QMessageBox::Ok);
        EXPECT_EQ(box.parentWidget(), nullptr);
        EXPECT_TRUE(box.windowFlags() & Qt::WindowStaysOnTopHint);
        EXPECT_EQ(box.text(), QString::fromUtf8("Com Pufferüberlauf"));
    });
    ShowMessage(QString::fromUtf8("Com Pufferüberlauf"));
    SetMessageBoxRunner(nullptr);
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(QGuiApplication::applicationDisplayName().isEmpty());
    EXPECT_FALSE(QCoreApplication::applicationName().isEmpty()) << "the name itself stays";
}

// Every window shows the program's icon, crisp from a task bar's 16 pixels to a dock's 256,
// and a Wayland compositor finds the desktop entry the package installs.
TEST(ProgramIcon, EveryWindowShowsItAtEachUsualSizeAndTheDesktopEntryIsNamed) {
    SetProgramIcon();
    TFormInfo info(nullptr);
    const QIcon icon = info.windowIcon();
    QList<QSize> expected;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        expected << QSize(size, size);
        const QImage image = icon.pixmap(size).toImage();
        EXPECT_EQ(image.size(), QSize(size, size)) << size;
        EXPECT_NE(image.pixel(size / 2, size / 2), image.pixel(0, 0)) << size << ": a blank image";
    }
    EXPECT_EQ(icon.availableSizes(), expected);
    EXPECT_EQ(QGuiApplication::desktopFileName(), QStringLiteral("org.plotmira.Plotmira"));
}

// Qt's own texts read German whatever the user's locale; the program's own texts stay.
TEST(QtTexts, DialogsAndContextMenusReadGerman) {
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QTranslator* translator = InstallQtGermanTranslation();
    ASSERT_NE(translator, nullptr) << "Qt's German translation (qtbase_de) is not installed";

    QDialogButtonBox buttons(QDialogButtonBox::Cancel | QDialogButtonBox::Save |
                             QDialogButtonBox::Yes | QDialogButtonBox::No);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Abbrechen"));
    EXPECT_EQ(buttons.button(QDialogButtonBox::Save)->text(), QStringLiteral("Speichern"));
    EXPECT_EQ(buttons.button(QDialogButtonBox::Yes)->text(), QStringLiteral("&Ja"));

    QLineEdit edit;
    std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    QStringList entries;
    for (const QAction* action : menu->actions()) {
        entries << action->text();
    }
    EXPECT_TRUE(entries.join(QLatin1Char('|')).contains(QString::fromUtf8("Rückgängig")))
        << entries.join(QLatin1Char('|')).toStdString();

    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    EXPECT_EQ(dialog.labelText(QFileDialog::Reject), QStringLiteral("Abbrechen"));
    EXPECT_EQ(dialog.labelText(QFileDialog::LookIn), QStringLiteral("Suchen in:"));

    TFormInfo info;
    EXPECT_EQ(info.Button1->text(), QStringLiteral("Close"));

    QCoreApplication::removeTranslator(translator);
    delete translator;
    QLocale::setDefault(previous);
}

// The kept open dialog: Return on a partly typed name that the dialog completes ("lauf" to
// "lauf.pmx") accepts it and leaves no completion list on screen; the next run starts with an
// empty name, so typing does not append to the previous one.
TEST(FileDialogs, ReusedDialogStartsEmptyAndLeavesNoCompletionListBehind) {
    QTemporaryDir dir;
    for (const char* name : {"lauf.pmx", "zweiter.pmx"}) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setDirectory(dir.path());
    const FileDialogRequest open{FileDialogRequest::Kind::Open, QStringLiteral(".pmx"),
                                 QStringLiteral("Plotmira Files (*.pmx)|*.PMX")};
    // A box the dialog opens on a name it cannot take would wait for a user: close it.
    QTimer unexpected;
    QObject::connect(&unexpected, &QTimer::timeout, [&dialog] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal != &dialog) {
            ADD_FAILURE() << "unexpected box: " << modal->windowTitle().toStdString();
            modal->close();
        }
    });
    unexpected.start(200);

    QPointer<QWidget> popup;
    QStringList startNames;
    const auto typeAndReturn = [&](const QString& typed, bool completes) {
        QTimer::singleShot(0, &dialog, [&, typed, completes] {
            auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            auto* files = dialog.findChild<QAbstractItemView*>(QStringLiteral("listView"));
            if (edit == nullptr || files == nullptr) {
                ADD_FAILURE() << "not the dialog this test knows";
                dialog.reject();
                return;
            }
            startNames << edit->text();
            // The folder is read in the background; completion needs it.
            EXPECT_TRUE(
                QTest::qWaitFor([&] { return files->model()->rowCount(files->rootIndex()) >= 2; }));
            edit->setFocus();
            QTest::keyClicks(edit, typed);
            QCompleter* completer = edit->completer();
            if (completes && completer != nullptr && QTest::qWaitFor([&] {
                    return completer->popup() != nullptr && completer->popup()->isVisible();
                })) {
                popup = completer->popup();
            }
            QTest::keyClick(edit, Qt::Key_Return);
            if (dialog.isVisible()) {
                dialog.reject();
            }
        });
        return RunFileDialog(dialog, open);
    };

    EXPECT_EQ(typeAndReturn(QStringLiteral("lauf"), true),
              dir.filePath(QStringLiteral("lauf.pmx")));
    ASSERT_FALSE(popup.isNull()) << "the name was not completed";
    EXPECT_FALSE(popup->isVisible());
    EXPECT_EQ(typeAndReturn(QStringLiteral("zweiter.pmx"), false),
              dir.filePath(QStringLiteral("zweiter.pmx")));
    EXPECT_EQ(startNames, QStringList({QString(), QString()}));
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
