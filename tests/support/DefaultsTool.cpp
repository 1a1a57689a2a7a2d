// A second process for the settings tests: reads or writes one key of a settings file
// through its own store, the way another running instance would.
//   talvex_defaults_tool <file> get <key>          prints the integer
//   talvex_defaults_tool <file> set <key> <value>
//   talvex_defaults_tool <file> write-in-two-parts <text> <pause-ms> [<first-part-length>]
//       rewrites the file in place the way a slow editor or script does: the first part
//       of <text> (half of it unless told; 0 merely empties the file), a pause, the rest
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "platform/UserDefaults.h"

int main(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[2], "get") == 0) {
        talvex::UserDefaults store(argv[1]);
        std::printf("%lld\n", static_cast<long long>(store.integerForKey(argv[3])));
        return 0;
    }
    if (argc >= 5 && std::strcmp(argv[2], "set") == 0) {
        // Kept until exit, as the program's own store is: the change must be saved as
        // the process ends.
        static talvex::UserDefaults store(argv[1]);
        store.setIntegerForKey(std::stoll(argv[4]), argv[3]);
        return 0;
    }
    if (argc >= 5 && std::strcmp(argv[2], "write-in-two-parts") == 0) {
        const std::string text = argv[3];
        const std::size_t split = argc >= 6 ? std::stoul(argv[5]) : text.size() / 2;
        std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
        out << text.substr(0, split) << std::flush;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(argv[4])));
        out << text.substr(split) << std::flush;
        return out ? 0 : 1;
    }
    std::fprintf(stderr,
                 "usage: %s <file> get <key> | set <key> <value> | "
                 "write-in-two-parts <text> <pause-ms> [<first-part-length>]\n",
                 argv[0]);
    return 2;
}
