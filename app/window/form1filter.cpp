// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's digital filter: the "Digitales Filter" dialog from the Mathematik menu and
// FilterLabel, which names the active filters below the live value.

#include "app/window/form1.h"

#include "app/pipeline/acquisition.h"
#include "app/pipeline/numbers.h"
#include "app/window/formfilter.h"
#include "app/window/messagedisplay.h"

#include <QLabel>
#include <QRadioButton>

namespace {

const char* const kFilterWhileAcquiring =
    "Das digitale Filter kann nur bei gestoppter Erfassung eingestellt werden";

QString number(double value) {
    return QString::fromStdString(numbers::FloatToStr(value, numbers::DecimalSeparator()));
}

QString frequency(double fraction, std::optional<double> sampleRate) {
    return sampleRate ? number(fraction * *sampleRate) + QStringLiteral(" Hz")
                      : number(fraction) + QStringLiteral(" × Abtastrate");
}

QString describe(const FilterSetting& setting, std::optional<double> sampleRate) {
    const QString name = QString::fromStdString(FilterKindName(setting.Kind));
    if (setting.Kind == FilterKind::Mean) {
        return name + QStringLiteral(", Länge %1").arg(setting.Length);
    }
    const QString order = QStringLiteral(" %1. Ordnung, ").arg(setting.Order);
    if (IsBand(setting.Kind)) {
        return name + order + number(sampleRate ? setting.Low * *sampleRate : setting.Low) +
               QStringLiteral(" … ") + frequency(setting.High, sampleRate);
    }
    return name + order + frequency(setting.Low, sampleRate);
}

} // namespace

void TForm1::DigitalesFilter1Click() {
    if (IsAcquiring()) {
        ::ShowMessage(QString::fromUtf8(kFilterWhileAcquiring));
        return;
    }
    Acquisition& acq = *m_acquisition;
    TFormFilter dialog(acq.Filter1(), acq.Filter2(), m_sampleRate, this);
    connect(this, &TForm1::SampleRateChanged, &dialog,
            [this, &dialog] { dialog.ShowSampleRate(m_sampleRate); });
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    acq.SetFilters(dialog.Filter(1), dialog.Filter(2), dialog.SampleRate());
    SetSampleRate(dialog.SampleRate());
    updateFilterLabel();
}

void TForm1::connectFilterLabel() {
    connect(this, &TForm1::SampleRateChanged, this, &TForm1::updateFilterLabel);
    connect(CH2RadioButton, &QRadioButton::toggled, this, &TForm1::updateFilterLabel);
}

void TForm1::updateFilterLabel() {
    const Acquisition& acq = *m_acquisition;
    QString text;
    const auto add = [&](int channel, const FilterSetting& setting, const char* color) {
        if (setting.Kind != FilterKind::None) {
            text += QStringLiteral("&nbsp;&nbsp;&nbsp;<span style=\"color:%1\">CH%2: %3</span>")
                        .arg(QString::fromLatin1(color))
                        .arg(channel)
                        .arg(describe(setting, m_sampleRate).toHtmlEscaped());
        }
    };
    add(1, acq.Filter1(), "#0000ff");
    if (CH2RadioButton->isChecked()) {
        add(2, acq.Filter2(), "#800000");
    }
    FilterLabel->setText(QStringLiteral("<b>Digitales Filter</b>") + text);
    FilterLabel->setVisible(!text.isEmpty());
}
