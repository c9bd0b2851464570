// SPDX-License-Identifier: GPL-3.0-or-later
// Acquisition through the real window from a pseudo-terminal on COM5: Start, live samples,
// Stop, the stop conditions of the pipeline and closing the window while acquiring.

#include "form1_testsupport.h"

#include "chart/control/plotchart.h"
#include "serial/serialcomm.h"
#include "tests/support/lineerrorplatform.h"
#include "tests/support/writeratopen.h"

#include <QAction>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/ioctl.h>

namespace {

using Acquiring = Form1Test;

std::string lines(int from, int to) {
    std::string text;
    for (int i = from; i <= to; ++i) {
        text += std::to_string(i % 10) + ".5\r\n";
    }
    return text;
}

TEST_F(Acquiring, StartPlotsWhatTheDeviceSendsAndStopReturnsToIdle) {
    auto device = Device();
    QTest::mouseClick(Form->StartButton, Qt::LeftButton);
    ASSERT_TRUE(Exceptions.empty()) << Exceptions[0].toStdString();
    expectAcquiringControls(*Form);
    EXPECT_TRUE(Form->ZoomRadioButton->isEnabled()); // normal mode
    EXPECT_TRUE(Form->PortActive());
    EXPECT_TRUE(Form->CircularProgress->IsSpinning());

    device->Write("1.5\r\n2.5\r\n3");
    ASSERT_TRUE(WaitFor([&] { return Acq().SampleCount == 2; }));
    device->Write(".25\r\n");
    ASSERT_TRUE(WaitFor([&] { return Acq().SampleCount == 3; }));
    // While acquiring, the texts follow the samples within one display frame.
    EXPECT_TRUE(WaitFor([&] {
        return Form->Label10->text() == QStringLiteral(" 3,25") &&
               Form->StatusPanels[0]->text() == QStringLiteral("3");
    })) << Form->Label10->text().toStdString()
        << " / " << Form->StatusPanels[0]->text().toStdString();
    EXPECT_TRUE(Form->StatusPanels[1]->text().startsWith(QStringLiteral("ComBuffer: ")));
    EXPECT_TRUE(Form->StatusPanels[2]->text().endsWith(QStringLiteral(" ms Skal.+Grafik")));
    // One channel in normal mode: a move-to at x 0, then draw-tos at the sample numbers.
    ASSERT_EQ(Form->PlotChart1->ItemCount(), 3);
    EXPECT_DOUBLE_EQ(Form->PlotChart1->Item(0).X, 0.0);
    EXPECT_DOUBLE_EQ(Form->PlotChart1->Item(2).X, 3.0);
    EXPECT_DOUBLE_EQ(Form->PlotChart1->Item(2).Y, 3.25);

    QTest::mouseClick(Form->StopButton, Qt::LeftButton);
    expectIdle(*Form);
    EXPECT_FALSE(Form->CircularProgress->IsSpinning());
    device->Write("9\r\n");
    QTest::qWait(50);
    EXPECT_EQ(Acq().SampleCount, 3); // nothing is read after Stop
    EXPECT_TRUE(Messages.empty());   // the window closed the port, no device failed
}

// With "Zeit" a sample's X is the seconds from Start to its line's processing.
TEST_F(Acquiring, ZeitPlotsEachSampleAtItsSecondsSinceStart) {
    auto device = Device();
    QTest::mouseClick(Form->RadioButton2, Qt::LeftButton);
    const auto started = std::chrono::steady_clock::now();
    QTest::mouseClick(Form->StartButton, Qt::LeftButton);
    ASSERT_TRUE(Exceptions.empty()) << Exceptions[0].toStdString();
    device->Write("1\r\n2\r\n");
    ASSERT_TRUE(WaitFor([&] { return Acq().SampleCount == 2; }));
    QTest::qWait(250);
    device->Write("3\r\n");
    ASSERT_TRUE(WaitFor([&] { return Acq().SampleCount == 3; }));
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    QTest::mouseClick(Form->StopButton, Qt::LeftButton);

    TPlotChart& chart = *Form->PlotChart1;
    ASSERT_EQ(chart.ItemCount(), 3);
    EXPECT_EQ(chart.Item(0).Kind, ikMoveTo);
    EXPECT_GT(chart.Item(0).X, 0.0);
    EXPECT_GE(chart.Item(1).X, chart.Item(0).X);
    EXPECT_GE(chart.Item(2).X - chart.Item(1).X, 0.24);
    EXPECT_LE(chart.Item(2).X, wall);
    EXPECT_EQ(chart.Scale1X().Caption(), "Zeit [s]");
    EXPECT_EQ(chart.Scale1X().RangeHigh(), 10.0);
}

// A fresh adapter's line is cooked until Start makes it raw; a device that sends from the moment
// the port opens must lose no line to merging or dropping and hear no echo.
TEST_F(Acquiring, CookedPortFedFromTheMomentItOpensKeepsEveryLineAndEchoesNothing) {
    constexpr int kRuns = 20;
    constexpr int kLines = 2000;
    const std::string bytes = WriterAtOpen::NumberedLines(kLines);
    for (int run = 0; run < kRuns; ++run) {
        std::size_t echoed = 0;
        for (int attempt = 0; attempt < WriterAtOpen::kTries; ++attempt) {
            auto device = Device(5, false);
            ASSERT_TRUE(device->Ok());
            WriterAtOpen writer(device->Master(), bytes);
            QTest::mouseClick(Form->StartButton, Qt::LeftButton);
            ASSERT_TRUE(Exceptions.empty()) << Exceptions[0].toStdString();
            const bool all = WaitFor([&] { return Acq().SampleCount >= kLines; }, 20000);
            QTest::mouseClick(Form->StopButton, Qt::LeftButton);
            EXPECT_EQ(writer.Finish(), bytes.size()) << "run " << run;
            echoed = writer.Echoed();
            if (echoed != 0) {
                continue; // preempted between open and raw mode: see WriterAtOpen
            }
            ASSERT_TRUE(all) << "run " << run << ": " << Acq().SampleCount << " samples";
            EXPECT_EQ(Acq().SampleCount, kLines) << "run " << run;
            ASSERT_EQ(Form->PlotChart1->ItemCount(), kLines) << "run " << run;
            for (int i = 0; i < kLines; ++i) {
                ASSERT_EQ(Form->PlotChart1->Item(i).Y, i + 1.0) << "run " << run;
            }
            break;
        }
        EXPECT_EQ(echoed, 0u) << "run " << run << ": echoed on every try";
    }
    EXPECT_TRUE(Messages.empty());
}

TEST_F(Acquiring, FieldsWithEitherSeparatorScaleTheSamples) {
    auto device = Device();
    Form->DatSkalEdit->setText(QStringLiteral("2,5"));
    Form->DatOffsetEdit->setText(QStringLiteral("-1.0"));
    QTest::mouseClick(Form->StartButton, Qt::LeftButton);
    ASSERT_TRUE(Exceptions.empty());
    device->Write("4\r\n");
    ASSERT_TRUE(WaitFor([&] { return Acq().SampleCount == 1; }));
    EXPECT_FLOAT_EQ(Acq().Value1, 9.0f);
    EXPECT_TRUE(WaitFor([&] { return Form->Label10->text() == QStringLiteral(" 9"); }))
        << Form->Label10->text().toStdString();
    QTest::mouseClick(Form->StopButton, Qt::LeftButton);

    // Each channel takes its own factor and offset field.
    QTest::mouseClick(Form->CH2RadioButton, Qt::LeftButton);
    Form->DatSkal2Edit->setText(QStringLiteral("0.5"));
    Form->DatOffset2Edit->setText(QStringLiteral("100"));
    QTest::mouseClick(Form->StartButton, Qt::LeftButton);
    ASSERT_TRUE(Exceptions.empty());
    device->Write("4;6\r\n");
    ASSERT_TRUE(WaitFor([&] { return Acq().SampleCount == 1; }));
    EXPECT_FLOAT_EQ(Acq().Value1, 9.0f);
    EXPECT_FLOAT_EQ(Acq().Value2, 103.0f);
    QTest::mouseClick(Form->StopButton, Qt::LeftButton);
}

TEST_F(Acquiring, TwoChannelsDrawOneSegmentPerChannel) {
    auto device = Device();
    QTest::mouseClick(Form->CH2RadioButton, Qt::LeftButton);
    QTest::mouseClick(Form->StartButton, Qt::LeftButton);
    device->Write("1.5;2.5\r\n");
    ASSERT_TRUE(WaitFor([&] { return Acq().SampleCount == 1; }));
    EXPECT_TRUE(WaitFor([&] { return Form->Label10->text() == QStringLiteral(" 1,5        2,5"); }))
        << Form->Label10->text().toStdString();
    ASSERT_EQ(Form->PlotChart1->ItemCount(), 2);
    EXPECT_EQ(Form->PlotChart1->Item(0).Layer, 1);
    EXPECT_EQ(Form->PlotChart1->Item(1).Layer, 2);
    QTest::mouseClick(Form->StopButton, Qt::LeftButton);
    expectIdle(*Form);
}

TEST_F(Acquiring, TrendStartRunsResetAndLocksZoom) {
    auto device = Device();
    QTest::mouseClick(Form->TrendCheckBox, Qt::LeftButton);
    Form->GraphXmaxEdit->setText(QStringLiteral("40"));
    QTest::mouseClick(Form->StartButton, Qt::LeftButton);
    ASSERT_TRUE(Exceptions.empty());
    EXPECT_TRUE(Acq().TrendMode);
    EXPECT_FALSE(Form->ZoomRadioButton->isEnabled());
    EXPECT_DOUBLE_EQ(Form->PlotChart1->Scale1X().RangeHigh(), 40.0);
    device->Write(lines(1, 30));
    ASSERT_TRUE(WaitFor([&] { return Acq().SampleCount == 30; }));
    // XMax 40: samples 1 to 21 fill the window, every later one scrolls by one unit.
    EXPECT_DOUBLE_EQ(Form->PlotChart1->Scale1X().RangeLow(), 9.0);
    EXPECT_EQ(Form->PlotChart1->ItemCount(), 21);

    QTest::mouseClick(Form->StopButton, Qt::LeftButton);
    expectIdle(*Form);
    EXPECT_FALSE(Acq().TrendMode);
    EXPECT_TRUE(Form->TrendCheckBox->isChecked()); // read again at the next Start
    EXPECT_FALSE(Form->NormalRadioButton->isChecked());
    EXPECT_FALSE(Form->ZoomRadioButton->isChecked());
    EXPECT_EQ(Form->ChartMouseAction(), maPan);
}

TEST_F(Acquiring, NormalDuringTrendGoesOnInNormalMode) {
    auto device = Device();
    QTest::mouseClick(Form->TrendCheckBox, Qt::LeftButton);
    QTest::mouseClick(Form->StartButton, Qt::LeftButton);
    device->Write(lines(1, 5));
    ASSERT_TRUE(WaitFor([&] { return Acq().SampleCount == 5; }));
    QTest::mouseClick(Form->NormalRadioButton, Qt::LeftButton);
    EXPECT_FALSE(Acq().TrendMode);
    EXPECT_EQ(Form->PlotChart1->ItemCount(), 0); // unchecking Trend cleared the chart
    EXPECT_TRUE(Form->PortActive());
    device->Write(lines(6, 7));
    ASSERT_TRUE(WaitFor([&] { return Acq().SampleCount == 7; }));
    EXPECT_EQ(Form->PlotChart1->ItemCount(), 2);
    QTest::mouseClick(Form->StopButton, Qt::LeftButton);
}

TEST_F(Acquiring, MemoryMaximumStopsWithItsMessageAndEnablesTheMenu) {
    auto device = Device();
    QTest::mouseClick(Form->StartButton, Qt::LeftButton);
    Acq().MemoryMax = 20; // the window's limit is 100000; the path is the same
    device->Write(lines(1, 25));
    ASSERT_TRUE(WaitFor([&] { return !Form->IsAcquiring(); }));
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0], QStringLiteral("Speichermaximum erreicht"));
    EXPECT_EQ(Acq().SampleCount, 21);
    EXPECT_EQ(Form->StatusPanels[0]->text(), QStringLiteral("21"));
    EXPECT_EQ(Form->PlotChart1->ItemCount(), 20);
    expectIdle(*Form);
    EXPECT_TRUE(Exceptions.empty());
}

TEST_F(Acquiring, OversizedBlockStopsWithBufferOverflow) {
    auto device = Device();
    QTest::mouseClick(Form->StartButton, Qt::LeftButton);
    // A pseudo-terminal never delivers more than 4095 bytes at once; a fast real port can.
    const std::string block(16001, '1');
    Form->SerialComm1AfterReceive(block.data(), static_cast<std::uint32_t>(block.size()));
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0], QString::fromUtf8("Com Pufferüberlauf"));
    EXPECT_EQ(Form->StatusPanels[1]->text(), QStringLiteral("ComBuffer: 16001     "));
    EXPECT_EQ(Acq().SampleCount, 0);
    expectIdle(*Form);
}

TEST_F(Acquiring, InputLostByTheDriverStopsWithBufferOverflowOtherLineErrorsDoNot) {
    auto platform = std::make_shared<LineErrorPlatform>();
    Form->SerialComm1->SetPlatform(platform);
    auto device = Device();
    QTest::mouseClick(Form->StartButton, Qt::LeftButton);
    device->Write("1\r\n");
    ASSERT_TRUE(WaitFor([&] { return Acq().SampleCount == 1; }));
    platform->pending = CE_FRAME | CE_RXPARITY | CE_BREAK;
    device->Write("2\r\n");
    ASSERT_TRUE(WaitFor([&] { return Acq().SampleCount == 2; }));
    EXPECT_TRUE(Messages.empty());
    EXPECT_TRUE(Form->IsAcquiring());

    platform->pending = CE_OVERRUN;
    device->Write("3\r\n");
    ASSERT_TRUE(WaitFor([&] { return !Form->IsAcquiring(); }));
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0], QString::fromUtf8("Com Pufferüberlauf"));
    EXPECT_EQ(Acq().SampleCount, 2);
    EXPECT_TRUE(Exceptions.empty());
    expectIdle(*Form);
}

TEST_F(Acquiring, ValueBeyondSingleRangeStopsThroughTheFatalErrorPath) {
    auto device = Device();
    QTest::mouseClick(Form->StartButton, Qt::LeftButton);
    device->Write("1\r\n1e39\r\n2\r\n");
    ASSERT_TRUE(WaitFor([&] { return !Form->IsAcquiring(); }));
    ASSERT_TRUE(WaitFor([&] { return !Exceptions.empty(); }));
    EXPECT_EQ(Exceptions[0], QString::fromUtf8("Gleitkommaüberlauf."));
    EXPECT_EQ(Acq().SampleCount, 2);
    expectIdle(*Form);
}

// The serial component shows an error of its receive path in a box of its own, titled
// "Anwendungsfehler"; an error that reaches the application (the open error) is titled with the
// program's file name.
TEST_F(Acquiring, ErrorBoxesAreTitledByWhereTheErrorIsShown) {
    struct Box {
        QString title;
        QString text;
        QMessageBox::Icon icon;
    };
    std::vector<Box> boxes;
    SetExceptionSink(nullptr);
    SetMessageBoxRunner([&boxes](QMessageBox& box) {
        boxes.push_back({box.windowTitle(), box.text(), box.icon()});
    });
    auto device = Device();
    QTest::mouseClick(Form->StartButton, Qt::LeftButton);
    device->Write("1\r\n1e39\r\n");
    ASSERT_TRUE(WaitFor([&] { return !boxes.empty(); }));
    EXPECT_EQ(boxes[0].title, QStringLiteral("Anwendungsfehler"));
    EXPECT_EQ(boxes[0].text, QString::fromUtf8("Gleitkommaüberlauf."));
    EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
    expectIdle(*Form);

    Form->ComComboBox->setEditText(QStringLiteral("0"));
    QTest::mouseClick(Form->StartButton, Qt::LeftButton);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].title, QStringLiteral("test_window"));
    EXPECT_TRUE(boxes[1].text.startsWith(QStringLiteral("Device \"COM0\" Open Error")));
    EXPECT_EQ(boxes[1].icon, QMessageBox::Critical);

    // A device path with control characters is shown escaped, and one far wider than the
    // screen is shortened in the middle so that the box fits.
    const QString head = QStringLiteral("/dev/ttyUSB\x1b[2J");
    const QString tail = QStringLiteral("-if00-port0");
    Form->ComComboBox->setEditText(head + QString(3000, QLatin1Char('x')) + tail);
    int boxWidth = 0;
    SetMessageBoxRunner([&](QMessageBox& box) {
        boxes.push_back({box.windowTitle(), box.text(), box.icon()});
        box.show();
        boxWidth = box.frameGeometry().width();
        box.hide();
    });
    QTest::mouseClick(Form->StartButton, Qt::LeftButton);
    ASSERT_EQ(boxes.size(), 3u);
    const QString first = boxes[2].text.section(QLatin1Char('\n'), 0, 0);
    EXPECT_TRUE(first.startsWith(QStringLiteral("Device \"/dev/ttyUSB\\x1B[2J")))
        << first.toStdString();
    EXPECT_TRUE(first.endsWith(tail + QStringLiteral("\" Open Error !!!"))) << first.toStdString();
    EXPECT_TRUE(first.contains(QChar(0x2026))) << first.toStdString();
    EXPECT_FALSE(boxes[2].text.contains(QChar(0x1b)));
    EXPECT_LE(boxWidth, Form->screen()->availableGeometry().width());
}

TEST_F(Acquiring, UnpluggedDeviceReturnsToIdleWithAMessageAndKeepsTheSamples) {
    auto device = Device();
    QTest::mouseClick(Form->StartButton, Qt::LeftButton);
    device->Write("1\r\n2\r\n");
    ASSERT_TRUE(WaitFor([&] { return Acq().SampleCount == 2; }));
    device.reset();
    ASSERT_TRUE(WaitFor([&] { return !Form->IsAcquiring(); }));
    expectIdle(*Form);
    EXPECT_FALSE(Form->CircularProgress->IsSpinning());
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0], QStringLiteral("Com Verbindung unterbrochen"));
    EXPECT_TRUE(Exceptions.empty());
    EXPECT_EQ(Form->PlotChart1->ItemCount(), 2);

    // The device is back: the next run works and ends without the message.
    device = Device();
    QTest::mouseClick(Form->StartButton, Qt::LeftButton);
    device->Write("3\r\n");
    ASSERT_TRUE(WaitFor([&] { return Acq().SampleCount == 1; }));
    QTest::mouseClick(Form->StopButton, Qt::LeftButton);
    device.reset();
    QTest::qWait(50);
    EXPECT_EQ(Messages.size(), 1u);
    expectIdle(*Form);
}

TEST_F(Acquiring, ClosingTheWindowWhileAcquiringStopsFirst) {
    auto device = Device();
    QTest::mouseClick(Form->StartButton, Qt::LeftButton);
    device->Write(lines(1, 3));
    ASSERT_TRUE(WaitFor([&] { return Acq().SampleCount == 3; }));
    Form->close();
    EXPECT_EQ(TerminateCount, 1);
    EXPECT_FALSE(Form->PortActive());
    expectIdle(*Form);
}

// A logout, a closed terminal or a service stop ends the window as "Beenden" does: acquisition
// stops and the port closes, which also clears the exclusive flag that a pseudo-terminal would
// otherwise keep, instead of the program dying with the port held.
TEST_F(Acquiring, TerminationSignalsStopAcquisitionAndQuitAsBeendenDoes) {
    int quits = 0;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        auto device = Device();
        QTest::mouseClick(Form->StartButton, Qt::LeftButton);
        device->Write(lines(1, 3));
        ASSERT_TRUE(WaitFor([&] { return Acq().SampleCount == 3; }));
        ASSERT_EQ(raise(signal), 0);
        ASSERT_TRUE(WaitFor([&] { return TerminateCount == quits + 1; })) << signal;
        ++quits;
        expectIdle(*Form);
        EXPECT_EQ(Form->PlotChart1->ItemCount(), 3);
        const int fd =
            open(QFile::encodeName(device->Link()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        int exclusive = -1;
        EXPECT_EQ(ioctl(fd, TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, 0) << signal;
        close(fd);
    }
    EXPECT_TRUE(Messages.empty());
    EXPECT_TRUE(Exceptions.empty());
}

TEST_F(Acquiring, RestartAfterStopBeginsANewRun) {
    auto device = Device();
    QTest::mouseClick(Form->StartButton, Qt::LeftButton);
    device->Write(lines(1, 4));
    ASSERT_TRUE(WaitFor([&] { return Acq().SampleCount == 4; }));
    QTest::mouseClick(Form->StopButton, Qt::LeftButton);
    QTest::mouseClick(Form->StartButton, Qt::LeftButton);
    EXPECT_EQ(Acq().SampleCount, 0);
    EXPECT_EQ(Form->PlotChart1->ItemCount(), 0);
    device->Write(lines(1, 2));
    ASSERT_TRUE(WaitFor([&] { return Acq().SampleCount == 2; }));
    QTest::mouseClick(Form->StopButton, Qt::LeftButton);
    EXPECT_TRUE(Exceptions.empty());
}

} // namespace
