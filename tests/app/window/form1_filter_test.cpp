// SPDX-License-Identifier: GPL-3.0-or-later
// Mathematik → "Digitales Filter": the dialog with the window's shared sample rate, its German
// refusals, the filters it gives the pipeline, FilterLabel, and the state afresh at Clear.
#include "form1_testsupport.h"

#include "app/window/formfilter.h"
#include "chart/control/plotchart.h"

#include <QLabel>
#include <QTimer>

namespace {

class FilterDialog : public Form1Test {
protected:
    // Opens the dialog from the menu and runs `act` on it once it is up (act decides how it
    // ends); false when no dialog came up.
    bool openDialog(const std::function<void(TFormFilter&)>& act) {
        bool seen = false;
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* dialog = Form->findChild<TFormFilter*>();
            if (dialog == nullptr || !dialog->isVisible() || seen) {
                return;
            }
            seen = true;
            poll.stop();
            act(*dialog);
            if (dialog->isVisible()) {
                dialog->reject();
            }
        });
        poll.start();
        Form->DigitalesFilter1->trigger();
        return seen;
    }
};

TEST_F(FilterDialog, AppliesFiltersAndTheSharedSampleRateAndTheLabelNamesThem) {
    EXPECT_FALSE(Form->FilterLabel->isVisible());
    Form->SetSampleRate(1000.0);
    ASSERT_TRUE(openDialog([](TFormFilter& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Digitales Filter"));
        EXPECT_EQ(d.AbtastrateEdit->text(), QStringLiteral("1000"));
        EXPECT_EQ(d.Channels[0].FilterComboBox->currentText(), QStringLiteral("Kein Filter"));
        EXPECT_FALSE(d.Channels[0].OrdnungEdit->isEnabled());
        d.Channels[0].FilterComboBox->setCurrentIndex(2); // Tiefpass
        EXPECT_TRUE(d.Channels[0].OrdnungEdit->isEnabled());
        EXPECT_FALSE(d.Channels[0].ObereGrenzfrequenzEdit->isEnabled());
        EXPECT_EQ(d.Channels[0].UnitLabels[0]->text(), QStringLiteral("Hz"));
        d.Channels[0].OrdnungEdit->setText(QStringLiteral("4"));
        d.Channels[0].GrenzfrequenzEdit->setText(QStringLiteral("100"));
        d.Channels[1].FilterComboBox->setCurrentIndex(1); // Gleitender Mittelwert
        d.Channels[1].LaengeEdit->setText(QStringLiteral("5"));
        d.AbtastrateEdit->setText(QStringLiteral("2000"));
        // Fields no chosen filter uses offer their defaults in the rate's unit; typed ones stay.
        EXPECT_EQ(d.Channels[1].GrenzfrequenzEdit->text(), QStringLiteral("200"));
        EXPECT_EQ(d.Channels[0].ObereGrenzfrequenzEdit->text(), QStringLiteral("400"));
        EXPECT_EQ(d.Channels[0].GrenzfrequenzEdit->text(), QStringLiteral("100"));
        QTest::mouseClick(d.OkButton, Qt::LeftButton);
        EXPECT_FALSE(d.isVisible());
    }));
    EXPECT_TRUE(Messages.empty());
    EXPECT_EQ(Form->SampleRate(), std::optional<double>(2000.0));
    EXPECT_EQ(Acq().Filter1(), (FilterSetting{FilterKind::Lowpass, 0, 4, 0.05, 0}));
    EXPECT_EQ(Acq().Filter2(), (FilterSetting{FilterKind::Mean, 5, 0, 0, 0}));
    EXPECT_TRUE(Form->FilterLabel->isVisible());
    EXPECT_TRUE(
        Form->FilterLabel->text().contains(QStringLiteral("CH1: Tiefpass 4. Ordnung, 100 Hz")))
        << Form->FilterLabel->text().toStdString();
    EXPECT_FALSE(Form->FilterLabel->text().contains(QStringLiteral("CH2"))); // one channel
    QTest::mouseClick(Form->CH2RadioButton, Qt::LeftButton);
    EXPECT_TRUE(
        Form->FilterLabel->text().contains(QStringLiteral("CH2: Gleitender Mittelwert, Länge 5")));
    // The rate is the window's: changed elsewhere (the Fourier window), the Hz follow.
    Form->SetSampleRate(500.0);
    EXPECT_TRUE(Form->FilterLabel->text().contains(QStringLiteral("25 Hz")));
    Form->SetSampleRate(std::nullopt);
    EXPECT_TRUE(Form->FilterLabel->text().contains(QStringLiteral("0,05 × Abtastrate")));

    // Reopened, the dialog shows what is set; "Kein Filter" on both hides the label.
    ASSERT_TRUE(openDialog([](TFormFilter& d) {
        EXPECT_EQ(d.AbtastrateEdit->text(), QString());
        EXPECT_EQ(d.Channels[0].UnitLabels[0]->text(), QStringLiteral("1/Sample"));
        EXPECT_EQ(d.Channels[0].GrenzfrequenzEdit->text(), QStringLiteral("0,05"));
        EXPECT_EQ(d.Channels[1].LaengeEdit->text(), QStringLiteral("5"));
        d.Channels[0].FilterComboBox->setCurrentIndex(0);
        d.Channels[1].FilterComboBox->setCurrentIndex(0);
        QTest::mouseClick(d.OkButton, Qt::LeftButton);
    }));
    EXPECT_EQ(Acq().Filter1(), FilterSetting{});
    EXPECT_FALSE(Form->FilterLabel->isVisible());
}

TEST_F(FilterDialog, SettingsThatCannotWorkAreRefusedAndTheDialogStaysOpen) {
    Form->SetSampleRate(1000.0);
    ASSERT_TRUE(openDialog([this](TFormFilter& d) {
        d.Channels[1].FilterComboBox->setCurrentIndex(4); // Bandpass
        const struct {
            const char* low;
            const char* high;
            const char* length;
            const char* rate;
            const char* message;
        } cases[] = {
            {"600", "700", "10", "1000",
             "Kanal 2: Die untere Grenzfrequenz muss größer als 0 und kleiner als die halbe "
             "Abtastrate (500 Hz) sein"},
            {"200", "100", "10", "1000",
             "Kanal 2: Die untere Grenzfrequenz muss kleiner als die obere sein"},
            {"1o0", "200", "10", "1000", "Kanal 2: '1o0' ist kein gültiger Gleitkommawert"},
            {"100", "200", "10", "-5", "Die Abtastrate muss größer als 0 sein"},
        };
        for (const auto& c : cases) {
            d.Channels[1].GrenzfrequenzEdit->setText(QString::fromUtf8(c.low));
            d.Channels[1].ObereGrenzfrequenzEdit->setText(QString::fromUtf8(c.high));
            d.AbtastrateEdit->setText(QString::fromUtf8(c.rate));
            QTest::mouseClick(d.OkButton, Qt::LeftButton);
            ASSERT_FALSE(Messages.empty());
            EXPECT_EQ(Messages.back(), QString::fromUtf8(c.message));
            EXPECT_TRUE(d.isVisible());
        }
        d.AbtastrateEdit->setText(QStringLiteral("1000"));
        d.Channels[1].ObereGrenzfrequenzEdit->setText(QStringLiteral("200"));
        d.Channels[0].FilterComboBox->setCurrentIndex(1);
        d.Channels[0].LaengeEdit->setText(QStringLiteral("10001"));
        QTest::mouseClick(d.OkButton, Qt::LeftButton);
        EXPECT_EQ(Messages.back(),
                  QStringLiteral("Kanal 1: Die Länge muss zwischen 2 und 10000 liegen"));
        QTest::mouseClick(d.CancelButton, Qt::LeftButton);
        EXPECT_FALSE(d.isVisible());
    }));
    EXPECT_EQ(Acq().Filter1(), FilterSetting{});
    EXPECT_EQ(Acq().Filter2(), FilterSetting{});
    EXPECT_EQ(Form->SampleRate(), std::optional<double>(1000.0));
}

// The device's values through a moving mean: Label10 shows what arrived, the chart the mean;
// while acquiring, the dialog is refused; Start and Clear start the filter afresh.
TEST_F(FilterDialog, FilteredRunDrawsTheMeanWhileLabel10ShowsTheReceivedValues) {
    ASSERT_TRUE(openDialog([](TFormFilter& d) {
        d.Channels[0].FilterComboBox->setCurrentIndex(1);
        d.Channels[0].LaengeEdit->setText(QStringLiteral("2"));
        QTest::mouseClick(d.OkButton, Qt::LeftButton);
    }));
    auto device = Device();
    QTest::mouseClick(Form->StartButton, Qt::LeftButton);
    ASSERT_TRUE(Exceptions.empty());
    device->Write("2\r\n4\r\n");
    ASSERT_TRUE(WaitFor([&] { return Acq().SampleCount == 2; }));
    EXPECT_TRUE(WaitFor([&] { return Form->Label10->text() == QStringLiteral(" 4"); }));
    ASSERT_EQ(Form->PlotChart1->ItemCount(), 2);
    EXPECT_EQ(Form->PlotChart1->Item(1).Y, 3.0);

    Form->DigitalesFilter1Click(); // the menu is disabled; the handler run from code
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0], QStringLiteral("Das digitale Filter kann nur bei gestoppter Erfassung "
                                          "eingestellt werden"));
    EXPECT_EQ(Acq().Filter1().Length, 2);

    // A new Start: the first sample is drawn as it is, not averaged with the 4 before it.
    QTest::mouseClick(Form->StopButton, Qt::LeftButton);
    QTest::mouseClick(Form->StartButton, Qt::LeftButton);
    device->Write("10\r\n");
    ASSERT_TRUE(WaitFor([&] { return Acq().SampleCount == 1; }));
    ASSERT_EQ(Form->PlotChart1->ItemCount(), 1);
    EXPECT_EQ(Form->PlotChart1->Item(0).Y, 10.0);

    QTest::mouseClick(Form->StopButton, Qt::LeftButton);
    QTest::mouseClick(Form->ClearGraphButton, Qt::LeftButton);
    Acq().ProcessLine("20");
    EXPECT_EQ(Acq().Value1, 20.0f); // not the mean with the 10 from before Clear
}

} // namespace
