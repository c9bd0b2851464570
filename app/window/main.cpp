// SPDX-License-Identifier: GPL-3.0-or-later
// The program: one main window with its help and info windows, at most one running copy.

#include "app/window/form1.h"
#include "app/window/formhilfe.h"
#include "app/window/forminfo.h"
#include "app/window/oneinstance.h"
#include "app/window/plotmiraapplication.h"
#include "base/version.h"

#include <clocale>
#include <cstdio>
#include <cstring>

namespace {

void printHelp() {
    std::fputs(
        "Usage: plotmira [--help | --version]\n"
        "\n"
        "Records numeric text lines arriving on a serial port and plots one or two channels\n"
        "live. Everything else is set in the window; a second start brings the running window\n"
        "to the front.\n"
        "\n"
        "Line format: one sample per line, ended by CR LF; one number (\"1.234\", \"-5e3\"), or\n"
        "two numbers separated by \";\" with two channels; \".\" is the decimal point.\n"
        "\n"
        "Ports: COM1 ... COM20 are /dev/ttyS0 ... /dev/ttyS19, or the link COMn in the folder\n"
        "that $PLOTMIRA_PORTS names when it holds one; a port text beginning with \"/\" is a\n"
        "device path such as /dev/ttyACM0.\n"
        "\n"
        "Options:\n"
        "  -h, --help     show this help and exit\n"
        "  --version      print the version and exit\n"
        "\n"
        "See plotmira(1), plotmira-cli(1) and plotmira-sim(1).\n",
        stdout);
}

} // namespace

int main(int argc, char** argv) {
    // Answered before the application object exists, so they need no display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            printHelp();
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("plotmira %s\n", kPlotmiraVersion);
            return 0;
        }
    }
    PlotmiraApplication app(argc, argv);
    // Typed numbers and shown values follow the user's decimal separator.
    std::setlocale(LC_ALL, "");

    TOneInstance guard;
    if (!guard.IsFirstInstance()) {
        guard.HandOver();
        return 0;
    }

    TForm1 form;
    guard.SetMainWindow(&form);
    TFormInfo info(&form);
    TFormHilfe hilfe(&form);
    form.SetSecondaryWindows(&info, &hilfe);
    form.show();
    return app.exec();
}
