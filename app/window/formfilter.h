// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TFormFilter: the modal dialog "Digitales Filter". It shows the window's "Abtastrate [Hz]"
// and, per channel, the filter ("Kein Filter", "Gleitender Mittelwert", "Tiefpass", "Hochpass",
// "Bandpass", "Bandsperre") with its "Länge", "Ordnung", "Grenzfrequenz" and "Obere
// Grenzfrequenz"; only the fields the chosen filter uses are enabled. Frequencies are in Hz
// while a sample rate is given, otherwise fractions of the sample rate (1/Sample).
//
// OK reads every field; a setting that cannot work (a text that is no number, a length or
// order out of range, a cut-off not below half the sample rate, a lower edge not below the
// upper) is named in a message box and the dialog stays open. After OK, Filter() and
// SampleRate() hold what was accepted. The dialog changes nothing itself: its owner applies
// the result.

#include "app/analysis/filtersetting.h"

#include <QDialog>
#include <array>
#include <optional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TFormFilter : public QDialog {
    Q_OBJECT
public:
    TFormFilter(const FilterSetting& channel1, const FilterSetting& channel2,
                std::optional<double> sampleRate, QWidget* parent = nullptr);

    // The accepted filter of channel 1 or 2, and the accepted sample rate (empty: unknown).
    const FilterSetting& Filter(int channel) const { return m_result[channel == 2 ? 1 : 0]; }
    std::optional<double> SampleRate() const { return m_resultRate; }

    // Shows another sample rate in its field (the window's value changed elsewhere).
    void ShowSampleRate(std::optional<double> sampleRate);

    struct ChannelControls {
        QGroupBox* Group = nullptr;
        QComboBox* FilterComboBox = nullptr;
        QLineEdit* LaengeEdit = nullptr;
        QLineEdit* OrdnungEdit = nullptr;
        QLineEdit* GrenzfrequenzEdit = nullptr;
        QLineEdit* ObereGrenzfrequenzEdit = nullptr;
        std::array<QLabel*, 2> UnitLabels{};
    };

    QLineEdit* AbtastrateEdit = nullptr;
    std::array<ChannelControls, 2> Channels;
    QPushButton* OkButton = nullptr;
    QPushButton* CancelButton = nullptr;

    void accept() override;

private:
    void buildChannel(int index, const FilterSetting& setting, std::optional<double> sampleRate);
    void updateFields();
    FilterSetting readChannel(int index, std::optional<double> sampleRate) const;
    std::optional<double> readSampleRate() const;

    std::array<FilterSetting, 2> m_result;
    std::optional<double> m_resultRate;
};
