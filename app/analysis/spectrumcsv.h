// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A spectrum as CSV: the header "frequency,channel1" (",channel2" with two channels), then one
// row per bin, each ended by "\n", every number the shortest text that reads back to the same
// double ("." as the decimal point).

#include "app/analysis/spectrum.h"

#include <string>

std::string SpectrumToCsv(const Spectrum& spectrum);

// Writes SpectrumToCsv(spectrum) to fileName through an OutputFile (all or nothing). Raises
// EFCreateError "Datei "<full name>" kann nicht erstellt werden. <system text>" when it cannot be
// created (a FIFO without a reader fails at once) and EInOutError when a write or the commit
// fails; an existing file then stays as it was.
void WriteSpectrumCsv(const Spectrum& spectrum, const std::string& fileName);
