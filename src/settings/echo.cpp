#include "settings/krymo_inp.h"

namespace krymo {

bool KrymoInp::write_krymo_inp(const std::string&, bool, bool) { return false; }

}  // namespace krymo
