// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sim/simoptions.h"

#include <charconv>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace {

double toDouble(const std::string& option, const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0') {
        throw std::invalid_argument(option + ": not a number: '" + text + "'");
    }
    return value;
}

long long toInteger(const std::string& option, const std::string& text, long long min,
                    long long max) {
    long long value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size() || value < min ||
        value > max) {
        throw std::invalid_argument(option + ": expected a whole number from " +
                                    std::to_string(min) + " to " + std::to_string(max) + ", got '" +
                                    text + "'");
    }
    return value;
}

unsigned parseFaults(const std::string& list) {
    unsigned faults = 0;
    std::stringstream in(list);
    std::string name;
    while (std::getline(in, name, ',')) {
        if (name == "split") {
            faults |= kFaultSplit;
        } else if (name == "lone-cr") {
            faults |= kFaultLoneCr;
        } else if (name == "no-terminator") {
            faults |= kFaultNoTerminator;
        } else if (name == "garbage") {
            faults |= kFaultGarbage;
        } else if (name == "burst") {
            faults |= kFaultBurst;
        } else if (name == "overrange") {
            faults |= kFaultOverRange;
        } else if (name == "hangup") {
            faults |= kFaultHangUp;
        } else if (name != "none") {
            throw std::invalid_argument("--fault: unknown fault '" + name + "'");
        }
    }
    return faults;
}

} // namespace

SimOptions ParseSimOptions(const std::vector<std::string>& args) {
    SimOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) {
                throw std::invalid_argument(a + ": missing value");
            }
            return args[++i];
        };
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else if (a == "--quiet" || a == "-q") {
            o.quiet = true;
        } else if (a == "--wait-reader") {
            o.waitReader = true;
        } else if (a == "--while-open") {
            o.whileOpen = true;
        } else if (a == "--com") {
            o.com = static_cast<unsigned>(toInteger(a, value(), 1, 255));
        } else if (a == "--ports") {
            o.portsDir = value();
        } else if (a == "--channels") {
            o.channels = static_cast<int>(toInteger(a, value(), 1, 2));
        } else if (a == "--rate") {
            const std::string& v = value();
            o.rate = v == "max" ? 0.0 : toDouble(a, v);
            if (o.rate < 0) {
                throw std::invalid_argument("--rate: must not be negative");
            }
        } else if (a == "--wave") {
            const std::string& v = value();
            if (v == "sine") {
                o.wave = SimWave::Sine;
            } else if (v == "ramp") {
                o.wave = SimWave::Ramp;
            } else if (v == "noise") {
                o.wave = SimWave::Noise;
            } else if (v == "steps") {
                o.wave = SimWave::Steps;
            } else {
                throw std::invalid_argument("--wave: unknown wave form '" + v + "'");
            }
        } else if (a == "--period") {
            o.period = static_cast<unsigned>(toInteger(a, value(), 1, 100000000));
        } else if (a == "--amplitude") {
            o.amplitude = toDouble(a, value());
        } else if (a == "--offset") {
            o.offset = toDouble(a, value());
        } else if (a == "--decimals") {
            o.decimals = static_cast<int>(toInteger(a, value(), 0, 12));
        } else if (a == "--notation") {
            const std::string& v = value();
            if (v == "plain") {
                o.notation = SimNotation::Plain;
            } else if (v == "exp") {
                o.notation = SimNotation::Exponent;
            } else if (v == "mixed") {
                o.notation = SimNotation::Mixed;
            } else {
                throw std::invalid_argument("--notation: unknown notation '" + v + "'");
            }
        } else if (a == "--fault") {
            o.faults |= parseFaults(value());
        } else if (a == "--fault-every") {
            o.faultEvery = static_cast<unsigned>(toInteger(a, value(), 1, 1000000000));
        } else if (a == "--burst") {
            o.burst = static_cast<unsigned>(toInteger(a, value(), 1, 1000000));
        } else if (a == "--count") {
            o.count = toInteger(a, value(), 0, INT64_MAX);
        } else if (a == "--seed") {
            o.seed = static_cast<std::uint32_t>(toInteger(a, value(), 0, UINT32_MAX));
        } else {
            throw std::invalid_argument("unknown option '" + a + "' (see --help)");
        }
    }
    return o;
}

std::string SimUsage() {
    return R"(Usage: plotmira-sim [options]

A simulated measuring device for Plotmira. It creates a pseudo-terminal, links it as
$PLOTMIRA_PORTS/COM<n> (the folder is created; without the variable a folder under /tmp is used
and printed) and sends text lines in the device format: one value per line ("1.234\r\n") or two
separated by ";" ("1.2;3.4\r\n"). Plotmira, started with the same PLOTMIRA_PORTS, opens it as
port n. Try: cat $PLOTMIRA_PORTS/COM5

Options:
  --com N            port number n of the link COM<n> (1..255, default 5)
  --ports DIR        folder for the link (default: $PLOTMIRA_PORTS)
  --channels 1|2     values per line (default 1)
  --rate R|max       lines per second (default 100); max or 0: as fast as possible
  --wave W           sine, ramp, noise or steps (default sine)
  --period N         lines per wave period (default 200)
  --amplitude A      (default 1)         --offset O   (default 0)
  --decimals D       digits after the point (default 3)
  --notation N       plain ("1.234"), exp ("1.234e+00") or mixed (alternating)
  --count N          send N lines, wait until a reader took them, then exit
                     (default: until SIGTERM or SIGINT)
  --wait-reader      start sending only once a reader has opened the port
  --while-open       like a real port: lines that fall due while no reader has the port open
                     are dropped, so a reader sees them arrive at the rate from its first line
  --fault LIST       comma-separated faults for tests, each on every --fault-every'th line:
                       split          every line in two writes, split at each byte position
                       lone-cr        the line ends in CR alone
                       no-terminator  the line has no terminator
                       garbage        an extra line of random bytes (NUL and 8-bit included)
                       burst          lines in bursts of --burst lines per write
                       overrange      the value 1e39, beyond the single-precision range
                       hangup         after --count lines (default 1000) the device vanishes
                                      at once, unread bytes included (an unplugged adapter)
  --fault-every K    (default 10)        --burst B    lines per burst (default 50)
  --seed S           seed of noise and garbage (default 1)
  --quiet            print nothing but errors
  --help             this text
  --version          print the version and exit

At the end it prints the lines and bytes it wrote and how long writes were held back because
the reader fell behind (the backlog). SIGTERM and SIGINT end it and remove the link.
)";
}
