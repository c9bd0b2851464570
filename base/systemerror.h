// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// System error numbers (errno) as the program's German texts: the one table every room uses,
// so that the same failure reads alike whether a session file, a bitmap, a CSV file or a serial
// port met it. No room words an errno itself and none prints the C library's English text.

#include <string>

// The system's description of an error, in the wording of the Windows texts the program's users
// know ("Das System kann die angegebene Datei nicht finden", "Zugriff verweigert"); an unknown
// number gives "Systemfehler <n>". No trailing full stop: the message that quotes the text
// decides how it ends.
std::string systemErrorText(int err);

// The text of an input/output error of a read or write on an open file: "Zu wenig
// Speicherplatz" (disk full, file size limit), "Datei nicht gefunden", "Ungültiger Dateiname",
// "Zu viele geöffnete Dateien", "Dateizugriff verweigert", otherwise "E/A-Fehler <n>".
std::string inOutErrorText(int err);

// Raises EInOutError with inOutErrorText(err) and err as its code.
[[noreturn]] void raiseInOutError(int err);

// The name as an absolute path (relative names are taken from the working directory), for
// error texts that name the file in full.
std::string fullFileName(const std::string& fileName);

// Raises EFCreateError "Datei "<full name>" kann nicht erstellt werden. <systemErrorText(err)>".
[[noreturn]] void raiseCreateError(const std::string& fileName, int err);

// Raises EFOpenError "Datei "<full name>" kann nicht geöffnet werden. <systemErrorText(err)>".
[[noreturn]] void raiseOpenError(const std::string& fileName, int err);
