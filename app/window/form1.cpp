// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window/form1.h"

#include "app/pipeline/acquisition.h"
#include "app/qtbridge/mainthreadinvoker.h"
#include "app/window/formfourier.h"
#include "app/window/formhilfe.h"
#include "app/window/forminfo.h"
#include "app/window/livetexts.h"
#include "app/window/messagedisplay.h"
#include "app/window/quitsignals.h"
#include "app/window/windowplacement.h"
#include "chart/control/plotchart.h"
#include "serial/serialcomm.h"
#include "widgets/circularprogress.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QTabWidget>

namespace {

const char* const kLabel11AtShow =
    "Normal: max 2000 Samples/s, max 100.000 Samples\nTrend:  max 200 Samples/s   beliebig lange";

const char* const kDynGraphInfo =
    "Sollte normal auf Ein belassen werden, um bei schnell \r\neinlaufenden Daten den Com Puffer "
    "nicht überlaufen zu\r\nlassen. Es werden hierbei die Daten bei höheren\r\nWerten auf der "
    "X-Achse Paketweise angezeigt.\r\n(Siehe hierzu auch die Hilfe)\r\n\r\nIst diese Funktion "
    "nicht auf Ein, so werden alle Daten\r\nimmer sofort angezeigt. Dies soltte nur bei "
    "langsamen\r\nSample-Raten (< 10 Samples/s) und nicht alzu grosser\r\nAnzahl von "
    "Datenpunkten benutzt werden.\r\n\r\nEin Pufferüberlauf erfolgt ab ca.12.000 "
    "Puffer-Samples.\r\nDer Puffer-Status und die von der Skalierung der\r\nMesswerte und den "
    "Grafik-Routinen benötigte Zeit\r\nwird in der Statuszeile angezeigt.";

} // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("Form1"));
    buildLayout();
    m_liveTexts = std::make_unique<LiveTexts>();
    m_liveTexts->Add(Label10);
    for (QLabel* panel : StatusPanels) {
        m_liveTexts->Add(panel);
    }
    m_acquisition = std::make_unique<Acquisition>(*PlotChart1, *this);
    setUpSerialComm();
    connectHandlers();
    connectFilterLabel();
    // A logout, a closed terminal or a service stop ends the program as "Beenden" does.
    m_quitSignals =
        std::make_unique<QuitSignals>([this](int) { runGuarded(&TForm1::Einstellungen1Click); });
}

TForm1::~TForm1() {
    m_quitSignals.reset();
    // The port closes before the chart and the pipeline go: no block may arrive after them.
    shutDownSerialComm();
}

void TForm1::SetSecondaryWindows(TFormInfo* formInfo, TFormHilfe* formHilfe) {
    m_formInfo = formInfo;
    m_formHilfe = formHilfe;
}

void TForm1::SetFileDialogRunner(FileDialogRunner runner) {
    m_fileDialogRunner = std::move(runner);
}

void TForm1::SetTerminateHandler(std::function<void()> handler) {
    m_terminate = std::move(handler);
}

bool TForm1::IsAcquiring() const {
    return !StartButton->isEnabled();
}

// ---- Toolkit rules ----------------------------------------------------------------------------

void TForm1::runGuarded(void (TForm1::*handler)()) {
    RunGuarded([this, handler] { (this->*handler)(); });
}

void TForm1::SetCheckedFromCode(QAbstractButton* button, bool checked) {
    const bool was = button->isChecked();
    auto* radio = qobject_cast<QRadioButton*>(button);
    {
        const QSignalBlocker block(button);
        if (radio != nullptr && !checked) {
            // An exclusive radio button cannot be unchecked directly.
            radio->setAutoExclusive(false);
            radio->setChecked(false);
            radio->setAutoExclusive(true);
        } else {
            button->setChecked(checked);
        }
    }
    // Check boxes run their handler on every change; radio buttons only when they become
    // checked. The handler runs directly, so its exceptions reach the caller.
    const auto handler = m_clickHandlers.find(button);
    if (handler == m_clickHandlers.end() || was == checked || (radio != nullptr && !checked)) {
        return;
    }
    (this->*(handler->second))();
}

TMouseActMode TForm1::ChartMouseAction() const {
    return PlotChart1->MouseAction();
}

void TForm1::setChartMouseAction(TMouseActMode mode) {
    PlotChart1->SetMouseAction(mode);
}

// ---- State ------------------------------------------------------------------------------------

void TForm1::setMainMenuEnabled(bool enabled) {
    for (QAction* item : MenuItems) {
        item->setEnabled(enabled);
    }
}

void TForm1::setBusy(bool busy) {
    CircularProgress->setEnabled(busy);
}

// ---- Handlers of the window -------------------------------------------------------------------

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous()) {
        runGuarded(&TForm1::FormShow);
    }
}

void TForm1::closeEvent(QCloseEvent* event) {
    runGuarded(&TForm1::FormClose);
    event->accept();
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (isVisible()) {
        runGuarded(&TForm1::FormResize);
    }
}

void TForm1::FormShow() {
    if (m_formInfo != nullptr) {
        m_formInfo->hide();
    }
    m_acquisition->FormShowState();
    PageControl1->setCurrentWidget(SheetCOM);
    PageControl1->setTabVisible(PageControl1->indexOf(SheetKanal2), false);
    StopButton->setEnabled(false);
    Label11->setText(QString::fromUtf8(kLabel11AtShow));
    PlotChart1->SetLayerRange(1, 0, 0, 1000, 10);
    PlotChart1->SetLayerRange(2, 0, 0, 1000, 10);
    PlotChart1->SetLayerMouseControl(1, true);
    PlotChart1->SetLayerMouseControl(2, true);
    m_acquisition->PerfFrequency = 1000000000; // steady_clock nanoseconds
}

void TForm1::FormClose() {
    if (m_closing) {
        return; // a second close while this one pumps messages
    }
    m_closing = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{m_closing};
    StopButtonClick();
    SetPortActive(false);
    ProcessMessages();
    ProcessMessages();
    if (m_terminate) {
        m_terminate();
    } else {
        QCoreApplication::quit();
    }
}

void TForm1::Einstellungen1Click() {
    FormClose();
}

void TForm1::FormResize() {
    ProcessMessages();
    PlotChart1->SuspendPaint(false);
    PlotChart1->Redraw();
    ProcessMessages();
}

void TForm1::ClearGraphButtonClick() {
    PlotChart1->ClearItems();
    PlotChart1->Redraw();
    m_acquisition->ResetFilters();
    m_liveTexts->SetNow(0, {});
    m_liveTexts->SetNow(1, {});
}

void TForm1::ShowGridCheckBoxClick() {
    PlotChart1->SetGridStyle(ShowGridCheckBox->isChecked() ? gsLines : gsNone);
    PlotChart1->Redraw();
}

void TForm1::DoubleTicsCheckBoxClick() {
    // 63 is stored as it stands; the scale limits it to 10 when it lays out its ticks.
    const bool dense = DoubleTicsCheckBox->isChecked();
    PlotChart1->Scale1X().SetMinTicks(dense ? 6 : 3);
    PlotChart1->Scale1Y().SetMinTicks(dense ? 63 : 3);
    PlotChart1->Scale2Y().SetMinTicks(dense ? 6 : 3);
    PlotChart1->RedrawItems();
}

void TForm1::DynGraphCheckBoxClick() {
    m_acquisition->DynGraph = DynGraphCheckBox->isChecked();
}

void TForm1::InfoButtonClick() {
    ::ShowMessage(QString::fromUtf8(kDynGraphInfo));
}

void TForm1::SetSampleRate(std::optional<double> rate) {
    if (rate == m_sampleRate) {
        return;
    }
    m_sampleRate = rate;
    emit SampleRateChanged();
}

TFormFourier& TForm1::formFourier() {
    if (m_formFourier == nullptr) {
        m_formFourier = new TFormFourier(
            *this, [this](const FileDialogRequest& request) { return runFileDialog(request); });
    }
    return *m_formFourier;
}

void TForm1::FourierAnalyse1Click() {
    formFourier().ShowRecording();
}

void TForm1::RealtimeFourierAnalyse1Click() {
    formFourier().ShowLive();
}

void TForm1::Hilfe1Click() {
    if (m_formHilfe != nullptr) {
        ShowAndBringToFront(*m_formHilfe);
    }
}

void TForm1::Info1Click() {
    if (m_formInfo != nullptr) {
        ShowAndBringToFront(*m_formInfo);
    }
}

// ---- AcquisitionHost --------------------------------------------------------------------------

void TForm1::SetLabel10(const std::string& text) {
    m_liveTexts->Set(0, text);
}

void TForm1::SetStatusPanel(int index, const std::string& text) {
    if (index >= 0 && index < static_cast<int>(StatusPanels.size())) {
        m_liveTexts->Set(1 + index, text);
    }
}

void TForm1::SetLabel10Number(const NumberText& text) {
    m_liveTexts->SetNumber(0, text);
}

void TForm1::SetStatusPanelNumber(int index, const NumberText& text) {
    if (index >= 0 && index < static_cast<int>(StatusPanels.size())) {
        m_liveTexts->SetNumber(1 + index, text);
    }
}

bool TForm1::PortActive() const {
    return SerialComm1 != nullptr && SerialComm1->Active();
}

void TForm1::SetPortActive(bool active) {
    if (SerialComm1 == nullptr) {
        return;
    }
    SerialComm1->SetActive(active);
}

void TForm1::EnableMainMenu() {
    setMainMenuEnabled(true);
}

void TForm1::ProcessMessages() {
    QCoreApplication::processEvents();
}

void TForm1::ShowMessage(const std::string& text) {
    ::ShowMessage(QString::fromStdString(text));
}
