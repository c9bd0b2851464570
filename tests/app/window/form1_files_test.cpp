// SPDX-License-Identifier: GPL-3.0-or-later
// The "Datei" commands through the dialog seam: save, load, export, cancel and the error display.

#include "form1_testsupport.h"

#include "chart/control/plotchart.h"
#include "tests/support/fifowatchdog.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QTemporaryDir>
#include <sys/stat.h>

namespace {

using Files = Form1Test;

void drawSomething(TPlotChart& chart) {
    chart.AddMoveTo(0, 1);
    chart.AddDrawTo(1, 5);
    chart.AddDrawTo(2, 3);
}

TEST_F(Files, SaveLoadAndExportGoThroughTheirDialogs) {
    QTemporaryDir dir;
    drawSomething(*Form->PlotChart1);

    NextFileName = dir.filePath(QStringLiteral("lauf")); // typed without extension
    Form->ErfassungSpeichern->trigger();
    ASSERT_TRUE(Exceptions.empty()) << Exceptions[0].toStdString();
    const QString session = dir.filePath(QStringLiteral("lauf.pmx"));
    ASSERT_TRUE(QFileInfo::exists(session));
    EXPECT_EQ(QFileInfo(session).size(), 3 * 104);

    // Loading adds the file's items after those on the chart; twice doubles them.
    NextFileName = session;
    Form->Erfassungladen->trigger();
    EXPECT_EQ(Form->PlotChart1->ItemCount(), 6);
    QTest::mouseClick(Form->ClearGraphButton, Qt::LeftButton);
    Form->Erfassungladen->trigger();
    ASSERT_EQ(Form->PlotChart1->ItemCount(), 3);
    EXPECT_DOUBLE_EQ(Form->PlotChart1->Item(1).Y, 5.0);

    NextFileName = dir.filePath(QStringLiteral("run.1.bmp"));
    Form->Grafikdrucken1->trigger();
    const QString bitmap = dir.filePath(QStringLiteral("run.bmp"));
    ASSERT_TRUE(QFileInfo::exists(bitmap));
    QFile file(bitmap);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.read(2), QByteArray("BM"));
    EXPECT_TRUE(Exceptions.empty());

    ASSERT_EQ(Requests.size(), 4u);
    EXPECT_EQ(Requests[0].DialogKind, FileDialogRequest::Kind::Save);
    EXPECT_EQ(Requests[0].DefaultExt, QStringLiteral(".pmx"));
    EXPECT_EQ(Requests[0].Filter, QStringLiteral("Plotmira Files (*.pmx)|*.PMX"));
    EXPECT_EQ(Requests[1].DialogKind, FileDialogRequest::Kind::Open);
    EXPECT_EQ(Requests[1].DefaultExt, QStringLiteral(".pmx"));
    EXPECT_EQ(Requests[3].DefaultExt, QStringLiteral(".bmp"));
    EXPECT_EQ(Requests[3].Filter, QStringLiteral("Graphic Files (*.bmp)|*.BMP"));
}

// The keyboard path to the commands: Alt+D (or F10) opens "Datei", a letter picks the entry;
// Ctrl+S, Ctrl+O and Ctrl+Q act directly. While a run has the menus disabled, none of them acts.
TEST_F(Files, KeyboardReachesTheCommandsWhileIdleOnly) {
    // A window manager hands activation back to the window when a popup closes; here the test
    // does, before each round of keys.
    const auto activate = [this] {
        QApplication::setActiveWindow(Form.get());
        return WaitFor([this] { return QApplication::activeWindow() == Form.get(); });
    };
    ASSERT_TRUE(activate());
    NextFileName.clear();
    const auto kinds = [this] {
        QString seen;
        for (const FileDialogRequest& r : Requests) {
            seen += r.DefaultExt + QLatin1Char(' ');
        }
        return seen.trimmed().toStdString();
    };

    QTest::keyClick(Form.get(), Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(Form.get(), Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(Form.get(), Qt::Key_D, Qt::AltModifier);
    ASSERT_TRUE(WaitFor([this] { return Form->Datei1->isVisible(); })) << "Alt+D";
    QTest::keyClick(Form->Datei1, Qt::Key_G);
    EXPECT_EQ(kinds(), ".pmx .pmx .bmp");
    EXPECT_EQ(Requests[1].DialogKind, FileDialogRequest::Kind::Open);
    QTest::keyClick(Form.get(), Qt::Key_F10);
    ASSERT_TRUE(WaitFor([this] { return Form->Datei1->isVisible(); })) << "F10";
    QTest::keyClick(Form->Datei1, Qt::Key_Escape);
    EXPECT_TRUE(WaitFor([this] { return !Form->Datei1->isVisible(); }));

    auto device = Device();
    QTest::mouseClick(Form->StartButton, Qt::LeftButton);
    ASSERT_TRUE(Form->PortActive());
    ASSERT_TRUE(activate());
    for (const auto& [key, modifier] : {std::pair{Qt::Key_S, Qt::ControlModifier},
                                        {Qt::Key_O, Qt::ControlModifier},
                                        {Qt::Key_Q, Qt::ControlModifier},
                                        {Qt::Key_D, Qt::AltModifier},
                                        {Qt::Key_F10, Qt::NoModifier}}) {
        QTest::keyClick(Form.get(), key, modifier);
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(Form->Datei1->isVisible());
    EXPECT_EQ(kinds(), ".pmx .pmx .bmp") << "a command ran during the run";
    EXPECT_EQ(TerminateCount, 0);
    EXPECT_TRUE(Form->PortActive());

    QTest::mouseClick(Form->StopButton, Qt::LeftButton);
    ASSERT_TRUE(activate());
    QTest::keyClick(Form.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(kinds(), ".pmx .pmx .bmp .pmx");
    QTest::keyClick(Form.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(TerminateCount, 1);
}

TEST_F(Files, CancelledDialogsChangeNothing) {
    QTemporaryDir dir;
    drawSomething(*Form->PlotChart1);
    NextFileName.clear();
    for (QAction* entry : {Form->Grafikdrucken1, Form->ErfassungSpeichern, Form->Erfassungladen}) {
        entry->trigger();
    }
    EXPECT_EQ(Requests.size(), 3u);
    EXPECT_EQ(Form->PlotChart1->ItemCount(), 3);
    EXPECT_TRUE(Exceptions.empty());
    EXPECT_TRUE(Messages.empty());
}

TEST_F(Files, FailuresReachTheExceptionDisplayAndKeepTheWindowIdle) {
    QTemporaryDir dir;
    drawSomething(*Form->PlotChart1);
    const QString missing = dir.filePath(QStringLiteral("fehlt/x"));
    NextFileName = missing + QStringLiteral(".bmp");
    Form->Grafikdrucken1->trigger();
    NextFileName = missing + QStringLiteral(".pmx");
    Form->ErfassungSpeichern->trigger();
    Form->Erfassungladen->trigger();
    ASSERT_EQ(Exceptions.size(), 3u);
    EXPECT_TRUE(Exceptions[0].startsWith(QStringLiteral("Datei \"") + missing))
        << Exceptions[0].toStdString();
    EXPECT_TRUE(Exceptions[0].contains(QStringLiteral("kann nicht erstellt werden")));
    EXPECT_TRUE(Exceptions[1].contains(QStringLiteral("kann nicht erstellt werden")));
    EXPECT_TRUE(Exceptions[2].contains(QString::fromUtf8("kann nicht geöffnet werden")))
        << Exceptions[2].toStdString();
    EXPECT_EQ(Form->PlotChart1->ItemCount(), 3);
    expectIdle(*Form);
}

TEST_F(Files, FifosAreRefusedOrReadWithoutFreezingTheWindow) {
    QTemporaryDir dir;
    drawSomething(*Form->PlotChart1);
    const QString fifo = dir.filePath(QStringLiteral("pipe.pmx"));
    const QString bmpFifo = dir.filePath(QStringLiteral("pipe.bmp"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(bmpFifo).constData(), 0600), 0);
    FifoWatchdog sessionWatchdog(QFile::encodeName(fifo).toStdString());
    FifoWatchdog bitmapWatchdog(QFile::encodeName(bmpFifo).toStdString());
    NextFileName = bmpFifo;
    Form->Grafikdrucken1->trigger();
    NextFileName = fifo;
    Form->ErfassungSpeichern->trigger();
    Form->Erfassungladen->trigger();
    EXPECT_FALSE(sessionWatchdog.Fired());
    EXPECT_FALSE(bitmapWatchdog.Fired());
    const QString noReader = QString::fromUtf8(
        "\" kann nicht erstellt werden. Am anderen Ende der Pipe befindet sich kein Prozess.");
    ASSERT_EQ(Exceptions.size(), 2u);
    EXPECT_EQ(Exceptions[0], QStringLiteral("Datei \"") + bmpFifo + noReader);
    EXPECT_EQ(Exceptions[1], QStringLiteral("Datei \"") + fifo + noReader);
    EXPECT_EQ(Form->PlotChart1->ItemCount(), 3); // the load found nothing to add
    expectIdle(*Form);
}

} // namespace
