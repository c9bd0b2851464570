// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Opening the files the chart writes (session files, bitmaps) without ever waiting in open().

#include <cstddef>
#include <string>

// Opens fileName for writing, creating it (mode 0666 before the umask) or truncating it, and
// returns the descriptor (close-on-exec, blocking writes).
//
// The open itself never waits: a FIFO without a reader, which a plain open would wait for
// forever, is refused at once. A regular file, or anything else that opens without waiting
// (a FIFO or pipe with a reader, a device such as /dev/null), is written as usual.
//
// Raises EFCreateError "Datei "<full name>" kann nicht erstellt werden. <system text>" when the
// file cannot be opened.
int OpenOutputFile(const std::string& fileName);

// Writes size bytes at data to fd (a descriptor from OpenOutputFile). Returns 0, or the errno of
// the write that failed: ENOSPC when the medium takes no more bytes, EPIPE when the reader of a
// pipe went away (instead of the signal that would end the program with the recording unsaved).
int WriteOutputFile(int fd, const void* data, std::size_t size);
