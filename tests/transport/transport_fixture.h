// A run object that tests fill by hand: a cell and molecules given directly, settings set by name.
#pragma once

#include <omp.h>

#include <array>
#include <string>
#include <vector>

#include "structure/cell.h"
#include "test_support.h"
#include "transport/transport.h"

namespace krymo_test {

class TestTransport : public krymo::Transport {
public:
    using Transport::global_pair_number; using Transport::homo_index; using Transport::HL_pair_index;
    using Transport::HL_unique_mols; using Transport::HL_unique_pairs; using Transport::mol_com;
    using Transport::mol_com_s; using Transport::mol_mass; using Transport::mol_moments; using Transport::mol_natoms;
    using Transport::mol_x_s; using Transport::nei_cindex; using Transport::nei_com_x; using Transport::nei_mol_ids;
    using Transport::nmols_uc; using Transport::nnei; using Transport::RE_unique_mols; using Transport::RE_nunique;
    using Transport::carrier_letter; using Transport::chargetype; using Transport::compute_engine;
    using Transport::RE_use_neutral_chk; using Transport::qc_basis; using Transport::qc_basis_re;
    using Transport::use_moo; using Transport::reorg_outer_type; using Transport::reorg_outer_radii;
    using Transport::qc_exe; using Transport::homo_adjustment; using Transport::lumo_adjustment;
    using Transport::output_eigval; using Transport::data_mol_output_level; using Transport::cif_lattice_vectors;

    // Cell from a, b, c, alpha, beta, gamma.
    void set_cell(double a, double b, double c, double alpha = 90, double beta = 90, double gamma = 90) {
        const double cell6[6] = {a, b, c, alpha, beta, gamma};
        for (int k = 0; k < 6; ++k) cell_latt[k] = cell6[k];
        krymo::cell6_to_lattice(cell6, cif_lattice_vectors, latt_matrix_inv);
    }

    // Orthorhombic cell with an exactly diagonal lattice matrix.
    void set_box(double a, double b, double c) {
        set_cell(a, b, c);
        const double d[3] = {a, b, c};
        for (int r = 0; r < 3; ++r)
            for (int k = 0; k < 3; ++k) {
                cif_lattice_vectors[r][k] = r == k ? d[r] : 0.0;
                latt_matrix_inv[r][k] = r == k ? 1.0 / d[r] : 0.0;
            }
    }

    // Appends a molecule given by element indices and Cartesian coordinates (Angstrom).
    void add_molecule_cart(const std::vector<int>& types, const std::vector<double>& x) {
        std::vector<double> xs(x.size());
        for (size_t p = 0; p < types.size(); ++p) coord_c2f(&x[3 * p], &xs[3 * p]);
        push(types, x, xs);
    }
    // Appends a molecule given by fractional coordinates.
    void add_molecule_frac(const std::vector<int>& types, const std::vector<double>& xs) {
        std::vector<double> x(xs.size());
        for (size_t p = 0; p < types.size(); ++p) coord_f2c(&xs[3 * p], &x[3 * p]);
        push(types, x, xs);
    }

    int get_atom_type(int mol, int atom) const { return mol_atypes[mol][atom]; }

    // A real crystal of the test data, assembled into whole molecules, with centres of mass.
    void load_crystal(const std::string& file) {
        read_data_cif(data_path("crystals/" + file), false);
        mol_data_source = 2;
        read_crystal_strcuture_files(false, false);
        calc_x_com();
    }

    void set_search(double cutoff, int na, int nb, int nc) {
        lattice_cutoff = cutoff;
        neighbor_scell[0] = na;
        neighbor_scell[1] = nb;
        neighbor_scell[2] = nc;
    }
    void set_unique(bool hl, bool re) {
        HL_unique_mol = hl ? 1 : 0;
        RE_unique_mol = re ? 1 : 0;
        update_unique_flags();
    }

    // Centres of mass, then the neighbour list (computed).
    void build(bool info = false) {
        calc_x_com();
        build_neighbor_list(false, info);
    }

    // Neighbour list as text "j:a,b,c" per entry (1-based j), one root per line.
    std::string list_text() const {
        std::string s;
        for (int i = 0; i < nmols_uc; ++i) {
            for (int k = 0; k < nnei[i]; ++k)
                s += std::to_string(nei_mol_ids[i][k] + 1) + ":" + std::to_string(nei_cindex[i][3 * k]) + "," +
                     std::to_string(nei_cindex[i][3 * k + 1]) + "," + std::to_string(nei_cindex[i][3 * k + 2]) + " ";
            s += "\n";
        }
        return s;
    }

private:
    void push(const std::vector<int>& types, const std::vector<double>& x, const std::vector<double>& xs) {
        ++nmols_uc;
        mol_natoms.push_back(static_cast<int>(types.size()));
        mol_atypes.push_back(types);
        mol_x.push_back(x);
        mol_x_s.push_back(xs);
        mol_ids.push_back(nmols_uc);
        mol_files.push_back("mol" + std::to_string(nmols_uc) + ".mol");
    }
};

// Runs fn with the given OpenMP team size and restores the earlier one.
template <class F>
void with_threads(int n, F fn) {
    const int old = omp_get_max_threads();
    omp_set_num_threads(n);
    fn();
    omp_set_num_threads(old);
}

// Captures standard output written while fn runs.
template <class F>
std::string capture_stdout(F fn) {
    testing::internal::CaptureStdout();
    fn();
    return testing::internal::GetCapturedStdout();
}

}  // namespace krymo_test
