// SPDX-License-Identifier: GPL-3.0-or-later
// Model-based test of the main window: random sequences of user actions and device events drive
// the real TForm1 (message boxes and the exception display recorded, real files in a temporary
// folder, devices on pseudo-terminals), and after every step the window is compared with a model
// of what it must show: the state table, the counters, every chart item, the ranges, the
// messages, the saved files and the picture after Stop.
//
// `ctest` runs a fixed seed. A longer run: PLOTMIRA_MODEL_SEED=<n> PLOTMIRA_MODEL_STEPS=<n>
// (make test-model). A failure prints the seed and the shortest step list that still fails.

#include "form1_testsupport.h"

#include "base/exception.h"
#include "chart/control/plotchart.h"
#include "chart/core/sessionfile.h"

#include "app/window/integerfield.h"
#include <QFileInfo>
#include <QImage>
#include <QLabel>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <deque>
#include <map>
#include <optional>
#include <random>
#include <sstream>

namespace {

// ---- Steps --------------------------------------------------------------------------------------

enum class Act {
    Start,
    Stop,
    Clear,
    Reset,
    Trend,
    Ch1,
    Ch2,
    DoubleTics,
    Grid,
    Normal,
    Zoom,
    DynGraph,
    Zeit,
    Type,      // a: field, b: text
    Save,      // a: file
    Load,      // a: file
    Export,    // a: file
    Data,      // a: lines, b: 0 direct, 1 pty; bit 2: leave a partial line; c: value seed
    Overflow,  // a block above 16000 bytes
    Plug,      // a: COM number
    Unplug,    // a: COM number
    LaterMenu, // "Daten-Export im CSV-Format"
    Drag,      // a mouse drag across the chart; a, b: the distance
    Resize,    // a: width change of the window
    Chatter,   // a device talks while its port is closed: a: COM number, b: lines, c: values
};

struct Step {
    Act act;
    int a = 0;
    int b = 0;
    std::uint32_t c = 0;
};

struct FieldChoice {
    const char* name;
    std::vector<const char*> texts;
};

// The typed fields and the texts the model types into them. "abc" is rejected by the
// conversion; the range texts are chosen so that typed minimum and maximum may cross.
const std::vector<FieldChoice>& fieldChoices() {
    static const std::vector<FieldChoice> choices{
        {"DatSkalEdit", {"1,000000000", "2", "0,5", "1.5", "abc"}},
        {"DatOffsetEdit", {"0,000000000", "-1", "0,25", "10"}},
        {"GraphYmaxEdit", {"10,000000000", "2", "5", "100", "abc"}},
        {"GraphYminEdit", {"0,000000000", "-2", "-10", "1"}},
        {"GraphXmaxEdit", {"1000", "2000", "100", "50", "21", "10", "3000"}},
        {"DatSkal2Edit", {"1,000000000", "2", "0,25"}},
        {"DatOffset2Edit", {"0,000000000", "5", "-0,5"}},
        {"GraphY2maxEdit", {"10,000000000", "2", "40"}},
        {"GraphY2minEdit", {"0,000000000", "-2", "-40", "abc"}},
        {"ComComboBox", {"5", "6", "7", "0", " 6"}},
        {"BaudComboBox", {"115200", "9600", "256000", "14400"}},
        {"ProjektNameEdit", {"", "Lauf"}},
    };
    return choices;
}

const char* actName(Act act) {
    switch (act) {
    case Act::Start:
        return "Start";
    case Act::Stop:
        return "Stop";
    case Act::Clear:
        return "Clear";
    case Act::Reset:
        return "Reset";
    case Act::Trend:
        return "Trend";
    case Act::Ch1:
        return "1 Ch";
    case Act::Ch2:
        return "2 Ch's";
    case Act::DoubleTics:
        return "DoubleTics";
    case Act::Grid:
        return "Show Grid";
    case Act::Normal:
        return "Normal";
    case Act::Zoom:
        return "Zoom";
    case Act::DynGraph:
        return "Dynam.Graph. Ein";
    case Act::Zeit:
        return "Zeit, then Tics";
    case Act::Type:
        return "type";
    case Act::Save:
        return "Sitzung speichern";
    case Act::Load:
        return "Sitzung laden";
    case Act::Export:
        return "Grafik speichern";
    case Act::Data:
        return "device sends";
    case Act::Overflow:
        return "oversized block";
    case Act::Plug:
        return "plug device";
    case Act::Unplug:
        return "unplug device";
    case Act::LaterMenu:
        return "Daten-Export";
    case Act::Drag:
        return "drag on the chart";
    case Act::Resize:
        return "resize the window";
    case Act::Chatter:
        return "device talks to a closed port";
    }
    return "?";
}

std::string describe(const Step& s) {
    std::ostringstream out;
    out << actName(s.act);
    switch (s.act) {
    case Act::Type: {
        const FieldChoice& f = fieldChoices()[static_cast<std::size_t>(s.a)];
        out << ' ' << f.name << " := \"" << f.texts[static_cast<std::size_t>(s.b)] << '"';
        break;
    }
    case Act::Save:
    case Act::Load:
    case Act::Export:
        out << " f" << s.a;
        break;
    case Act::Data:
        out << ' ' << s.a << " lines" << ((s.b & 1) ? " through the pty" : " as blocks")
            << ((s.b & 2) ? " + partial line" : "") << ((s.b & 4) ? " with 1e39 in them" : "")
            << " (values " << s.c << ')';
        break;
    case Act::Drag:
        out << " by (" << s.a << ", " << s.b << ')';
        break;
    case Act::Resize:
        out << " by " << s.a;
        break;
    case Act::Chatter:
        out << " COM" << s.a << ", " << (s.b & 0xFFFF) << ((s.b >> 16) ? " two-channel" : "")
            << " lines (values " << s.c << ')';
        break;
    case Act::Plug:
    case Act::Unplug:
        out << " COM" << s.a;
        break;
    default:
        break;
    }
    return out.str();
}

// ---- The model ----------------------------------------------------------------------------------

struct MItem {
    std::uint8_t Kind = 0;
    int Layer = 1;
    double X = 0, Y = 0, X2 = 0, Y2 = 0;
    TColor Color = 0;
};

struct Range {
    double XLow = 0, XHigh = 1000, YLow = 0, YHigh = 10;
    bool Known = true; // false once a typed range was empty or inverted (the chart widens it)
};

// What the window must show, kept by the rules of the window alone.
struct Model {
    // Controls.
    bool StartEn = true, StopEn = false, ClearEn = true, ResetEn = true, TrendEn = true;
    bool Group1En = true, PageEn = true, ZoomEn = true, NormalEn = true, MenusEn = true;
    bool Busy = false, PortActive = false;
    bool TrendChecked = false, NormalChecked = true, ZoomChecked = false;
    bool DoubleTics = false, Grid = true, DynGraphChecked = true;
    TMouseActMode Mouse = maPan;
    std::map<std::string, std::string> Texts;

    // Acquisition state.
    int Channels = 1;
    std::int64_t MemoryMax = 100000;
    bool TrendMode = false;
    bool DynGraph = true;
    std::int64_t Samples = 0;
    std::uint32_t TrendCount = 0;
    float Factor1 = 1, Factor2 = 0, Offset1 = 0, Offset2 = 0;
    float XMax = 0, Y1Max = 0, Y1Min = 0, Y2Max = 0, Y2Min = 0;
    float Prev1 = 0, Prev2 = 0;
    std::string Partial;   // the partial line the window holds
    std::string Remainder; // the rest of that line, still to come from the device
    std::optional<std::string> Panel0{""};
    int OpenCom = 0;

    std::deque<MItem> Items;
    Range Layer1, Layer2;
    std::map<int, std::vector<MItem>> Files; // saved sessions by file number
    std::vector<std::string> Messages;       // expected message boxes of the step
    std::vector<std::string> Exceptions;     // expected exception texts ("*" any text)
};

float toSingle(double v) {
    return static_cast<float>(v);
}

// Parses all of text as a plain decimal, independent of the process locale.
bool plainNumber(std::string_view text, double& value) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

bool convertField(const std::string& text, float& out) {
    std::string t = text;
    std::replace(t.begin(), t.end(), ',', '.');
    double v = 0;
    if (!plainNumber(t, v)) {
        return false;
    }
    out = toSingle(v);
    return true;
}

// A received number by the line format's rules, for the texts this model sends (sign, digits,
// one point): the value when the whole text is a number, otherwise the digits read before the
// first other character as an unsigned whole number (point ignored); 0 for no digits.
float receivedValue(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    std::string digits;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            digits += c;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    double value = 0;
    if (i == text.size() && !digits.empty() && plainNumber(text, value)) {
        return toSingle(value);
    }
    return digits.empty() || !plainNumber(digits, value) ? 0.0f : toSingle(value);
}

// ---- One run ------------------------------------------------------------------------------------

class ModelRun {
public:
    ModelRun() {
        setenv("PLOTMIRA_PORTS", QFile::encodeName(m_ports.path()).constData(), 1);
        numbers::SetDecimalSeparator(',');
        SetMessageSink([this](const QString& text) { m_messages.push_back(text.toStdString()); });
        SetExceptionSink(
            [this](const QString& text) { m_exceptions.push_back(text.toStdString()); });
        m_form = std::make_unique<TForm1>();
        m_form->SetTerminateHandler([] {});
        m_form->SetFileDialogRunner([this](const FileDialogRequest&) { return m_nextFile; });
        m_form->show();
        QCoreApplication::processEvents();
        for (const FieldChoice& f : fieldChoices()) {
            m_model.Texts[f.name] = fieldText(f.name).toStdString();
        }
        plug(5);
    }
    ~ModelRun() {
        m_form.reset();
        m_devices.clear();
        SetMessageSink(nullptr);
        SetExceptionSink(nullptr);
        numbers::SetDecimalSeparator('\0');
        unsetenv("PLOTMIRA_PORTS");
    }
    ModelRun(const ModelRun&) = delete;
    ModelRun& operator=(const ModelRun&) = delete;

    // Picks a step that is likely to act in the present state.
    Step Choose(std::mt19937_64& rng) const {
        auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
        const Model& m = m_model;
        const bool acquiring = !m.StartEn;
        struct Weighted {
            Act act;
            int weight;
        };
        std::vector<Weighted> table;
        if (acquiring) {
            table = {{Act::Data, m.PortActive ? 40 : 0},
                     {Act::Stop, m.TrendMode ? 4 : 10},
                     {Act::Normal, 3},
                     {Act::Zoom, 2},
                     {Act::DoubleTics, 2},
                     {Act::Grid, 2},
                     {Act::Overflow, 1},
                     {Act::Unplug, 2},
                     {Act::Start, 1},
                     {Act::Clear, 1},
                     {Act::Save, 1},
                     {Act::Drag, 1},
                     {Act::Resize, 1}};
        } else {
            table = {
                {Act::Start, 16}, {Act::Clear, 4},      {Act::Reset, 4},     {Act::Trend, 6},
                {Act::Ch1, 3},    {Act::Ch2, 3},        {Act::Type, 14},     {Act::Normal, 2},
                {Act::Zoom, 2},   {Act::DoubleTics, 2}, {Act::Grid, 2},      {Act::DynGraph, 1},
                {Act::Zeit, 1},   {Act::Save, 5},       {Act::Load, 5},      {Act::Export, 2},
                {Act::Plug, 2},   {Act::Unplug, 1},     {Act::LaterMenu, 1}, {Act::Drag, 3},
                {Act::Resize, 1}, {Act::Chatter, 4}};
        }
        int total = 0;
        for (const Weighted& w : table) {
            total += w.weight;
        }
        int r = pick(total);
        Act act = table.front().act;
        for (const Weighted& w : table) {
            if (r < w.weight) {
                act = w.act;
                break;
            }
            r -= w.weight;
        }
        Step s{act};
        switch (act) {
        case Act::Type: {
            s.a = pick(static_cast<int>(fieldChoices().size()));
            const auto& texts = fieldChoices()[static_cast<std::size_t>(s.a)].texts;
            // Rejected texts are rare: most runs should get going.
            do {
                s.b = pick(static_cast<int>(texts.size()));
            } while (std::string(texts[static_cast<std::size_t>(s.b)]) == "abc" && pick(4) != 0);
            break;
        }
        case Act::Save:
        case Act::Export:
            s.a = pick(3);
            break;
        case Act::Load:
            s.a = pick(4); // file 3 is never saved
            break;
        case Act::Data: {
            // Mostly a few lines; now and then a long burst that fills a trend window.
            const int kind = pick(m.TrendMode ? 3 : 20);
            s.a = kind == 0 ? 1500 + pick(1500) : kind < 4 ? 50 + pick(400) : 1 + pick(20);
            if (!m.DynGraph) {
                s.a = std::min(s.a, 40);
            }
            s.b = (pick(4) == 0 ? 1 : 0) | (pick(5) == 0 ? 2 : 0);
            if ((s.b & 1) != 0 && pick(15) == 0) {
                s.b |= 4; // a value beyond the single range: only the component's guard takes it
                s.a = std::min(s.a, 400); // what follows it stays unread in the pty
            }
            s.c = static_cast<std::uint32_t>(rng());
            break;
        }
        case Act::Drag:
            s.a = pick(121) - 60;
            s.b = pick(81) - 40;
            break;
        case Act::Resize:
            s.a = pick(2) == 0 ? -40 : 40;
            break;
        case Act::Chatter:
            s.a = 5 + pick(2);
            s.b = (1 + pick(60)) | (pick(2) << 16);
            s.c = static_cast<std::uint32_t>(rng());
            break;
        case Act::Plug:
        case Act::Unplug:
            s.a = 5 + pick(2);
            break;
        default:
            break;
        }
        return s;
    }

    // Runs one step on the window and on the model; returns what differs afterwards.
    std::string Execute(const Step& s) {
        m_messages.clear();
        m_exceptions.clear();
        m_model.Messages.clear();
        m_model.Exceptions.clear();
        m_checkPicture = false;
        const auto began = std::chrono::steady_clock::now();
        std::string problem = perform(s);
        TimeByAct[actName(s.act)] +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        if (problem.empty()) {
            problem = compare();
        }
        if (m_model.TrendMode && m_model.Samples > 1981) {
            ++FullTrendSteps;
        }
        MaxSamples = std::max(MaxSamples, m_model.Samples);
        return problem;
    }

    // Coverage figures of the run, printed at its end.
    int FullTrendSteps = 0;
    std::map<std::string, double> TimeByAct;
    std::int64_t MaxSamples = 0;

    TForm1& Form() { return *m_form; }

private:
    Model& M() { return m_model; }

    QLineEdit* edit(const std::string& name) const {
        return m_form->findChild<QLineEdit*>(QString::fromStdString(name));
    }
    QString fieldText(const std::string& name) const {
        if (name == "ComComboBox") {
            return m_form->ComComboBox->currentText();
        }
        if (name == "BaudComboBox") {
            return m_form->BaudComboBox->currentText();
        }
        return edit(name)->text();
    }

    QString filePath(const char* prefix, int n, const char* ext) const {
        return m_files.filePath(QStringLiteral("%1%2%3")
                                    .arg(QString::fromUtf8(prefix))
                                    .arg(n)
                                    .arg(QString::fromUtf8(ext)));
    }

    void plug(int com) {
        if (m_devices.count(com) == 0) {
            auto device = std::make_unique<FakeDevice>(m_ports.path(), com);
            if (device->Ok()) {
                m_devices[com] = std::move(device);
            }
        }
    }

    void click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    // ---- The window's rules, as the model applies them ----

    void modelStop() {
        Model& m = M();
        m.PortActive = false;
        m.MenusEn = true;
        m.ResetEn = m.ClearEn = m.NormalEn = m.Group1En = m.PageEn = m.StartEn = true;
        m.StopEn = false;
        m.Busy = false;
        m.ZoomEn = m.TrendEn = true;
        m.TrendMode = false;
        m.Mouse = maPan;
        m_checkPicture = true;
    }

    // A rejected field throws out of the handler with the conversion message.
    bool modelConvert(const char* field, float& into) {
        const std::string& text = M().Texts[field];
        float value = 0;
        if (!convertField(text, value)) {
            M().Exceptions.push_back("'" + text + "' ist kein gültiger Gleitkommawert.");
            return false;
        }
        into = value;
        return true;
    }

    void setRange(Range& r, float xMax, float yMin, float yMax) {
        r.XLow = 0;
        r.XHigh = xMax;
        r.YLow = yMin;
        r.YHigh = yMax;
        r.Known = xMax > 0 && yMin < yMax;
    }

    bool modelReset() {
        Model& m = M();
        if (!modelConvert("GraphXmaxEdit", m.XMax) || !modelConvert("GraphYmaxEdit", m.Y1Max) ||
            !modelConvert("GraphYminEdit", m.Y1Min) || !modelConvert("GraphY2maxEdit", m.Y2Max) ||
            !modelConvert("GraphY2minEdit", m.Y2Min)) {
            return false;
        }
        setRange(m.Layer1, m.XMax, m.Y1Min, m.Y1Max);
        setRange(m.Layer2, m.XMax, m.Y2Min, m.Y2Max);
        m_checkPicture = true;
        return true;
    }

    void modelNormalClicked() {
        Model& m = M();
        m.Mouse = maPan;
        if (m.TrendChecked) {
            m.TrendChecked = false;
            modelTrendUnchecked();
        }
        m.TrendMode = false;
    }

    void modelTrendUnchecked() {
        Model& m = M();
        m.Mouse = maPan;
        m.Items.clear();
        if (!m.NormalChecked) {
            m.NormalChecked = true;
            m.ZoomChecked = false;
            modelNormalClicked();
        }
        m.ZoomEn = true;
        m.TrendMode = false;
        modelReset();
    }

    void modelTrendChecked() {
        Model& m = M();
        m.Mouse = maNone;
        m.NormalChecked = false;
        m.ZoomChecked = false;
        m.ZoomEn = false;
        m.Texts["GraphXmaxEdit"] = "2000";
        if (modelReset()) {
            m.TrendMode = true;
        }
    }

    void modelStart() {
        Model& m = M();
        m.MenusEn = false;
        if (m.TrendChecked) {
            m.TrendMode = true;
            m.Mouse = maNone;
            m.NormalChecked = false;
            m.ZoomChecked = false;
            m.ZoomEn = false;
            if (!modelReset()) {
                return;
            }
        } else {
            m.TrendMode = false;
        }
        m.ResetEn = m.TrendEn = false;
        m.Busy = true;
        m.StartEn = false;
        m.StopEn = true;
        m.ClearEn = m.Group1En = m.PageEn = false;
        m.Items.clear();
        m.Samples = 0;
        m.Prev1 = m.Prev2 = 0;
        m.TrendCount = 0;
        if (!modelConvert("DatSkalEdit", m.Factor1) || !modelConvert("DatSkal2Edit", m.Factor2) ||
            !modelConvert("DatOffsetEdit", m.Offset1) ||
            !modelConvert("DatOffset2Edit", m.Offset2) || !modelConvert("GraphYmaxEdit", m.Y1Max) ||
            !modelConvert("GraphY2maxEdit", m.Y2Max) || !modelConvert("GraphYminEdit", m.Y1Min) ||
            !modelConvert("GraphY2minEdit", m.Y2Min) || !modelConvert("GraphXmaxEdit", m.XMax)) {
            return;
        }
        setRange(m.Layer1, m.XMax, m.Y1Min, m.Y1Max);
        setRange(m.Layer2, m.XMax, m.Y2Min, m.Y2Max);
        m.Partial.clear();
        const int com =
            static_cast<int>(LenientStrToInt(QString::fromStdString(m.Texts["ComComboBox"])));
        if (m_devices.count(com) != 0) {
            m.PortActive = true;
            m.OpenCom = com;
        } else {
            // The open error: the fatal-error handler stops, then the error is shown.
            modelStop();
            m.Exceptions.push_back("*");
        }
    }

    // One received line. False when it stopped acquisition.
    bool modelLine(const std::string& text) {
        Model& m = M();
        ++m.Samples;
        float v1 = 0;
        float v2 = 0;
        if (m.Channels == 2) {
            const std::size_t semi = text.find(';');
            const std::string_view all(text);
            const std::string_view first = semi == std::string::npos ? "" : all.substr(0, semi);
            const std::string_view second = semi == std::string::npos ? all : all.substr(semi + 1);
            v1 = toSingle(static_cast<double>(receivedValue(first)) * m.Factor1 + m.Offset1);
            v2 = toSingle(static_cast<double>(receivedValue(second)) * m.Factor2 + m.Offset2);
        } else {
            v1 = toSingle(static_cast<double>(receivedValue(text)) * m.Factor1 + m.Offset1);
        }
        if (text.find("e39") != std::string::npos) {
            // Beyond the single range: the error leaves the line's processing at once, and the
            // serial component's guard stops acquisition through the fatal-error handler.
            m.Exceptions.push_back("Gleitkommaüberlauf.");
            modelStop();
            return false;
        }
        m.Panel0 = std::to_string(m.Samples);
        if (m.Samples > m.MemoryMax && !m.TrendMode) {
            m.Messages.push_back("Speichermaximum erreicht");
            modelStop();
            return false;
        }
        const double n = static_cast<double>(m.Samples);
        if (!m.TrendMode && m.Channels == 1) {
            if (m.Samples == 1) {
                m.Items.push_back({ikMoveTo, 1, 0, v1, 0, 0, clBlue});
            } else {
                m.Items.push_back({ikDrawTo, 1, n, v1, 0, 0, clBlue});
            }
        } else {
            if (m.Samples == 1) {
                m.Prev1 = v1;
                m.Prev2 = v2;
            }
            m.Items.push_back({ikLine, 1, n - 1, m.Prev1, n, v1, clBlue});
            m.Prev1 = v1;
            if (m.Channels == 2) {
                m.Items.push_back({ikLine, 2, n - 1, m.Prev2, n, v2, clMaroon});
                m.Prev2 = v2;
            }
        }
        if (m.TrendMode) {
            if (static_cast<double>(m.XMax) - 20 >= static_cast<double>(m.TrendCount)) {
                ++m.TrendCount;
            } else {
                if (!m.Items.empty()) {
                    m.Items.pop_front();
                }
                m.Layer1.XLow += 1;
                m.Layer1.XHigh += 1;
                if (m.Channels == 2) {
                    if (!m.Items.empty()) {
                        m.Items.pop_front();
                    }
                    m.Layer2.XLow += 1;
                    m.Layer2.XHigh += 1;
                }
            }
        }
        return true;
    }

    // ---- Steps on the window ----

    std::string perform(const Step& s) {
        Model& m = M();
        TForm1& f = *m_form;
        switch (s.act) {
        case Act::Start: {
            const bool wasEnabled = m.StartEn;
            if (wasEnabled) {
                modelStart();
            }
            click(f.StartButton);
            if (wasEnabled && m.PortActive) {
                return receiveQueued();
            }
            break;
        }
        case Act::Stop:
            if (m.StopEn) {
                modelStop();
            }
            click(f.StopButton);
            break;
        case Act::Clear:
            if (m.ClearEn) {
                m.Items.clear();
                m.Panel0 = "";
                m_checkPicture = true;
            }
            click(f.ClearGraphButton);
            break;
        case Act::Reset:
            if (m.ResetEn) {
                modelReset();
            }
            click(f.ResetAxisButton);
            break;
        case Act::Trend:
            if (m.TrendEn) {
                m.TrendChecked = !m.TrendChecked;
                if (m.TrendChecked) {
                    modelTrendChecked();
                } else {
                    modelTrendUnchecked();
                }
            }
            click(f.TrendCheckBox);
            break;
        case Act::Ch1:
        case Act::Ch2: {
            const int channels = s.act == Act::Ch1 ? 1 : 2;
            if (m.Group1En && m.Channels != channels) {
                m.Channels = channels;
                m.MemoryMax = channels == 2 ? 50000 : 100000;
                modelStop();
            }
            click(s.act == Act::Ch1 ? static_cast<QAbstractButton*>(f.Ch1RadioButton)
                                    : f.CH2RadioButton);
            break;
        }
        case Act::DoubleTics:
            m.DoubleTics = !m.DoubleTics;
            click(f.DoubleTicsCheckBox);
            break;
        case Act::Grid:
            m.Grid = !m.Grid;
            click(f.ShowGridCheckBox);
            break;
        case Act::Normal:
            if (m.NormalEn && !m.NormalChecked) {
                m.NormalChecked = true;
                m.ZoomChecked = false;
                modelNormalClicked();
            }
            click(f.NormalRadioButton);
            break;
        case Act::Zoom:
            if (m.ZoomEn && !m.ZoomChecked) {
                m.ZoomChecked = true;
                m.NormalChecked = false;
                m.Mouse = maZoomDrag;
            }
            click(f.ZoomRadioButton);
            break;
        case Act::DynGraph:
            if (m.Group1En) {
                m.DynGraphChecked = !m.DynGraphChecked;
                m.DynGraph = m.DynGraphChecked;
            }
            click(f.DynGraphCheckBox);
            break;
        case Act::Zeit:
            // "Zeit" and back to "Tics": each sets the X max field to its default and applies
            // it as Reset does.
            if (m.Group1En) {
                m.Texts["GraphXmaxEdit"] = "10";
                modelReset();
                m.Texts["GraphXmaxEdit"] = m.TrendChecked ? "2000" : "1000";
                modelReset();
            }
            click(f.RadioButton2);
            click(f.RadioButton1);
            break;
        case Act::LaterMenu:
            if (m.MenusEn) {
                m_nextFile = filePath("c", 0, ".csv");
                QFile::remove(m_nextFile);
                f.DatenExportimCSVFormat1->trigger();
                QFile csv(m_nextFile);
                if (!csv.open(QIODevice::ReadOnly) ||
                    !csv.readLine().startsWith("sample,channel1")) {
                    return "the CSV export was not written";
                }
            }
            break;
        case Act::Type: {
            const FieldChoice& field = fieldChoices()[static_cast<std::size_t>(s.a)];
            const std::string text = field.texts[static_cast<std::size_t>(s.b)];
            // Only an enabled field takes typing; the whole settings area is one page control.
            if (m.PageEn) {
                m.Texts[field.name] = text;
                const QString qtext = QString::fromStdString(text);
                if (std::string(field.name) == "ComComboBox") {
                    f.ComComboBox->setCurrentText(qtext);
                } else if (std::string(field.name) == "BaudComboBox") {
                    f.BaudComboBox->setCurrentText(qtext);
                } else {
                    edit(field.name)->setText(qtext);
                }
            }
            break;
        }
        case Act::Save:
            // The "Datei" menu opens only while its top-level item is enabled.
            if (m.MenusEn) {
                m_nextFile = filePath("f", s.a, ".pmx");
                m.Files[s.a] = std::vector<MItem>(m.Items.begin(), m.Items.end());
                f.ErfassungSpeichern->trigger();
                m_savedFile = s.a;
            }
            break;
        case Act::Load:
            if (m.MenusEn) {
                m_nextFile = filePath("f", s.a, ".pmx");
                const auto file = m.Files.find(s.a);
                if (file == m.Files.end()) {
                    m.Exceptions.push_back("*");
                } else {
                    m.Items.insert(m.Items.end(), file->second.begin(), file->second.end());
                    m_checkPicture = true;
                }
                f.Erfassungladen->trigger();
            }
            break;
        case Act::Export:
            if (m.MenusEn) {
                m_nextFile = filePath("b", s.a, ".bmp");
                QFile::remove(m_nextFile);
                f.Grafikdrucken1->trigger();
                if (!QFileInfo::exists(m_nextFile)) {
                    return "the bitmap was not written";
                }
            }
            break;
        case Act::Data:
            return sendData(s);
        case Act::Overflow:
            if (m.PortActive) {
                const std::string block(16001, '7');
                m.Messages.push_back("Com Pufferüberlauf");
                m.Partial.clear();
                modelStop();
                f.SerialComm1AfterReceive(block.data(), static_cast<std::uint32_t>(block.size()));
            }
            break;
        case Act::Plug:
            plug(s.a);
            break;
        case Act::Unplug:
            return unplug(s.a);
        case Act::Drag: {
            // Pan and zoom move the ranges of both data layers; the model stops knowing them
            // until Start or Reset sets them again.
            if (m.Mouse == maPan || m.Mouse == maZoomDrag) {
                m.Layer1.Known = false;
                m.Layer2.Known = false;
            }
            QWidget* chartWidget = f.PlotChart1;
            const QPoint from(chartWidget->width() / 2, chartWidget->height() / 2);
            const QPoint to = from + QPoint(s.a, s.b);
            QTest::mousePress(chartWidget, Qt::LeftButton, Qt::NoModifier, from);
            QTest::mouseMove(chartWidget, from + QPoint(s.a / 2, s.b / 2));
            QTest::mouseMove(chartWidget, to);
            QTest::mouseRelease(chartWidget, Qt::LeftButton, Qt::NoModifier, to);
            break;
        }
        case Act::Resize:
            f.resize(f.width() + s.a, f.height());
            m_checkPicture = true;
            break;
        case Act::Chatter: {
            // What a device sends while its port is closed waits in the pty (up to a few KiB)
            // and arrives when the port is opened next.
            const auto device = m_devices.find(s.a);
            if (device == m_devices.end() || (m.PortActive && m.OpenCom == s.a)) {
                break;
            }
            std::mt19937 values(s.c);
            std::string bytes;
            for (int i = 0; i < (s.b & 0xFFFF); ++i) {
                auto value = [&values] {
                    const int q = static_cast<int>(values() % 49) - 8;
                    char text[32];
                    const auto end = std::to_chars(text, text + sizeof text, q / 4.0).ptr;
                    return std::string(text, end);
                };
                bytes += ((s.b >> 16) != 0 ? value() + ";" + value() : value()) + "\r\n";
            }
            std::string& queued = m_queued[s.a];
            if (queued.size() + bytes.size() > 3000) {
                break;
            }
            if (!device->second->Write(bytes)) {
                return "the device could not queue its lines";
            }
            queued += bytes;
            break;
        }
        }
        QCoreApplication::processEvents();
        return {};
    }

    // The lines of one burst: values a quarter apart, as the device's text.
    std::vector<std::string> burstLines(const Step& s) const {
        std::mt19937 values(s.c);
        std::vector<std::string> lines;
        for (int i = 0; i < s.a; ++i) {
            auto value = [&values] {
                const int q = static_cast<int>(values() % 49) - 8;
                char text[32];
                const auto end = std::to_chars(text, text + sizeof text, q / 4.0).ptr;
                return std::string(text, end);
            };
            lines.push_back(m_model.Channels == 2 ? value() + ";" + value() : value());
        }
        if ((s.b & 4) != 0 && !lines.empty()) {
            lines[s.c % lines.size()] = m_model.Channels == 2 ? "1;1e39" : "1e39";
        }
        return lines;
    }

    std::string sendData(const Step& s) {
        Model& m = M();
        if (!m.PortActive) {
            return {};
        }
        std::vector<std::string> lines = burstLines(s);
        // A line split by an earlier burst is completed first.
        std::string bytes;
        std::vector<std::string> texts;
        if (!m.Partial.empty() || !m.Remainder.empty()) {
            bytes = m.Remainder + "\r\n";
            texts.push_back(m.Partial + m.Remainder);
        }
        std::string tail;
        std::string remainder;
        if ((s.b & 2) != 0 && (s.b & 4) == 0 && !lines.empty()) {
            // The last line's beginning arrives now, the rest with a later burst.
            const std::string& last = lines.back();
            const std::size_t cut = last.size() / 2 + 1;
            tail = last.substr(0, cut);
            remainder = last.substr(cut);
            lines.pop_back();
        }
        for (const std::string& line : lines) {
            bytes += line + "\r\n";
            texts.push_back(line);
        }
        bytes += tail;
        bool stopped = false;
        for (std::size_t i = 0; i < texts.size() && !stopped; ++i) {
            stopped = !modelLine(texts[i]);
        }
        m.Partial = stopped ? std::string() : tail;
        m.Remainder = stopped ? std::string() : remainder;
        const bool overrange = (s.b & 4) != 0;
        const bool throughPty =
            (s.b & 1) != 0 && (!stopped || overrange) && m_devices.count(m.OpenCom) != 0;
        if (overrange && !throughPty) {
            return "a step with an out-of-range value must go through a device";
        }
        if (throughPty) {
            // A device that is cut off mid-write (the port closed) leaves the rest unread.
            if (!m_devices[m.OpenCom]->Write(bytes) && !overrange) {
                return "the device could not write (nobody reads the port)";
            }
            const std::int64_t want = m.Samples;
            const std::string partial = m.Partial;
            if (!QTest::qWaitFor(
                    [&] {
                        return m_form->Acq().SampleCount >= want &&
                               (stopped ? m_form->StartButton->isEnabled() && !m_exceptions.empty()
                                        : m_form->Acq().LineBuffer == partial);
                    },
                    20000)) {
                return "the lines sent through the pty did not all arrive (" +
                       std::to_string(m_form->Acq().SampleCount) + " of " + std::to_string(want) +
                       " samples)";
            }
            if (stopped) {
                // The rest of the burst would wait in the pty for the next open: a device that
                // failed like this is replaced.
                m_devices.erase(m.OpenCom);
                m_queued.erase(m.OpenCom);
                plug(m.OpenCom);
            }
        } else {
            // The component's delivery, block by block as a fast port hands them over.
            std::size_t at = 0;
            std::mt19937 sizes(s.c ^ 0x5bd1e995u);
            while (at < bytes.size() && m_form->PortActive()) {
                const std::size_t n = std::min<std::size_t>(bytes.size() - at, 1 + sizes() % 16000);
                try {
                    m_form->SerialComm1AfterReceive(bytes.data() + at,
                                                    static_cast<std::uint32_t>(n));
                } catch (const Exception& e) {
                    // Only the component's guard may see these; the model never feeds them here.
                    return "the receive handler raised \"" + e.Message() + '"';
                }
                at += n;
            }
        }
        QCoreApplication::processEvents();
        return {};
    }

    // The lines a device queued while its port was closed arrive right after Start opened it.
    std::string receiveQueued() {
        Model& m = M();
        std::string queued = std::move(m_queued[m.OpenCom]);
        m_queued.erase(m.OpenCom);
        if (queued.empty()) {
            return {};
        }
        std::size_t at = 0;
        for (std::size_t end = queued.find("\r\n"); end != std::string::npos;
             end = queued.find("\r\n", at)) {
            if (!modelLine(queued.substr(at, end - at))) {
                return "lines queued before Start stopped the run";
            }
            at = end + 2;
        }
        const std::int64_t want = m.Samples;
        if (!QTest::qWaitFor([&] { return m_form->Acq().SampleCount >= want; }, 20000)) {
            return "the lines queued before Start did not all arrive (" +
                   std::to_string(m_form->Acq().SampleCount) + " of " + std::to_string(want) +
                   " samples)";
        }
        QCoreApplication::processEvents();
        return {};
    }

    // Device loss: the port closes itself, and the window returns to idle with a message.
    std::string unplug(int com) {
        Model& m = M();
        if (m_devices.count(com) == 0) {
            return {};
        }
        const bool lostOpenPort = m.PortActive && m.OpenCom == com;
        m_devices.erase(com);
        m_queued.erase(com);
        if (m.OpenCom == com) {
            m.Remainder.clear(); // the rest of a split line went with the device
        }
        if (lostOpenPort) {
            if (!QTest::qWaitFor([&] { return !m_form->PortActive(); }, 5000)) {
                return "the port stayed open after its device was unplugged";
            }
            if (!QTest::qWaitFor([&] { return !m_form->IsAcquiring(); }, 5000)) {
                return "the window stayed acquiring after its device was unplugged";
            }
            modelDeviceLost();
        }
        QCoreApplication::processEvents();
        return {};
    }

    // What the window does when the device of the open port goes away during acquisition.
    void modelDeviceLost() {
        modelStop();
        M().Messages.push_back("Com Verbindung unterbrochen");
    }

    // ---- Comparison ----

    std::string compare() {
        std::ostringstream out;
        const Model& m = m_model;
        TForm1& f = *m_form;
        auto expect = [&out](bool ok, const std::string& what) {
            if (!ok) {
                out << "  " << what << '\n';
            }
        };
        auto enabled = [&](QWidget* w, bool want, const char* name) {
            expect(w->isEnabled() == want,
                   std::string(name) + (want ? " should be enabled" : " should be disabled"));
        };
        enabled(f.StartButton, m.StartEn, "StartButton");
        enabled(f.StopButton, m.StopEn, "StopButton");
        enabled(f.ClearGraphButton, m.ClearEn, "ClearGraphButton");
        enabled(f.ResetAxisButton, m.ResetEn, "ResetAxisButton");
        enabled(f.TrendCheckBox, m.TrendEn, "TrendCheckBox");
        enabled(f.GroupBox1, m.Group1En, "GroupBox1");
        enabled(f.PageControl1, m.PageEn, "PageControl1");
        enabled(f.ZoomRadioButton, m.ZoomEn, "ZoomRadioButton");
        enabled(f.NormalRadioButton, m.NormalEn, "NormalRadioButton");
        enabled(f.ShowGridCheckBox, true, "ShowGridCheckBox");
        enabled(f.DoubleTicsCheckBox, true, "DoubleTicsCheckBox");
        for (QAction* item : f.MenuItems) {
            expect(item->isEnabled() == m.MenusEn,
                   "menu " + item->text().toStdString() +
                       (m.MenusEn ? " should be enabled" : " should be disabled"));
        }
        expect(f.CircularProgress->IsSpinning() == m.Busy,
               m.Busy ? "busy indicator should spin" : "busy indicator should stand still");
        expect(f.PortActive() == m.PortActive,
               m.PortActive ? "port should be open" : "port should be closed");
        expect(f.TrendCheckBox->isChecked() == m.TrendChecked, "Trend check mark");
        expect(f.NormalRadioButton->isChecked() == m.NormalChecked, "Normal check mark");
        expect(f.ZoomRadioButton->isChecked() == m.ZoomChecked, "Zoom check mark");
        expect(f.ChartMouseAction() == m.Mouse, "mouse action " +
                                                    std::to_string(f.ChartMouseAction()) +
                                                    ", expected " + std::to_string(m.Mouse));
        expect(f.Acq().TrendMode == m.TrendMode, "TrendMode");
        expect(f.Acq().ChannelCount == m.Channels, "ChannelCount");
        expect(f.Acq().DynGraph == m.DynGraph, "DynGraph");
        TPlotChart& chart = *f.PlotChart1;
        expect(chart.Scale1X().MinTicks() == (m.DoubleTics ? 6 : 3), "Scale1X MinTicks");
        expect(chart.Scale1Y().MinTicks() == (m.DoubleTics ? 63 : 3), "Scale1Y MinTicks");
        expect(chart.GridStyle() == (m.Grid ? gsLines : gsNone), "grid style");
        for (const auto& [name, text] : m.Texts) {
            expect(fieldText(name).toStdString() == text, "text of " + name);
        }

        expect(f.Acq().SampleCount == m.Samples, "SampleCount " +
                                                     std::to_string(f.Acq().SampleCount) +
                                                     ", expected " + std::to_string(m.Samples));
        // While acquiring the live texts follow at most once per frame; idle they are exact.
        if (m.Panel0 && m.StartEn) {
            expect(f.StatusPanels[0]->text().toStdString() == *m.Panel0,
                   "status panel 0 \"" + f.StatusPanels[0]->text().toStdString() +
                       "\", expected \"" + *m.Panel0 + "\"");
        }
        if (m.PortActive) {
            expect(f.Acq().LineBuffer == m.Partial, "the partial line");
        }

        compareItems(out);
        compareRange(out, 1, m.Layer1);
        if (m.Channels == 2 || m.Layer2.Known) {
            compareRange(out, 2, m.Layer2);
        }

        expect(m_messages == m.Messages,
               "message boxes: " + joined(m_messages) + ", expected " + joined(m.Messages));
        bool exceptionsMatch = m_exceptions.size() == m.Exceptions.size();
        for (std::size_t i = 0; exceptionsMatch && i < m_exceptions.size(); ++i) {
            exceptionsMatch = m.Exceptions[i] == "*" || m.Exceptions[i] == m_exceptions[i];
        }
        expect(exceptionsMatch,
               "error displays: " + joined(m_exceptions) + ", expected " + joined(m.Exceptions));

        if (m_savedFile >= 0) {
            compareSavedFile(out, m_savedFile);
            m_savedFile = -1;
        }
        if (m_checkPicture && m.StartEn) {
            comparePicture(out);
        }
        return out.str();
    }

    static std::string joined(const std::vector<std::string>& texts) {
        std::string all = "[";
        for (const std::string& t : texts) {
            all += (all.size() > 1 ? " | " : "") + t;
        }
        return all + "]";
    }

    static bool sameItem(const ChartItem& got, const MItem& want) {
        if (got.Kind != want.Kind || got.Layer != want.Layer || got.X != want.X ||
            got.Y != want.Y || got.Color != want.Color) {
            return false;
        }
        return got.Kind != ikLine || (got.X2 == want.X2 && got.Y2 == want.Y2);
    }

    static std::string itemText(const MItem& i) {
        std::ostringstream out;
        out << "kind " << int(i.Kind) << " layer " << i.Layer << " (" << i.X << ", " << i.Y << ")";
        if (i.Kind == ikLine) {
            out << "-(" << i.X2 << ", " << i.Y2 << ")";
        }
        return out.str();
    }

    static MItem fromChart(const ChartItem& c) {
        return {c.Kind, c.Layer, c.X, c.Y, c.X2, c.Y2, c.Color};
    }

    void compareItems(std::ostringstream& out) const {
        const TPlotChart& chart = *m_form->PlotChart1;
        const auto& items = m_model.Items;
        if (chart.ItemCount() != static_cast<int>(items.size())) {
            out << "  the chart holds " << chart.ItemCount() << " items, expected " << items.size()
                << '\n';
            return;
        }
        for (int i = 0; i < chart.ItemCount(); ++i) {
            if (!sameItem(chart.Item(i), items[static_cast<std::size_t>(i)])) {
                out << "  item " << i << " is " << itemText(fromChart(chart.Item(i)))
                    << ", expected " << itemText(items[static_cast<std::size_t>(i)]) << '\n';
                return;
            }
        }
    }

    void compareRange(std::ostringstream& out, int layer, const Range& r) const {
        if (!r.Known) {
            return;
        }
        const TPlotChart& chart = *m_form->PlotChart1;
        const TScaleProps& x = chart.ScaleX(layer);
        const TScaleProps& y = chart.ScaleY(layer);
        if (x.RangeLow() != r.XLow || x.RangeHigh() != r.XHigh || y.RangeLow() != r.YLow ||
            y.RangeHigh() != r.YHigh) {
            out << "  layer " << layer << " range x " << x.RangeLow() << ".." << x.RangeHigh()
                << " y " << y.RangeLow() << ".." << y.RangeHigh() << ", expected x " << r.XLow
                << ".." << r.XHigh << " y " << r.YLow << ".." << r.YHigh << '\n';
        }
    }

    void compareSavedFile(std::ostringstream& out, int file) const {
        const std::vector<MItem>& want = m_model.Files.at(file);
        const std::string name = QFile::encodeName(filePath("f", file, ".pmx")).toStdString();
        const QFileInfo info(QString::fromStdString(name));
        if (!info.exists() || info.size() != static_cast<qint64>(want.size() * sizeof(ChartItem))) {
            out << "  saved session f" << file << " holds " << info.size() << " bytes, expected "
                << want.size() * sizeof(ChartItem) << '\n';
            return;
        }
        RecordBuffer records = ReadSessionFile(name);
        for (std::size_t i = 0; i < want.size(); ++i) {
            if (!sameItem(records.data()[i], want[i])) {
                out << "  saved session f" << file << " item " << i << " differs\n";
                return;
            }
        }
    }

    // After Stop, Clear, Reset and a load the chart is painted in full: channel 1's curve must
    // show where its segments lie inside the range, and nothing blue may show without items.
    void comparePicture(std::ostringstream& out) const {
        const Model& m = m_model;
        const QImage shown = m_form->PlotChart1->ShownImage();
        if (shown.isNull()) {
            out << "  the chart shows no picture\n";
            return;
        }
        int inside = 0;
        bool anyLayer1 = false;
        const Range& r = m.Layer1;
        auto in = [&r](double x, double y) {
            return x > r.XLow && x < r.XHigh && y > r.YLow && y < r.YHigh;
        };
        for (const MItem& i : m.Items) {
            if (i.Layer != 1 || i.Color != clBlue) {
                continue;
            }
            anyLayer1 = true;
            if (i.Kind == ikLine && in(i.X, i.Y) && in(i.X2, i.Y2)) {
                ++inside;
            }
        }
        const QRgb blue = qRgb(0, 0, 255);
        int bluePixels = 0;
        const QImage rgb = shown.convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < rgb.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
            for (int x = 0; x < rgb.width(); ++x) {
                bluePixels += (line[x] & 0xFFFFFF) == (blue & 0xFFFFFF) ? 1 : 0;
            }
        }
        if (r.Known && inside >= 20 && bluePixels == 0) {
            out << "  channel 1's curve is not drawn (" << inside
                << " segments lie inside the range)\n";
        }
        if (!anyLayer1 && bluePixels != 0) {
            out << "  " << bluePixels << " blue pixels shown without any channel 1 item\n";
        }
    }

    QTemporaryDir m_ports;
    QTemporaryDir m_files;
    std::unique_ptr<TForm1> m_form;
    std::map<int, std::unique_ptr<FakeDevice>> m_devices;
    std::map<int, std::string> m_queued; // bytes waiting in a device's pty for the next open
    std::vector<std::string> m_messages;
    std::vector<std::string> m_exceptions;
    QString m_nextFile;
    Model m_model;
    int m_savedFile = -1;
    bool m_checkPicture = false;
};

// ---- Running, replaying and shrinking -----------------------------------------------------------

struct Failure {
    std::size_t at = 0; // index of the failing step
    std::string what;
};

// The kind of a failure: its first difference with the figures left out, so that shrinking
// keeps to the failure it started from.
std::string kindOf(const std::string& what) {
    std::string kind;
    for (const char c : what.substr(0, what.find('\n'))) {
        if ((c < '0' || c > '9') && c != '.' && c != '-') {
            kind += c;
        }
    }
    return kind;
}

std::optional<Failure> replay(const std::vector<Step>& steps) {
    ModelRun run;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        std::string problem = run.Execute(steps[i]);
        if (!problem.empty()) {
            return Failure{i, problem};
        }
    }
    return std::nullopt;
}

// Removes chunks of steps while the sequence still fails (delta debugging, bounded).
std::vector<Step> shrink(std::vector<Step> steps, Failure& failure) {
    steps.resize(failure.at + 1);
    // Each replay runs the window again: shrinking is bounded in replays and in time.
    int budget = 150;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    for (std::size_t chunk = std::max<std::size_t>(1, steps.size() / 2); chunk >= 1 && budget > 0;
         chunk /= 2) {
        std::size_t start = 0;
        while (start < steps.size() && budget > 0 && std::chrono::steady_clock::now() < deadline) {
            std::vector<Step> candidate = steps;
            const std::size_t end = std::min(steps.size(), start + chunk);
            candidate.erase(candidate.begin() + static_cast<std::ptrdiff_t>(start),
                            candidate.begin() + static_cast<std::ptrdiff_t>(end));
            --budget;
            if (std::optional<Failure> f = replay(candidate);
                !candidate.empty() && f && kindOf(f->what) == kindOf(failure.what)) {
                candidate.resize(f->at + 1);
                steps = std::move(candidate);
                failure = *f;
            } else {
                start += chunk;
            }
        }
        if (chunk == 1) {
            break;
        }
    }
    return steps;
}

std::string report(std::uint64_t seed, const std::vector<Step>& steps, const Failure& failure) {
    std::ostringstream out;
    out << "model run with seed " << seed << " failed after step " << failure.at + 1 << " of "
        << steps.size() << " (shrunk):\n";
    for (std::size_t i = 0; i < steps.size(); ++i) {
        out << "  " << i + 1 << ". " << describe(steps[i]) << '\n';
    }
    out << "differences:\n" << failure.what;
    return out.str();
}

// Runs `count` random steps from `seed`; on a failure reports the shrunk sequence.
void runRandom(std::uint64_t seed, int count) {
    std::printf("model run: seed %llu, %d steps\n", static_cast<unsigned long long>(seed), count);
    std::mt19937_64 rng(seed);
    std::vector<Step> steps;
    std::optional<Failure> failure;
    {
        ModelRun run;
        for (int i = 0; i < count && !failure; ++i) {
            steps.push_back(run.Choose(rng));
            std::string problem = run.Execute(steps.back());
            if (!problem.empty()) {
                failure = Failure{steps.size() - 1, problem};
            }
        }
        std::printf("model run: %zu steps, %d of them in a full trend window, at most %lld "
                    "samples in a run\n",
                    steps.size(), run.FullTrendSteps, static_cast<long long>(run.MaxSamples));
        for (const auto& [name, secs] : run.TimeByAct) {
            std::printf("  %s %.2f s\n", name.c_str(), secs);
        }
    }
    if (!failure) {
        return;
    }
    const Failure original = *failure;
    std::vector<Step> shrunk = shrink(steps, *failure);
    ADD_FAILURE() << report(seed, shrunk, *failure) << "\nunshrunk: failed at step "
                  << original.at + 1 << ":\n"
                  << original.what;
}

std::uint64_t envNumber(const char* name, std::uint64_t fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : fallback;
}

TEST(WindowModel, RandomUserActionsKeepTheWindowConsistent) {
    runRandom(envNumber("PLOTMIRA_MODEL_SEED", 6),
              static_cast<int>(envNumber("PLOTMIRA_MODEL_STEPS", 1000)));
}

// The sequence after which a trend run was once seen drawing nothing: a normal run, save, Clear,
// two loads, an export, a two-channel run on another port, Stop, one channel, Trend on, Y range
// -2..2, Start against a device that sends a long backlog at once.
TEST(WindowModel, TrendRunAfterFilesAndATwoChannelRunOnAnotherPort) {
    auto type = [](const char* field, const char* text) {
        const auto& choices = fieldChoices();
        for (std::size_t i = 0; i < choices.size(); ++i) {
            if (std::string(choices[i].name) != field) {
                continue;
            }
            for (std::size_t j = 0; j < choices[i].texts.size(); ++j) {
                if (std::string(choices[i].texts[j]) == text) {
                    return Step{Act::Type, static_cast<int>(i), static_cast<int>(j)};
                }
            }
        }
        ADD_FAILURE() << "no choice " << field << " := " << text;
        return Step{Act::Grid};
    };
    const std::vector<Step> steps{
        {Act::Start},
        {Act::Data, 700, 1, 1},
        {Act::Data, 300, 0, 2},
        {Act::Stop},
        {Act::Save, 0},
        {Act::Clear},
        {Act::Load, 0},
        {Act::Load, 0},
        {Act::Export, 0},
        {Act::Plug, 6},
        type("ComComboBox", "6"),
        {Act::Ch2},
        {Act::Start},
        {Act::Data, 400, 1, 3},
        {Act::Stop},
        {Act::Chatter, 6, 60 | (1 << 16), 6},
        {Act::Ch1},
        {Act::Trend},
        type("GraphYmaxEdit", "2"),
        type("GraphYminEdit", "-2"),
        {Act::Chatter, 6, 60 | (1 << 16), 7},
        {Act::Start},
        {Act::Data, 3000, 0, 4},
        {Act::Data, 1500, 1, 5},
        {Act::Stop},
        {Act::Save, 1},
    };
    std::optional<Failure> failure = replay(steps);
    if (failure) {
        ADD_FAILURE() << report(0, steps, *failure);
    }
}

} // namespace
