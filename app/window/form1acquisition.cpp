// SPDX-License-Identifier: GPL-3.0-or-later
// Acquisition control of the main window: Start, Stop, Reset, the mode switches that act on the
// run (channels, trend, normal/zoom) and the serial component's events.

#include "app/window/form1.h"

#include "app/pipeline/acquisition.h"
#include "app/pipeline/numbers.h"
#include "app/qtbridge/mainthreadinvoker.h"
#include "app/window/integerfield.h"
#include "app/window/livetexts.h"
#include "app/window/messagedisplay.h"
#include "chart/control/plotchart.h"
#include "serial/portnames.h"
#include "serial/serialcomm.h"
#include "widgets/circularprogress.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

namespace {

const char* const kLabel11OneChannel =
    "Normal: max 2000 Samples/s, max 100.000 Samples\nTrend:  max 100 Samples/s   beliebig lange";
const char* const kLabel11TwoChannels =
    "Normal: max 200 Samples/s, max 50.000 Samples\nTrend:  max 50 Samples/s   beliebig lange";

float fieldValue(const QLineEdit* edit) {
    return numbers::FieldToSingle(edit->text().toStdString());
}

} // namespace

// ---- Serial component -------------------------------------------------------------------------

void TForm1::setUpSerialComm() {
    SerialComm1 = std::make_unique<TSerialComm>();
    TSerialComm& com = *SerialComm1;
    com.SetBaudRate(115200);
    com.SetByteSize(8);
    com.SetParity(pNone);
    com.SetStopBits(sbOne);
    com.SetComPortNo(5);
    com.SetStreamProtocol(spNone);
    com.SetEventChar(0);
    com.SetBufferInSize(32768);
    com.SetBufferOutSize(1024);
    com.SetTimeoutRead(0);
    com.SetTimeoutWrite(0);
    com.SetRS485Mode(false);
    com.SetUseMainThread(true);
    com.SetTraceStates(0);
    com.OnAfterReceive = [this](TCommBaseIO*, const char* Buffer, std::uint32_t Received) {
        SerialComm1AfterReceive(Buffer, Received);
    };
    com.OnCommError = [this](TCommBaseIO*, std::uint32_t CommCode, std::uint32_t SysError,
                             TComStateFlags State, bool& flFlashBuffers) {
        SerialComm1CommError(CommCode, SysError, State, flFlashBuffers);
    };
    com.OnFatalError = [this](TCommBaseIO*, std::uint32_t ErrorCode, std::uint32_t Detail,
                              const std::string& ErrorMsg, bool& RaiseException) {
        SerialComm1FatalError(ErrorCode, Detail, ErrorMsg, RaiseException);
    };
    com.OnClose = [this](TCommBaseIO*) { SerialComm1Close(); };
    com.SetShowException(
        [](const Exception& e) { ShowRunTimeException(QString::fromStdString(e.Message())); });
    m_invoker = std::make_unique<MainThreadInvoker>();
    com.SetMainThreadInvoker(m_invoker->Invoker());
}

void TForm1::shutDownSerialComm() {
    if (SerialComm1 == nullptr) {
        return;
    }
    SerialComm1->OnAfterReceive = nullptr;
    SerialComm1->OnFatalError = nullptr;
    SerialComm1->OnCommError = nullptr;
    SerialComm1->OnClose = nullptr;
    SerialComm1->SetActive(false);
    // Calls still on their way to the main thread are dropped from here on; a message worker
    // waiting for one is released.
    m_invoker.reset();
    SerialComm1.reset();
}

void TForm1::applyPortFields() {
    const QString port = ComComboBox->currentText();
    if (IsDevicePathText(port.toStdString())) {
        SerialComm1->SetDeviceName(port.toStdString());
    } else {
        SerialComm1->SetComPortNo(static_cast<std::uint16_t>(LenientStrToInt(port)));
    }
    SerialComm1->SetBaudRate(
        static_cast<std::uint32_t>(LenientStrToInt(BaudComboBox->currentText())));
}

void TForm1::SerialComm1AfterReceive(const void* Buffer, std::uint32_t Received) {
    m_acquisition->SerialComm1AfterReceive(Buffer, Received);
}

void TForm1::SerialComm1CommError(std::uint32_t CommCode, std::uint32_t, std::uint32_t, bool&) {
    m_acquisition->SerialComm1CommError(CommCode);
}

void TForm1::SerialComm1FatalError(std::uint32_t, std::uint32_t, const std::string&, bool&) {
    ProcessMessages();
    setBusy(false);
    StopButtonClick();
}

void TForm1::SerialComm1Close() {
    if (SerialComm1->CloseReason() != crDeviceLost) {
        return;
    }
    // The component is still inside its shutdown here; Stop and the message box come after it.
    QMetaObject::invokeMethod(
        this, [this] { runGuarded(&TForm1::connectionLost); }, Qt::QueuedConnection);
}

void TForm1::connectionLost() {
    if (IsAcquiring() && !PortActive()) {
        m_acquisition->ConnectionLost();
    }
}

// ---- Start, Stop, Reset -----------------------------------------------------------------------

void TForm1::StartButtonClick() {
    Acquisition& acq = *m_acquisition;
    setMainMenuEnabled(false);
    if (TrendCheckBox->isChecked()) {
        acq.TrendMode = true;
        setChartMouseAction(maNone);
        SetCheckedFromCode(NormalRadioButton, false);
        SetCheckedFromCode(ZoomRadioButton, false);
        ZoomRadioButton->setEnabled(false);
        ResetAxisButtonClick();
    } else {
        acq.TrendMode = false;
    }
    acq.MemoryMaxReached = false;

    ResetAxisButton->setEnabled(false);
    TrendCheckBox->setEnabled(false);
    setBusy(true);
    StartButton->setEnabled(false);
    StopButton->setEnabled(true);
    ClearGraphButton->setEnabled(false);
    GroupBox1->setEnabled(false);
    PageControl1->setEnabled(false);

    acq.StartClear();
    applyCaptions();
    acq.StartCounters();

    // Each value is stored as soon as it is converted: a rejected field ends Start there, with
    // the fields before it applied.
    acq.Factor1 = fieldValue(DatSkalEdit);
    acq.Factor2 = fieldValue(DatSkal2Edit);
    acq.Offset1 = fieldValue(DatOffsetEdit);
    acq.Offset2 = fieldValue(DatOffset2Edit);
    acq.Y1Max = fieldValue(GraphYmaxEdit);
    acq.Y2Max = fieldValue(GraphY2maxEdit);
    acq.Y1Min = fieldValue(GraphYminEdit);
    acq.Y2Min = fieldValue(GraphY2minEdit);
    acq.XMax = fieldValue(GraphXmaxEdit);
    acq.ApplyLayerRanges();
    PlotChart1->RedrawItems();

    applyPortFields();
    ProcessMessages();
    acq.StartArm();
    SerialComm1->SetActive(true);
}

void TForm1::StopButtonClick() {
    m_acquisition->Stop([this] {
        // Lay the window out and repaint it, as a resize would.
        FormResize();
        setMainMenuEnabled(true);
        ResetAxisButton->setEnabled(true);
        ClearGraphButton->setEnabled(true);
        NormalRadioButton->setEnabled(true);
        GroupBox1->setEnabled(true);
        PageControl1->setEnabled(true);
        StartButton->setEnabled(true);
        StopButton->setEnabled(false);
        setBusy(false);
        ZoomRadioButton->setEnabled(true);
        TrendCheckBox->setEnabled(true);
        setChartMouseAction(maPan);
    });
    m_liveTexts->Flush(); // idle: every text exact
}

void TForm1::ResetAxisButtonClick() {
    Acquisition& acq = *m_acquisition;
    PlotChart1->SuspendPaint(false);
    ProcessMessages();
    PlotChart1->SetCaption(ProjektNameEdit->text().toStdString());
    acq.XMax = fieldValue(GraphXmaxEdit);
    acq.Y1Max = fieldValue(GraphYmaxEdit);
    acq.Y1Min = fieldValue(GraphYminEdit);
    acq.Y2Max = fieldValue(GraphY2maxEdit);
    acq.Y2Min = fieldValue(GraphY2minEdit);
    acq.ApplyLayerRanges();
    applyCaptions();
    PlotChart1->Redraw();
}

void TForm1::applyCaptions() {
    PlotChart1->Scale1Y().SetCaption(Ch1NameEdit->text().toStdString());
    PlotChart1->Scale2Y().SetCaption(Ch2NameEdit->text().toStdString());
    PlotChart1->SetCaption(ProjektNameEdit->text().toStdString());
}

// ---- Mode switches ----------------------------------------------------------------------------

void TForm1::NormalRadioButtonClick() {
    setChartMouseAction(maPan);
    SetCheckedFromCode(TrendCheckBox, false);
    m_acquisition->TrendMode = false;
}

void TForm1::ZoomRadioButtonClick() {
    setChartMouseAction(maZoomDrag);
}

void TForm1::TrendCheckBoxClick() {
    if (TrendCheckBox->isChecked()) {
        setChartMouseAction(maNone);
        SetCheckedFromCode(NormalRadioButton, false);
        SetCheckedFromCode(ZoomRadioButton, false);
        ZoomRadioButton->setEnabled(false);
        GraphXmaxEdit->setText(m_acquisition->TimeAxis ? QStringLiteral("10")
                                                       : QStringLiteral("2000"));
        ResetAxisButtonClick();
        m_acquisition->TrendMode = true;
    } else {
        setChartMouseAction(maPan);
        PlotChart1->ClearItems();
        PlotChart1->RedrawItems();
        SetCheckedFromCode(NormalRadioButton, true);
        ZoomRadioButton->setEnabled(true);
        m_acquisition->TrendMode = false;
        ResetAxisButtonClick();
    }
}

void TForm1::RadioButton1Click() {
    setTimeAxis(false);
}

void TForm1::RadioButton2Click() {
    setTimeAxis(true);
}

void TForm1::setTimeAxis(bool time) {
    m_acquisition->TimeAxis = time;
    // Seconds need decimals where a sample number has none; the X max field takes the axis's
    // default, applied at once as the Trend check box does.
    PlotChart1->Scale1X().SetCaption(time ? "Zeit [s]" : "Anzahl Samples");
    PlotChart1->Scale1X().SetDecPlaces(time ? -2 : 0);
    GraphXmaxEdit->setText(time                         ? QStringLiteral("10")
                           : TrendCheckBox->isChecked() ? QStringLiteral("2000")
                                                        : QStringLiteral("1000"));
    ResetAxisButtonClick();
}

void TForm1::Ch1RadioButtonClick() {
    m_acquisition->SetChannels(1);
    PageControl1->setCurrentWidget(SheetKanal1);
    PageControl1->setTabVisible(PageControl1->indexOf(SheetKanal2), false);
    Label11->setText(QString::fromUtf8(kLabel11OneChannel));
    PlotChart1->SetMarginLeft(80);
    PlotChart1->Scale2Y().SetVisible(false);
    StopButtonClick();
}

void TForm1::CH2RadioButtonClick() {
    m_acquisition->SetChannels(2);
    PageControl1->setCurrentWidget(SheetKanal1);
    PageControl1->setTabVisible(PageControl1->indexOf(SheetKanal2), true);
    Label11->setText(QString::fromUtf8(kLabel11TwoChannels));
    PlotChart1->SetMarginLeft(160); // room for the second Y scale
    PlotChart1->Scale2Y().SetVisible(true);
    PlotChart1->Redraw();
    StopButtonClick();
}
