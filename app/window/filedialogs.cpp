// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window/filedialogs.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QFileDialog>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QStringList>

QString QtNameFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        const QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        const qsizetype open = description.lastIndexOf(QLatin1Char('('));
        if (description.endsWith(QLatin1Char(')')) && open >= 0) {
            QStringList listed = description.mid(open + 1, description.size() - open - 2)
                                     .split(QLatin1Char(' '), Qt::SkipEmptyParts);
            for (const QString& pattern : patterns) {
                if (!listed.contains(pattern.trimmed())) {
                    listed << pattern.trimmed();
                }
            }
            description = description.left(open).trimmed() + QStringLiteral(" (") +
                          listed.join(QLatin1Char(' ')) + QLatin1Char(')');
        } else {
            description +=
                QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
        }
        filters << description;
    }
    return filters.join(QStringLiteral(";;"));
}

QString WithDefaultExt(const QString& fileName, const QString& defaultExt) {
    if (fileName.isEmpty() || !QFileInfo(fileName).suffix().isEmpty()) {
        return fileName;
    }
    return fileName + defaultExt;
}

QString RunFileDialog(QFileDialog& dialog, const FileDialogRequest& request) {
    const bool save = request.DialogKind == FileDialogRequest::Kind::Save;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    QString suffix = request.DefaultExt;
    if (suffix.startsWith(QLatin1Char('.'))) {
        suffix.remove(0, 1);
    }
    dialog.setDefaultSuffix(suffix);
    dialog.setNameFilter(QtNameFilter(request.Filter));
    // The dialog is kept for the run to remember its folder, not the last choice: the file
    // chosen last is no longer selected (it would be taken over a typed name) and typing starts
    // a new name.
    for (QAbstractItemView* files : dialog.findChildren<QAbstractItemView*>()) {
        if (files->selectionModel() != nullptr) {
            files->selectionModel()->clear();
        }
    }
    if (auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        name->clear();
    }
    const bool accepted = dialog.exec() == QDialog::Accepted;
    // Return can accept the dialog while the name completion's list is still open; that list is
    // a window of its own and would stay on screen.
    for (QCompleter* completer : dialog.findChildren<QCompleter*>()) {
        if (completer->popup() != nullptr) {
            completer->popup()->hide();
        }
    }
    if (!accepted || dialog.selectedFiles().isEmpty()) {
        return QString();
    }
    return dialog.selectedFiles().constFirst();
}
