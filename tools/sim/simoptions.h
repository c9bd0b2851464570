// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Options of plotmira-sim, the simulated measuring device.

#include <cstdint>
#include <string>
#include <vector>

enum class SimWave { Sine, Ramp, Noise, Steps };
enum class SimNotation { Plain, Exponent, Mixed };

// Faults for tests, each applied to every faultEvery-th line (hang-up: at the end).
enum SimFault : unsigned {
    kFaultSplit = 1u << 0,        // every line goes out in two writes, split at each position
    kFaultLoneCr = 1u << 1,       // the line ends in CR alone
    kFaultNoTerminator = 1u << 2, // the line has no terminator and runs into the next
    kFaultGarbage = 1u << 3,      // a line of random bytes (NUL and 8-bit bytes included)
    kFaultBurst = 1u << 4,        // lines go out in bursts of `burst` lines per write
    kFaultOverRange = 1u << 5,    // a value beyond the single-precision range ("1e39")
    kFaultHangUp = 1u << 6,       // after the last line the device vanishes without draining
};

struct SimOptions {
    unsigned com = 5;
    std::string portsDir; // empty: $PLOTMIRA_PORTS, else a folder under /tmp
    int channels = 1;
    double rate = 100.0; // lines per second; 0 = as fast as possible
    SimWave wave = SimWave::Sine;
    unsigned period = 200; // lines per wave period
    double amplitude = 1.0;
    double offset = 0.0;
    int decimals = 3;
    SimNotation notation = SimNotation::Plain;
    unsigned faults = 0;
    unsigned faultEvery = 10;
    unsigned burst = 50;
    std::int64_t count = -1; // lines to send, -1: until killed
    bool waitReader = false;
    bool whileOpen = false; // send only while a reader has the port open
    bool quiet = false;
    bool help = false;
    bool version = false;
    std::uint32_t seed = 1;
};

// Parses the arguments after the program name. Throws std::invalid_argument with a message that
// names the offending option.
SimOptions ParseSimOptions(const std::vector<std::string>& args);

// The --help text.
std::string SimUsage();
