#include "app/cli/clicommands.h"

#include <cstdio>

int runRecord(int, char**) {
    std::fputs("plotmira-cli: record is not built yet\n", stderr);
    return 2;
}
