// Where the tests find the post-processing tools and the real engine outputs.
#pragma once

#include <string>

#include "test_support.h"

namespace krymo_test {

inline std::string qcpost_tool(const char* name) { return std::string(KRYMO_QCPOST_DIR) + "/qcpost_" + name + ".exe"; }
inline std::string qc_output(const std::string& rel) { return data_path("qc_outputs/" + rel); }

}  // namespace krymo_test
