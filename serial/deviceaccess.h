// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Who may use a serial device: whether another process of this user already holds it open, and
// what a user who is refused access by the device's permissions can do about it.

#include <string>
#include <sys/types.h>
#include <vector>

// True when a process other than this one, running under this process's effective user, has a
// file open whose device number is rdev (found among /proc/<pid>/fd, as fuser does). Processes
// whose open files cannot be read are passed over.
bool DeviceHeldByOtherProcess(dev_t rdev);

// The owner and permissions of a device file, as stat gives them.
struct DeviceOwnership {
    uid_t uid = 0;
    gid_t gid = 0;
    mode_t mode = 0;
};

// The sentence that follows "Zugriff verweigert" when the device's group may read and write it
// but the user may not: the user is not its owner, not root and not in that group (per groups,
// the process's current groups). It names the group and how to join it. Empty when joining the
// group would not help.
std::string AccessDeniedHint(const DeviceOwnership& device, uid_t user,
                             const std::vector<gid_t>& groups, const std::string& groupName);

// AccessDeniedHint for the device at path and this process (effective user and groups); the
// group's name from the group database, its number when it has none. Empty when path cannot be
// examined.
std::string DeviceAccessHint(const std::string& path);
