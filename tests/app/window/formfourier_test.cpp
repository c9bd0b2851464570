// SPDX-License-Identifier: GPL-3.0-or-later
// The "Fourier Analyse" window through the real main window: the recording view over the main
// chart's X range, its controls and shared sample rate, too few samples, two channels, the
// bitmap; the live view during a run from a pseudo-terminal against the recording view.

#include "form1_testsupport.h"

#include "app/analysis/spectrum.h"
#include "app/analysis/spectruminput.h"
#include "app/window/formfourier.h"
#include "chart/control/plotchart.h"

#include <QLabel>
#include <QSignalBlocker>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <numbers>
#include <string>

namespace {

using Fourier = Form1Test;

// Lines of a sine of `cycles` periods per 1000 samples; with two channels the second one has
// three times the frequency and half the amplitude.
std::string sineLines(int from, int to, double amplitude, double cycles, int channels = 1) {
    std::string text;
    char line[64];
    for (int n = from; n <= to; ++n) {
        const double phase = 2 * std::numbers::pi * cycles * n / 1000.0;
        if (channels == 2) {
            std::snprintf(line, sizeof line, "%.6f;%.6f\r\n", amplitude * std::sin(phase),
                          amplitude / 2 * std::sin(3 * phase));
        } else {
            std::snprintf(line, sizeof line, "%.6f\r\n", amplitude * std::sin(phase));
        }
        text += line;
    }
    return text;
}

// Records the lines through the pipeline as a run of the window does, without a port.
void record(TForm1& form, const std::string& lines, int channels = 1) {
    AcquisitionSettings settings;
    settings.ChannelCount = channels;
    form.Acq().Start(settings);
    std::size_t start = 0;
    while (start < lines.size()) {
        const std::size_t end = lines.find("\r\n", start);
        form.Acq().ProcessLine(std::string_view(lines).substr(start, end - start));
        start = end + 2;
    }
    form.PlotChart1->SuspendPaint(false);
}

Spectrum direct(const SpectrumInput& input, const SpectrumSettings& settings) {
    SpectrumAnalyzer analyzer;
    const std::vector<std::span<const double>> channels(input.Channels.begin(),
                                                        input.Channels.end());
    return analyzer.Compute(channels, settings);
}

TEST_F(Fourier, AnalysesTheSamplesInTheMainChartsXRangeWithItsControls) {
    record(*Form, sineLines(1, 1000, 2.0, 50));
    Form->FourierAnalyse1->trigger();
    TFormFourier* fourier = Form->FormFourier();
    ASSERT_NE(fourier, nullptr);
    EXPECT_TRUE(fourier->isVisible());
    EXPECT_EQ(fourier->windowTitle(), QStringLiteral("Fourier Analyse"));
    EXPECT_FALSE(fourier->PointsComboBox->isVisible());
    ASSERT_EQ(fourier->ShownInput().Count(), 1000u); // X 0 .. 1000: the whole recording
    const Spectrum* s = fourier->ShownSpectrum();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->Settings.Window, SpectrumWindow::Hann);
    EXPECT_TRUE(s->Settings.SubtractMean);
    EXPECT_EQ(s->Peaks[0].Bin, 50u);
    EXPECT_NEAR(s->Peaks[0].Value, 2.0, 1e-5);
    EXPECT_EQ(fourier->Chart->ItemCount(), 501);
    EXPECT_EQ(fourier->Chart->Scale1X().Caption(), "Frequenz [1/Sample]");
    EXPECT_EQ(fourier->Chart->Scale1Y().Caption(), "Amplitude");
    EXPECT_DOUBLE_EQ(fourier->Chart->Scale1X().RangeHigh(), 0.5);
    EXPECT_EQ(fourier->PeakLabel->text(), QString::fromUtf8("Größte Spitze CH1: 0,05 1/Sample, 2"));

    // The shared rate: typed here it reaches the main window, set there it shows here.
    fourier->SampleRateEdit->setText(QStringLiteral("2000,5"));
    emit fourier->SampleRateEdit->editingFinished();
    ASSERT_EQ(Form->SampleRate(), 2000.5);
    EXPECT_EQ(fourier->ShownSpectrum()->Settings.SampleRate, 2000.5);
    EXPECT_EQ(fourier->Chart->Scale1X().Caption(), "Frequenz [Hz]");
    EXPECT_DOUBLE_EQ(fourier->Chart->Scale1X().RangeHigh(), 1000.25);
    Form->SetSampleRate(1000.0);
    EXPECT_EQ(fourier->SampleRateEdit->text(), QStringLiteral("1000"));
    EXPECT_TRUE(fourier->PeakLabel->text().contains(QStringLiteral(": 50 Hz, 2")));
    fourier->SampleRateEdit->setText(QStringLiteral("schnell"));
    emit fourier->SampleRateEdit->editingFinished();
    ASSERT_EQ(Exceptions.size(), 1u);
    EXPECT_EQ(Exceptions[0], QString::fromUtf8("'schnell' ist kein gültiger Gleitkommawert."));
    EXPECT_EQ(fourier->SampleRateEdit->text(), QStringLiteral("1000"));
    EXPECT_EQ(Form->SampleRate(), 1000.0);

    // Window, dB and mean: each recomputes the same input.
    fourier->WindowComboBox->setCurrentIndex(3);
    QTest::mouseClick(fourier->DbCheckBox, Qt::LeftButton);
    QTest::mouseClick(fourier->SubtractMeanCheckBox, Qt::LeftButton);
    s = fourier->ShownSpectrum();
    EXPECT_EQ(s->Settings.Window, SpectrumWindow::Blackman);
    EXPECT_TRUE(s->Settings.Decibel);
    EXPECT_FALSE(s->Settings.SubtractMean);
    EXPECT_EQ(s->Channels, direct(fourier->ShownInput(), s->Settings).Channels);
    EXPECT_NEAR(s->Peaks[0].Value, 20 * std::log10(2.0), 1e-4);
    EXPECT_EQ(fourier->Chart->Scale1Y().Caption(), "Amplitude [dB]");
    EXPECT_EQ(fourier->PeakLabel->text().right(3), QStringLiteral(" dB"));

    // Zoomed in on the main chart, "Neu berechnen" takes only that stretch.
    Form->PlotChart1->SetLayerRange(1, 501, 0, 756, 10);
    QTest::mouseClick(fourier->RecomputeButton, Qt::LeftButton);
    ASSERT_EQ(fourier->ShownInput().Count(), 256u);
    EXPECT_EQ(fourier->ShownInput().X.front(), 501.0);
    EXPECT_EQ(fourier->ShownSpectrum()->SampleCount, 256u);

    // The entry again: the same window, the input taken anew.
    Form->PlotChart1->SetLayerRange(1, 0, 0, 1000, 10);
    Form->FourierAnalyse1->trigger();
    EXPECT_EQ(Form->FormFourier(), fourier);
    EXPECT_EQ(fourier->ShownInput().Count(), 1000u);
    EXPECT_TRUE(Messages.empty());
}

TEST_F(Fourier, FewerThanEightSamplesSayWhyAndDrawNothing) {
    record(*Form, sineLines(1, 100, 1.0, 50));
    Form->PlotChart1->SetLayerRange(1, 10, 0, 16.5, 10); // samples 10 .. 16
    Form->FourierAnalyse1->trigger();
    const QString text = QString::fromUtf8("Zu wenige Samples für eine Fourier Analyse: 7 "
                                           "(mindestens 8)");
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0], text);
    TFormFourier* fourier = Form->FormFourier();
    EXPECT_EQ(fourier->ShownSpectrum(), nullptr);
    EXPECT_EQ(fourier->Chart->ItemCount(), 0);
    EXPECT_EQ(fourier->PeakLabel->text(), text);
    // Eight are enough.
    Form->PlotChart1->SetLayerRange(1, 10, 0, 17, 10);
    QTest::mouseClick(fourier->RecomputeButton, Qt::LeftButton);
    ASSERT_NE(fourier->ShownSpectrum(), nullptr);
    EXPECT_EQ(fourier->ShownSpectrum()->SampleCount, 8u);
    EXPECT_EQ(Messages.size(), 1u);
}

TEST_F(Fourier, TwoChannelsDrawTheSecondOnLayerTwoInMaroonAndTheBitmapIsSaved) {
    record(*Form, sineLines(1, 1000, 4.0, 20, 2), 2);
    Form->FourierAnalyse1->trigger();
    TFormFourier* fourier = Form->FormFourier();
    const Spectrum* s = fourier->ShownSpectrum();
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->Channels.size(), 2u);
    EXPECT_EQ(s->Peaks[0].Bin, 20u);
    EXPECT_EQ(s->Peaks[1].Bin, 60u);
    EXPECT_NEAR(s->Peaks[1].Value, 2.0, 1e-5);
    ASSERT_EQ(fourier->Chart->ItemCount(), 2 * 501);
    const ChartItem& second = fourier->Chart->Item(501);
    EXPECT_EQ(second.Layer, 2);
    EXPECT_EQ(second.Color, 0x000080);
    EXPECT_EQ(fourier->Chart->Item(0).Color, 0xFF0000);
    EXPECT_TRUE(fourier->Chart->Scale2Y().Visible());
    EXPECT_EQ(fourier->Chart->MarginLeft(), 160);
    EXPECT_TRUE(fourier->PeakLabel->text().contains(QStringLiteral("CH2: 0,06 1/Sample, 2")));

    QTest::mouseClick(fourier->ShowGridCheckBox, Qt::LeftButton);
    EXPECT_EQ(fourier->Chart->GridStyle(), gsNone);
    QTest::mouseClick(fourier->ZoomRadioButton, Qt::LeftButton);
    EXPECT_EQ(fourier->Chart->MouseAction(), maZoomDrag);

    QTemporaryDir dir;
    NextFileName = dir.filePath(QStringLiteral("spektrum"));
    QTest::mouseClick(fourier->BitmapButton, Qt::LeftButton);
    ASSERT_TRUE(Exceptions.empty()) << Exceptions[0].toStdString();
    ASSERT_FALSE(Requests.empty());
    EXPECT_EQ(Requests.back().DefaultExt, QStringLiteral(".bmp"));
    std::ifstream bmp(QFile::encodeName(dir.filePath(QStringLiteral("spektrum.bmp"))).toStdString(),
                      std::ios::binary);
    char magic[2] = {};
    bmp.read(magic, 2);
    EXPECT_EQ(std::string(magic, 2), "BM");
}

// Zeit mode: X counts seconds; an empty rate is filled with the analysed samples' mean rate and
// a typed one is kept.
TEST_F(Fourier, ZeitModeFillsAnEmptyRateWithTheMeanRate) {
    {
        const QSignalBlocker block(Form->RadioButton2);
        Form->RadioButton2->setChecked(true);
    }
    Form->PlotChart1->AddMoveTo(0.0, 0.0);
    for (int n = 1; n < 400; ++n) {
        Form->PlotChart1->AddDrawTo(n * 0.004, std::sin(n * 0.3));
    }
    Form->PlotChart1->SetLayerRange(1, 0, -1, 2, 1);
    Form->FourierAnalyse1->trigger();
    ASSERT_TRUE(Form->SampleRate());
    EXPECT_NEAR(*Form->SampleRate(), 250.0, 1e-9);
    EXPECT_EQ(Form->FormFourier()->ShownSpectrum()->Settings.SampleRate, Form->SampleRate());
    Form->SetSampleRate(240.0);
    Form->FourierAnalyse1->trigger();
    EXPECT_EQ(Form->SampleRate(), 240.0);
}

TEST_F(Fourier, LiveViewFollowsTheRunOffTheMainThreadAndMatchesTheRecordingView) {
    auto device = Device();
    Form->RealtimeFourierAnalyse1->trigger();
    TFormFourier* fourier = Form->FormFourier();
    ASSERT_TRUE(fourier->IsLive());
    EXPECT_EQ(fourier->windowTitle(), QStringLiteral("Realtime Fourier Analyse"));
    EXPECT_TRUE(fourier->PointsComboBox->isVisible());
    EXPECT_EQ(fourier->PointsComboBox->currentText(), QStringLiteral("4096"));
    fourier->PointsComboBox->setCurrentIndex(fourier->PointsComboBox->findText("256"));
    Form->SetSampleRate(1000.0);

    QTest::mouseClick(Form->StartButton, Qt::LeftButton);
    ASSERT_TRUE(Exceptions.empty()) << Exceptions[0].toStdString();
    // The window's own timer ticks as well: wait until an update shows what `wanted` asks for,
    // stepping the timer's work whenever no transform is under way.
    const auto updateShowing = [&](const std::function<bool(const Spectrum&)>& wanted) {
        return WaitFor([&] {
            if (fourier->LivePending()) {
                return false;
            }
            const Spectrum* shown = fourier->ShownSpectrum();
            if (shown != nullptr && wanted(*shown)) {
                return true;
            }
            fourier->LiveTick();
            return false;
        });
    };
    ASSERT_TRUE(device->Write(sineLines(1, 100, 1.0, 125)));
    ASSERT_TRUE(WaitFor([&] { return Acq().SampleCount == 100; }));
    // Fewer samples than points: all there are.
    ASSERT_TRUE(updateShowing([](const Spectrum& s) { return s.SampleCount == 100; }));

    ASSERT_TRUE(device->Write(sineLines(101, 700, 1.0, 125)));
    ASSERT_TRUE(WaitFor([&] { return Acq().SampleCount == 700; }));
    // Settings changed while acquiring are taken by the next update.
    QTest::mouseClick(fourier->DbCheckBox, Qt::LeftButton);
    ASSERT_TRUE(updateShowing([&](const Spectrum& s) {
        return s.Settings.Decibel && fourier->ShownInput().X.back() == 700.0;
    }));
    const Spectrum* live = fourier->ShownSpectrum();
    EXPECT_EQ(live->SampleCount, 256u);
    EXPECT_EQ(live->Peaks[0].Bin, 32u); // 125 per 1000 samples is 32 per 256
    EXPECT_DOUBLE_EQ(live->Peaks[0].Frequency, 125.0);
    EXPECT_GE(fourier->Costs().Jobs, fourier->Costs().Draws);
    EXPECT_GE(fourier->Costs().Draws, 2u);
    // A tick while a transform is under way hands nothing over.
    fourier->LiveTick();
    ASSERT_TRUE(fourier->LivePending());
    const std::uint64_t jobs = fourier->Costs().Jobs;
    fourier->LiveTick();
    EXPECT_EQ(fourier->Costs().Jobs, jobs);
    ASSERT_TRUE(WaitFor([&] { return !fourier->LivePending(); }));
    live = fourier->ShownSpectrum();

    // The recording view over the same samples gives the same numbers.
    const SpectrumInput same = SamplesInRange(
        Form->PlotChart1->Items(), fourier->ShownInput().X.front(), fourier->ShownInput().X.back());
    EXPECT_EQ(same.Channels, fourier->ShownInput().Channels);
    EXPECT_EQ(direct(same, live->Settings).Channels, live->Channels);

    // After Stop: the newest samples once more, then it behaves like the recording view.
    ASSERT_TRUE(device->Write(sineLines(701, 710, 1.0, 125)));
    ASSERT_TRUE(WaitFor([&] { return Acq().SampleCount == 710; }));
    QTest::mouseClick(Form->StopButton, Qt::LeftButton);
    fourier->LiveTick();
    EXPECT_EQ(fourier->ShownInput().X.back(), 710.0);
    QTest::mouseClick(fourier->DbCheckBox, Qt::LeftButton);
    EXPECT_FALSE(fourier->ShownSpectrum()->Settings.Decibel);
    Form->PlotChart1->SetLayerRange(1, 455, 0, 710, 10);
    Form->FourierAnalyse1->trigger();
    EXPECT_FALSE(fourier->IsLive());
    EXPECT_EQ(
        fourier->ShownSpectrum()->Channels,
        direct(NewestSamples(Form->PlotChart1->Items(), 256), fourier->CurrentSettings()).Channels);
}

} // namespace
