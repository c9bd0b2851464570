// SPDX-License-Identifier: GPL-3.0-or-later
// plotmira-cli record: the window's acquisition without the window. The same pipeline feeds the
// same chart, started as Start does with the window's settings; the input is a serial port or a
// file of raw bytes handed over in blocks as if each had been received at once.
#include "app/cli/clicommands.h"

#include "app/cli/recordsignals.h"
#include "app/cli/rescuesession.h"

#include "app/analysis/filtersetting.h"
#include "app/pipeline/acquisition.h"
#include "app/pipeline/acquisitionhost.h"
#include "app/pipeline/linetimestats.h"
#include "app/pipeline/numbers.h"
#include "app/qtbridge/mainthreadinvoker.h"
#include "base/exception.h"
#include "base/outputfile.h"
#include "base/systemerror.h"
#include "chart/control/plotchart.h"
#include "serial/portnames.h"
#include "serial/serialcomm.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <stdio_ext.h>
#include <string>
#include <string_view>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Signals received when the outputs began: a later one abandons an output that waits.
std::uint32_t g_signalsAtOutput = 0;

bool outputAbandoned() {
    return RecordSignalCount() != g_signalsAtOutput;
}

void printHelp(std::FILE* out) {
    std::fputs(
        "Usage: plotmira-cli record (--port PORT [--baud N] | --input FILE [--block N])\n"
        "                           [SETTINGS] [FILTERS] [--count N] [--seconds S]\n"
        "                           [-o RUN.pmx] [--bmp RUN.bmp]\n"
        "\n"
        "Records samples as the window's Start does and writes the session file.\n"
        "\n"
        "Input:\n"
        "  --port PORT      COM5, 5 or a device path such as /dev/ttyACM0\n"
        "  --baud N         baud rate (default 115200)\n"
        "  --input FILE     raw received bytes, handed over in blocks\n"
        "  --block N        bytes per block from FILE (default 4096)\n"
        "\n"
        "Settings (the window's defaults; numbers take \".\" or \",\"):\n"
        "  --channels 1|2   values per line (default 1)\n"
        "  --factor1 F --offset1 O --factor2 F --offset2 O   scaling (1 and 0)\n"
        "  --ymin1 Y --ymax1 Y --ymin2 Y --ymax2 Y           Y ranges (0 and 10)\n"
        "  --xmax X         X maximum (1000; 2000 with --trend; 10 seconds with --time)\n"
        "  --trend          trend (scrolling) mode\n"
        "  --time           X-Achse \"Zeit\": X is the seconds since Start, not the sample number\n"
        "  --dyngraph on|off  repaint pacing (default on)\n"
        "\n"
        "Filters (the scaled values, before they are drawn; the window's \"Digitales Filter\"):\n"
        "  --filter1 FILTER --filter2 FILTER   per channel: none, mean:N (N = 2..10000),\n"
        "                   lowpass:ORDER:FC, highpass:ORDER:FC, bandpass:ORDER:FLO:FHI,\n"
        "                   bandstop:ORDER:FLO:FHI (Butterworth, ORDER = 1..8)\n"
        "  --rate HZ        the sample rate: frequencies in Hz (without it, fractions of the\n"
        "                   sample rate, below 0.5)\n"
        "\n"
        "End:\n"
        "  --count N        after N samples\n"
        "  --seconds S      after S seconds\n"
        "  (also at the end of the input, on Ctrl-C, SIGTERM or SIGHUP and at the program's\n"
        "  own stop conditions)\n"
        "\n"
        "Output:\n"
        "  -o, --output RUN.pmx   session file\n"
        "  --bmp RUN.bmp          the chart as a monochrome bitmap\n"
        "  --quiet                print only the summary, not the status texts\n"
        "\n"
        "Prints the status bar texts as they change and a summary at the end. Messages the\n"
        "window shows in a box go to standard error. Exit status: 0 normal end, 1 stopped by\n"
        "the program (overflow, memory maximum, device unplugged, an error), 2 bad arguments.\n"
        "A signal while the outputs are written (a reader that stopped reading) abandons them.\n"
        "When the session cannot be written, the recording goes to a new session file in\n"
        "$TMPDIR (else /tmp), named with the error.\n",
        out);
}

struct Options {
    std::string port;
    std::uint32_t baud = 115200;
    std::string input;
    std::size_t block = 4096;
    AcquisitionSettings settings;
    bool xmaxGiven = false;
    std::string filter1;
    std::string filter2;
    std::optional<double> rate;
    std::optional<std::int64_t> count;
    std::optional<double> seconds;
    std::string output;
    std::string bmp;
    bool quiet = false;
};

struct BadArgument {
    std::string text;
};

std::int64_t parseInteger(const std::string& option, const std::string& text, std::int64_t min,
                          std::int64_t max) {
    std::int64_t value = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || ptr != last || value < min || value > max) {
        throw BadArgument{option + ": '" + text + "' is not a whole number from " +
                          std::to_string(min) + " to " + std::to_string(max)};
    }
    return value;
}

float parseSingle(const std::string& option, const std::string& text) {
    try {
        return numbers::FieldToSingle(text);
    } catch (const Exception& e) {
        throw BadArgument{option + ": " + e.Message()};
    }
}

Options parseOptions(int argc, char** argv, bool& help) {
    Options o;
    help = false;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                throw BadArgument{arg + " needs a value"};
            }
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            help = true;
            return o;
        } else if (arg == "--port") {
            o.port = value();
        } else if (arg == "--baud") {
            o.baud = static_cast<std::uint32_t>(parseInteger(arg, value(), 1, 100000000));
        } else if (arg == "--input") {
            o.input = value();
        } else if (arg == "--block") {
            o.block = static_cast<std::size_t>(parseInteger(arg, value(), 1, 1 << 30));
        } else if (arg == "--channels") {
            o.settings.ChannelCount = static_cast<int>(parseInteger(arg, value(), 1, 2));
        } else if (arg == "--factor1") {
            o.settings.Factor1 = parseSingle(arg, value());
        } else if (arg == "--offset1") {
            o.settings.Offset1 = parseSingle(arg, value());
        } else if (arg == "--factor2") {
            o.settings.Factor2 = parseSingle(arg, value());
        } else if (arg == "--offset2") {
            o.settings.Offset2 = parseSingle(arg, value());
        } else if (arg == "--ymin1") {
            o.settings.Y1Min = parseSingle(arg, value());
        } else if (arg == "--ymax1") {
            o.settings.Y1Max = parseSingle(arg, value());
        } else if (arg == "--ymin2") {
            o.settings.Y2Min = parseSingle(arg, value());
        } else if (arg == "--ymax2") {
            o.settings.Y2Max = parseSingle(arg, value());
        } else if (arg == "--xmax") {
            o.settings.XMax = parseSingle(arg, value());
            o.xmaxGiven = true;
        } else if (arg == "--trend") {
            o.settings.TrendMode = true;
        } else if (arg == "--time") {
            o.settings.TimeAxis = true;
        } else if (arg == "--dyngraph") {
            const std::string v = value();
            if (v != "on" && v != "off") {
                throw BadArgument{"--dyngraph takes on or off"};
            }
            o.settings.DynGraph = v == "on";
        } else if (arg == "--filter1") {
            o.filter1 = value();
        } else if (arg == "--filter2") {
            o.filter2 = value();
        } else if (arg == "--rate") {
            const std::string v = value();
            double hz = 0;
            try {
                hz = numbers::StrToFloat(v);
            } catch (const Exception&) {
                hz = -1;
            }
            if (!(hz > 0)) {
                throw BadArgument{"--rate: '" + v + "' is not a positive number"};
            }
            o.rate = hz;
        } else if (arg == "--count") {
            o.count = parseInteger(arg, value(), 1, INT64_MAX);
        } else if (arg == "--seconds") {
            const std::string v = value();
            double s = 0;
            try {
                s = numbers::StrToFloat(v);
            } catch (const Exception&) {
                s = -1;
            }
            if (!(s > 0)) {
                throw BadArgument{"--seconds: '" + v + "' is not a positive number"};
            }
            o.seconds = s;
        } else if (arg == "-o" || arg == "--output") {
            o.output = value();
        } else if (arg == "--bmp") {
            o.bmp = value();
        } else if (arg == "--quiet") {
            o.quiet = true;
        } else {
            throw BadArgument{"unknown option '" + arg + "'"};
        }
    }
    if (o.port.empty() == o.input.empty()) {
        throw BadArgument{"give either --port or --input"};
    }
    // After every option: --rate may follow the filters it gives the unit of.
    for (auto [option, text, setting] :
         {std::tuple{"--filter1", &o.filter1, &o.settings.Filter1},
          std::tuple{"--filter2", &o.filter2, &o.settings.Filter2}}) {
        if (text->empty()) {
            continue;
        }
        try {
            *setting = ParseFilterSetting(*text, o.rate);
        } catch (const Exception& e) {
            throw BadArgument{std::string(option) + ": " + e.Message()};
        }
    }
    if (!o.xmaxGiven && (o.settings.TrendMode || o.settings.TimeAxis)) {
        o.settings.XMax = o.settings.TimeAxis ? 10.0f : 2000.0f;
    }
    return o;
}

// The standard exception display's text: a full stop is added after a letter or digit.
std::string shownText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') {
        return message + ".";
    }
    return message;
}

// Line breaks of the window's texts (CR LF or a lone CR, as in the open error) as a terminal
// needs them: a bare CR would return to the start of the line and overwrite the text before it.
std::string terminalText(std::string text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            out += text[i];
        } else if (i + 1 >= text.size() || text[i + 1] != '\n') {
            out += '\n';
        }
    }
    return out;
}

// The window's side of the pipeline, on a terminal or a pipe.
class RecordHost : public AcquisitionHost {
public:
    RecordHost(TSerialComm* comm, std::optional<std::int64_t> count, bool quiet)
        : m_comm(comm), m_count(count), m_terminal(isatty(STDOUT_FILENO) != 0), m_quiet(quiet) {}

    Acquisition* Acq = nullptr;
    bool ProgramStopped = false; // a stop condition of the program ended the run
    bool Stopped = false;        // the Stop action has run
    LineTimeStats LineTimes;     // bounded: a trend run may go on for days
    std::uint64_t Blocks = 0;
    std::uint32_t LargestBlock = 0;

    void SetLabel10(const std::string&) override {}
    void SetLabel10Number(const NumberText&) override {}
    void SetStatusPanel(int index, const std::string& text) override {
        m_numberDue[index] = false;
        if (m_panels[index] != text) {
            m_panels[index] = text;
            m_dirty = true;
        }
        panelSet(index);
    }
    // Formatting the count and the time is most of a line's remaining work at high rates, and
    // --quiet or a terminal shows few of them: the text is made only when it is printed.
    void SetStatusPanelNumber(int index, const NumberText& text) override {
        m_numbers[index] = text;
        m_numberDue[index] = true;
        panelSet(index);
    }
    bool PortActive() const override { return m_comm != nullptr ? m_comm->Active() : m_active; }
    void SetPortActive(bool active) override {
        if (m_comm != nullptr) {
            m_comm->SetActive(active);
        }
        m_active = active;
    }
    void StopButtonClick() override {
        Stopped = true;
        if (Acq != nullptr) {
            Acq->Stop();
        }
    }
    void EnableMainMenu() override {}
    void ProcessMessages() override { QCoreApplication::processEvents(); }
    void ShowMessage(const std::string& text) override {
        ProgramStopped = true;
        endLine();
        std::fprintf(stderr, "%s\n", terminalText(text).c_str());
    }
    void ShowException(const std::string& message) {
        ProgramStopped = true;
        endLine();
        std::fprintf(stderr, "%s\n", terminalText(shownText(message)).c_str());
    }
    // The line's texts are complete when its processing time is set.
    void panelSet(int index) {
        if (index == 2 && Acq != nullptr) {
            LineTimes.Add(Acq->ProcessTimeMs);
        }
        if (index == 2) {
            printPanels(false);
        }
        if (index == 0 && m_count && Acq != nullptr && Acq->SampleCount >= *m_count) {
            SetPortActive(false); // the framing leaves the block after this line
        }
    }
    void NoteBlock(std::uint32_t size) {
        ++Blocks;
        LargestBlock = std::max(LargestBlock, size);
    }

    // Writes the panels when they changed: every change on a pipe, at most ten a second on a
    // terminal (there one line is rewritten in place).
    void printPanels(bool force) {
        if (m_quiet || !(m_dirty || m_numberDue[0] || m_numberDue[1] || m_numberDue[2]) ||
            outputWouldWait()) {
            return;
        }
        const Clock::time_point now = Clock::now();
        if (m_terminal && !force && now - m_lastPrint < std::chrono::milliseconds(100)) {
            return;
        }
        for (int i = 0; i < 3; ++i) {
            if (m_numberDue[i]) {
                m_numberDue[i] = false;
                std::string text = m_numbers[i].Make();
                if (m_panels[i] != text) {
                    m_panels[i] = std::move(text);
                    m_dirty = true;
                }
            }
        }
        if (!m_dirty) {
            return;
        }
        m_lastPrint = now;
        m_dirty = false;
        if (m_terminal) {
            std::printf("\r%-12s | %-20s | %-24s", m_panels[0].c_str(), m_panels[1].c_str(),
                        m_panels[2].c_str());
            std::fflush(stdout);
            m_lineOpen = true;
        } else {
            std::printf("%s | %s | %s\n", m_panels[0].c_str(), m_panels[1].c_str(),
                        m_panels[2].c_str());
        }
    }
    void endLine() {
        printPanels(true);
        if (m_lineOpen && !outputWouldWait()) {
            std::printf("\n");
            m_lineOpen = false;
        }
    }

    // After a signal, standard output may be a pipe whose reader stopped reading: a line that
    // would wait there is dropped (and counted) so that the run can end.
    bool outputWouldWait() {
        if (RecordSignalCount() == 0 || WritableNow(STDOUT_FILENO)) {
            return false;
        }
        if (DroppedLines++ == 0) {
            __fpurge(stdout); // what an interrupted write left behind would wait too
        }
        return true;
    }
    std::uint64_t DroppedLines = 0;

private:
    TSerialComm* m_comm;
    std::optional<std::int64_t> m_count;
    bool m_terminal;
    bool m_quiet;
    bool m_active = true;
    bool m_dirty = false;
    bool m_lineOpen = false;
    std::string m_panels[3];
    NumberText m_numbers[3];
    bool m_numberDue[3] = {false, false, false};
    Clock::time_point m_lastPrint{};
};

// The chart as the window holds it: the form's settings, the window's chart size, the margin and
// second Y scale of the channel count, the X axis of "Zeit".
void prepareChart(TPlotChart& chart, int channels, bool timeAxis) {
    chart.ApplyFormChartSettings();
    chart.SetHeadless(true);
    // Nobody sees its repaints: the picture is drawn when the bitmap is written.
    chart.SetDrawOnDemand(true);
    chart.resize(585, 361);
    chart.SetLayerRange(1, 0, 0, 1000, 10);
    chart.SetLayerRange(2, 0, 0, 1000, 10);
    chart.SetLayerMouseControl(1, true);
    chart.SetLayerMouseControl(2, true);
    if (channels == 2) {
        chart.SetMarginLeft(160);
        chart.Scale2Y().SetVisible(true);
    }
    if (timeAxis) {
        chart.Scale1X().SetCaption("Zeit [s]");
        chart.Scale1X().SetDecPlaces(-2);
    }
}

bool pastDeadline(const std::optional<Clock::time_point>& deadline) {
    return RecordSignalCount() != 0 || (deadline && Clock::now() >= *deadline);
}

void recordFile(const Options& o, Acquisition& acq, RecordHost& host,
                const std::optional<Clock::time_point>& deadline) {
    std::ifstream in(o.input, std::ios::binary);
    if (!in) {
        raiseOpenError(o.input, errno);
    }
    std::vector<char> block(o.block);
    while (host.PortActive() && !pastDeadline(deadline)) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        const auto got = static_cast<std::uint32_t>(in.gcount());
        if (got == 0) {
            break;
        }
        host.NoteBlock(got);
        acq.SerialComm1AfterReceive(block.data(), got);
    }
}

void recordPort(const Options& o, TSerialComm& comm, Acquisition& acq, RecordHost& host,
                const std::optional<Clock::time_point>& deadline) {
    if (!o.port.empty() && o.port.front() == '/') {
        comm.SetDeviceName(o.port);
    } else {
        std::string number = o.port;
        if (number.size() > 3 &&
            (number.compare(0, 3, "COM") == 0 || number.compare(0, 3, "com") == 0)) {
            number.erase(0, 3);
        }
        comm.SetComPortNo(
            static_cast<std::uint16_t>(parseInteger("--port", EscapedPortName(number), 0, 65535)));
    }
    comm.SetBaudRate(o.baud);
    QCoreApplication::processEvents();
    comm.SetActive(true);
    // Wakes the event loop so that the deadline is seen without traffic.
    QTimer tick;
    tick.start(50);
    while (comm.Active() && !pastDeadline(deadline)) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    if (comm.CloseReason() == crDeviceLost && !host.Stopped) {
        acq.ConnectionLost();
    }
    host.SetPortActive(false);
}

} // namespace

int runRecord(int argc, char** argv) {
    Options o;
    try {
        bool help = false;
        o = parseOptions(argc, argv, help);
        if (help) {
            printHelp(stdout);
            return 0;
        }
    } catch (const BadArgument& e) {
        std::fprintf(stderr, "plotmira-cli record: %s\n", e.text.c_str());
        return 2;
    }

    if (!o.quiet) {
        std::setvbuf(stdout, nullptr, _IOLBF, 0); // status lines reach a pipe as they change
    }
    TPlotChart chart;
    prepareChart(chart, o.settings.ChannelCount, o.settings.TimeAxis);
    std::unique_ptr<TSerialComm> comm;
    MainThreadInvoker invoker;
    if (!o.port.empty()) {
        comm = std::make_unique<TSerialComm>();
        // The window's line: no flow control (the component's own default is hardware
        // handshake, which would stall a device that does not drive CTS).
        comm->SetStreamProtocol(spNone);
        comm->SetBufferInSize(32768);
        comm->SetBufferOutSize(1024);
        comm->SetMainThreadInvoker(invoker.Invoker());
    }
    RecordHost host(comm.get(), o.count, o.quiet);
    Acquisition acq(chart, host);
    host.Acq = &acq;
    acq.DecimalSeparator = numbers::DecimalSeparator();

    if (comm) {
        comm->OnAfterReceive = [&](TCommBaseIO*, const char* buffer, std::uint32_t received) {
            host.NoteBlock(received);
            acq.SerialComm1AfterReceive(buffer, received);
        };
        comm->OnCommError = [&](TCommBaseIO*, std::uint32_t CommCode, std::uint32_t, TComStateFlags,
                                bool&) { acq.SerialComm1CommError(CommCode); };
        comm->OnFatalError = [&](TCommBaseIO*, std::uint32_t, std::uint32_t, const std::string&,
                                 bool&) {
            QCoreApplication::processEvents();
            host.StopButtonClick();
        };
        comm->SetShowException([&](const Exception& e) { host.ShowException(e.Message()); });
    }

    InstallRecordSignals();
    std::optional<Clock::time_point> deadline;
    if (o.seconds) {
        deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>(*o.seconds));
    }
    try {
        acq.Start(o.settings);
        if (comm) {
            recordPort(o, *comm, acq, host, deadline);
        } else {
            recordFile(o, acq, host, deadline);
        }
    } catch (const BadArgument& e) {
        std::fprintf(stderr, "plotmira-cli record: %s\n", e.text.c_str());
        return 2;
    } catch (const std::exception& e) {
        // What the serial component's guard and the window's exception display would do.
        host.SetPortActive(false);
        host.ShowException(ExceptionMessage(e));
        host.StopButtonClick();
    }
    if (!host.Stopped) {
        host.StopButtonClick(); // as the user's Stop at the end of a run
    }
    host.endLine();

    int status = host.ProgramStopped ? 1 : 0;
    // A run that failed before its first sample (no port, unreadable input) recorded nothing:
    // writing would only replace an earlier recording of the same name with an empty one.
    const bool nothingRecorded = host.ProgramStopped && acq.SampleCount == 0;
    // After a signal, standard error may wait like standard output: such a text is dropped.
    const auto printError = [](const std::string& text) {
        if (RecordSignalCount() == 0 || WritableNow(STDERR_FILENO)) {
            std::fprintf(stderr, "%s\n", terminalText(text).c_str());
        }
    };
    g_signalsAtOutput = RecordSignalCount();
    OutputFile::SetAbandonCheck(&outputAbandoned);
    bool outputFailed = false;
    // Each output on its own: a session file that cannot be written must not cost the bitmap.
    const auto writeOutput = [&](const std::string& name, const std::function<void()>& write) {
        if (nothingRecorded || name.empty()) {
            return false;
        }
        if (outputAbandoned()) {
            printError("Datei \"" + fullFileName(name) +
                       "\" nicht geschrieben: durch Signal abgebrochen");
            outputFailed = true;
            return false;
        }
        try {
            write();
            return true;
        } catch (const std::exception& e) {
            printError(outputAbandoned() ? "Datei \"" + fullFileName(name) +
                                               "\" nicht vollständig geschrieben: durch Signal "
                                               "abgebrochen"
                                         : shownText(ExceptionMessage(e)));
            outputFailed = true;
            return false;
        }
    };
    const bool sessionWritten = writeOutput(o.output, [&] { chart.SaveItemsToFile(o.output); });
    writeOutput(o.bmp, [&] { chart.ExportBitmap(o.bmp, true); });
    OutputFile::SetAbandonCheck(nullptr);
    if (outputFailed) {
        status = 1;
        // The recording must outlive a target that failed: it goes to the temporary folder.
        if (!sessionWritten) {
            try {
                printError("Aufzeichnung gesichert in \"" +
                           WriteRescueSession(chart, o.output.empty() ? o.bmp : o.output) + "\"");
            } catch (const std::exception& e) {
                printError(shownText(ExceptionMessage(e)));
            }
        }
    }
    if (RecordSignalCount() == 0 || WritableNow(STDOUT_FILENO)) {
        std::printf("samples %lld, blocks %llu, largest block %u bytes, line time median %.3f ms, "
                    "99th percentile %.3f ms\n",
                    static_cast<long long>(acq.SampleCount),
                    static_cast<unsigned long long>(host.Blocks), host.LargestBlock,
                    host.LineTimes.Percentile(0.5), host.LineTimes.Percentile(0.99));
    } else {
        ++host.DroppedLines;
    }
    if (host.DroppedLines > 0) {
        status = 1;
        printError("Standardausgabe blockiert: " + std::to_string(host.DroppedLines) +
                   " Zeilen nicht geschrieben");
    }
    return status;
}
