// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sim/linegenerator.h"

#include <cmath>
#include <cstdio>
#include <numbers>

LineGenerator::LineGenerator(const SimOptions& options)
    : m_options(options), m_random(options.seed) {}

double LineGenerator::value(int channel, std::uint64_t i) {
    const double amplitude = channel == 0 ? m_options.amplitude : m_options.amplitude / 2;
    const double phase = static_cast<double>(i) / m_options.period - (channel == 0 ? 0.0 : 0.25);
    const double frac = phase - std::floor(phase);
    double unit = 0; // -1 .. 1
    switch (m_options.wave) {
    case SimWave::Sine:
        unit = std::sin(2 * std::numbers::pi * frac);
        break;
    case SimWave::Ramp:
        unit = 2 * frac - 1;
        break;
    case SimWave::Noise:
        unit = std::uniform_real_distribution<double>(-1.0, 1.0)(m_random);
        break;
    case SimWave::Steps:
        unit = std::floor(frac * 4) / 1.5 - 1;
        break;
    }
    return m_options.offset + amplitude * unit;
}

std::string LineGenerator::format(double value, std::uint64_t i) const {
    const bool exponent = m_options.notation == SimNotation::Exponent ||
                          (m_options.notation == SimNotation::Mixed && i % 2 == 1);
    char text[64];
    // The program does not call setlocale, so "%f" writes "." whatever the user's locale.
    std::snprintf(text, sizeof text, exponent ? "%.*e" : "%.*f", m_options.decimals, value);
    return text;
}

bool LineGenerator::faultDue(unsigned fault) const {
    return (m_options.faults & fault) && (m_index + 1) % m_options.faultEvery == 0;
}

std::vector<std::string> LineGenerator::next() {
    std::vector<std::string> writes;
    if (faultDue(kFaultGarbage)) {
        std::string garbage(1 + m_random() % 24, '\0');
        for (auto& c : garbage) {
            c = static_cast<char>(m_random() & 0xff);
        }
        garbage[0] = '\0'; // a NUL byte in every garbage line
        writes.push_back(garbage + "\r\n");
    }
    std::string line;
    for (int ch = 0; ch < m_options.channels; ++ch) {
        if (ch > 0) {
            line += ';';
        }
        line += faultDue(kFaultOverRange) && ch == 0 ? std::string("1e39")
                                                     : format(value(ch, m_index), m_index);
    }
    if (faultDue(kFaultNoTerminator)) {
        // nothing: the line runs into the next one
    } else if (faultDue(kFaultLoneCr)) {
        line += '\r';
    } else {
        line += "\r\n";
    }
    if ((m_options.faults & kFaultSplit) && line.size() >= 2) {
        // Successive lines split at successive positions, so every position occurs.
        const std::size_t at = 1 + m_index % (line.size() - 1);
        writes.push_back(line.substr(0, at));
        writes.push_back(line.substr(at));
    } else {
        writes.push_back(std::move(line));
    }
    ++m_index;
    return writes;
}
