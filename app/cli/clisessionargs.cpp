// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/clisessionargs.h"

#include <sys/stat.h>

std::string OptionValue(int argc, char** argv, int& i) {
    if (i + 1 >= argc) {
        throw UsageError{"option " + std::string(argv[i]) + " needs a value"};
    }
    return argv[++i];
}

void TakeSessionArgument(const std::string& arg, std::string& session) {
    if (arg.size() > 1 && arg[0] == '-') {
        throw UsageError{"unknown option '" + arg + "'"};
    }
    if (!session.empty()) {
        throw UsageError{"unexpected argument '" + arg + "'"};
    }
    session = arg;
}

void CheckSessionAndOutput(const std::string& session, const std::string& output) {
    if (session.empty()) {
        throw UsageError{"missing session file"};
    }
    if (output.empty()) {
        throw UsageError{"missing output file (-o OUT.csv)"};
    }
    // Compared as files, not names: a link or another path to the session is the same file.
    struct stat in {};
    struct stat out {};
    if (::stat(session.c_str(), &in) == 0 && ::stat(output.c_str(), &out) == 0 &&
        S_ISREG(in.st_mode) && in.st_dev == out.st_dev && in.st_ino == out.st_ino) {
        throw UsageError{"the output file is the session file '" + session + "'"};
    }
}
