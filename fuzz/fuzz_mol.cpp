// Fuzz target of the MOL reader (V2000 and V3000), through the assembly of the unit-cell
// molecules from molecule files as the run does it.
#include "fuzz_support.h"
#include "structure/fileio.h"
#include "util/fatal.h"

namespace {

struct Molecules : krymo::FileIO {
    void read(const char* path) {
        mol_data_source = 1;
        nmols_uc = 1;
        mol_files = {path};
        read_crystal_strcuture_files(true, false);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const krymo_fuzz::InputFile in("molecule.mol", data, size);
    Molecules m;
    try {
        m.read("molecule.mol");
    } catch (const krymo::FatalError&) {
    }
    return 0;
}
