// Writes a generated molecule-mode box as a study folder that krymo_prepare can run on.
//
//   make_molecule_box DIR [molecules=1000] [molecule file: CIF (first molecule) or MOL,
//                         default tests/data/crystals/quinacridone_beta.cif] [seed=1]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "molecule_box.h"
#include "util/fatal.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DIR [molecules] [molecule file] [seed]\n", argv[0]);
        return 1;
    }
    const std::string here = __FILE__;
    const std::string data = here.substr(0, here.find_last_of('/')) + "/../tests/data/";
    const int count = argc > 2 ? std::atoi(argv[2]) : 1000;
    const std::string mol = argc > 3 && argv[3][0] != '\0' ? argv[3] : data + "crystals/quinacridone_beta.cif";
    const unsigned seed = argc > 4 ? static_cast<unsigned>(std::atoi(argv[4])) : 1u;
    try {
        krymo_bench::BoxTransport box;
        box.make_box(box.load_molecule(mol), count, seed);
        box.write_study(argv[1]);
        std::printf("%s: %d molecules of %d atoms in a %.2f A box\n", argv[1], box.molecules(),
                    box.atoms_per_molecule(), box.box_edge());
    } catch (const krymo::FatalError& e) {
        return krymo::report_fatal(e);
    }
    return 0;
}
