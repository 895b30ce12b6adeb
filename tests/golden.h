// Long expected texts live as files under tests/data/expected. A mismatch names the file and shows
// the first differing line; KRYMO_UPDATE_GOLDEN=1 rewrites the files from the actual texts (review
// the diff before committing).
#pragma once

#include <cstdlib>
#include <sstream>
#include <string>

#include "test_support.h"

namespace krymo_test {

inline std::string golden_path(const std::string& rel) { return data_path("expected/" + rel); }

inline void expect_golden(const std::string& actual, const std::string& rel) {
    const std::string path = golden_path(rel);
    if (std::getenv("KRYMO_UPDATE_GOLDEN") != nullptr) {
        const std::string dir = path.substr(0, path.rfind('/'));
        if (std::system(("mkdir -p '" + dir + "'").c_str()) != 0) ADD_FAILURE() << "cannot create " << dir;
        write_file(path, actual);
        return;
    }
    if (!path_exists(path)) {
        ADD_FAILURE() << "missing expected file " << rel;
        return;
    }
    const std::string expected = read_file(path);
    if (actual == expected) return;
    std::istringstream a(actual), e(expected);
    std::string la, le;
    int line = 0;
    while (true) {
        ++line;
        const bool ga = static_cast<bool>(std::getline(a, la)), ge = static_cast<bool>(std::getline(e, le));
        if (!ga || !ge || la != le) {
            ADD_FAILURE() << rel << ": first difference at line " << line << "\n  expected: "
                          << (ge ? "\"" + le + "\"" : "<end of file>") << "\n  actual:   "
                          << (ga ? "\"" + la + "\"" : "<end of file>");
            return;
        }
    }
}

}  // namespace krymo_test
