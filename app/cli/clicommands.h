// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sub-commands of plotmira-cli. Each takes the arguments after its own name and returns the
// process exit status: 0 normal end, 1 a failure of the program (its error text on stderr),
// 2 bad arguments (a one-line error on stderr).

int runRender(int argc, char** argv);
int runRecord(int argc, char** argv);
int runExport(int argc, char** argv);
int runSpectrum(int argc, char** argv);
