// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/portnames.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <glob.h>
#include <sys/stat.h>

namespace {

// "ttyACM2" before "ttyACM10".
bool naturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (std::isdigit(static_cast<unsigned char>(a[i])) &&
            std::isdigit(static_cast<unsigned char>(b[j]))) {
            std::size_t ie = i, je = j;
            while (ie < a.size() && std::isdigit(static_cast<unsigned char>(a[ie]))) {
                ++ie;
            }
            while (je < b.size() && std::isdigit(static_cast<unsigned char>(b[je]))) {
                ++je;
            }
            const std::string na = a.substr(i, ie - i), nb = b.substr(j, je - j);
            if (na.size() != nb.size()) {
                return na.size() < nb.size();
            }
            if (na != nb) {
                return na < nb;
            }
            i = ie;
            j = je;
        } else {
            if (a[i] != b[j]) {
                return a[i] < b[j];
            }
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

std::vector<std::string> globSorted(const char* pattern) {
    std::vector<std::string> found;
    glob_t g{};
    if (::glob(pattern, 0, nullptr, &g) == 0) {
        for (std::size_t k = 0; k < g.gl_pathc; ++k) {
            found.emplace_back(g.gl_pathv[k]);
        }
    }
    ::globfree(&g);
    std::sort(found.begin(), found.end(), naturalLess);
    return found;
}

} // namespace

std::string EscapedPortName(const std::string& name) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(name.size());
    const auto hex = [&out](unsigned char c) {
        out += "\\x";
        out += kHex[c >> 4];
        out += kHex[c & 15];
    };
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        const auto next = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
        if (c == '\\') {
            out += "\\\\";
        } else if (c < 0x20 || c == 0x7F) {
            hex(c);
        } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
            // U+0080..U+009F in UTF-8: the C1 controls, which terminals obey as well.
            hex(c);
            hex(next);
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string ComDevicePath(unsigned n) {
    if (n == 0) {
        return {};
    }
    const std::string name = "COM" + std::to_string(n);
    if (const char* dir = std::getenv("PLOTMIRA_PORTS"); dir && *dir) {
        struct stat st {};
        const std::string link = std::string(dir) + "/" + name;
        if (::stat(dir, &st) == 0 && S_ISDIR(st.st_mode) && ::lstat(link.c_str(), &st) == 0) {
            return link;
        }
    }
    return "/dev/ttyS" + std::to_string(n - 1);
}

bool IsDevicePathText(const std::string& text) {
    return !text.empty() && text.front() == '/';
}

std::vector<std::string> ListPortTexts(const std::string& root) {
    // The devices present come first: a board just plugged in is the first entry, not the 22nd.
    std::vector<std::string> texts;
    for (const char* pattern : {"/dev/serial/by-id/*", "/dev/ttyACM*", "/dev/ttyUSB*"}) {
        for (auto& path : globSorted((root + pattern).c_str())) {
            texts.push_back(std::move(path));
        }
    }
    for (int n = 0; n <= 20; ++n) {
        texts.push_back(std::to_string(n));
    }
    return texts;
}
