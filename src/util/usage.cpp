#include "util/usage.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "util/text.h"

namespace krymo {

bool usage_requested(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) return true;
    return false;
}

void print_usage(const char* usage, const char* argv0) {
    const std::string path = argv0 != nullptr ? argv0 : "";
    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::fputs(format_string(usage, name.c_str()).c_str(), stdout);
}

}  // namespace krymo
