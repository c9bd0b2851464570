// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TFormFourier: the non-modal window "Fourier Analyse" of the Mathematik menu, one instance for
// the program's run, reused by both entries.
//
// Recording view (ShowRecording): analyses the samples of channel 1 (and channel 2, drawn on
// layer 2 in maroon) whose X lies in the main chart's current X range, so a user zooms to a
// stretch and analyses just that. The input is taken when the view is opened and on "Neu
// berechnen"; the controls recompute from it.
//
// Live view (ShowLive, "Realtime Fourier Analyse"): while the main window acquires, a timer
// (every kLivePeriodMs) copies the newest "Punkte" samples from the main chart and hands them to
// a worker thread, skipping a tick while the previous transform still runs; the result is drawn
// on the main thread when it arrives. Acquisition itself never waits for the transform. When
// acquisition ends the view takes the newest samples once more and then behaves like the
// recording view.
//
// The chart is the project's chart control with the main chart's look: grid, pan, zoom-drag and
// Reset work as there; "Bitmap speichern" exports it through the chart's bitmap export. The
// "Abtastrate [Hz]" field shows and edits the main window's shared sample rate (empty: unknown,
// frequencies in 1/Sample); in Zeit mode an empty rate is filled with the mean rate of the
// analysed samples. Fewer than 8 samples give a German message and an empty chart.

#include "app/analysis/spectrum.h"
#include "app/analysis/spectruminput.h"
#include "app/window/filedialogs.h"

#include <QWidget>
#include <chrono>
#include <cstdint>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;
class SpectrumWorker;
struct SpectrumOutcome;
class TForm1;
class TPlotChart;

class TFormFourier : public QWidget {
    Q_OBJECT
public:
    static constexpr int kLivePeriodMs = 100;
    static constexpr int kDefaultLivePoints = 4096;

    // main: the window whose chart, acquisition state and sample rate it shows, and the owner.
    // saveDialog: asks for the bitmap's file name (empty: cancelled).
    TFormFourier(TForm1& main, FileDialogRunner saveDialog);
    ~TFormFourier() override;

    // Takes the samples in the main chart's X range, computes, shows and raises the window.
    void ShowRecording();
    // Switches to the live view, shows the newest samples there are and raises the window.
    void ShowLive();
    bool IsLive() const { return m_live; }

    // The live timer's step: while the main window acquires, hands the newest samples to the
    // worker unless it is busy; once acquisition has ended, the final update. Public for tests.
    void LiveTick();
    // Whether a live transform is under way (its result not yet drawn).
    bool LivePending() const { return m_livePending; }

    // What the window shows: the spectrum (null while nothing is drawn), the samples it was
    // computed from, and the message or peak texts.
    const Spectrum* ShownSpectrum() const { return m_spectrum.get(); }
    const SpectrumInput& ShownInput() const { return *m_input; }
    SpectrumSettings CurrentSettings() const;

    // Main-thread CPU time of the live view: copying the samples for a job, and drawing a
    // result.
    struct LiveCosts {
        std::uint64_t Jobs = 0;
        std::chrono::nanoseconds CopyTime{0};
        std::uint64_t Draws = 0;
        std::chrono::nanoseconds DrawTime{0};
    };
    const LiveCosts& Costs() const { return m_costs; }

    // Controls (designer names).
    QComboBox* WindowComboBox = nullptr;       // "Fensterfunktion"
    QLineEdit* SampleRateEdit = nullptr;       // "Abtastrate [Hz]"
    QCheckBox* DbCheckBox = nullptr;           // "dB"
    QCheckBox* SubtractMeanCheckBox = nullptr; // "Mittelwert abziehen"
    QLabel* PointsLabel = nullptr;             // "Punkte" (live view only)
    QComboBox* PointsComboBox = nullptr;
    QCheckBox* ShowGridCheckBox = nullptr;
    QRadioButton* NormalRadioButton = nullptr;
    QRadioButton* ZoomRadioButton = nullptr;
    QPushButton* ResetButton = nullptr;
    QPushButton* RecomputeButton = nullptr; // "Neu berechnen" (recording view)
    QPushButton* BitmapButton = nullptr;    // "Bitmap speichern"
    QLabel* PeakLabel = nullptr;            // largest peak per channel, or the message
    TPlotChart* Chart = nullptr;

    // Handlers.
    void SettingsChanged();
    void PointsChanged();
    void SampleRateEdited();
    void SharedSampleRateChanged();
    void ShowGridCheckBoxClick();
    void ResetButtonClick();
    void RecomputeButtonClick();
    void BitmapButtonClick();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buildLayout();
    void setLive(bool live);
    bool zeitMode() const;
    void takeRecording();
    std::shared_ptr<const SpectrumInput> newestSamples() const;
    void fillRateFrom(const SpectrumInput& input);
    void computeAndShow();
    void showOutcome(const SpectrumOutcome& outcome);
    void showSpectrum(std::shared_ptr<const Spectrum> spectrum);
    void showMessage(const QString& text);
    void drawSpectrum(bool fitRanges);
    void fitRanges();
    QString peakText() const;
    void updateRateField();

    TForm1& m_main;
    FileDialogRunner m_saveDialog;
    std::unique_ptr<SpectrumWorker> m_worker;
    QTimer* m_timer = nullptr;
    SpectrumAnalyzer m_analyzer;                  // the main thread's own
    std::shared_ptr<const SpectrumInput> m_input; // never null
    std::shared_ptr<const Spectrum> m_spectrum;
    bool m_live = false;
    bool m_livePending = false;
    bool m_wasAcquiring = false;
    // The user moved the view by mouse since the ranges were last fitted: live updates keep it.
    bool m_userView = false;
    bool m_placed = false;
    std::uint64_t m_jobTag = 0;
    LiveCosts m_costs;
};
