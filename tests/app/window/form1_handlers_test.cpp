// SPDX-License-Identifier: GPL-3.0-or-later
// The handlers that need no device: mode switches, ticks, grid, messages, field conversion and
// the open error, each checked against the window's state table.

#include "form1_testsupport.h"

#include "app/window/formhilfe.h"
#include "app/window/forminfo.h"
#include "chart/control/plotchart.h"
#include "widgets/circularprogress.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

namespace {

using Handlers = Form1Test;

TEST_F(Handlers, TwoChannelsWidenTheMarginShowTheSecondAxisAndHalveTheMemory) {
    QTest::mouseClick(Form->CH2RadioButton, Qt::LeftButton);
    EXPECT_EQ(Acq().ChannelCount, 2);
    EXPECT_EQ(Acq().MemoryMax, 50000);
    EXPECT_EQ(Form->PlotChart1->MarginLeft(), 160);
    EXPECT_TRUE(Form->PlotChart1->Scale2Y().Visible());
    EXPECT_TRUE(Form->PageControl1->isTabVisible(2));
    EXPECT_EQ(Form->PageControl1->currentWidget(), Form->SheetKanal1);
    EXPECT_EQ(Form->Label11->text(), QStringLiteral("Normal: max 200 Samples/s, max 50.000 "
                                                    "Samples\nTrend:  max 50 Samples/s   "
                                                    "beliebig lange"));
    expectIdle(*Form);

    Form->PageControl1->setCurrentWidget(Form->SheetCOM);
    QTest::mouseClick(Form->Ch1RadioButton, Qt::LeftButton);
    EXPECT_EQ(Acq().ChannelCount, 1);
    EXPECT_EQ(Acq().MemoryMax, 100000);
    EXPECT_EQ(Form->PlotChart1->MarginLeft(), 80);
    EXPECT_FALSE(Form->PlotChart1->Scale2Y().Visible());
    EXPECT_FALSE(Form->PageControl1->isTabVisible(2));
    EXPECT_EQ(Form->Label11->text(), QStringLiteral("Normal: max 2000 Samples/s, max 100.000 "
                                                    "Samples\nTrend:  max 100 Samples/s   "
                                                    "beliebig lange"));
    expectIdle(*Form);
}

TEST_F(Handlers, TrendOnSetsTheWindowTo2000AndAppliesIt) {
    Form->GraphXmaxEdit->setText(QStringLiteral("500"));
    QTest::mouseClick(Form->TrendCheckBox, Qt::LeftButton);
    EXPECT_TRUE(Form->TrendCheckBox->isChecked());
    EXPECT_EQ(Form->GraphXmaxEdit->text(), QStringLiteral("2000"));
    EXPECT_DOUBLE_EQ(Form->PlotChart1->Scale1X().RangeHigh(), 2000.0);
    EXPECT_FLOAT_EQ(Acq().XMax, 2000.0f);
    EXPECT_TRUE(Acq().TrendMode);
    EXPECT_EQ(Form->ChartMouseAction(), maNone);
    EXPECT_FALSE(Form->NormalRadioButton->isChecked());
    EXPECT_FALSE(Form->ZoomRadioButton->isChecked());
    EXPECT_FALSE(Form->ZoomRadioButton->isEnabled());
}

TEST_F(Handlers, TrendOffClearsTheChartAndReturnsToNormalPanning) {
    QTest::mouseClick(Form->TrendCheckBox, Qt::LeftButton);
    Form->PlotChart1->AddMoveTo(0, 1);
    Form->PlotChart1->AddDrawTo(1, 2);
    QTest::mouseClick(Form->TrendCheckBox, Qt::LeftButton);
    EXPECT_FALSE(Form->TrendCheckBox->isChecked());
    EXPECT_EQ(Form->PlotChart1->ItemCount(), 0);
    EXPECT_TRUE(Form->NormalRadioButton->isChecked());
    EXPECT_TRUE(Form->ZoomRadioButton->isEnabled());
    EXPECT_FALSE(Acq().TrendMode);
    EXPECT_EQ(Form->ChartMouseAction(), maPan);
}

TEST_F(Handlers, NormalUnchecksTrendAndZoomDrags) {
    QTest::mouseClick(Form->ZoomRadioButton, Qt::LeftButton);
    EXPECT_EQ(Form->ChartMouseAction(), maZoomDrag);
    EXPECT_FALSE(Form->NormalRadioButton->isChecked());
    QTest::mouseClick(Form->TrendCheckBox, Qt::LeftButton);
    EXPECT_FALSE(Form->ZoomRadioButton->isChecked());
    QTest::mouseClick(Form->NormalRadioButton, Qt::LeftButton);
    EXPECT_FALSE(Form->TrendCheckBox->isChecked());
    EXPECT_FALSE(Acq().TrendMode);
    EXPECT_EQ(Form->ChartMouseAction(), maPan);
}

TEST_F(Handlers, DoubleTicsSetsTenSixSixEffectiveTicks) {
    QTest::mouseClick(Form->DoubleTicsCheckBox, Qt::LeftButton);
    PlotChartCore& chart = *Form->PlotChart1;
    EXPECT_EQ(chart.Scale1X().MinTicks(), 6);
    EXPECT_EQ(chart.Scale1Y().MinTicks(), 63); // stored as set
    EXPECT_EQ(chart.Scale2Y().MinTicks(), 6);
    EXPECT_EQ(chart.Scale(1, TAxis::X).MinTicks, 6);
    EXPECT_EQ(chart.Scale(1, TAxis::Y).MinTicks, 10); // what the axis uses
    EXPECT_EQ(chart.Scale(2, TAxis::Y).MinTicks, 6);
    QTest::mouseClick(Form->DoubleTicsCheckBox, Qt::LeftButton);
    EXPECT_EQ(chart.Scale(1, TAxis::X).MinTicks, 3);
    EXPECT_EQ(chart.Scale(1, TAxis::Y).MinTicks, 3);
    EXPECT_EQ(chart.Scale(2, TAxis::Y).MinTicks, 3);
}

TEST_F(Handlers, GridAndDynGraphFollowTheirCheckBoxes) {
    EXPECT_EQ(Form->PlotChart1->GridStyle(), gsLines);
    QTest::mouseClick(Form->ShowGridCheckBox, Qt::LeftButton);
    EXPECT_EQ(Form->PlotChart1->GridStyle(), gsNone);
    QTest::mouseClick(Form->ShowGridCheckBox, Qt::LeftButton);
    EXPECT_EQ(Form->PlotChart1->GridStyle(), gsLines);
    QTest::mouseClick(Form->DynGraphCheckBox, Qt::LeftButton);
    EXPECT_FALSE(Acq().DynGraph);
}

// "Zeit" measures X in seconds: caption, X max default 10 (also when Trend is checked), ranges
// applied at once; "Tics" brings the sample count and its default back.
TEST_F(Handlers, ZeitMeasuresTheXAxisInSecondsAndTicsCountsSamplesAgain) {
    TScaleProps& x = Form->PlotChart1->Scale1X();
    QTest::mouseClick(Form->RadioButton2, Qt::LeftButton);
    EXPECT_TRUE(Messages.empty());
    EXPECT_TRUE(Form->RadioButton2->isChecked());
    EXPECT_FALSE(Form->RadioButton1->isChecked());
    EXPECT_TRUE(Acq().TimeAxis);
    EXPECT_EQ(x.Caption(), "Zeit [s]");
    EXPECT_EQ(Form->GraphXmaxEdit->text(), QStringLiteral("10"));
    EXPECT_EQ(x.RangeHigh(), 10.0);
    EXPECT_EQ(Form->PlotChart1->Scale2X().RangeHigh(), 10.0);
    EXPECT_LT(x.DecPlaces(), 0); // automatic: a second has tenths
    QTest::mouseClick(Form->TrendCheckBox, Qt::LeftButton);
    EXPECT_EQ(Form->GraphXmaxEdit->text(), QStringLiteral("10"));
    EXPECT_EQ(x.RangeHigh(), 10.0);

    QTest::mouseClick(Form->RadioButton1, Qt::LeftButton);
    EXPECT_FALSE(Acq().TimeAxis);
    EXPECT_EQ(x.Caption(), "Anzahl Samples");
    EXPECT_EQ(x.DecPlaces(), 0);
    EXPECT_EQ(Form->GraphXmaxEdit->text(), QStringLiteral("2000")); // Trend is checked
    EXPECT_EQ(x.RangeHigh(), 2000.0);
    QTest::mouseClick(Form->TrendCheckBox, Qt::LeftButton);
    QTest::mouseClick(Form->RadioButton2, Qt::LeftButton);
    QTest::mouseClick(Form->RadioButton1, Qt::LeftButton);
    EXPECT_EQ(Form->GraphXmaxEdit->text(), QStringLiteral("1000"));
    EXPECT_EQ(x.RangeHigh(), 1000.0);
    EXPECT_TRUE(Messages.empty());
    EXPECT_TRUE(Exceptions.empty());
    expectIdle(*Form);
}

TEST_F(Handlers, InfoButtonExplainsTheDynamicGraph) {
    QTest::mouseClick(Form->InfoButton, Qt::LeftButton);
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_TRUE(Messages[0].startsWith(QStringLiteral("Sollte normal auf Ein belassen werden")));
    EXPECT_TRUE(Messages[0].endsWith(QStringLiteral("wird in der Statuszeile angezeigt.")));
    EXPECT_EQ(Messages[0].count(QStringLiteral("\r\n")), 14);
}

TEST_F(Handlers, ResetAppliesRangesAndCaptionsFromTheFields) {
    Form->GraphXmaxEdit->setText(QStringLiteral("300"));
    Form->GraphYmaxEdit->setText(QStringLiteral("2,5"));
    Form->GraphYminEdit->setText(QStringLiteral("-1.5"));
    Form->GraphY2maxEdit->setText(QStringLiteral("7"));
    Form->GraphY2minEdit->setText(QStringLiteral("-7"));
    Form->Ch1NameEdit->setText(QStringLiteral("Volt"));
    Form->Ch2NameEdit->setText(QStringLiteral("Ampere"));
    Form->ProjektNameEdit->setText(QStringLiteral("Versuch 3"));
    QTest::mouseClick(Form->ResetAxisButton, Qt::LeftButton);
    PlotChartCore& chart = *Form->PlotChart1;
    EXPECT_DOUBLE_EQ(chart.Scale1X().RangeHigh(), 300.0);
    EXPECT_DOUBLE_EQ(chart.Scale1Y().RangeHigh(), 2.5);
    EXPECT_DOUBLE_EQ(chart.Scale1Y().RangeLow(), -1.5);
    EXPECT_DOUBLE_EQ(chart.Scale2Y().RangeHigh(), 7.0);
    EXPECT_DOUBLE_EQ(chart.Scale2Y().RangeLow(), -7.0);
    EXPECT_EQ(chart.Scale1Y().Caption(), "Volt");
    EXPECT_EQ(chart.Scale2Y().Caption(), "Ampere");
    EXPECT_EQ(chart.Caption(), "Versuch 3");
    EXPECT_TRUE(Exceptions.empty());
}

TEST_F(Handlers, RejectedFieldsEndResetWithTheConversionMessage) {
    const std::vector<std::pair<QString, QString>> cases = {
        {QStringLiteral("1,2,3"), QString::fromUtf8("'1,2,3' ist kein gültiger Gleitkommawert.")},
        {QStringLiteral(""), QString::fromUtf8("'' ist kein gültiger Gleitkommawert.")},
        {QStringLiteral("-"), QString::fromUtf8("'-' ist kein gültiger Gleitkommawert.")},
        {QStringLiteral("1e39"), QString::fromUtf8("Gleitkommaüberlauf.")}};
    for (const auto& [text, shown] : cases) {
        Exceptions.clear();
        Form->GraphYmaxEdit->setText(text);
        QTest::mouseClick(Form->ResetAxisButton, Qt::LeftButton);
        ASSERT_EQ(Exceptions.size(), 1u) << text.toStdString();
        EXPECT_EQ(Exceptions[0], shown);
    }
}

// A rejected float field stops Start at that field: the window stays in the acquiring state with
// the port closed, and Stop returns it to idle.
TEST_F(Handlers, RejectedFloatFieldLeavesStartAcquiringWithThePortClosed) {
    Form->GraphYminEdit->setText(QStringLiteral("1,,0"));
    Form->ProjektNameEdit->setText(QStringLiteral("Lauf"));
    QTest::mouseClick(Form->StartButton, Qt::LeftButton);
    ASSERT_EQ(Exceptions.size(), 1u);
    EXPECT_EQ(Exceptions[0], QString::fromUtf8("'1,,0' ist kein gültiger Gleitkommawert."));
    expectAcquiringControls(*Form);
    EXPECT_FALSE(Form->PortActive());
    EXPECT_EQ(Form->PlotChart1->Caption(), "Lauf"); // the steps before the field were done
    EXPECT_FLOAT_EQ(Acq().Y2Max, 10.0f);            // converted before the failing field
    QTest::mouseClick(Form->StopButton, Qt::LeftButton);
    expectIdle(*Form);
}

TEST_F(Handlers, PortWithoutDeviceReturnsToIdleAndShowsTheOpenError) {
    Form->ComComboBox->setEditText(QStringLiteral("0"));
    QTest::mouseClick(Form->StartButton, Qt::LeftButton);
    expectIdle(*Form);
    ASSERT_EQ(Exceptions.size(), 1u);
    EXPECT_TRUE(Exceptions[0].startsWith(QStringLiteral("Device \"COM0\" Open Error !!!\r")))
        << Exceptions[0].toStdString();
    EXPECT_TRUE(Exceptions[0].endsWith(QLatin1Char('.')));
}

TEST_F(Handlers, TypedDevicePathIsOpenedAndNamedInTheOpenError) {
    Form->ComComboBox->setEditText(QStringLiteral("/dev/plotmira-no-such-device"));
    QTest::mouseClick(Form->StartButton, Qt::LeftButton);
    expectIdle(*Form);
    ASSERT_EQ(Exceptions.size(), 1u);
    EXPECT_TRUE(Exceptions[0].startsWith(
        QStringLiteral("Device \"/dev/plotmira-no-such-device\" Open Error !!!")));
}

TEST_F(Handlers, ClearEmptiesChartValueAndCountButKeepsTheSampleNumber) {
    Form->PlotChart1->AddMoveTo(0, 1);
    Acq().SampleCount = 42;
    Form->Label10->setText(QStringLiteral(" 1"));
    Form->StatusPanels[0]->setText(QStringLiteral("42"));
    QTest::mouseClick(Form->ClearGraphButton, Qt::LeftButton);
    EXPECT_EQ(Form->PlotChart1->ItemCount(), 0);
    EXPECT_TRUE(Form->Label10->text().isEmpty());
    EXPECT_TRUE(Form->StatusPanels[0]->text().isEmpty());
    EXPECT_EQ(Acq().SampleCount, 42);
}

// "Hilfe" and "Info" bring their window back also when the user minimised it; a maximised help
// window comes back maximised.
TEST_F(Handlers, HilfeAndInfoBringBackTheirWindowsEvenWhenMinimised) {
    auto* info = new TFormInfo(Form.get());
    auto* hilfe = new TFormHilfe(Form.get());
    Form->SetSecondaryWindows(info, hilfe);
    for (QWidget* window : std::initializer_list<QWidget*>{hilfe, info}) {
        window->showMinimized();
        QCoreApplication::processEvents();
        ASSERT_TRUE(window->isMinimized());
    }
    Form->Hilfe1->trigger();
    Form->Info1->trigger();
    for (QWidget* window : std::initializer_list<QWidget*>{hilfe, info}) {
        EXPECT_TRUE(window->isVisible()) << window->windowTitle().toStdString();
        EXPECT_FALSE(window->isMinimized()) << window->windowTitle().toStdString();
    }

    hilfe->showMaximized();
    hilfe->showMinimized();
    Form->Hilfe1->trigger();
    EXPECT_FALSE(hilfe->isMinimized());
    EXPECT_TRUE(hilfe->isMaximized());
    QTest::mouseClick(hilfe->Button1, Qt::LeftButton);
    EXPECT_FALSE(hilfe->isVisible());
    Form->Hilfe1->trigger();
    EXPECT_TRUE(hilfe->isVisible());
    Form->SetSecondaryWindows(nullptr, nullptr);
}

TEST_F(Handlers, BeendenStopsAndTerminates) {
    Form->Einstellungen1->trigger();
    EXPECT_EQ(TerminateCount, 1);
    expectIdle(*Form);
}

} // namespace
