// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The last resort of plotmira-cli record when its outputs cannot be written (the target folder
// went away, the disk is full, the write was abandoned): the recording goes into a new session
// file in the temporary folder, so that a long run is never lost to a failing target.

#include <string>

class PlotChartCore;

// Writes the chart's items to a new file "plotmira-<stem>-XXXXXX.pmx" (XXXXXX unique, never an
// existing file) in $TMPDIR, or /tmp when $TMPDIR is unset or empty, where <stem> is the file
// name of `output` without folder and extension ("record" when empty). Returns the new file's
// path. Raises the program's exceptions when it cannot be created or written; no file is left
// behind then.
std::string WriteRescueSession(const PlotChartCore& chart, const std::string& output);
