// A run object that tests fill by hand (a cell and molecules given directly, settings set by name),
// and helpers for threads, standard output and failures.
#pragma once

#include <omp.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "structure/cell.h"
#include "util/text.h"
#include "test_support.h"
#include "transport/transport.h"

namespace krymo_test {

class TestTransport : public krymo::Transport {
public:
    // Members the tests fill or read directly.
    using Transport::carrier_letter; using Transport::chargetype; using Transport::cif_lattice_vectors;
    using Transport::compute_engine; using Transport::data_mol_output_level; using Transport::HL_pair_index;
    using Transport::HL_unique_pairs; using Transport::homo_adjustment; using Transport::lattice_cutoff;
    using Transport::lumo_adjustment; using Transport::mol_com; using Transport::mol_data_source;
    using Transport::mol_mass; using Transport::mol_moments; using Transport::mol_natoms; using Transport::mol_x_s;
    using Transport::nei_cindex; using Transport::nei_com_x; using Transport::nei_mol_ids;
    using Transport::neighbor_scell; using Transport::nmols_uc; using Transport::nnei; using Transport::output_eigval;
    using Transport::qc_basis; using Transport::qc_basis_re; using Transport::qc_method;
    using Transport::qc_method_re; using Transport::qc_exe; using Transport::RE_unique;
    using Transport::RE_use_neutral_chk; using Transport::reorg_outer_radii; using Transport::reorg_outer_type;
    using Transport::use_moo; using Transport::crystal_file; using Transport::delta_temp;
    using Transport::do_transport_get_mob_MC; using Transport::do_transport_get_mob_MC_temp;
    using Transport::do_transport_get_mob_ME; using Transport::do_transport_get_mob_ME_temp;
    using Transport::do_transport_run_MC; using Transport::do_transport_run_MC_temp;
    using Transport::do_transport_run_ME; using Transport::do_transport_run_ME_temp; using Transport::end_temp;
    using Transport::HOMOLUMO_dynamic_disorder; using Transport::mol_files; using Transport::ratetype;
    using Transport::read_neighbor_dat; using Transport::start_temp; using Transport::V_dynamic_disorder;
    using Transport::HL_unique_mols; using Transport::HL_unique_nei_mol; using Transport::HL_unique_pair;
    using Transport::HL_unique_uc_mol; using Transport::lat_site_energy; using Transport::RE_calc_lambda_4P;
    using Transport::RE_unique_mols; using Transport::sched_job_array; using Transport::eckart_mirror;
    using Transport::RE_uc_mol_index; using Transport::use_evc_dint;

    void use_scheduler(const std::string& name) {
        sched_type = name;
        parse_scheduling_type();
    }

    // Cell from a, b, c, alpha, beta, gamma; right angles give exact zeros (no "-0.0000" in files).
    void set_cell(double a, double b, double c, double alpha = 90, double beta = 90, double gamma = 90) {
        const double cell6[6] = {a, b, c, alpha, beta, gamma};
        std::copy(cell6, cell6 + 6, cell_latt);
        krymo::cell6_to_lattice(cell6, cif_lattice_vectors, latt_matrix_inv);
        for (auto* m : {cif_lattice_vectors, latt_matrix_inv})
            for (int k = 0; k < 9; ++k) m[k / 3][k % 3] = std::fabs(m[k / 3][k % 3]) < 1e-12 ? 0.0 : m[k / 3][k % 3];
    }

    // Appends a molecule given by element indices and coordinates, fractional or Cartesian (Angstrom).
    void add_molecule(const std::vector<int>& types, std::vector<double> x, bool frac = false) {
        std::vector<double> other(x.size());
        for (size_t p = 0; p < types.size(); ++p)
            frac ? coord_f2c(&x[3 * p], &other[3 * p]) : coord_c2f(&x[3 * p], &other[3 * p]);
        if (frac) std::swap(x, other);
        ++nmols_uc;
        mol_natoms.push_back(static_cast<int>(types.size()));
        mol_atypes.push_back(types);
        mol_x.push_back(x);
        mol_x_s.push_back(other);
    }

    void set_search(double cutoff, int n) {
        lattice_cutoff = cutoff;
        neighbor_scell[0] = neighbor_scell[1] = neighbor_scell[2] = n;
    }
    // Centres of mass, then the neighbour list (computed).
    void build(bool info = false) { calc_x_com(); build_neighbor_list(false, info); }

    // Neighbour list as text "j:a,b,c" per entry (1-based j), one root per line.
    std::string list_text() const {
        std::string s;
        for (int i = 0; i < nmols_uc; ++i, s += "\n")
            for (int k = 0; k < nnei[i]; ++k) {
                const int* c = &nei_cindex[i][3 * k];
                s += krymo::format_string("%d:%d,%d,%d ", nei_mol_ids[i][k] + 1, c[0], c[1], c[2]);
            }
        return s;
    }
};

// A study of a crystal from tests/data analysed as a run does it: neighbour list, unique pairs,
// unique molecules (quietly).
inline void prepare_crystal(TestTransport& t, const std::string& crystal) {
    t.read_data_cif(data_path("crystals/" + crystal + ".cif"), false);
    t.mol_data_source = 2;
    t.read_crystal_strcuture_files(false, false);
    testing::internal::CaptureStdout();
    t.post_data_read_treatment(false);
    t.build_neighbor_list(false, false);
    t.calc_HL_uc_mol_eigval_eigvec();
    t.calc_HL_2mol_eigval_eigvec_and_unique_pairs();
    t.RE_check_unitcell_same_mols(false);
    t.HL_check_unitcell_unique_mols(false);
    testing::internal::GetCapturedStdout();
}

// Every file of a directory after a "==> dir/name" line.
inline std::string files_text(const std::string& dir) {
    std::string s;
    for (const std::string& f : list_dir(dir)) s += "==> " + dir + "/" + f + "\n" + read_file(dir + "/" + f);
    return s;
}

// Runs fn with the given OpenMP team size and restores the earlier one.
template <class F>
void with_threads(int n, F fn) {
    const int old = omp_get_max_threads();
    omp_set_num_threads(n);
    fn();
    omp_set_num_threads(old);
}

// fn must stop the run from unit "transport" with this status and these messages on stdout and stderr.
inline void expect_stop(const std::function<void()>& fn, int status, const std::string& out,
                        const std::string& err = "") {
    const krymo::FatalError e = expect_fatal(fn);
    EXPECT_EQ(e.unit, "transport");
    EXPECT_EQ(e.status, status) << out << err;
    EXPECT_EQ(e.out_text, out);
    EXPECT_EQ(e.err_text, err);
}

}  // namespace krymo_test
