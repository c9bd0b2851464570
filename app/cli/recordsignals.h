// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How plotmira-cli record takes the signals that end a program: SIGINT (Ctrl-C), SIGTERM and
// SIGHUP (a closed terminal, a logout) end a recording as its end of input does, so the session
// is still written. They interrupt a write that waits (a pipe or FIFO whose reader stopped
// reading): the handler is installed without SA_RESTART and a signal that reaches another
// thread is passed on to the main thread. SIGPIPE is ignored: a write to a pipe without a
// reader fails with EPIPE instead of ending the program with the recording unwritten.
//
// Call InstallRecordSignals on the main thread before any other thread starts.

#include <cstdint>

void InstallRecordSignals();

// Signals received since InstallRecordSignals.
std::uint32_t RecordSignalCount();

// Whether fd takes a line of output without waiting (a terminal, a file, a pipe with room).
bool WritableNow(int fd);
