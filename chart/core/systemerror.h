// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// System error numbers (errno) as the program's German texts. File operations of the chart
// (session files, bitmap export) report through these so that every message reads alike.

#include <string>

// The system's description of an error, in the style of the Windows texts the program's users
// know ("Das System kann die angegebene Datei nicht finden", "Zugriff verweigert"); an unknown
// number gives "Systemfehler <n>". No trailing full stop.
std::string systemErrorText(int err);

// The text of an input/output error of a read or write on an open file: "Zu wenig
// Speicherplatz" (disk full), "Datei nicht gefunden", "Ungültiger Dateiname", "Zu viele
// geöffnete Dateien", "Dateizugriff verweigert", otherwise "E/A-Fehler <n>".
std::string inOutErrorText(int err);

// Raises EInOutError with inOutErrorText(err) and err as its code.
[[noreturn]] void raiseInOutError(int err);

// The name as an absolute path (relative names are taken from the working directory), for
// error texts that name the file in full.
std::string fullFileName(const std::string& fileName);
