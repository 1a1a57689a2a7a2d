#include "talvex/ApplicationMain.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "talvex/FilterCommand.h"

namespace talvex {

int applicationMain(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("talvex %s\n", TALVEX_VERSION);
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "filter") == 0) {
        return runFilterCommand(std::vector<std::string>(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "talvex: nothing to run yet\n");
    return 1;
}

}  // namespace talvex
