// Fuzz target of the engine output readers: the same bytes as a formatted checkpoint file, a Gaussian
// log and an ORCA output; each either yields a wavefunction or stops with the fatal error.
#include <string>

#include "fuzz_support.h"
#include "qcpost/fchk.h"
#include "qcpost/wavefunction.h"
#include "util/fatal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    krymo_fuzz::workdir();
    const std::string text(reinterpret_cast<const char*>(data), size);
    using namespace krymo::qcpost;
    try {
        wavefunction_from_fchk(parse_fchk("input.fchk", text));
    } catch (const krymo::FatalError&) {
    }
    try {
        read_gaussian_log("input.log", text);
    } catch (const krymo::FatalError&) {
    }
    try {
        read_orca_out("input.out", text);
    } catch (const krymo::FatalError&) {
    }
    return 0;
}
