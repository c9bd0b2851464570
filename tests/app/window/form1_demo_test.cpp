// SPDX-License-Identifier: GPL-3.0-or-later
// End to end as the demo runs it: the simulated device on COM5 sends a sine, the window's Start
// plots it. With PLOTMIRA_WINDOW_SHOT set, the window's picture is saved there as a PNG.

#include "form1_testsupport.h"

#include "chart/control/plotchart.h"

#include <QFileInfo>
#include <QPixmap>
#include <QProcess>
#include <algorithm>

namespace {

using Demo = Form1Test;

TEST_F(Demo, StartPlotsTheSimulatorsLiveSine) {
    const QString sim = QStringLiteral(PLOTMIRA_SIM_PATH);
    if (sim.isEmpty()) {
        GTEST_SKIP() << "plotmira-sim is not built";
    }
    QProcess device;
    device.start(sim, {QStringLiteral("--com"), QStringLiteral("5"), QStringLiteral("--channels"),
                       QStringLiteral("1"), QStringLiteral("--wave"), QStringLiteral("sine"),
                       QStringLiteral("--rate"), QStringLiteral("400"), QStringLiteral("--quiet")});
    ASSERT_TRUE(device.waitForStarted());
    const QString link = qEnvironmentVariable("PLOTMIRA_PORTS") + QStringLiteral("/COM5");
    ASSERT_TRUE(WaitFor([&] { return QFileInfo(link).exists(); }));

    // The port field's default is 5: the demo needs no other setting.
    QTest::mouseClick(Form->StartButton, Qt::LeftButton);
    ASSERT_TRUE(Exceptions.empty()) << Exceptions[0].toStdString();
    ASSERT_TRUE(WaitFor([&] { return Acq().SampleCount >= 300; }, 10000));
    QTest::mouseClick(Form->StopButton, Qt::LeftButton);
    device.terminate();
    device.waitForFinished();

    // A sine of amplitude 1: values spread over most of -1..1.
    const PlotChartCore& chart = *Form->PlotChart1;
    ASSERT_GE(chart.ItemCount(), 300);
    double low = 0, high = 0;
    for (int i = 0; i < chart.ItemCount(); ++i) {
        low = std::min(low, chart.Item(i).Y);
        high = std::max(high, chart.Item(i).Y);
    }
    EXPECT_LT(low, -0.9);
    EXPECT_GT(high, 0.9);
    EXPECT_LE(high, 1.0);
    EXPECT_TRUE(Exceptions.empty());
    EXPECT_TRUE(Messages.empty());

    const QString shot = qEnvironmentVariable("PLOTMIRA_WINDOW_SHOT");
    if (!shot.isEmpty()) {
        Form->GraphYminEdit->setText(QStringLiteral("-1,2"));
        Form->GraphYmaxEdit->setText(QStringLiteral("1,2"));
        QTest::mouseClick(Form->ResetAxisButton, Qt::LeftButton);
        Form->grab().save(shot);
    }
}

} // namespace
