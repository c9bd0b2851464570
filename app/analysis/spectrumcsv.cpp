// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/analysis/spectrumcsv.h"

#include "base/outputfile.h"
#include "base/systemerror.h"

#include <charconv>

namespace {

void appendNumber(std::string& out, double value) {
    char buffer[32];
    const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, r.ptr);
}

} // namespace

std::string SpectrumToCsv(const Spectrum& spectrum) {
    std::string out = "frequency";
    for (std::size_t c = 0; c < spectrum.Channels.size(); ++c) {
        out += ",channel" + std::to_string(c + 1);
    }
    out += '\n';
    out.reserve(out.size() + spectrum.Frequencies.size() * 24 * (1 + spectrum.Channels.size()));
    for (std::size_t k = 0; k < spectrum.Frequencies.size(); ++k) {
        appendNumber(out, spectrum.Frequencies[k]);
        for (const std::vector<double>& channel : spectrum.Channels) {
            out += ',';
            appendNumber(out, channel[k]);
        }
        out += '\n';
    }
    return out;
}

void WriteSpectrumCsv(const Spectrum& spectrum, const std::string& fileName) {
    const std::string text = SpectrumToCsv(spectrum);
    OutputFile file(fileName);
    if (const int err = file.write(text.data(), text.size())) {
        raiseInOutError(err);
    }
    if (const int err = file.commit()) {
        raiseInOutError(err);
    }
}
