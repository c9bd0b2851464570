// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/rescuesession.h"

#include "base/systemerror.h"
#include "chart/core/plotchartcore.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <stdlib.h>
#include <unistd.h>
#include <vector>

std::string WriteRescueSession(const PlotChartCore& chart, const std::string& output) {
    const char* tmp = std::getenv("TMPDIR");
    const std::filesystem::path folder = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    std::string stem = std::filesystem::path(output).stem().string();
    if (stem.empty()) {
        stem = "record";
    }
    const std::string pattern = (folder / ("plotmira-" + stem + "-XXXXXX.pmx")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemps(name.data(), 4);
    if (fd < 0) {
        raiseCreateError(pattern, errno);
    }
    ::close(fd);
    const std::string path(name.data());
    try {
        chart.SaveItemsToFile(path);
    } catch (...) {
        ::unlink(path.c_str());
        throw;
    }
    return path;
}
