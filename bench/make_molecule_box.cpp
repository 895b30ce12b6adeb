// Writes a generated molecule-mode box as a study folder that krymo_prepare can run on.
//
//   make_molecule_box DIR [molecules=1000] [molecule file: CIF (first molecule) or MOL,
//                         default tests/data/crystals/quinacridone_beta.cif] [seed=1]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_support.h"
#include "molecule_box.h"
#include "util/fatal.h"
#include "util/usage.h"

int main(int argc, char** argv) {
    if (krymo::usage_requested(argc, argv)) {
        krymo::print_usage(
            "Usage: %s DIR [molecules=1000] [molecule file] [seed=1]\n"
            "  Writes a generated molecule-mode box of the molecule (CIF: its first molecule, or a MOL file;\n"
            "  default tests/data/crystals/quinacridone_beta.cif) as a study folder DIR for krymo_prepare.\n",
            argv[0]);
        return 0;
    }
    // A folder name is never an option: "-x" is a typo, not a study to create.
    if (argc < 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: %s DIR [molecules] [molecule file] [seed] (%s -h explains)\n", argv[0], argv[0]);
        return 1;
    }
    const int count = krymo_bench::int_arg(argc, argv, 2, 1000);
    const std::string mol = krymo_bench::molecule_arg(argc, argv, 3, "quinacridone_beta.cif");
    const auto seed = static_cast<unsigned>(krymo_bench::int_arg(argc, argv, 4, 1));
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
