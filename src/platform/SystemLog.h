#pragma once

#include <string_view>

namespace talvex {

// One plain text line to the system log (syslog, user facility) and to standard error.
void systemLog(std::string_view line);

}  // namespace talvex
