// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The serial component's one place that turns a system error number into the text the user sees,
// in the German wording the original platform uses for the same failure.

#include <string>

// Text for errno value err, e.g. ENOENT → "Das System kann die angegebene Datei nicht finden.".
// Unknown numbers give "Systemfehler <n>" followed by the system's own description.
std::string getSystemError(int err);
