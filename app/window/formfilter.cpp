// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window/formfilter.h"

#include "app/pipeline/numbers.h"
#include "app/window/messagedisplay.h"
#include "base/exception.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The kinds in the order of the drop-down.
constexpr FilterKind kKinds[] = {FilterKind::None,     FilterKind::Mean,     FilterKind::Lowpass,
                                 FilterKind::Highpass, FilterKind::Bandpass, FilterKind::Bandstop};

// What a field shows for a filter that does not use it, so that choosing a kind offers a
// setting that works.
constexpr int kDefaultLength = 10;
constexpr int kDefaultOrder = 4;
constexpr double kDefaultLow = 0.1;
constexpr double kDefaultHigh = 0.2;

QString numberText(double value) {
    return QString::fromStdString(numbers::FloatToStr(value, numbers::DecimalSeparator()));
}

QString frequencyText(double fraction, std::optional<double> sampleRate) {
    return numberText(sampleRate ? fraction * *sampleRate : fraction);
}

int integerField(const QLineEdit* edit) {
    bool ok = false;
    const int value = edit->text().trimmed().toInt(&ok);
    if (!ok) {
        throw EConvertError("'" + edit->text().toStdString() + "' ist kein gültiger Integerwert");
    }
    return value;
}

} // namespace

TFormFilter::TFormFilter(const FilterSetting& channel1, const FilterSetting& channel2,
                         std::optional<double> sampleRate, QWidget* parent)
    : QDialog(parent), m_result{channel1, channel2}, m_resultRate(sampleRate) {
    setObjectName(QStringLiteral("FormFilter"));
    setWindowTitle(QStringLiteral("Digitales Filter"));
    setModal(true);
    auto* outer = new QVBoxLayout(this);

    auto* rateRow = new QHBoxLayout();
    auto* rateLabel = new QLabel(QStringLiteral("Abtastrate [Hz]"), this);
    AbtastrateEdit = new QLineEdit(this);
    AbtastrateEdit->setObjectName(QStringLiteral("AbtastrateEdit"));
    AbtastrateEdit->setMaxLength(12);
    AbtastrateEdit->setToolTip(
        QStringLiteral("Leer: Frequenzen als Anteil der Abtastrate (1/Sample)"));
    rateLabel->setBuddy(AbtastrateEdit);
    rateRow->addWidget(rateLabel);
    rateRow->addWidget(AbtastrateEdit);
    rateRow->addStretch(1);
    outer->addLayout(rateRow);
    ShowSampleRate(sampleRate);

    buildChannel(0, channel1, sampleRate);
    buildChannel(1, channel2, sampleRate);
    outer->addWidget(Channels[0].Group);
    outer->addWidget(Channels[1].Group);

    auto* buttons = new QDialogButtonBox(this);
    OkButton = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    CancelButton = buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
    OkButton->setObjectName(QStringLiteral("OkButton"));
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    OkButton->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &TFormFilter::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TFormFilter::reject);
    outer->addWidget(buttons);

    connect(AbtastrateEdit, &QLineEdit::textChanged, this, &TFormFilter::updateFields);
    updateFields();
}

void TFormFilter::buildChannel(int index, const FilterSetting& setting,
                               std::optional<double> sampleRate) {
    ChannelControls& c = Channels[static_cast<std::size_t>(index)];
    const QString suffix = QString::number(index + 1);
    c.Group = new QGroupBox(
        QString::fromUtf8(index == 0 ? "  Kanal 1 (blau) " : "  Kanal 2 (rot) "), this);
    c.Group->setObjectName(QStringLiteral("Kanal%1GroupBox").arg(suffix));
    auto* grid = new QGridLayout(c.Group);
    const auto edit = [&](const char* name, const QString& text) {
        auto* e = new QLineEdit(text, c.Group);
        e->setObjectName(QString::fromUtf8(name) + suffix);
        e->setMaxLength(12);
        return e;
    };
    c.FilterComboBox = new QComboBox(c.Group);
    c.FilterComboBox->setObjectName(QStringLiteral("FilterComboBox%1").arg(suffix));
    for (const FilterKind kind : kKinds) {
        c.FilterComboBox->addItem(QString::fromStdString(FilterKindName(kind)));
        if (kind == setting.Kind) {
            c.FilterComboBox->setCurrentIndex(c.FilterComboBox->count() - 1);
        }
    }
    const bool mean = setting.Kind == FilterKind::Mean;
    const bool butterworth = IsButterworth(setting.Kind);
    c.LaengeEdit = edit("LaengeEdit", QString::number(mean ? setting.Length : kDefaultLength));
    c.OrdnungEdit =
        edit("OrdnungEdit", QString::number(butterworth ? setting.Order : kDefaultOrder));
    c.GrenzfrequenzEdit = edit("GrenzfrequenzEdit",
                               frequencyText(butterworth ? setting.Low : kDefaultLow, sampleRate));
    c.ObereGrenzfrequenzEdit =
        edit("ObereGrenzfrequenzEdit",
             frequencyText(IsBand(setting.Kind) ? setting.High : kDefaultHigh, sampleRate));

    const auto row = [&](int r, const char* text, QWidget* field) {
        auto* label = new QLabel(QString::fromUtf8(text), c.Group);
        label->setBuddy(field);
        grid->addWidget(label, r, 0);
        grid->addWidget(field, r, 1);
    };
    row(0, "Filter", c.FilterComboBox);
    row(1, "Länge", c.LaengeEdit);
    row(2, "Ordnung", c.OrdnungEdit);
    row(3, "Grenzfrequenz", c.GrenzfrequenzEdit);
    row(4, "Obere Grenzfrequenz", c.ObereGrenzfrequenzEdit);
    for (int i = 0; i < 2; ++i) {
        c.UnitLabels[static_cast<std::size_t>(i)] = new QLabel(c.Group);
        grid->addWidget(c.UnitLabels[static_cast<std::size_t>(i)], 3 + i, 2);
    }
    grid->setColumnMinimumWidth(2, 60);
    connect(c.FilterComboBox, &QComboBox::currentIndexChanged, this, &TFormFilter::updateFields);
}

void TFormFilter::ShowSampleRate(std::optional<double> sampleRate) {
    AbtastrateEdit->setText(sampleRate ? numberText(*sampleRate) : QString());
}

void TFormFilter::updateFields() {
    // The rate as far as it reads yet: fields that the chosen filters do not use show their
    // defaults in its unit, so a filter chosen next starts from a setting that works.
    std::optional<double> rate;
    try {
        rate = readSampleRate();
    } catch (const Exception&) {
    }
    const QString unit = rate ? QStringLiteral("Hz") : QStringLiteral("1/Sample");
    for (ChannelControls& c : Channels) {
        if (c.FilterComboBox == nullptr) {
            continue; // still being built
        }
        const FilterKind kind = kKinds[c.FilterComboBox->currentIndex()];
        c.LaengeEdit->setEnabled(kind == FilterKind::Mean);
        c.OrdnungEdit->setEnabled(IsButterworth(kind));
        c.GrenzfrequenzEdit->setEnabled(IsButterworth(kind));
        c.ObereGrenzfrequenzEdit->setEnabled(IsBand(kind));
        if (!IsButterworth(kind)) {
            c.GrenzfrequenzEdit->setText(frequencyText(kDefaultLow, rate));
        }
        if (!IsBand(kind)) {
            c.ObereGrenzfrequenzEdit->setText(frequencyText(kDefaultHigh, rate));
        }
        for (QLabel* label : c.UnitLabels) {
            label->setText(unit);
        }
    }
}

std::optional<double> TFormFilter::readSampleRate() const {
    const std::string text = AbtastrateEdit->text().trimmed().toStdString();
    if (text.empty()) {
        return std::nullopt;
    }
    const double rate = numbers::StrToFloat(text);
    if (!(rate > 0)) {
        throw EConvertError("Die Abtastrate muss größer als 0 sein");
    }
    return rate;
}

FilterSetting TFormFilter::readChannel(int index, std::optional<double> sampleRate) const {
    const ChannelControls& c = Channels[static_cast<std::size_t>(index)];
    const auto frequency = [&](const QLineEdit* edit) {
        const double value = numbers::StrToFloat(edit->text().toStdString());
        return sampleRate ? value / *sampleRate : value;
    };
    FilterSetting setting;
    setting.Kind = kKinds[c.FilterComboBox->currentIndex()];
    if (setting.Kind == FilterKind::Mean) {
        setting.Length = integerField(c.LaengeEdit);
    } else if (IsButterworth(setting.Kind)) {
        setting.Order = integerField(c.OrdnungEdit);
        setting.Low = frequency(c.GrenzfrequenzEdit);
        if (IsBand(setting.Kind)) {
            setting.High = frequency(c.ObereGrenzfrequenzEdit);
        }
    }
    CheckFilterSetting(setting, sampleRate);
    return setting;
}

void TFormFilter::accept() {
    std::array<FilterSetting, 2> settings;
    std::optional<double> rate;
    int channel = 0;
    try {
        rate = readSampleRate();
        for (channel = 1; channel <= 2; ++channel) {
            settings[static_cast<std::size_t>(channel - 1)] = readChannel(channel - 1, rate);
        }
    } catch (const Exception& e) {
        const QString where = channel == 0 ? QString() : QStringLiteral("Kanal %1: ").arg(channel);
        ::ShowMessage(where + QString::fromStdString(e.Message()));
        return;
    }
    m_result = settings;
    m_resultRate = rate;
    QDialog::accept();
}
