// What every qcpost tool main shares: the -h answer, the usage error and the FatalError report.
#pragma once

#include <functional>
#include <string>

#include "util/files.h"

namespace krymo {
namespace qcpost {

// Output failures of the qcpost tools: the unit, status 1, the message on standard output.
extern const OutputFailure kToolWriteFailure;

// Runs `body`, turning a FatalError into its report and exit status.
int guarded(const std::function<int()>& body);
// True (after printing `usage` with the tool's name) when any argument is -h or --help.
bool wants_help(int argc, char** argv, const char* usage, const char* tool);
[[noreturn]] void usage_error(const char* usage, const char* tool, const std::string& what);
// A tool that exists so that the scripts find it, but whose method is not available: says so and
// what to use instead, and stops with status 1 without writing anything.
[[noreturn]] void not_available(const char* tool, const std::string& why_and_instead);

}  // namespace qcpost
}  // namespace krymo
