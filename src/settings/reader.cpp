#include "settings/krymo_inp.h"
#include "util/fatal.h"

namespace krymo {

// Placeholder until the key table lands in this file.
int KrymoInp::read_krymo_inp(const std::string&, bool) {
    KRYMO_FATAL_OUT("krymo_inp", 1, "reading of the input file is not available in this build\n");
}

}  // namespace krymo
