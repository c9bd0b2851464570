// SPDX-License-Identifier: GPL-3.0-or-later
// Usage: oneinstance_helper NAME
// Exit status: 0 handed over to the running copy (and it acknowledged), 2 a copy is running but
// did not take the hand-over, 3 this process was the first copy.
#include "app/window/oneinstance.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        return 64;
    }
    TOneInstance guard(nullptr, QString::fromLocal8Bit(argv[1]));
    if (!guard.IsFirstInstance()) {
        return guard.HandOver() ? 0 : 2;
    }
    return 3;
}
