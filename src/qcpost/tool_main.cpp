#include "qcpost/tool_main.h"

#include <cstdio>

#include "util/fatal.h"
#include "util/text.h"

namespace krymo {
namespace qcpost {

const OutputFailure kToolWriteFailure = {"qcpost", 1, false, false};

int guarded(const std::function<int()>& body) {
    try {
        return body();
    } catch (const FatalError& e) {
        std::fflush(stdout);
        return report_fatal(e);
    }
}

bool wants_help(int argc, char** argv, const char* usage, const char* tool) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-h" || a == "--help") {
            std::printf(usage, tool);
            return true;
        }
    }
    return false;
}

void usage_error(const char* usage, const char* tool, const std::string& what) {
    KRYMO_FATAL_OUT("qcpost", 1, what + "\n" + format_string(usage, tool));
}

void not_available(const char* tool, const std::string& why_and_instead) {
    KRYMO_FATAL_OUT("qcpost", 1, format_string("%s is not available: %s\n", tool, why_and_instead.c_str()));
}

}  // namespace qcpost
}  // namespace krymo
