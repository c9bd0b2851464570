// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window/formfourier.h"

#include "app/analysis/spectrumworker.h"
#include "app/pipeline/numbers.h"
#include "app/window/form1.h"
#include "app/window/messagedisplay.h"
#include "app/window/windowplacement.h"
#include "base/exception.h"
#include "chart/control/plotchart.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

constexpr TColor kChannel1Color = 0xFF0000; // blue, as the main chart
constexpr TColor kChannel2Color = 0x000080; // maroon
constexpr int kOneChannelMargin = 80;
constexpr int kTwoChannelMargin = 160;
// Room for the largest live spectrum (65536 points: 32769 bins) of two channels in one step.
constexpr int kChartAllocSize = 110000;

const char* const kBitmapFilter = "Graphic Files (*.bmp)|*.BMP";

constexpr SpectrumWindow kWindowOrder[] = {SpectrumWindow::Rectangle, SpectrumWindow::Hann,
                                           SpectrumWindow::Hamming, SpectrumWindow::Blackman};

// CPU time of the calling thread: the live view's cost on the main thread, undisturbed by the
// time the thread waits for a core (the worker included).
std::chrono::nanoseconds threadCpuTime() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

// A value for the peak text: six significant digits, the user's decimal separator.
QString shortNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    QString s = QString::fromLatin1(text);
    s.replace(QLatin1Char('.'), QLatin1Char(numbers::DecimalSeparator()));
    return s;
}

// Axis bounds around the values: amplitudes from 0 with a tenth above the largest, dB on
// multiples of 10 with 10 dB above the largest.
std::pair<double, double> valueRange(const std::vector<double>& values, bool decibel) {
    const auto [lowest, highest] = std::minmax_element(values.begin(), values.end());
    if (decibel) {
        const double low = std::max(kSpectrumDbFloor, 10.0 * std::floor(*lowest / 10.0));
        return {low, 10.0 * std::ceil(*highest / 10.0) + 10.0};
    }
    return {0.0, *highest > 0.0 ? *highest * 1.1 : 1.0};
}

} // namespace

TFormFourier::TFormFourier(TForm1& main, FileDialogRunner saveDialog)
    : QWidget(&main, Qt::Window), m_main(main), m_saveDialog(std::move(saveDialog)),
      m_input(std::make_shared<const SpectrumInput>()) {
    setObjectName(QStringLiteral("FormFourier"));
    m_timer = new QTimer(this);
    m_timer->setInterval(kLivePeriodMs);
    connect(m_timer, &QTimer::timeout, this, [this] { RunGuarded([this] { LiveTick(); }); });
    buildLayout();
    // The result comes back on the worker thread; it is drawn on this window's thread. A result
    // still on its way when the window goes is dropped with the window's posted events.
    m_worker = std::make_unique<SpectrumWorker>([this](SpectrumOutcome outcome) {
        QMetaObject::invokeMethod(
            this,
            [this, outcome = std::move(outcome)] {
                m_livePending = false;
                if (m_live && m_main.IsAcquiring()) {
                    RunGuarded([this, &outcome] { showOutcome(outcome); });
                }
            },
            Qt::QueuedConnection);
    });
    connect(&m_main, &TForm1::SampleRateChanged, this,
            [this] { RunGuarded([this] { SharedSampleRateChanged(); }); });
    updateRateField();
}

// The worker goes first: its thread must not post to a half-destroyed window.
TFormFourier::~TFormFourier() {
    m_worker.reset();
}

void TFormFourier::buildLayout() {
    setWindowTitle(QStringLiteral("Fourier Analyse"));
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    setFont(font);
    setMinimumSize(560, 400);
    resize(760, 520);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    outer->setSpacing(4);

    auto* settings = new QHBoxLayout;
    settings->setSpacing(6);
    settings->addWidget(new QLabel(QStringLiteral("Fensterfunktion"), this));
    WindowComboBox = new QComboBox(this);
    WindowComboBox->setObjectName(QStringLiteral("WindowComboBox"));
    for (SpectrumWindow w : kWindowOrder) {
        WindowComboBox->addItem(QString::fromUtf8(WindowName(w)));
    }
    WindowComboBox->setCurrentIndex(1); // Hann
    settings->addWidget(WindowComboBox);
    settings->addSpacing(8);
    settings->addWidget(new QLabel(QStringLiteral("Abtastrate [Hz]"), this));
    SampleRateEdit = new QLineEdit(this);
    SampleRateEdit->setObjectName(QStringLiteral("SampleRateEdit"));
    SampleRateEdit->setMaxLength(16);
    SampleRateEdit->setFixedWidth(90);
    settings->addWidget(SampleRateEdit);
    settings->addSpacing(8);
    DbCheckBox = new QCheckBox(QStringLiteral("dB"), this);
    DbCheckBox->setObjectName(QStringLiteral("DbCheckBox"));
    settings->addWidget(DbCheckBox);
    SubtractMeanCheckBox = new QCheckBox(QStringLiteral("Mittelwert abziehen"), this);
    SubtractMeanCheckBox->setObjectName(QStringLiteral("SubtractMeanCheckBox"));
    SubtractMeanCheckBox->setChecked(true);
    settings->addWidget(SubtractMeanCheckBox);
    settings->addSpacing(8);
    PointsLabel = new QLabel(QStringLiteral("Punkte"), this);
    settings->addWidget(PointsLabel);
    PointsComboBox = new QComboBox(this);
    PointsComboBox->setObjectName(QStringLiteral("PointsComboBox"));
    for (int points = 256; points <= 65536; points *= 2) {
        PointsComboBox->addItem(QString::number(points), points);
    }
    PointsComboBox->setCurrentIndex(PointsComboBox->findData(kDefaultLivePoints));
    settings->addWidget(PointsComboBox);
    settings->addStretch(1);
    outer->addLayout(settings);

    auto* view = new QHBoxLayout;
    view->setSpacing(6);
    ShowGridCheckBox = new QCheckBox(QStringLiteral(" Show Grid"), this);
    ShowGridCheckBox->setObjectName(QStringLiteral("ShowGridCheckBox"));
    ShowGridCheckBox->setChecked(true);
    view->addWidget(ShowGridCheckBox);
    NormalRadioButton = new QRadioButton(QStringLiteral("Normal"), this);
    NormalRadioButton->setObjectName(QStringLiteral("NormalRadioButton"));
    NormalRadioButton->setChecked(true);
    view->addWidget(NormalRadioButton);
    ZoomRadioButton = new QRadioButton(QStringLiteral("Zoom"), this);
    ZoomRadioButton->setObjectName(QStringLiteral("ZoomRadioButton"));
    view->addWidget(ZoomRadioButton);
    ResetButton = new QPushButton(QStringLiteral("Reset"), this);
    ResetButton->setObjectName(QStringLiteral("ResetButton"));
    view->addWidget(ResetButton);
    RecomputeButton = new QPushButton(QStringLiteral("Neu berechnen"), this);
    RecomputeButton->setObjectName(QStringLiteral("RecomputeButton"));
    view->addWidget(RecomputeButton);
    BitmapButton = new QPushButton(QStringLiteral("Bitmap speichern"), this);
    BitmapButton->setObjectName(QStringLiteral("BitmapButton"));
    view->addWidget(BitmapButton);
    view->addSpacing(8);
    PeakLabel = new QLabel(this);
    PeakLabel->setObjectName(QStringLiteral("PeakLabel"));
    PeakLabel->setMinimumHeight(2 * PeakLabel->fontMetrics().height());
    view->addWidget(PeakLabel, 1);
    outer->addLayout(view);

    Chart = new TPlotChart(this);
    Chart->setObjectName(QStringLiteral("FourierChart"));
    Chart->ApplyFormChartSettings();
    Chart->SetAllocSize(kChartAllocSize);
    Chart->Scale1X().SetDecPlaces(-2); // frequencies are fractional
    Chart->Scale2Y().SetCaption("CH 2");
    Chart->SetLayerMouseControl(1, true);
    Chart->SetLayerMouseControl(2, true);
    Chart->SetMouseAction(maPan);
    Chart->SetMouseCursorFixed(true);
    Chart->setCursor(Qt::PointingHandCursor);
    Chart->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    Chart->setMinimumSize(300, 200);
    Chart->Mouse().OnZoomPan = [this](TCustomPlotChart*) { m_userView = true; };
    outer->addWidget(Chart, 1);

    const auto guarded = [this](void (TFormFourier::*handler)()) {
        return [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); };
    };
    connect(WindowComboBox, &QComboBox::currentIndexChanged, this,
            guarded(&TFormFourier::SettingsChanged));
    connect(DbCheckBox, &QCheckBox::clicked, this, guarded(&TFormFourier::SettingsChanged));
    connect(SubtractMeanCheckBox, &QCheckBox::clicked, this,
            guarded(&TFormFourier::SettingsChanged));
    connect(PointsComboBox, &QComboBox::currentIndexChanged, this,
            guarded(&TFormFourier::PointsChanged));
    connect(SampleRateEdit, &QLineEdit::editingFinished, this,
            guarded(&TFormFourier::SampleRateEdited));
    connect(ShowGridCheckBox, &QCheckBox::clicked, this,
            guarded(&TFormFourier::ShowGridCheckBoxClick));
    connect(NormalRadioButton, &QRadioButton::clicked, this,
            [this] { Chart->SetMouseAction(maPan); });
    connect(ZoomRadioButton, &QRadioButton::clicked, this,
            [this] { Chart->SetMouseAction(maZoomDrag); });
    connect(ResetButton, &QPushButton::clicked, this, guarded(&TFormFourier::ResetButtonClick));
    connect(RecomputeButton, &QPushButton::clicked, this,
            guarded(&TFormFourier::RecomputeButtonClick));
    connect(BitmapButton, &QPushButton::clicked, this, guarded(&TFormFourier::BitmapButtonClick));
    setLive(false);
}

// ---- Opening ----------------------------------------------------------------------------------

void TFormFourier::ShowRecording() {
    setLive(false);
    ShowAndBringToFront(*this);
    takeRecording();
}

void TFormFourier::ShowLive() {
    setLive(true);
    ShowAndBringToFront(*this);
    m_wasAcquiring = m_main.IsAcquiring();
    m_input = newestSamples();
    fillRateFrom(*m_input);
    m_userView = false;
    computeAndShow();
}

void TFormFourier::setLive(bool live) {
    m_live = live;
    setWindowTitle(live ? QStringLiteral("Realtime Fourier Analyse")
                        : QStringLiteral("Fourier Analyse"));
    PointsLabel->setVisible(live);
    PointsComboBox->setVisible(live);
    RecomputeButton->setVisible(!live);
    if (live && isVisible()) {
        m_timer->start();
    } else if (!live) {
        m_timer->stop();
    }
}

void TFormFourier::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    CentreOverParentOnFirstShow(*this, m_placed, event);
    if (m_live) {
        m_timer->start();
    }
}

void TFormFourier::hideEvent(QHideEvent* event) {
    m_timer->stop();
    QWidget::hideEvent(event);
}

// ---- Input ------------------------------------------------------------------------------------

bool TFormFourier::zeitMode() const {
    return m_main.RadioButton2->isChecked();
}

void TFormFourier::takeRecording() {
    const TScalePropsHoriz& x = m_main.PlotChart1->Scale1X();
    m_input = std::make_shared<const SpectrumInput>(
        SamplesInRange(m_main.PlotChart1->Items(), x.RangeLow(), x.RangeHigh()));
    fillRateFrom(*m_input);
    m_userView = false;
    computeAndShow();
    if (m_input->Count() < kMinSpectrumSamples) {
        ::ShowMessage(QString::fromStdString(TooFewSamplesText(m_input->Count())));
    }
}

std::shared_ptr<const SpectrumInput> TFormFourier::newestSamples() const {
    return std::make_shared<const SpectrumInput>(
        NewestSamples(m_main.PlotChart1->Items(),
                      static_cast<std::size_t>(PointsComboBox->currentData().toInt())));
}

void TFormFourier::fillRateFrom(const SpectrumInput& input) {
    if (!zeitMode() || m_main.SampleRate()) {
        return;
    }
    if (const std::optional<double> rate = input.MeanRate()) {
        m_main.SetSampleRate(*rate);
    }
}

SpectrumSettings TFormFourier::CurrentSettings() const {
    SpectrumSettings s;
    s.Window = kWindowOrder[std::clamp(WindowComboBox->currentIndex(), 0, 3)];
    s.SubtractMean = SubtractMeanCheckBox->isChecked();
    s.Decibel = DbCheckBox->isChecked();
    s.SampleRate = m_main.SampleRate();
    return s;
}

// ---- Live -------------------------------------------------------------------------------------

void TFormFourier::LiveTick() {
    if (!m_live) {
        return;
    }
    if (!m_main.IsAcquiring()) {
        if (m_wasAcquiring) {
            // The run ended: the newest samples once more, then the recording view's behaviour.
            m_wasAcquiring = false;
            m_input = newestSamples();
            fillRateFrom(*m_input);
            computeAndShow();
        }
        return;
    }
    if (!m_wasAcquiring) {
        m_wasAcquiring = true;
        m_userView = false; // a new run: fit its first result
        m_spectrum.reset();
    }
    if (m_livePending) {
        return; // the previous transform still runs: this tick's samples are not needed
    }
    const auto start = threadCpuTime();
    SpectrumJob job;
    job.Input = NewestSamples(m_main.PlotChart1->Items(),
                              static_cast<std::size_t>(PointsComboBox->currentData().toInt()));
    if (job.Input.Count() < kMinSpectrumSamples) {
        return;
    }
    fillRateFrom(job.Input);
    job.Settings = CurrentSettings();
    job.Tag = ++m_jobTag;
    m_livePending = m_worker->Submit(std::move(job));
    ++m_costs.Jobs;
    m_costs.CopyTime += threadCpuTime() - start;
}

void TFormFourier::showOutcome(const SpectrumOutcome& outcome) {
    if (!outcome.Result) {
        showMessage(QString::fromStdString(outcome.Error));
        return;
    }
    const auto start = threadCpuTime();
    m_input = outcome.Input;
    showSpectrum(outcome.Result);
    ++m_costs.Draws;
    m_costs.DrawTime += threadCpuTime() - start;
}

// ---- Computing and drawing --------------------------------------------------------------------

void TFormFourier::computeAndShow() {
    if (m_input->Count() < kMinSpectrumSamples) {
        showMessage(QString::fromStdString(TooFewSamplesText(m_input->Count())));
        return;
    }
    std::vector<std::span<const double>> channels(m_input->Channels.begin(),
                                                  m_input->Channels.end());
    showSpectrum(std::make_shared<const Spectrum>(
        m_analyzer.Compute(std::span<const std::span<const double>>(channels), CurrentSettings())));
}

void TFormFourier::showMessage(const QString& text) {
    m_spectrum.reset();
    PeakLabel->setText(text);
    Chart->ClearItems();
    Chart->Redraw();
}

void TFormFourier::showSpectrum(std::shared_ptr<const Spectrum> spectrum) {
    const Spectrum* before = m_spectrum.get();
    // Units, resolution or channels changed: the old view no longer fits.
    const bool refit = before == nullptr || !m_userView ||
                       before->Settings.Decibel != spectrum->Settings.Decibel ||
                       before->Settings.SampleRate != spectrum->Settings.SampleRate ||
                       before->SampleCount != spectrum->SampleCount ||
                       before->Channels.size() != spectrum->Channels.size();
    m_spectrum = std::move(spectrum);
    PeakLabel->setText(peakText());
    drawSpectrum(refit);
}

void TFormFourier::drawSpectrum(bool refit) {
    const Spectrum& s = *m_spectrum;
    const bool two = s.Channels.size() > 1;
    const std::string frequencyCaption =
        s.Settings.SampleRate ? "Frequenz [Hz]" : "Frequenz [1/Sample]";
    const std::string valueCaption = s.Settings.Decibel ? "Amplitude [dB]" : "Amplitude";
    if (Chart->Scale1X().Caption() != frequencyCaption) {
        Chart->Scale1X().SetCaption(frequencyCaption);
    }
    if (Chart->Scale1Y().Caption() != valueCaption) {
        Chart->Scale1Y().SetCaption(valueCaption);
    }
    if (Chart->Scale2Y().Visible() != two) {
        Chart->SetMarginLeft(two ? kTwoChannelMargin : kOneChannelMargin);
        Chart->Scale2Y().SetVisible(two);
    }
    const std::string caption =
        std::string(WindowName(s.Settings.Window)) + ", N = " + std::to_string(s.SampleCount);
    if (Chart->Caption() != caption) {
        Chart->SetCaption(caption);
    }

    Chart->ClearItems();
    for (std::size_t c = 0; c < s.Channels.size(); ++c) {
        const std::vector<double>& values = s.Channels[c];
        Chart->SetActiveLayer(static_cast<int>(c) + 1);
        Chart->SetDataColor(c == 0 ? kChannel1Color : kChannel2Color);
        Chart->AddMoveTo(s.Frequencies[0], values[0]);
        for (std::size_t k = 1; k < values.size(); ++k) {
            Chart->AddDrawTo(s.Frequencies[k], values[k]);
        }
    }
    Chart->SetActiveLayer(1);
    if (refit) {
        fitRanges();
    } else {
        Chart->Redraw();
    }
}

void TFormFourier::fitRanges() {
    m_userView = false;
    if (!m_spectrum) {
        Chart->Redraw();
        return;
    }
    const Spectrum& s = *m_spectrum;
    const double top = s.Frequencies.back();
    for (std::size_t c = 0; c < 2; ++c) {
        const std::vector<double>& values = s.Channels[std::min(c, s.Channels.size() - 1)];
        const auto [low, high] = valueRange(values, s.Settings.Decibel);
        Chart->SetLayerRange(static_cast<int>(c) + 1, 0.0, low, top, high);
    }
    Chart->Redraw();
}

QString TFormFourier::peakText() const {
    const Spectrum& s = *m_spectrum;
    const QString unit =
        s.Settings.SampleRate ? QStringLiteral(" Hz") : QStringLiteral(" 1/Sample");
    QStringList lines;
    for (std::size_t c = 0; c < s.Peaks.size(); ++c) {
        const SpectrumPeak& p = s.Peaks[c];
        lines << QStringLiteral("Größte Spitze CH%1: %2%3, %4%5")
                     .arg(c + 1)
                     .arg(shortNumber(p.Frequency), unit, shortNumber(p.Value),
                          s.Settings.Decibel ? QStringLiteral(" dB") : QString());
    }
    return lines.join(QLatin1Char('\n'));
}

// ---- Handlers ---------------------------------------------------------------------------------

void TFormFourier::SettingsChanged() {
    // While acquiring the next live update takes them; otherwise the present input is computed
    // again (or, for a new point count, the newest samples are taken anew).
    if (m_live && m_main.IsAcquiring()) {
        return;
    }
    computeAndShow();
}

void TFormFourier::PointsChanged() {
    if (m_live && !m_main.IsAcquiring()) {
        m_input = newestSamples();
        computeAndShow();
    }
}

void TFormFourier::SampleRateEdited() {
    const std::string text = SampleRateEdit->text().trimmed().toStdString();
    std::optional<double> rate;
    if (!text.empty()) {
        try {
            rate = numbers::StrToFloat(text);
        } catch (const Exception&) {
            updateRateField();
            throw;
        }
        if (!(*rate > 0.0)) {
            updateRateField();
            throw EConvertError("Die Abtastrate muss größer als 0 sein");
        }
    }
    m_main.SetSampleRate(rate); // SampleRateChanged recomputes
    updateRateField();
}

void TFormFourier::SharedSampleRateChanged() {
    updateRateField();
    if (m_input->Count() > 0 && !(m_live && m_main.IsAcquiring())) {
        computeAndShow();
    }
}

void TFormFourier::updateRateField() {
    const std::optional<double> rate = m_main.SampleRate();
    SampleRateEdit->setText(
        rate ? QString::fromStdString(numbers::FloatToStr(*rate, numbers::DecimalSeparator()))
             : QString());
}

void TFormFourier::ShowGridCheckBoxClick() {
    Chart->SetGridStyle(ShowGridCheckBox->isChecked() ? gsLines : gsNone);
    Chart->Redraw();
}

void TFormFourier::ResetButtonClick() {
    fitRanges();
}

void TFormFourier::RecomputeButtonClick() {
    takeRecording();
}

void TFormFourier::BitmapButtonClick() {
    const QString name = m_saveDialog(
        {FileDialogRequest::Kind::Save, QStringLiteral(".bmp"), QString::fromUtf8(kBitmapFilter)});
    if (name.isEmpty()) {
        return;
    }
    Chart->ExportBitmap(QFile::encodeName(name).toStdString(), true);
}
