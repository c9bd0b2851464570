// SPDX-License-Identifier: GPL-3.0-or-later
// plotmira-cli: the chart and the sample pipeline without a window, for scripts and test rigs.
#include "app/cli/clicommands.h"
#include "base/version.h"

#include <QApplication>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void printUsage(std::FILE* out) {
    std::fputs(
        "Usage: plotmira-cli COMMAND [OPTIONS]\n"
        "\n"
        "Commands:\n"
        "  render SESSION.pmx -o OUT.bmp   draw a session file as the window's chart shows it\n"
        "  record [OPTIONS] -o RUN.pmx     record samples from a port or a file of raw bytes\n"
        "  export SESSION.pmx -o OUT.csv   write a recording's samples as CSV\n"
        "  spectrum SESSION.pmx -o OUT.csv write a recording's amplitude spectrum as CSV\n"
        "\n"
        "'plotmira-cli COMMAND --help' describes the options of a command;\n"
        "'plotmira-cli --version' prints the version.\n",
        out);
}

// Standard error carries the program's own messages, which scripts read: Qt's start-up chatter
// (no XDG_RUNTIME_DIR on a headless box, say) stays out of it; real failures still show.
void qtMessageFilter(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        std::fprintf(stderr, "plotmira-cli: %s\n", qPrintable(message));
    }
}

} // namespace

int main(int argc, char** argv) {
    // The chart is a widget: drawing needs a QApplication, but never a screen.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    if (argc < 2) {
        printUsage(stderr);
        return 2;
    }
    const char* command = argv[1];
    if (std::strcmp(command, "--help") == 0 || std::strcmp(command, "-h") == 0) {
        printUsage(stdout);
        return 0;
    }
    if (std::strcmp(command, "--version") == 0) {
        std::printf("plotmira-cli %s\n", kPlotmiraVersion);
        return 0;
    }
    if (std::strcmp(command, "export") == 0) {
        return runExport(argc - 2, argv + 2); // plain file work: no QApplication needed
    }
    if (std::strcmp(command, "spectrum") == 0) {
        return runSpectrum(argc - 2, argv + 2);
    }
    qInstallMessageHandler(qtMessageFilter);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    if (std::strcmp(command, "render") == 0) {
        return runRender(argc - 2, argv + 2);
    }
    if (std::strcmp(command, "record") == 0) {
        return runRecord(argc - 2, argv + 2);
    }
    std::fprintf(stderr, "plotmira-cli: unknown command '%s'\n", command);
    return 2;
}
