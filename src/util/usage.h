// The one rule every executable follows for its usage: `-h` or `--help` anywhere on the command line
// prints the usage on standard output and ends with status 0, before any argument is taken as a file
// or folder name.
#pragma once

namespace krymo {

// True when an argument is "-h" or "--help".
bool usage_requested(int argc, char** argv);

// Prints `usage` with "%s" replaced by the program's own name (argv[0] without its folder).
void print_usage(const char* usage, const char* argv0);

}  // namespace krymo
