// Inertia frames of unit-cell molecules and neighbour pairs, the pair map that lets one pair stand
// for its equivalents, and the unique molecule list of the transfer-integral jobs.
#include <algorithm>
#include <cstdio>

#include "structure/elements.h"
#include "transport/pair_map.h"
#include "transport/transport.h"
#include "util/fatal.h"
#include "util/files.h"
#include "util/linalg.h"
#include "util/progress.h"
#include "util/text.h"

namespace krymo {

namespace {

// Tensor of atoms about their centre of mass with plus-signed off-diagonal sums, divided by the atom
// count; its eigenvalues (solver order) and eigenvectors (column by column).
void moment_eigen(int n, const int* element, const double* x, double* eigval, double* eigvec) {
    double T[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
    double c[3] = {0, 0, 0}, msum = 0.0;
    // Masses are looked up again in the second pass rather than kept: no allocation per pair.
    for (int p = 0; p < n; ++p) {
        const double m = find_element_mass_from_index(element[p]);
        msum += m;
        for (int k = 0; k < 3; ++k) c[k] += m * x[3 * p + k];
    }
    if (n > 0)
        for (int k = 0; k < 3; ++k) c[k] /= msum;
    for (int p = 0; p < n; ++p) {
        const double m = find_element_mass_from_index(element[p]);
        const double dx = x[3 * p] - c[0], dy = x[3 * p + 1] - c[1], dz = x[3 * p + 2] - c[2];
        T[0][0] += m * (dy * dy + dz * dz);
        T[1][1] += m * (dx * dx + dz * dz);
        T[2][2] += m * (dx * dx + dy * dy);
        T[0][1] += m * dx * dy;
        T[0][2] += m * dx * dz;
        T[1][2] += m * dy * dz;
    }
    T[1][0] = T[0][1];
    T[2][0] = T[0][2];
    T[2][1] = T[1][2];
    if (n > 0)
        for (auto& row : T)
            for (double& v : row) v /= n;
    double d[3], V[3][3];
    int nrot = 0;
    jacobi_nr(T, 3, d, V, &nrot);
    for (int t = 0; t < 3; ++t) eigval[t] = d[t];
    for (int col = 0; col < 3; ++col)
        for (int r = 0; r < 3; ++r) eigvec[3 * col + r] = V[r][col];
}

// One report file in the data directory; a file that cannot be written stops the run.
template <class Body>
void write_report(const std::string& dir, const char* name, Body body) {
    static const OutputFailure kReportFailure = {"transport", 255, true, false};
    create_directory(dir);
    TextWriter out;
    open_output(out, format_string("%s/%s", dir.c_str(), name), kReportFailure);
    body(out);
    close_output(out, kReportFailure);
}

// "%10.6f" for the 3 eigenvalues, two blanks, then the 9 eigenvector components.
std::string eigen_columns(const double* eigval, const double* eigvec) {
    std::string s = format_string("%10.6f %10.6f %10.6f ", eigval[0], eigval[1], eigval[2]);
    for (int t = 0; t < 9; ++t) s += format_string(" %10.6f", eigvec[t]);
    return s;
}

}  // namespace

void Transport::calc_uc_mol_moment_one(int n, const int* element, const double* x, int mol) {
    moment_eigen(n, element, x, &mol_moments[3 * mol], &mol_eigvec[9 * mol]);
}

void Transport::calc_2mol_moment_one(int n, const int* element, const double* x, int root, int entry) {
    moment_eigen(n, element, x, &pair_eigval[root][3 * entry], &pair_eigvec[root][9 * entry]);
}

void Transport::calc_moment_of_inertia(int n, const double* x, const double* mass, double* tensor) {
    double c[3] = {0, 0, 0}, msum = 0.0;
    for (int p = 0; p < n; ++p) {
        msum += mass[p];
        for (int k = 0; k < 3; ++k) c[k] += mass[p] * x[3 * p + k];
    }
    if (n > 0)
        for (int k = 0; k < 3; ++k) c[k] /= msum;
    for (int t = 0; t < 9; ++t) tensor[t] = 0.0;
    for (int p = 0; p < n; ++p) {
        const double dx = x[3 * p] - c[0], dy = x[3 * p + 1] - c[1], dz = x[3 * p + 2] - c[2];
        tensor[0] += mass[p] * (dy * dy + dz * dz);
        tensor[4] += mass[p] * (dx * dx + dz * dz);
        tensor[8] += mass[p] * (dx * dx + dy * dy);
        tensor[1] += mass[p] * dx * dy;
        tensor[2] += mass[p] * dx * dz;
        tensor[5] += mass[p] * dy * dz;
    }
    tensor[3] = tensor[1];
    tensor[6] = tensor[2];
    tensor[7] = tensor[5];
}

void Transport::calc_HL_uc_mol_eigval_eigvec() {
    const int nm = nmols_uc;
    mol_moments.resize(3 * nm);
    mol_eigvec.resize(9 * nm);
    std::vector<double> x;
    for (int i = 0; i < nm; ++i) {
        x.resize(3 * mol_natoms[i]);
        mat_vec_mul_n(cif_lattice_vectors, mol_x_s[i].data(), x.data(), mol_natoms[i]);
        calc_uc_mol_moment_one(mol_natoms[i], mol_atypes[i].data(), x.data(), i);
    }
    if (!(HL_unique_uc_mol && output_eigval != 0)) return;
    write_report(data_dir, "eigval_1mol.dat", [&](TextWriter& out) {
        out.printf("# unitcell mol eigenvalues by principal moment of inertia\n");
        out.printf("%d\n", nm);
        for (int i = 0; i < nm; ++i) out.line("   " + eigen_columns(&mol_moments[3 * i], &mol_eigvec[9 * i]));
    });
}

void Transport::calc_HL_2mol_eigval_eigvec_and_unique_pairs() {
    const int nm = nmols_uc;
    const int P = total_pairs();
    std::vector<double> x;
    std::vector<int> types;
    std::vector<double> all_eig(3 * P);
    Progress progress("pair inertia frames", P);
    int g = 0;
    for (int i = 0; i < nm; ++i) {
        pair_eigval[i].resize(3 * nnei[i]);
        pair_eigvec[i].resize(9 * nnei[i]);
        for (int k = 0; k < nnei[i]; ++k, ++g) {
            const int j = nei_mol_ids[i][k];
            const int* cell = &nei_cindex[i][3 * k];
            const int ni = mol_natoms[i], nj = mol_natoms[j];
            x.assign(mol_x_s[i].begin(), mol_x_s[i].begin() + 3 * ni);
            for (int q = 0; q < nj; ++q)
                for (int t = 0; t < 3; ++t) x.push_back(mol_x_s[j][3 * q + t] + cell[t]);
            types.assign(mol_atypes[i].begin(), mol_atypes[i].begin() + ni);
            types.insert(types.end(), mol_atypes[j].begin(), mol_atypes[j].begin() + nj);
            mat_vec_mul_n(cif_lattice_vectors, x.data(), x.data(), ni + nj);
            calc_2mol_moment_one(ni + nj, types.data(), x.data(), i, k);
            for (int t = 0; t < 3; ++t) all_eig[3 * g + t] = pair_eigval[i][3 * k + t];
            progress.add();
        }
    }
    progress.finish();

    if (HL_unique_pair && output_eigval != 0)
        write_report(data_dir, "eigval_2mol.dat", [&](TextWriter& out) {
            out.printf("# 2mol eigenvalues by principal moment of inertia\n");
            out.printf("%d\n", nm);
            for (int i = 0; i < nm; ++i) {
                out.printf("  %d\n", i + 1);
                for (int k = 0; k < nnei[i]; ++k)
                    out.line(format_string("    %2d: ", k + 1) +
                             eigen_columns(&pair_eigval[i][3 * k], &pair_eigvec[i][9 * k]));
            }
        });

    build_pair_map(all_eig.data(), P, HL_pair_index);

    if (HL_unique_pair)
        write_report(data_dir, "unique_id_map.dat", [&](TextWriter& out) {
            out.printf("# Unique ID mapping\n");
            out.printf("%d\n", nm);
            for (int i = 0; i < nm; ++i) {
                out.printf("  %d\n", nnei[i]);
                for (int k = 0; k < nnei[i]; ++k)
                    out.printf("    %3d %3d  %3d\n", i + 1, k + 1, global_pair_number(i, k + 1));
            }
        });

    HL_unique_pairs = HL_pair_index;
    std::sort(HL_unique_pairs.begin(), HL_unique_pairs.end());
    HL_unique_pairs.erase(std::unique(HL_unique_pairs.begin(), HL_unique_pairs.end()), HL_unique_pairs.end());
    for (int& p : HL_unique_pairs) ++p;
    HL_nunique_pairs = static_cast<int>(HL_unique_pairs.size());

    if (HL_unique_pair) {
        std::printf("**** Check Duplicate 2mol pairs ****\n");
        std::printf("  Unique 2mol pairs: %d out of %d\n", HL_nunique_pairs, P);
        for (int gp : HL_unique_pairs) {
            const int root = pair_root(gp);
            std::printf("    %3d %3d   <=>  %3d\n", root + 1, gp - pair_start[root], gp);
        }
        std::printf("**** End of Check Duplicate 2mol pairs ****\n\n");
    }
}

int Transport::HL_check_unitcell_unique_mols(bool info) {
    const int nm = nmols_uc;
    if (info) std::printf("**** Check HL Duplicate Molecules in Unit Cell ****\n");
    std::vector<int> roots;
    for (int gp : HL_unique_pairs) roots.push_back(pair_root(gp) + 1);
    group_same_mols(HL_uc_mol_index, &Transport::HL_mols_if_the_same, 3, mol_moments.data());
    if (info) print_mol_indexes(HL_uc_mol_index);
    // The representatives are the roots of the representative pairs, not the molecule classes.
    HL_unique_mols = sorted_distinct(roots);
    HL_nunique = static_cast<int>(HL_unique_mols.size());
    if (info) print_unique_mols(HL_unique_mols, "HL");
    for (int i = 0; i < nm; ++i)
        if (HL_uc_mol_index[i] != i + 1) return 0;
    return 1;
}

}  // namespace krymo
