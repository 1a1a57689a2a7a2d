#pragma once

namespace talvex {

// Parses the command line and runs Talvex: the live lens by default, or a
// sub-command such as `filter`. Returns the process's exit status.
int applicationMain(int argc, char** argv);

}  // namespace talvex
