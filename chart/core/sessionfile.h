// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Session files: a headerless run of 104-byte ChartItem records in drawing order, exactly as
// the store holds them. Any file is a session file: its size divided by 104, rounded down, is
// the record count, and a trailing fragment of fewer than 104 bytes is ignored. Records are
// never checked; foreign layers and kinds are kept as they are.

#include "chart/core/chartitem.h"
#include "chart/core/itemstore.h"

#include <span>
#include <string>

// Writes the records as fileName, all or nothing (see OutputFile). Raises EFCreateError "Datei
// "<full name>" kann nicht erstellt werden. <system text>" when the file cannot be created (also
// at once for a FIFO that nobody reads), and EInOutError when a write, the sync or the rename
// fails (disk full: "Zu wenig Speicherplatz"); an existing file of that name is then kept as it
// was.
void WriteSessionFile(const std::string& fileName, std::span<const ChartItem> items);

// Reads every whole record of fileName, opened for reading only. Raises EFOpenError "Datei
// "<full name>" kann nicht geöffnet werden. <system text>" when the file cannot be opened or is
// a directory, and EInOutError when a read fails part-way. A file that shrinks while it is read
// gives the records read up to its end.
RecordBuffer ReadSessionFile(const std::string& fileName);
