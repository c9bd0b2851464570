// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The lines plotmira-sim sends: wave values, their text, and the shape the faults give them.

#include "tools/sim/simoptions.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

class LineGenerator {
public:
    explicit LineGenerator(const SimOptions& options);

    // Value of channel (0 or 1) for line index i (0-based). Channel 2 runs a quarter period late
    // at half the amplitude so that the two curves are told apart.
    double value(int channel, std::uint64_t i);
    // A value as the device writes it ("." decimal point, plain or exponent notation).
    std::string format(double value, std::uint64_t i) const;

    // The next line as the writes it goes out in (usually one; two with the split fault, and a
    // garbage line first with the garbage fault). Concatenated they are the bytes sent.
    std::vector<std::string> next();
    // Lines generated so far (garbage lines not counted).
    std::uint64_t lines() const { return m_index; }

private:
    bool faultDue(unsigned fault) const;

    SimOptions m_options;
    std::uint64_t m_index = 0;
    std::mt19937 m_random;
};
