// Neighbour list: for every unit-cell molecule, the molecule images of a block of cells that hold an
// atom closer than lattice_cutoff to one of its atoms, ordered by centre-of-mass distance.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <memory>

#include "transport/atom_pairs.h"
#include "transport/image_search.h"
#include "transport/transport.h"
#include "util/fatal.h"
#include "util/linalg.h"
#include "util/progress.h"
#include "util/sort.h"
#include "util/text.h"

namespace krymo {

int Transport::check_if_molecule_within_rcut(int i, int j, const int* cell, double rcut2, double* r2_out) const {
    return atoms_within_rcut(i, j, cell, rcut2, r2_out, nullptr);
}

int Transport::atoms_within_rcut(int i, int j, const int* cell, double rcut2, double* r2_out,
                                 const ImageSearch* search) const {
    if (mol_natoms[i] == 0) return 0;
    // Skipped root atoms have no pair within the cutoff: the first pair found is the same.
    int found = 0;
    for_each_atom_pair(cif_lattice_vectors, mol_x_s[i], mol_natoms[i], mol_x_s[j], mol_natoms[j], j, cell, search,
                       [&](double r2) {
                           if (!(r2 < rcut2)) return true;
                           if (r2_out != nullptr) *r2_out = r2;
                           found = 1;
                           return false;
                       });
    return found;
}

namespace {
// Molecule pairs or atoms beyond this take hours and gigabytes: an input mistake, not a study.
constexpr double kMaxSearchCount = 1e9;
}  // namespace

void Transport::check_search_size() const {
    const double(*L)[3] = cif_lattice_vectors;
    const double volume = std::fabs(L[0][0] * (L[1][1] * L[2][2] - L[1][2] * L[2][1]) -
                                    L[0][1] * (L[1][0] * L[2][2] - L[1][2] * L[2][0]) +
                                    L[0][2] * (L[1][0] * L[2][1] - L[1][1] * L[2][0]));
    // Images of molecule j can hold an atom within the cutoff of root i when their centres are
    // closer than the cutoff plus both radii: each root meets about nmols images per cell volume
    // of that sphere, whatever block of cells is searched.
    double radius = 0.0;
    double atoms = 0.0;
    for (int i = 0; i < nmols_uc; ++i) {
        const int n = mol_natoms[i];
        atoms += n;
        double c[3] = {0, 0, 0};
        for (int p = 0; p < n; ++p)
            for (int k = 0; k < 3; ++k) c[k] += mol_x[i][3 * p + k] / n;
        for (int p = 0; p < n; ++p) {
            const double d[3] = {mol_x[i][3 * p] - c[0], mol_x[i][3 * p + 1] - c[1], mol_x[i][3 * p + 2] - c[2]};
            radius = std::max(radius, get_magnitude(d));
        }
    }
    const double reach = lattice_cutoff + 2.0 * radius;
    const double images = 4.0 / 3.0 * 3.14159265358979 * reach * reach * reach / volume * nmols_uc;
    const double pairs = images * nmols_uc;
    if (!(pairs <= kMaxSearchCount))
        KRYMO_FATAL_OUT("transport", 1,
                        format_string("The neighbour search of lattice_cutoff = %g Angstrom in %s would test about "
                                      "%.2g molecule pairs (%d molecules, each within reach of about %.2g molecule "
                                      "images); more than about %.0e cannot be searched. A cutoff of a few Angstrom "
                                      "is usual.\n",
                                      lattice_cutoff, input_path.c_str(), pairs, nmols_uc, images, kMaxSearchCount));
    if (data_mol_output_level & 4) {
        const double cells = static_cast<double>(neighbor_scell[0]) * neighbor_scell[1] * neighbor_scell[2];
        if (!(cells * atoms <= kMaxSearchCount))
            KRYMO_FATAL_OUT("transport", 1,
                            format_string("supercell.cif of neighbor_scell %d %d %d (data_mol_output_level %d in %s) "
                                          "would hold about %.2g atoms; more than about %.0e cannot be written.\n",
                                          neighbor_scell[0], neighbor_scell[1], neighbor_scell[2],
                                          data_mol_output_level, input_path.c_str(), cells * atoms,
                                          kMaxSearchCount));
    }
}

void Transport::build_neighbor_list(bool read_neighbor, bool info) {
    const int nm = nmols_uc;
    nnei.assign(nm, 0);
    nei_mol_ids.assign(nm, {});
    nei_cindex.assign(nm, {});
    if (info) {
        std::printf("\n**** KRYMO Build Neighbor List ****\n");
        std::printf("  Neighbor rcutoff distance: %g\n", lattice_cutoff);
        std::printf("  Neighbor search cell (-/+): %d %d %d\n", neighbor_scell[0], neighbor_scell[1], neighbor_scell[2]);
    }
    if (read_neighbor)
        read_neighbor_list();
    else
        compute_neighbor_list();
    neighbor_built = true;
    if (info) std::printf("**** End of KRYMO Build Neighbor List ****\n\n");
    finish_neighbor_list();
}

void Transport::compute_neighbor_list() {
    const int nm = nmols_uc;
    // The sort key is the centre-of-mass distance, so the centres must exist before the search.
    if (!com_ready) calc_x_com();
    const double rcut2 = lattice_cutoff * lattice_cutoff;
    const int na = neighbor_scell[0], nb = neighbor_scell[1], nc = neighbor_scell[2];
    std::unique_ptr<ImageSearch> search;
    if (pruned_neighbor_search)
        search = std::make_unique<ImageSearch>(cif_lattice_vectors, mol_natoms, mol_x_s, neighbor_scell, lattice_cutoff);

    // Failures are recorded per root and raised after the parallel loop: nothing may leave it.
    std::vector<char> overflow(nm, 0);
    std::vector<std::exception_ptr> errors(nm);
    Progress progress("neighbour list", nm);

#pragma omp parallel
    {
        std::vector<double> d2(NNEIMAX);
        std::vector<int> order(NNEIMAX), cj(NNEIMAX), ca(NNEIMAX), cb(NNEIMAX), cc(NNEIMAX);
        std::vector<ImageCandidate> cand;
#pragma omp for schedule(static)
        for (int i = 0; i < nm; ++i) {
            try {
                int count = 0;
                // Tests one candidate; false once the buffer is full.
                auto visit = [&](int j, const int cell[3]) {
                    if (!atoms_within_rcut(i, j, cell, rcut2, nullptr, search.get())) return true;
                    double d[3];
                    for (int k = 0; k < 3; ++k) d[k] = mol_com_s[3 * j + k] - mol_com_s[3 * i + k] + cell[k];
                    mat_vec_mul(cif_lattice_vectors, d, d);
                    d2[count] = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
                    cj[count] = j;
                    ca[count] = cell[0];
                    cb[count] = cell[1];
                    cc[count] = cell[2];
                    return ++count < NNEIMAX;
                };
                bool ok = true;
                if (search) {
                    search->candidates(i, cand);
                    for (size_t t = 0; ok && t < cand.size(); ++t) ok = visit(cand[t].j, cand[t].cell);
                } else {
                    for (int c = -nc; ok && c <= nc; ++c)
                        for (int b = -nb; ok && b <= nb; ++b)
                            for (int a = -na; ok && a <= na; ++a)
                                for (int j = 0; ok && j < nm; ++j) {
                                    if (j == i && a == 0 && b == 0 && c == 0) continue;
                                    const int cell[3] = {a, b, c};
                                    ok = visit(j, cell);
                                }
                }
                progress.add();
                if (!ok) {
                    overflow[i] = 1;
                    continue;
                }
                for (int t = 0; t < count; ++t) order[t] = t;
                quickSort_d(d2.data(), order.data(), count);
                std::vector<int>& ids = nei_mol_ids[i];
                std::vector<int>& cix = nei_cindex[i];
                ids.resize(count);
                cix.resize(3 * count);
                for (int t = 0; t < count; ++t) {
                    const int s = order[t];
                    ids[t] = cj[s];
                    cix[3 * t] = ca[s];
                    cix[3 * t + 1] = cb[s];
                    cix[3 * t + 2] = cc[s];
                }
                nnei[i] = count;
            } catch (...) {
                errors[i] = std::current_exception();
            }
        }
    }
    for (int i = 0; i < nm; ++i) {
        if (errors[i]) std::rethrow_exception(errors[i]);
        if (overflow[i])
            KRYMO_FATAL_OUT("transport", 1,
                            format_string("Molecule %d has more than %d neighbour molecules within lattice_cutoff = %g "
                                          "Angstrom (%s); at most %d are allowed (NNEIMAX %d).\n  A cutoff of a few "
                                          "Angstrom is usual: lower lattice_cutoff.\n",
                                          i + 1, NNEIMAX - 1, lattice_cutoff, setting_place("lattice_cutoff").c_str(),
                                          NNEIMAX - 1, NNEIMAX));
    }
    progress.finish();
}

void Transport::require_neighbor_pairs() const {
    for (int n : nnei)
        if (n > 0) return;
    if (read_neighbor_dat)
        KRYMO_FATAL_OUT("transport", 1,
                        format_string("The neighbour list neighbor.dat (read_neighbor_dat in %s) gives no neighbour "
                                      "pair at all: a study needs at least one pair.\n",
                                      setting_place("read_neighbor_dat").c_str()));
    KRYMO_FATAL_OUT("transport", 1,
                    format_string("No two molecules come closer than lattice_cutoff = %g Angstrom (%s) within "
                                  "neighbor_scell %d %d %d: the study would have no neighbour pair at all.\n  Raise "
                                  "lattice_cutoff (a few Angstrom is usual) or neighbor_scell.\n",
                                  lattice_cutoff, setting_place("lattice_cutoff").c_str(), neighbor_scell[0],
                                  neighbor_scell[1], neighbor_scell[2]));
}

void Transport::finish_neighbor_list() {
    const int nm = nmols_uc;
    pair_start.assign(nm + 1, 0);
    for (int i = 0; i < nm; ++i) pair_start[i + 1] = pair_start[i] + nnei[i];
    if (!com_ready) calc_x_com();
    nei_com_x.assign(nm, {});
    for (int i = 0; i < nm; ++i) {
        nei_com_x[i].resize(3 * nnei[i]);
        for (int k = 0; k < nnei[i]; ++k) {
            const int j = nei_mol_ids[i][k];
            double f[3];
            for (int t = 0; t < 3; ++t) f[t] = mol_com_s[3 * j + t] + nei_cindex[i][3 * k + t];
            mat_vec_mul(cif_lattice_vectors, f, &nei_com_x[i][3 * k]);
        }
    }
    allocate_mol_id_indexes_array();
    mol_moments.assign(3 * nm, 0.0);
    mol_eigvec.assign(9 * nm, 0.0);
    pair_eigval.assign(nm, {});
    pair_eigvec.assign(nm, {});
    for (int i = 0; i < nm; ++i) {
        pair_eigval[i].assign(3 * nnei[i], 0.0);
        pair_eigvec[i].assign(9 * nnei[i], 0.0);
    }
    HL_pair_index.clear();
    HL_unique_pairs.clear();
    HL_nunique_pairs = 0;
}

void Transport::allocate_mol_id_indexes_array() {
    const int nm = nmols_uc;
    HL_uc_mol_index.resize(nm);
    RE_uc_mol_index.resize(nm);
    for (int i = 0; i < nm; ++i) HL_uc_mol_index[i] = RE_uc_mol_index[i] = i + 1;
    HL_unique_mols.clear();
    RE_unique_mols.clear();
    HL_nunique = RE_nunique = 0;
    HL_nei_mol_index.assign(nm, {});
    for (int i = 0; i < nm; ++i)
        for (int k = 1; k <= nnei[i]; ++k) HL_nei_mol_index[i].push_back(k);
}

int Transport::pair_root(int gp) const {
    return static_cast<int>(std::upper_bound(pair_start.begin(), pair_start.end(), gp - 1) - pair_start.begin()) - 1;
}

}  // namespace krymo
