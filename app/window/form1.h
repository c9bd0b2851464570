// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TForm1: the main window. It holds the whole user interface and the application logic of the
// program: the tool panel (Start, Stop, Clear, Reset, the busy indicator), the settings on three
// tab sheets, the live value panel with the mode switches, the chart, the status bar and the
// main menu. It owns the chart PlotChart1, the serial component SerialComm1, the sample pipeline
// (Acquisition) and the two file dialogs.
//
// The window is either idle or acquiring:
//
//   control                                   idle       acquiring
//   StartButton                               enabled    disabled
//   StopButton                                disabled   enabled
//   ClearGraphButton, ResetAxisButton,
//   TrendCheckBox, GroupBox1, PageControl1    enabled    disabled
//   ZoomRadioButton                           enabled    enabled in normal, disabled in trend mode
//   NormalRadioButton, ShowGridCheckBox,
//   DoubleTicsCheckBox                        enabled    enabled
//   menu items Datei, Mathematik, Hilfe, Info enabled    disabled
//   busy indicator                            off        spinning
//   port Active                               false      true
//
// Start moves to acquiring; Stop and every stop condition (buffer overflow, memory maximum,
// fatal port error, closing the window) return to idle through StopButtonClick. SIGTERM, SIGINT
// and SIGHUP run "Beenden" (Einstellungen1Click) while the window exists.
//
// Toolkit rules the handlers rely on: setting a check box from code runs its click handler when
// the state changes; setting a radio button checked from code runs its handler when it was
// unchecked (unchecking runs nothing); running a button's click action from code (calling the
// handler) runs it even while the button is disabled; a disabled group disables its children.
//
// Every handler runs guarded: an exception it does not catch ends it and is shown by the
// standard exception display (messagedisplay.h). Controls keep their designer names as public
// members and as object names.

#include "app/pipeline/acquisitionhost.h"
#include "app/window/filedialogs.h"
#include "app/window/portcombobox.h"

#include "chart/core/mouserange.h"

#include <QMainWindow>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

class Acquisition;
class LiveTexts;
class MainThreadInvoker;
class QAbstractButton;
class QAction;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTabWidget;
class QuitSignals;
class TCircularProgress;
class TFormFourier;
class TFormHilfe;
class TFormInfo;
class TPlotChart;
class TSerialComm;

class TForm1 : public QMainWindow, public AcquisitionHost {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // The help and info windows, created after the main window (either may be null).
    void SetSecondaryWindows(TFormInfo* formInfo, TFormHilfe* formHilfe);
    // Replaces the file dialogs (tests hand in names); an empty function restores them.
    void SetFileDialogRunner(FileDialogRunner runner);
    // Replaces "tell the application to terminate" (tests record it); empty restores quit().
    void SetTerminateHandler(std::function<void()> handler);

    // The acquisition state shared by the handlers and the pipeline.
    Acquisition& Acq() { return *m_acquisition; }

    // Whether the window is in the acquiring state (StartButton disabled).
    bool IsAcquiring() const;

    // Sets a check box or radio button from code with the toolkit's rule: a check box runs its
    // click handler when its state changes, a radio button when it becomes checked (the others
    // of its group are unchecked); unchecking a radio button runs nothing. The handler runs
    // directly, so its exceptions reach the caller.
    void SetCheckedFromCode(QAbstractButton* button, bool checked);

    // The chart's mouse mode as the handlers set it.
    TMouseActMode ChartMouseAction() const;

    // The window's one "Abtastrate [Hz]", shared by the Fourier window and the filter dialog:
    // empty while unknown (frequencies then count in 1/Sample). Setting a different value emits
    // SampleRateChanged, so every view of it shows the same value.
    std::optional<double> SampleRate() const { return m_sampleRate; }
    void SetSampleRate(std::optional<double> rate);

    // The "Fourier Analyse" window, built when first opened (null before).
    TFormFourier* FormFourier() const { return m_formFourier; }

    // Tool panel.
    QWidget* ToolPanel = nullptr;
    QPushButton* StartButton = nullptr;
    QPushButton* StopButton = nullptr;
    QPushButton* ClearGraphButton = nullptr;
    QPushButton* ResetAxisButton = nullptr;
    TCircularProgress* CircularProgress = nullptr;
    QLabel* Label11 = nullptr;

    // Settings on the page control.
    QTabWidget* PageControl1 = nullptr;
    QWidget* SheetCOM = nullptr;
    QWidget* SheetKanal1 = nullptr;
    QWidget* SheetKanal2 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    PortComboBox* ComComboBox = nullptr;
    QComboBox* BaudComboBox = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label20 = nullptr;
    QGroupBox* GroupBox4 = nullptr;
    QRadioButton* Ch1RadioButton = nullptr;
    QRadioButton* CH2RadioButton = nullptr;
    QGroupBox* GroupBox5 = nullptr;
    QRadioButton* RadioButton1 = nullptr;
    QRadioButton* RadioButton2 = nullptr;
    QGroupBox* GroupBox6 = nullptr;
    QCheckBox* DynGraphCheckBox = nullptr;
    QPushButton* InfoButton = nullptr;
    QLineEdit* ProjektNameEdit = nullptr;
    QLineEdit* DatSkalEdit = nullptr;
    QLineEdit* DatOffsetEdit = nullptr;
    QLineEdit* GraphYmaxEdit = nullptr;
    QLineEdit* GraphYminEdit = nullptr;
    QLineEdit* GraphXmaxEdit = nullptr;
    QLineEdit* Ch1NameEdit = nullptr;
    QLineEdit* DatSkal2Edit = nullptr;
    QLineEdit* DatOffset2Edit = nullptr;
    QLineEdit* GraphY2maxEdit = nullptr;
    QLineEdit* GraphY2minEdit = nullptr;
    QLineEdit* Ch2NameEdit = nullptr;

    // Live value panel above the chart.
    QLabel* Label13 = nullptr;
    QLabel* Label10 = nullptr;
    QRadioButton* NormalRadioButton = nullptr;
    QRadioButton* ZoomRadioButton = nullptr;
    QCheckBox* ShowGridCheckBox = nullptr;
    QCheckBox* DoubleTicsCheckBox = nullptr;
    QCheckBox* TrendCheckBox = nullptr;
    QLabel* FilterLabel = nullptr; // the active filters; hidden while there are none

    TPlotChart* PlotChart1 = nullptr;
    QStatusBar* StatusBar = nullptr;
    std::array<QLabel*, 3> StatusPanels{}; // sample count, block size, line time

    // Main menu: the four top-level items (indices 0 to 3) and the entries.
    std::array<QAction*, 4> MenuItems{};
    QMenu* Datei1 = nullptr;
    QMenu* Mathematik1 = nullptr;
    QAction* Grafikdrucken1 = nullptr;
    QAction* ErfassungSpeichern = nullptr;
    QAction* Erfassungladen = nullptr;
    QAction* DatenExportimCSVFormat1 = nullptr;
    QAction* Einstellungen1 = nullptr;
    QAction* FourierAnalyse1 = nullptr;
    QAction* RealtimeFourierAnalyse1 = nullptr;
    QAction* DigitalesFilter1 = nullptr;
    QAction* Hilfe1 = nullptr;
    QAction* Info1 = nullptr;

    std::unique_ptr<TSerialComm> SerialComm1;
    // The two file dialogs, built when first needed.
    QFileDialog* SaveDialog1 = nullptr;
    QFileDialog* OpenDialog1 = nullptr;

    // Event handlers.
    void FormShow();
    void FormClose();
    void FormResize();
    void StartButtonClick();
    void StopButtonClick() override;
    void ClearGraphButtonClick();
    void ResetAxisButtonClick();
    void ShowGridCheckBoxClick();
    void DoubleTicsCheckBoxClick();
    void NormalRadioButtonClick();
    void ZoomRadioButtonClick();
    void TrendCheckBoxClick();
    void Ch1RadioButtonClick();
    void CH2RadioButtonClick();
    void DynGraphCheckBoxClick();
    void InfoButtonClick();
    void RadioButton1Click();
    void RadioButton2Click();
    void DatenExportimCSVFormat1Click();
    void FourierAnalyse1Click();
    void RealtimeFourierAnalyse1Click();
    void DigitalesFilter1Click();
    void Einstellungen1Click();
    void Hilfe1Click();
    void Info1Click();
    void GrafikSpeichernBMPClick();
    void ErfassungSpeichernClick();
    void ErfassungladenClick();
    void SerialComm1AfterReceive(const void* Buffer, std::uint32_t Received);
    void SerialComm1CommError(std::uint32_t CommCode, std::uint32_t SysError, std::uint32_t State,
                              bool& flFlashBuffers);
    void SerialComm1FatalError(std::uint32_t ErrorCode, std::uint32_t Detail,
                               const std::string& ErrorMsg, bool& RaiseException);
    // The port was closed. When the window did not close it, the device failed during the run:
    // the window returns to idle and says so, once the component's shutdown has ended.
    void SerialComm1Close();

    // AcquisitionHost: the pipeline's view of the window.
    void SetLabel10(const std::string& text) override;
    void SetLabel10Number(const NumberText& text) override;
    void SetStatusPanelNumber(int index, const NumberText& text) override;
    void SetStatusPanel(int index, const std::string& text) override;
    bool PortActive() const override;
    void SetPortActive(bool active) override;
    void EnableMainMenu() override;
    void ProcessMessages() override;
    void ShowMessage(const std::string& text) override;

signals:
    void SampleRateChanged();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // form1layout.cpp
    void buildLayout();
    void buildToolPanel();
    void buildPageControl();
    void buildValuePanel();
    void buildMenu();
    void connectHandlers();
    // form1.cpp
    void runGuarded(void (TForm1::*handler)());
    void setChartMouseAction(TMouseActMode mode);
    void setMainMenuEnabled(bool enabled);
    void setBusy(bool busy);
    void applyCaptions();
    void setTimeAxis(bool time);
    // form1acquisition.cpp
    void setUpSerialComm();
    void shutDownSerialComm();
    void applyPortFields();
    void connectionLost();
    // form1filter.cpp
    void connectFilterLabel();
    void updateFilterLabel();
    // form1files.cpp
    QFileDialog& fileDialog(bool save);
    QString runFileDialog(const FileDialogRequest& request);
    TFormFourier& formFourier();

    std::unique_ptr<Acquisition> m_acquisition;
    std::unique_ptr<MainThreadInvoker> m_invoker;
    std::unique_ptr<QuitSignals> m_quitSignals;
    // Label10 (index 0) and the status panels (1 + panel): the pipeline's per-line texts.
    std::unique_ptr<LiveTexts> m_liveTexts;
    std::map<QAbstractButton*, void (TForm1::*)()> m_clickHandlers;
    TFormInfo* m_formInfo = nullptr;
    TFormHilfe* m_formHilfe = nullptr;
    TFormFourier* m_formFourier = nullptr; // a child window: Qt deletes it with this one
    FileDialogRunner m_fileDialogRunner;
    std::function<void()> m_terminate;
    bool m_closing = false;
    std::optional<double> m_sampleRate;
};
