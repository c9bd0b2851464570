// SPDX-License-Identifier: GPL-3.0-or-later
// plotmira-cli render: draws a session file as the window's chart shows it when first shown and
// writes the picture as the window's bitmap export does.
#include "app/cli/clicommands.h"

#include "app/cli/clinumber.h"
#include "base/exception.h"
#include "chart/control/plotchart.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kDesignWidth = 585;
constexpr int kDesignHeight = 361;
constexpr int kOneChannelMargin = 80;
constexpr int kTwoChannelMargin = 160;

void printRenderUsage(std::FILE* out) {
    std::fputs(
        "Usage: plotmira-cli render SESSION.pmx -o OUT.bmp [OPTIONS]\n"
        "\n"
        "Draws the session file as the window's chart shows it when first shown and writes\n"
        "it black on white as the window's bitmap export does (the output name is cut at its\n"
        "first \".\" and ends in \".bmp\").\n"
        "\n"
        "Options:\n"
        "  -o, --output FILE     bitmap file to write (required)\n"
        "  --size WxH            chart size in pixels (default 585x361)\n"
        "  --range L:XLOW,YLOW,XHIGH,YHIGH\n"
        "                        axis ranges of layer L (1..16, 0 = all); repeatable\n"
        "                        (default 1:0,0,1000,10 and 2:0,0,1000,10)\n"
        "  --grid on|off         grid lines (default on)\n"
        "  --channels 1|2        one or two channels: margin and second Y axis (default 1)\n"
        "  --color               keep the chart's colours instead of black on white\n"
        "  --caption TEXT        chart title (the project name)\n"
        "  -h, --help            show this help\n",
        out);
}

struct RangeRequest {
    int layer = 0;
    double xLow = 0, yLow = 0, xHigh = 0, yHigh = 0;
};

struct Options {
    std::string session;
    std::string output;
    int width = kDesignWidth;
    int height = kDesignHeight;
    std::vector<RangeRequest> ranges;
    bool grid = true;
    int channels = 1;
    bool color = false;
    std::optional<std::string> caption;
};

class UsageError {
public:
    explicit UsageError(std::string text) : m_text(std::move(text)) {}
    const std::string& text() const { return m_text; }

private:
    std::string m_text;
};

long parseInt(const std::string& text, long low, long high, const char* what) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value < low || value > high) {
        throw UsageError(std::string("invalid ") + what + " '" + text + "'");
    }
    return value;
}

double parseDouble(const std::string& text, const std::string& whole) {
    const std::optional<double> value = ParseCliNumber(text);
    if (!value) {
        throw UsageError("invalid range '" + whole + "'");
    }
    return *value;
}

RangeRequest parseRange(const std::string& text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) {
        throw UsageError("invalid range '" + text + "' (expected L:XLOW,YLOW,XHIGH,YHIGH)");
    }
    RangeRequest r;
    r.layer = static_cast<int>(parseInt(text.substr(0, colon), 0, 16, "range layer"));
    std::vector<double> values;
    std::size_t start = colon + 1;
    while (true) {
        const std::size_t comma = text.find(',', start);
        values.push_back(parseDouble(text.substr(start, comma - start), text));
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    if (values.size() != 4) {
        throw UsageError("invalid range '" + text + "' (expected L:XLOW,YLOW,XHIGH,YHIGH)");
    }
    r.xLow = values[0];
    r.yLow = values[1];
    r.xHigh = values[2];
    r.yHigh = values[3];
    return r;
}

// Returns nullopt after --help.
std::optional<Options> parseArguments(int argc, char** argv) {
    Options o;
    auto value = [&](int& i, const std::string& name) -> std::string {
        if (i + 1 >= argc) {
            throw UsageError("option " + name + " needs a value");
        }
        return argv[++i];
    };
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            return std::nullopt;
        } else if (arg == "-o" || arg == "--output") {
            o.output = value(i, arg);
        } else if (arg == "--size") {
            const std::string size = value(i, arg);
            const std::size_t x = size.find('x');
            if (x == std::string::npos) {
                throw UsageError("invalid size '" + size + "' (expected WxH)");
            }
            o.width = static_cast<int>(parseInt(size.substr(0, x), 1, 16384, "width"));
            o.height = static_cast<int>(parseInt(size.substr(x + 1), 1, 16384, "height"));
        } else if (arg == "--range") {
            o.ranges.push_back(parseRange(value(i, arg)));
        } else if (arg == "--grid") {
            const std::string grid = value(i, arg);
            if (grid != "on" && grid != "off") {
                throw UsageError("invalid grid '" + grid + "' (expected on or off)");
            }
            o.grid = grid == "on";
        } else if (arg == "--channels") {
            o.channels = static_cast<int>(parseInt(value(i, arg), 1, 2, "channel count"));
        } else if (arg == "--color") {
            o.color = true;
        } else if (arg == "--caption") {
            o.caption = value(i, arg);
        } else if (!arg.empty() && arg[0] == '-') {
            throw UsageError("unknown option '" + arg + "'");
        } else if (o.session.empty()) {
            o.session = arg;
        } else {
            throw UsageError("unexpected argument '" + arg + "'");
        }
    }
    if (o.session.empty()) {
        throw UsageError("missing session file");
    }
    if (o.output.empty()) {
        throw UsageError("missing output file (-o OUT.bmp)");
    }
    return o;
}

void render(const Options& o) {
    TPlotChart chart;
    chart.ApplyFormChartSettings();
    chart.resize(o.width, o.height);
    // What the window does when it is first shown.
    chart.SetLayerRange(1, 0, 0, 1000, 10);
    chart.SetLayerRange(2, 0, 0, 1000, 10);
    chart.SetGridStyle(o.grid ? gsLines : gsNone);
    if (o.channels == 2) {
        chart.SetMarginLeft(kTwoChannelMargin);
        chart.Scale2Y().SetVisible(true);
    } else {
        chart.SetMarginLeft(kOneChannelMargin);
    }
    if (o.caption) {
        chart.SetCaption(*o.caption);
    }
    for (const RangeRequest& r : o.ranges) {
        chart.SetLayerRange(r.layer, r.xLow, r.yLow, r.xHigh, r.yHigh);
    }
    chart.LoadItemsFromFile(o.session, false);
    chart.ExportBitmap(o.output, !o.color);
}

} // namespace

int runRender(int argc, char** argv) {
    std::optional<Options> options;
    try {
        options = parseArguments(argc, argv);
    } catch (const UsageError& error) {
        std::fprintf(stderr, "plotmira-cli render: %s\n", error.text().c_str());
        return 2;
    }
    if (!options) {
        printRenderUsage(stdout);
        return 0;
    }
    try {
        render(*options);
    } catch (const Exception& error) {
        std::fprintf(stderr, "plotmira-cli render: %s\n", error.Message().c_str());
        return 1;
    } catch (const std::bad_alloc&) {
        std::fputs("plotmira-cli render: Zu wenig Arbeitsspeicher\n", stderr);
        return 1;
    }
    return 0;
}
