// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's two file dialogs behind one replaceable function, so that tests hand in file
// names instead of running a modal dialog.

#include <QString>
#include <functional>

class QFileDialog;
class QWidget;

// What a file command asks of its dialog. `Filter` is written in the program's own form, pairs
// of description and pattern separated by "|" ("Graphic Files (*.bmp)|*.BMP").
struct FileDialogRequest {
    enum class Kind { Save, Open };
    Kind DialogKind = Kind::Save;
    QString DefaultExt; // with its leading ".", e.g. ".bmp"
    QString Filter;
};

// Returns the chosen file name, or an empty string when the user cancelled.
using FileDialogRunner = std::function<QString(const FileDialogRequest& request)>;

// The toolkit's form of a filter in the program's own form: each pattern is added to the
// parenthesised list of its description, so "Graphic Files (*.bmp)|*.BMP" becomes
// "Graphic Files (*.bmp *.BMP)". Several pairs become several filters separated by ";;".
QString QtNameFilter(const QString& filter);

// A saved file's name with the default extension appended when its file-name part has none
// ("run" → "run.pmx"; "run.1" and "dir.d/run.pmx" stay), as the save dialog does.
QString WithDefaultExt(const QString& fileName, const QString& defaultExt);

// Prepares `dialog` for `request` (default suffix, filter, save or open) and runs it modally.
// Save dialogs ask before overwriting an existing file. The dialog keeps its folder between runs;
// its owner starts it in the user's home folder.
QString RunFileDialog(QFileDialog& dialog, const FileDialogRequest& request);
