// SPDX-License-Identifier: GPL-3.0-or-later
// plotmira-cli spectrum: the amplitude spectrum of a recording (or a stretch of it) as CSV, the
// numbers the window's "Fourier Analyse" draws.
#include "app/cli/clicommands.h"

#include "app/analysis/spectrum.h"
#include "app/analysis/spectrumcsv.h"
#include "app/analysis/spectruminput.h"
#include "app/cli/clinumber.h"
#include "app/cli/clisessionargs.h"
#include "base/exception.h"
#include "chart/core/sessionfile.h"

#include <cstdio>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace {

void printSpectrumUsage(std::FILE* out) {
    std::fputs(
        "Usage: plotmira-cli spectrum SESSION.pmx -o OUT.csv [OPTIONS]\n"
        "\n"
        "Writes the single-sided amplitude spectrum of a recording as CSV: the header\n"
        "\"frequency,channel1\" (two-channel recordings: \"frequency,channel1,channel2\"), then\n"
        "one row per frequency bin 0 ... N/2 for the N samples analysed. A sine of amplitude A at\n"
        "a bin frequency reads A. Numbers are the shortest text that reads back to the same\n"
        "double, with \".\" as decimal point.\n"
        "\n"
        "Options:\n"
        "  -o, --output FILE     CSV file to write (required; /dev/stdout writes to a pipe)\n"
        "  --window NAME         rect, hann, hamming or blackman (default hann)\n"
        "  --rate HZ             samples per second: frequencies in Hz (default: in 1/Sample)\n"
        "  --db                  amplitudes in dB (20 log10), never below -200\n"
        "  --keep-mean           do not subtract the mean before the transform\n"
        "  --from X, --to X      analyse only the samples whose X lies in this range\n"
        "                        (sample numbers, or seconds for a recording in Zeit mode)\n"
        "  -h, --help            show this help\n"
        "\n"
        "At least 8 samples are needed. Exit status: 0 success, 1 a file error or too few\n"
        "samples, 2 bad arguments.\n",
        out);
}

struct SpectrumOptions {
    std::string session;
    std::string output;
    SpectrumSettings settings;
    double from = -std::numeric_limits<double>::infinity();
    double to = std::numeric_limits<double>::infinity();
    bool help = false;
};

double parseNumber(const std::string& option, const std::string& text) {
    const std::optional<double> value = ParseCliNumber(text);
    if (!value) {
        throw UsageError{"invalid value '" + text + "' for " + option};
    }
    return *value;
}

SpectrumWindow parseWindow(const std::string& text) {
    if (text == "rect") {
        return SpectrumWindow::Rectangle;
    }
    if (text == "hann") {
        return SpectrumWindow::Hann;
    }
    if (text == "hamming") {
        return SpectrumWindow::Hamming;
    }
    if (text == "blackman") {
        return SpectrumWindow::Blackman;
    }
    throw UsageError{"unknown window '" + text + "' (rect, hann, hamming or blackman)"};
}

SpectrumOptions parseSpectrumArguments(int argc, char** argv) {
    SpectrumOptions o;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&] { return OptionValue(argc, argv, i); };
        if (arg == "-h" || arg == "--help") {
            o.help = true;
            return o;
        } else if (arg == "-o" || arg == "--output") {
            o.output = value();
        } else if (arg == "--window") {
            o.settings.Window = parseWindow(value());
        } else if (arg == "--rate") {
            const double rate = parseNumber(arg, value());
            if (!(rate > 0.0)) {
                throw UsageError{"the rate must be above 0"};
            }
            o.settings.SampleRate = rate;
        } else if (arg == "--db") {
            o.settings.Decibel = true;
        } else if (arg == "--keep-mean") {
            o.settings.SubtractMean = false;
        } else if (arg == "--from") {
            o.from = parseNumber(arg, value());
        } else if (arg == "--to") {
            o.to = parseNumber(arg, value());
        } else {
            TakeSessionArgument(arg, o.session);
        }
    }
    CheckSessionAndOutput(o.session, o.output);
    if (o.from > o.to) {
        throw UsageError{"--from lies above --to"};
    }
    return o;
}

} // namespace

int runSpectrum(int argc, char** argv) {
    SpectrumOptions options;
    try {
        options = parseSpectrumArguments(argc, argv);
    } catch (const UsageError& error) {
        std::fprintf(stderr, "plotmira-cli spectrum: %s\n", error.text.c_str());
        return 2;
    }
    if (options.help) {
        printSpectrumUsage(stdout);
        return 0;
    }
    try {
        SpectrumInput input;
        {
            const RecordBuffer records = ReadSessionFile(options.session);
            input = SamplesInRange(std::span<const ChartItem>(records.data(), records.size()),
                                   options.from, options.to);
        }
        if (input.Count() < kMinSpectrumSamples) {
            std::fprintf(stderr, "plotmira-cli spectrum: %s\n",
                         TooFewSamplesText(input.Count()).c_str());
            return 1;
        }
        std::vector<std::span<const double>> channels(input.Channels.begin(), input.Channels.end());
        SpectrumAnalyzer analyzer;
        const Spectrum spectrum =
            analyzer.Compute(std::span<const std::span<const double>>(channels), options.settings);
        WriteSpectrumCsv(spectrum, options.output);
    } catch (const Exception& error) {
        std::fprintf(stderr, "plotmira-cli spectrum: %s\n", error.Message().c_str());
        return 1;
    } catch (const std::bad_alloc&) {
        std::fputs("plotmira-cli spectrum: Zu wenig Arbeitsspeicher\n", stderr);
        return 1;
    }
    return 0;
}
