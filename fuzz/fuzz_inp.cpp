// Fuzz target of the krymo.inp reader. A `crystal` key reads the named file through the crystal
// reader; only the input itself is in the working folder.
#include "fuzz_support.h"
#include "settings/krymo_inp.h"
#include "util/fatal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const krymo_fuzz::InputFile in("krymo.inp", data, size);
    krymo::KrymoInp inp;
    try {
        inp.read_krymo_inp("krymo.inp", true);
    } catch (const krymo::FatalError&) {
    }
    return 0;
}
