#include "app/cli/clicommands.h"

#include <cstdio>

int runRender(int, char**) {
    std::fputs("plotmira-cli: render is not built yet\n", stderr);
    return 2;
}
