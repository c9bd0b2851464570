// SPDX-License-Identifier: GPL-3.0-or-later
// The "Datei" commands: bitmap export, saving and loading a session, the CSV export, through
// the two file dialogs (or the runner tests install instead).

#include "app/window/form1.h"

#include "app/pipeline/csvexport.h"
#include "chart/control/plotchart.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QRadioButton>

namespace {

const char* const kBitmapFilter = "Graphic Files (*.bmp)|*.BMP";
const char* const kSessionFilter = "Plotmira Files (*.pmx)|*.PMX";
const char* const kCsvFilter = "CSV-Dateien (*.csv)|*.CSV";

// The chart takes file names as the file system spells them.
std::string fileSystemName(const QString& name) {
    return QFile::encodeName(name).toStdString();
}

} // namespace

QFileDialog& TForm1::fileDialog(bool save) {
    // Built on first use (a file dialog is costly to build and most runs never open one), then
    // kept for the run so that it remembers its folder.
    QFileDialog*& dialog = save ? SaveDialog1 : OpenDialog1;
    if (dialog == nullptr) {
        dialog = new QFileDialog(this);
        dialog->setObjectName(save ? QStringLiteral("SaveDialog1") : QStringLiteral("OpenDialog1"));
        dialog->setDirectory(QDir::homePath());
    }
    return *dialog;
}

QString TForm1::runFileDialog(const FileDialogRequest& request) {
    const bool save = request.DialogKind == FileDialogRequest::Kind::Save;
    const QString name =
        m_fileDialogRunner ? m_fileDialogRunner(request) : RunFileDialog(fileDialog(save), request);
    return save ? WithDefaultExt(name, request.DefaultExt) : name;
}

void TForm1::GrafikSpeichernBMPClick() {
    const QString name = runFileDialog(
        {FileDialogRequest::Kind::Save, QStringLiteral(".bmp"), QString::fromUtf8(kBitmapFilter)});
    if (name.isEmpty()) {
        return;
    }
    PlotChart1->ExportBitmap(fileSystemName(name), true);
}

void TForm1::ErfassungSpeichernClick() {
    const QString name = runFileDialog(
        {FileDialogRequest::Kind::Save, QStringLiteral(".pmx"), QString::fromUtf8(kSessionFilter)});
    if (name.isEmpty()) {
        return;
    }
    PlotChart1->SaveItemsToFile(fileSystemName(name));
}

void TForm1::ErfassungladenClick() {
    const QString name = runFileDialog(
        {FileDialogRequest::Kind::Open, QStringLiteral(".pmx"), QString::fromUtf8(kSessionFilter)});
    if (name.isEmpty()) {
        return;
    }
    PlotChart1->LoadItemsFromFile(fileSystemName(name), true);
}

void TForm1::DatenExportimCSVFormat1Click() {
    const QString name = runFileDialog(
        {FileDialogRequest::Kind::Save, QStringLiteral(".csv"), QString::fromUtf8(kCsvFilter)});
    if (name.isEmpty()) {
        return;
    }
    // The same writer as plotmira-cli export; the first column follows the X-Achse choice.
    ExportItemsCsv(PlotChart1->Items(),
                   RadioButton2->isChecked() ? CsvXAxis::Time : CsvXAxis::Samples,
                   fileSystemName(name));
}
