// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The arguments plotmira-cli export and spectrum share: SESSION.pmx -o OUT.csv. Bad arguments
// raise UsageError, whose one-line text the command prints before it exits with status 2.

#include <string>

struct UsageError {
    std::string text;
};

// The value after option argv[i] (i moves onto it); raises UsageError when there is none.
std::string OptionValue(int argc, char** argv, int& i);

// Takes an argument that no option of the command matched as the session file: refuses an
// unknown option and a second session file.
void TakeSessionArgument(const std::string& arg, std::string& session);

// Requires the session file and the output file, and refuses an output that is the session file
// itself (writing the CSV would destroy the recording it comes from).
void CheckSessionAndOutput(const std::string& session, const std::string& output);
