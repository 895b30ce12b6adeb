// Unit cell of a read crystal file: symmetry expansion to P1, overlap removal, Cartesian
// coordinates and the split into bonded molecules.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "structure/cell_search.h"
#include "structure/fileio.h"
#include "structure/symop.h"
#include "structure/cell.h"
#include "util/fatal.h"
#include "util/text.h"

namespace krymo {

void FileIO::expand_crystal(bool info) {
    bool cell_ok = true;
    for (int k = 0; k < 3; ++k) cell_ok = cell_ok && cell_latt[k] > 0.0 && cell_latt[k + 3] > 0.0 && cell_latt[k + 3] < 180.0;
    double m[3][3];
    convert_cell6_to_latt3x3(cell_latt, m);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) cell_ok = cell_ok && std::isfinite(m[r][c]) && std::isfinite(latt_matrix_inv[r][c]);
    if (!cell_ok)
        KRYMO_FATAL_OUT("fileio", 255,
                        format_string("The cell of the crystal file is missing or impossible: a = %s, b = %s, c = %s, "
                                      "alpha = %s, beta = %s, gamma = %s.\n",
                                      stream_real(cell_latt[0]).c_str(), stream_real(cell_latt[1]).c_str(),
                                      stream_real(cell_latt[2]).c_str(), stream_real(cell_latt[3]).c_str(),
                                      stream_real(cell_latt[4]).c_str(), stream_real(cell_latt[5]).c_str()));

    natoms_cif = static_cast<int>(Atoms.label.size());
    cif_radii.assign(natoms_cif, 9999.99);
    cif_x_s.assign(3 * natoms_cif, 0.0);
    for (int i = 0; i < natoms_cif; ++i) {
        // From the element already resolved: a type symbol with a charge ("O2-") must bond like its element.
        cif_radii[i] = find_element_radius_from_index_nw(cif_atypes[i]);
        cif_x_s[3 * i + 0] = std::strtod(Atoms.fract_x[i].c_str(), nullptr);
        cif_x_s[3 * i + 1] = std::strtod(Atoms.fract_y[i].c_str(), nullptr);
        cif_x_s[3 * i + 2] = std::strtod(Atoms.fract_z[i].c_str(), nullptr);
    }

    make_spacegroup_P1(true);

    cif_x.assign(3 * natoms_cif, 0.0);
    for (int i = 0; i < natoms_cif; ++i) coord_f2c(&cif_x_s[3 * i], &cif_x[3 * i]);

    separate_cif_molecules(info);
    cif_radii.clear();
    cif_radii.shrink_to_fit();
}

void FileIO::make_spacegroup_P1(bool) {
    const int nops = static_cast<int>(spacegroup_ops.size());
    const int N = natoms_cif;
    std::vector<int> atypes(static_cast<size_t>(nops) * N);
    std::vector<double> radii(static_cast<size_t>(nops) * N), x_s(3 * static_cast<size_t>(nops) * N);
    for (int k = 0; k < nops; ++k) {
        double R[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, t[3] = {0, 0, 0};
        ParseTransformString(spacegroup_ops[k], R, t);
        for (int i = 0; i < N; ++i) {
            const size_t a = static_cast<size_t>(k) * N + i;
            atypes[a] = cif_atypes[i];
            radii[a] = cif_radii[i];
            const double* x = &cif_x_s[3 * i];
            for (int r = 0; r < 3; ++r)
                x_s[3 * a + r] = wrap_position_once(R[r][0] * x[0] + R[r][1] * x[1] + R[r][2] * x[2] + t[r]);
        }
    }

    const std::vector<char> removed = find_overlapped_atoms(x_s);
    int nremoved = 0;
    for (char r : removed) nremoved += r;
    if (nremoved > 0) {
        const int remaining = static_cast<int>(removed.size()) - nremoved;
        std::printf("WARNING: Overlapped atoms detected and to be removed\n");
        std::printf("         Number of overlapped atoms is %d\n", nremoved);
        std::printf("         Number of remaining atoms is %d\n", remaining);
        size_t w = 0;
        for (size_t a = 0; a < removed.size(); ++a) {
            if (removed[a]) continue;
            atypes[w] = atypes[a];
            radii[w] = radii[a];
            for (int r = 0; r < 3; ++r) x_s[3 * w + r] = x_s[3 * a + r];
            ++w;
        }
        atypes.resize(w);
        radii.resize(w);
        x_s.resize(3 * w);
    }
    natoms_cif = static_cast<int>(atypes.size());
    cif_atypes.swap(atypes);
    cif_radii.swap(radii);
    cif_x_s.swap(x_s);
}

void FileIO::separate_cif_molecules(bool info) {
    separate_bonded_molecules(cif_x_s, cif_radii, bond_dis_scale, cif_lattice_vectors, sep_mol_natoms, sep_mol_atoms);
    if (info) {
        std::printf("  Unit cell nmols  = %d\n", static_cast<int>(sep_mol_natoms.size()));
        std::printf("  Unit cell natoms =");
        for (int c : sep_mol_natoms) std::printf(" %d", c);
        std::printf("\n");
    }
}

}  // namespace krymo
