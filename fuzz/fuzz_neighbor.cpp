// Fuzz target of the neighbor.dat reader: a list read for two molecules in a monoclinic cell, then
// used as the run uses it (image centres, minimum distances, unique pairs).
#include <algorithm>

#include "fuzz_support.h"
#include "structure/cell.h"
#include "transport/transport.h"
#include "util/fatal.h"

namespace {

struct Study : krymo::Transport {
    Study() {
        const double cell6[6] = {6, 5, 7, 90, 105, 90};
        std::copy(cell6, cell6 + 6, cell_latt);
        krymo::cell6_to_lattice(cell6, cif_lattice_vectors, latt_matrix_inv);
        add_molecule({6, 1, 1}, {0.1, 0.1, 0.1, 0.25, 0.1, 0.1, 0.1, 0.3, 0.1});
        add_molecule({8, 1}, {0.6, 0.55, 0.5, 0.6, 0.7, 0.55});
        calc_x_com();
    }
    void add_molecule(const std::vector<int>& types, const std::vector<double>& x_s) {
        std::vector<double> x(x_s.size());
        for (size_t p = 0; p < types.size(); ++p) coord_f2c(&x_s[3 * p], &x[3 * p]);
        ++nmols_uc;
        mol_natoms.push_back(static_cast<int>(types.size()));
        mol_atypes.push_back(types);
        mol_x.push_back(x);
        mol_x_s.push_back(x_s);
    }
    void read() {
        build_neighbor_list(true, true);
        find_neighbor_molecules_min_distance(true);
        calc_HL_uc_mol_eigval_eigvec();
        calc_HL_2mol_eigval_eigvec_and_unique_pairs();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const krymo_fuzz::InputFile in("neighbor.dat", data, size);
    Study s;
    try {
        s.read();
    } catch (const krymo::FatalError&) {
    }
    return 0;
}
