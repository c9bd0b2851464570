// SPDX-License-Identifier: GPL-3.0-or-later
// termios2 lives in <asm/termbits.h>, which clashes with <termios.h>: this file includes only
// the former and declares ioctl itself.
#include "serial/commplatform.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept;

bool SetAnyBaudRate(int handle, std::uint32_t baudRate) {
    struct termios2 t {};
    if (ioctl(handle, TCGETS2, &t) != 0) {
        return false;
    }
    t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = baudRate;
    t.c_ospeed = baudRate;
    return ioctl(handle, TCSETS2, &t) == 0;
}

std::uint32_t GetBaudRate(int handle) {
    struct termios2 t {};
    if (ioctl(handle, TCGETS2, &t) != 0) {
        return 0;
    }
    return t.c_ospeed;
}
