// SPDX-License-Identifier: GPL-3.0-or-later
// The "Datei" commands through the dialog seam: save, load, export, cancel and the error display;
// the CSV export against plotmira-cli export of the same session, and its failures.

#include "form1_testsupport.h"

#include "chart/control/plotchart.h"
#include "tests/support/fifowatchdog.h"
#include "tests/support/filesizelimit.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

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

// ---- CSV export -------------------------------------------------------------------------------

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct CsvRun {
    const char* name;
    int channels;
    bool trend;
    bool zeit;
    const char* xMax; // typed before Start; nullptr keeps the default
};

class CsvFromTheWindow : public Form1Test, public testing::WithParamInterface<CsvRun> {};

// The window's CSV is plotmira-cli export's CSV of the session saved from the same chart, after
// Stop and again after loading that session; the first column follows the X-Achse choice.
TEST_P(CsvFromTheWindow, IsByteForByteTheCliExportOfTheSavedSession) {
    const CsvRun& c = GetParam();
    const QString cli = QStringLiteral(PLOTMIRA_CLI_PATH);
    if (cli.isEmpty()) {
        GTEST_SKIP() << "plotmira-cli is not built";
    }
    QTemporaryDir dir;
    auto device = Device();
    if (c.zeit) {
        QTest::mouseClick(Form->RadioButton2, Qt::LeftButton);
    }
    if (c.channels == 2) {
        QTest::mouseClick(Form->CH2RadioButton, Qt::LeftButton);
    }
    if (c.trend) {
        QTest::mouseClick(Form->TrendCheckBox, Qt::LeftButton);
    }
    if (c.xMax != nullptr) {
        Form->GraphXmaxEdit->setText(QString::fromUtf8(c.xMax));
    }
    QTest::mouseClick(Form->StartButton, Qt::LeftButton);
    ASSERT_TRUE(Exceptions.empty()) << Exceptions[0].toStdString();
    // Four blocks with pauses between them, so that a short time window drops the oldest.
    int sent = 0;
    for (int block = 0; block < 4; ++block) {
        std::string bytes;
        for (int i = 0; i < 60; ++i) {
            ++sent;
            const std::string v = std::to_string(sent % 17) + "." + std::to_string(sent % 4 * 25);
            bytes += (c.channels == 2 ? v + ";-" + std::to_string(sent) + ".1" : v) + "\r\n";
        }
        ASSERT_TRUE(device->Write(bytes));
        ASSERT_TRUE(WaitFor([&] { return Acq().SampleCount == sent; }));
        QTest::qWait(80);
    }
    QTest::mouseClick(Form->StopButton, Qt::LeftButton);

    const QString session = dir.filePath(QStringLiteral("lauf.pmx"));
    NextFileName = session;
    Form->ErfassungSpeichern->trigger();
    NextFileName = dir.filePath(QStringLiteral("fenster")); // typed without extension
    Form->DatenExportimCSVFormat1->trigger();
    ASSERT_TRUE(Exceptions.empty()) << Exceptions[0].toStdString();
    EXPECT_TRUE(Messages.empty());
    ASSERT_EQ(Requests.size(), 2u);
    EXPECT_EQ(Requests[1].DialogKind, FileDialogRequest::Kind::Save);
    EXPECT_EQ(Requests[1].DefaultExt, QStringLiteral(".csv"));
    EXPECT_EQ(Requests[1].Filter, QStringLiteral("CSV-Dateien (*.csv)|*.CSV"));
    const QByteArray fromWindow = readAll(dir.filePath(QStringLiteral("fenster.csv")));

    QStringList args{QStringLiteral("export"), session, QStringLiteral("-o"),
                     dir.filePath(QStringLiteral("cli.csv"))};
    if (c.zeit) {
        args << QStringLiteral("--time");
    }
    QProcess process;
    process.start(cli, args);
    ASSERT_TRUE(process.waitForFinished(30000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const QByteArray fromCli = readAll(dir.filePath(QStringLiteral("cli.csv")));
    EXPECT_EQ(fromWindow, fromCli);

    const QByteArray header = QByteArray(c.zeit ? "time_s" : "sample") + ",channel1" +
                              (c.channels == 2 ? ",channel2\n" : "\n");
    EXPECT_TRUE(fromWindow.startsWith(header)) << fromWindow.left(40).toStdString();
    const qsizetype rows = fromWindow.count('\n') - 1;
    if (c.trend) {
        EXPECT_GT(rows, 0);
        EXPECT_LT(rows, sent); // the oldest samples left the window
    } else {
        EXPECT_EQ(rows, sent);
    }

    // The same session loaded into a cleared chart gives the same file.
    QTest::mouseClick(Form->ClearGraphButton, Qt::LeftButton);
    NextFileName = session;
    Form->Erfassungladen->trigger();
    NextFileName = dir.filePath(QStringLiteral("geladen.csv"));
    Form->DatenExportimCSVFormat1->trigger();
    EXPECT_EQ(readAll(NextFileName), fromCli);
    EXPECT_TRUE(Exceptions.empty());
}

INSTANTIATE_TEST_SUITE_P(Runs, CsvFromTheWindow,
                         testing::Values(CsvRun{"TwoChannels", 2, false, false, nullptr},
                                         CsvRun{"Trend", 1, true, false, "120"},
                                         CsvRun{"ZeitOneChannel", 1, false, true, nullptr},
                                         CsvRun{"ZeitTwoChannelTrend", 2, true, true, "0,1"}),
                         [](const testing::TestParamInfo<CsvRun>& info) {
                             return std::string(info.param.name);
                         });

// Every failure shows its one message through the exception display, the window stays idle,
// and nothing is left that could pass for the export.
TEST_F(Files, CsvExportFailuresShowTheirMessageAndLeaveNoExport) {
    QTemporaryDir dir;
    TPlotChart& chart = *Form->PlotChart1;
    chart.AddMoveTo(0, 1);
    for (int n = 2; n <= 30000; ++n) { // far more than a pipe holds
        chart.AddDrawTo(n, n % 7);
    }
    const auto exportTo = [&](const QString& target) {
        Exceptions.clear();
        NextFileName = target;
        Form->DatenExportimCSVFormat1->trigger();
        EXPECT_TRUE(Messages.empty());
        expectIdle(*Form);
        return Exceptions.size() == 1u ? Exceptions[0]
                                       : QStringLiteral("(%1 exceptions)").arg(Exceptions.size());
    };
    const QString created = QString::fromUtf8("\" kann nicht erstellt werden. ");

    const QString missing = dir.filePath(QStringLiteral("fehlt/x.csv"));
    EXPECT_EQ(exportTo(missing), QStringLiteral("Datei \"") + missing + created +
                                     QString::fromUtf8("Das System kann die angegebene Datei "
                                                       "nicht finden."));
    EXPECT_FALSE(QFileInfo::exists(missing));

    const QString fifo = dir.filePath(QStringLiteral("pipe.csv"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    {
        FifoWatchdog watchdog(QFile::encodeName(fifo).toStdString());
        EXPECT_EQ(exportTo(fifo),
                  QStringLiteral("Datei \"") + fifo + created +
                      QString::fromUtf8("Am anderen Ende der Pipe befindet sich kein Prozess."));
        EXPECT_FALSE(watchdog.Fired());
    }
    {
        // The reader goes away after the first bytes: an input/output error, no success.
        const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(reader, 0);
        std::thread goesAway([reader] {
            pollfd p{reader, POLLIN, 0};
            ::poll(&p, 1, 10000);
            char some[4096];
            [[maybe_unused]] const ssize_t n = ::read(reader, some, sizeof some);
            ::close(reader);
        });
        FifoWatchdog watchdog(QFile::encodeName(fifo).toStdString());
        EXPECT_EQ(exportTo(fifo), QStringLiteral("E/A-Fehler 32."));
        goesAway.join();
        EXPECT_FALSE(watchdog.Fired());
    }

    {
        // The disk fills midway: the earlier export of that name stays whole, nothing beside it.
        QTemporaryDir folder;
        const QString earlier = folder.filePath(QStringLiteral("lauf.csv"));
        QFile old(earlier);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("sample,channel1\n1,1\n");
        old.close();
        FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.Active());
        EXPECT_EQ(exportTo(earlier), QStringLiteral("Zu wenig Speicherplatz."));
        EXPECT_EQ(readAll(earlier), QByteArray("sample,channel1\n1,1\n"));
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    if (QFileInfo::exists(QStringLiteral("/dev/full"))) {
        const QString full = dir.filePath(QStringLiteral("voll.csv"));
        ASSERT_EQ(::symlink("/dev/full", QFile::encodeName(full).constData()), 0);
        EXPECT_EQ(exportTo(full), QStringLiteral("Zu wenig Speicherplatz."));
    }

    // A folder nobody may write into, root included.
    if (QFileInfo(QStringLiteral("/sys/kernel")).isDir()) {
        const QString readOnly = QStringLiteral("/sys/kernel/plotmira.csv");
        EXPECT_TRUE(exportTo(readOnly).startsWith(QStringLiteral("Datei \"") + readOnly + created));
        EXPECT_FALSE(QFileInfo::exists(readOnly));
    }
    EXPECT_EQ(chart.ItemCount(), 30000);
}

} // namespace
