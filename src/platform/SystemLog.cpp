#include "platform/SystemLog.h"

#include <syslog.h>

#include <cstdio>
#include <mutex>
#include <string>

namespace talvex {

void systemLog(std::string_view line) {
    static std::once_flag opened;
    std::call_once(opened, [] { openlog("talvex", LOG_PID, LOG_USER); });
    const std::string text(line);
    // The terminal first: the system logger may be slow to answer.
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
    syslog(LOG_NOTICE, "%s", text.c_str());
}

}  // namespace talvex
