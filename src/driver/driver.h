// Command line, banner, usage and version of krymo_prepare, and the run sequence.
#pragma once

#include <string>
#include <vector>

namespace krymo {

struct PrepareOptions {
    std::string program = "krymo_prepare";
    std::string config = "krymo.inp";
    std::string echo_file = "config.inp";
    std::string trackdir = "track";
    bool openmp = true;
    bool info = true;
    bool verbose = false;  // -verbose: also progress reports of long stages when standard error is no terminal
    bool rmin = false;
};

// Run: go on with the run; Exit: end with status 0 (help, version); Fail: end with status 1.
enum class ParseResult { Run, Exit, Fail };

// Parses the arguments (argv[0] included). Screen text goes to standard output; a result of Exit
// means the program ends with status 0 (help, version), Fail with status 1 (missing -config file).
ParseResult parse_prepare_options(const std::vector<std::string>& args, PrepareOptions& opts);

std::string release_label();
std::string build_date();
std::string KRYMO_version_line();
std::string KRYMO_title_text();
std::string usage_text(const std::string& program);
void print_KRYMO_version();
void print_KRYMO_title();

// The whole run sequence on one run object; returns the exit status (FatalError propagates).
int run_prepare(const PrepareOptions& opts);

// main() of krymo_prepare: parses, runs, turns a FatalError into its report and exit status.
int prepare_main(int argc, char** argv);

}  // namespace krymo
