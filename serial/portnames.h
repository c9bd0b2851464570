// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Naming of serial devices: which device stands behind "COMn", and which ports the window offers.

#include <string>
#include <vector>

// The device behind port number n: "$PLOTMIRA_PORTS/COMn" when that variable names a folder that
// holds such an entry, otherwise "/dev/ttyS<n-1>" for n >= 1. Port 0 has no device: "".
std::string ComDevicePath(unsigned n);

// True for a port text that names a device directly (it begins with "/").
bool IsDevicePathText(const std::string& text);

// The name as it may be shown on a terminal or in a message box: control characters (C0, DEL and
// the C1 controls U+0080..U+009F) as "\xHH" per byte, a backslash doubled; everything else as
// it stands. A name typed or linked with an escape sequence cannot drive the terminal then.
std::string EscapedPortName(const std::string& name);

// The texts offered in the port drop-down: the serial devices present (/dev/serial/by-id/*,
// /dev/ttyACM*, /dev/ttyUSB*, each group in natural order), then "0" to "20". A non-empty
// `root` stands in for "/" (tests): the devices are looked for, and named, below it.
std::vector<std::string> ListPortTexts(const std::string& root = {});
