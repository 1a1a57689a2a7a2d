// A second process for the settings tests: reads or writes one key of a settings file
// through its own store, the way another running instance would.
//   talvex_defaults_tool <file> get <key>          prints the integer
//   talvex_defaults_tool <file> set <key> <value>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/UserDefaults.h"

int main(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[2], "get") == 0) {
        talvex::UserDefaults store(argv[1]);
        std::printf("%lld\n", static_cast<long long>(store.integerForKey(argv[3])));
        return 0;
    }
    if (argc >= 5 && std::strcmp(argv[2], "set") == 0) {
        talvex::UserDefaults store(argv[1]);
        store.setIntegerForKey(std::stoll(argv[4]), argv[3]);
        return 0;
    }
    std::fprintf(stderr, "usage: %s <file> get <key> | set <key> <value>\n", argv[0]);
    return 2;
}
