// SPDX-License-Identifier: GPL-3.0-or-later
// plotmira-cli export: a session file's recorded samples as CSV, for Python, R or a spreadsheet.
#include "app/cli/clicommands.h"

#include "app/cli/clisessionargs.h"
#include "app/pipeline/csvexport.h"
#include "base/exception.h"

#include <cstdio>
#include <new>
#include <string>

namespace {

void printExportUsage(std::FILE* out) {
    std::fputs(
        "Usage: plotmira-cli export SESSION.pmx -o OUT.csv [--time]\n"
        "\n"
        "Writes the samples of a recording as CSV: the header \"sample,channel1\" (two-channel\n"
        "recordings: \"sample,channel1,channel2\"), then one line per sample in recorded order\n"
        "with its sample number and each channel's value (\".\" as decimal point, the shortest\n"
        "text that reads back to the same single-precision value). Items that a recording does\n"
        "not make are skipped and counted on standard error.\n"
        "\n"
        "Options:\n"
        "  -o, --output FILE   CSV file to write (required; /dev/stdout writes to a pipe)\n"
        "  --time              a recording made with --time (X-Achse \"Zeit\"): the first\n"
        "                      column is \"time_s\", the seconds since Start\n"
        "  -h, --help          show this help\n"
        "\n"
        "Exit status: 0 success, 1 a file error, 2 bad arguments.\n",
        out);
}

struct ExportOptions {
    std::string session;
    std::string output;
    CsvXAxis xAxis = CsvXAxis::Samples;
    bool help = false;
};

ExportOptions parseExportArguments(int argc, char** argv) {
    ExportOptions o;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            o.help = true;
            return o;
        } else if (arg == "-o" || arg == "--output") {
            o.output = OptionValue(argc, argv, i);
        } else if (arg == "--time") {
            o.xAxis = CsvXAxis::Time;
        } else {
            TakeSessionArgument(arg, o.session);
        }
    }
    CheckSessionAndOutput(o.session, o.output);
    return o;
}

} // namespace

int runExport(int argc, char** argv) {
    ExportOptions options;
    try {
        options = parseExportArguments(argc, argv);
    } catch (const UsageError& error) {
        std::fprintf(stderr, "plotmira-cli export: %s\n", error.text.c_str());
        return 2;
    }
    if (options.help) {
        printExportUsage(stdout);
        return 0;
    }
    try {
        const RecordedSamples samples =
            ExportSessionCsv(options.session, options.output, options.xAxis);
        if (samples.Skipped > 0) {
            std::fprintf(stderr, "plotmira-cli export: %zu %s skipped (not made by a recording)\n",
                         samples.Skipped, samples.Skipped == 1 ? "item" : "items");
        }
    } catch (const Exception& error) {
        std::fprintf(stderr, "plotmira-cli export: %s\n", error.Message().c_str());
        return 1;
    } catch (const std::bad_alloc&) {
        std::fputs("plotmira-cli export: Zu wenig Arbeitsspeicher\n", stderr);
        return 1;
    }
    return 0;
}
