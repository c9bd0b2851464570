// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/deviceaccess.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <grp.h>
#include <memory>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isNumber(std::string_view name) {
    return !name.empty() &&
           std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

bool processHolds(const std::string& fdDir, dev_t rdev) {
    const DirHandle dir(::opendir(fdDir.c_str()));
    if (!dir) {
        return false;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        if (!isNumber(entry->d_name)) {
            continue;
        }
        struct stat st {};
        // stat follows the link to the open file itself.
        if (::stat((fdDir + "/" + entry->d_name).c_str(), &st) == 0 && S_ISCHR(st.st_mode) &&
            st.st_rdev == rdev) {
            return true;
        }
    }
    return false;
}

std::string groupName(gid_t gid) {
    long size = ::sysconf(_SC_GETGR_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    group entry{};
    group* found = nullptr;
    if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->gr_name != nullptr) {
        return found->gr_name;
    }
    return std::to_string(gid);
}

} // namespace

bool DeviceHeldByOtherProcess(dev_t rdev) {
    const DirHandle proc(::opendir("/proc"));
    if (!proc) {
        return false;
    }
    const std::string self = std::to_string(::getpid());
    const uid_t user = ::geteuid();
    while (const dirent* entry = ::readdir(proc.get())) {
        if (!isNumber(entry->d_name) || self == entry->d_name) {
            continue;
        }
        const std::string processDir = std::string("/proc/") + entry->d_name;
        struct stat st {};
        if (::stat(processDir.c_str(), &st) != 0 || st.st_uid != user) {
            continue;
        }
        if (processHolds(processDir + "/fd", rdev)) {
            return true;
        }
    }
    return false;
}

std::string AccessDeniedHint(const DeviceOwnership& device, uid_t user,
                             const std::vector<gid_t>& groups, const std::string& groupName) {
    const bool groupMayUse = (device.mode & S_IRGRP) && (device.mode & S_IWGRP);
    const bool inGroup = std::find(groups.begin(), groups.end(), device.gid) != groups.end();
    // The owner's bits decide for the owner, and root is never refused by the mode.
    if (!groupMayUse || inGroup || user == 0 || user == device.uid) {
        return {};
    }
    return "Das Gerät gehört der Gruppe " + groupName + ": mit sudo usermod -aG " + groupName +
           " $USER beitreten und neu anmelden";
}

std::string DeviceAccessHint(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return {};
    }
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
    const int n = ::getgroups(static_cast<int>(groups.size()), groups.data());
    groups.resize(static_cast<std::size_t>(std::max(n, 0)));
    groups.push_back(::getegid());
    return AccessDeniedHint({st.st_uid, st.st_gid, st.st_mode}, ::geteuid(), groups,
                            groupName(st.st_gid));
}
