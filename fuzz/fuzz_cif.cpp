// Fuzz target of the CIF reader, with what the run does next to a crystal read: symmetry
// expansion, separation into molecules and the unit-cell molecules made whole.
#include "fuzz_support.h"
#include "structure/fileio.h"
#include "util/fatal.h"

namespace {

struct Crystal : krymo::FileIO {
    void read(const char* path) {
        read_data_cif(path, true);
        mol_data_source = 2;
        read_crystal_strcuture_files(true, false);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const krymo_fuzz::InputFile in("crystal.cif", data, size);
    Crystal c;
    try {
        c.read("crystal.cif");
    } catch (const krymo::FatalError&) {
    }
    return 0;
}
