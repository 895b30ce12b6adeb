// Crystal assembly: the unit-cell molecules from MOL files or from the crystal's separated
// molecules made whole, the final lattice matrices and cellvec.dat.
#include <cmath>
#include <cstdio>

#include "structure/cell.h"
#include "structure/cell_search.h"
#include "structure/fileio.h"
#include "util/fatal.h"
#include "util/files.h"
#include "util/linalg.h"
#include "util/progress.h"
#include "util/text.h"

namespace krymo {

namespace {

const OutputFailure kCellvecFailure = {"fileio", 255, false, false};

// Centre of mass of fractional coordinates weighted by the element masses.
void centre_of_mass(int natoms, const int* atypes, const double* x_s, double com[3]) {
    double total = 0.0;
    com[0] = com[1] = com[2] = 0.0;
    for (int i = 0; i < natoms; ++i) {
        const double m = find_element_mass_from_index(atypes[i]);
        total += m;
        for (int k = 0; k < 3; ++k) com[k] += m * x_s[3 * i + k];
    }
    if (total > 0.0)
        for (int k = 0; k < 3; ++k) com[k] /= total;
}

}  // namespace

void FileIO::read_crystal_strcuture_files(bool info, bool cellvec) {
    if (mol_data_source == 1) {
        if (nmols_uc > 0) {
            if (static_cast<int>(mol_files.size()) < nmols_uc)
                KRYMO_FATAL_OUT("fileio", 1,
                                format_string("%d molecule files expected, %d given.\n", nmols_uc,
                                              static_cast<int>(mol_files.size())));
            mol_natoms.assign(nmols_uc, 0);
            mol_atypes.assign(nmols_uc, {});
            mol_x.assign(nmols_uc, {});
            mol_x_s.assign(nmols_uc, {});
            Progress progress("molecule files", nmols_uc);
            for (int i = 0; i < nmols_uc; ++i) {
                read_data_mol(mol_files[i], i, info);
                progress.add();
            }
            progress.finish();
        }
    } else if (mol_data_source == 2) {
        nmols_uc = static_cast<int>(sep_mol_natoms.size());
        mol_natoms.assign(nmols_uc, 0);
        mol_atypes.assign(nmols_uc, {});
        mol_x.assign(nmols_uc, {});
        mol_x_s.assign(nmols_uc, {});
        mol_files.assign(nmols_uc, std::string());
        size_t o = 0;
        for (int i = 0; i < nmols_uc; ++i) {
            const int n = sep_mol_natoms[i];
            mol_natoms[i] = n;
            mol_files[i] = format_string("mol%d.mol", i + 1);
            mol_atypes[i].resize(n);
            mol_x[i].resize(3 * n);
            mol_x_s[i].resize(3 * n);
            for (int j = 0; j < n; ++j) {
                const int k = sep_mol_atoms[o + j];
                mol_atypes[i][j] = cif_atypes[k];
                for (int c = 0; c < 3; ++c) {
                    mol_x[i][3 * j + c] = cif_x[3 * k + c];
                    mol_x_s[i][3 * j + c] = cif_x_s[3 * k + c];
                }
            }
            o += n;
        }
        if (info) std::printf("Make whole molecules...\n");
        for (int i = 0; i < nmols_uc; ++i) {
            make_whole_molecule(i + 1, mol_natoms[i], mol_atypes[i].data(), mol_x_s[i].data(), info);
            for (int j = 0; j < mol_natoms[i]; ++j) coord_f2c(&mol_x_s[i][3 * j], &mol_x[i][3 * j]);
        }
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) latt_vectors[r][c] = cif_lattice_vectors[c][r];
    } else {
        KRYMO_FATAL_OUT("fileio", 255, format_string("No input molecular data is available. (%d)\n", mol_data_source));
    }

    // Lattice finalisation, both modes.
    for (int r = 0; r < 3; ++r) {
        latt_lengths[r] = get_magnitude(latt_vectors[r]);
        for (int c = 0; c < 3; ++c) cif_lattice_vectors[c][r] = latt_vectors[r][c];
    }
    const double det = latt_vectors[0][0] * (latt_vectors[1][1] * latt_vectors[2][2] - latt_vectors[1][2] * latt_vectors[2][1]) -
                       latt_vectors[0][1] * (latt_vectors[1][0] * latt_vectors[2][2] - latt_vectors[1][2] * latt_vectors[2][0]) +
                       latt_vectors[0][2] * (latt_vectors[1][0] * latt_vectors[2][1] - latt_vectors[1][1] * latt_vectors[2][0]);
    if (!(std::fabs(det) >= 1e-30))
        KRYMO_FATAL_OUT("fileio", 1,
                        "The lattice vectors vector_a, vector_b and vector_c do not span a cell (zero volume).\n");
    invert(cif_lattice_vectors, latt_matrix_inv);

    if (mol_data_source == 1) {
        for (int i = 0; i < nmols_uc; ++i)
            for (int j = 0; j < mol_natoms[i]; ++j) coord_c2f(&mol_x[i][3 * j], &mol_x_s[i][3 * j]);
        lattice_rows_to_cell6(latt_vectors, cell_latt);
    }

    mol_ids.resize(nmols_uc);
    for (int i = 0; i < nmols_uc; ++i) mol_ids[i] = i + 1;
    mol_com.assign(3 * nmols_uc, 0.0);
    mol_com_s.assign(3 * nmols_uc, 0.0);
    mol_mass.assign(nmols_uc, 0.0);

    if (cellvec) write_cellvec_file();
}

void FileIO::write_cellvec_file() const {
    create_directory(data_dir);
    const std::string path = format_string("%s/cellvec.dat", data_dir.c_str());
    TextWriter out;
    open_output(out, path, kCellvecFailure);
    const char* names[3] = {"a", "b", "c"};
    for (int r = 0; r < 3; ++r)
        out.printf("%s = %14.6f %14.6f %14.6f\n", names[r], latt_vectors[r][0], latt_vectors[r][1], latt_vectors[r][2]);
    close_output(out, kCellvecFailure);
}

void FileIO::make_whole_molecule(int id, int natoms, const int* atypes, double* x_s, bool info) {
    if (natoms <= 0) return;
    // The radii of the separation: a molecule it found is then always bonded enough to be made
    // whole, and no atom joins through a different image than the one it bonded through there.
    std::vector<double> radii(natoms);
    for (int i = 0; i < natoms; ++i) radii[i] = find_element_radius_from_index_nw(atypes[i]);
    const WholeGrowth g = grow_whole_molecule(natoms, radii.data(), bond_dis_scale, cif_lattice_vectors, x_s);
    if (g.joined < natoms)
        KRYMO_FATAL_OUT("fileio", 1,
                        format_string("Not all atoms are bonded in the molecule!\nnat_bonded = %d, natoms = %d\n",
                                      g.joined, natoms));
    if (g.periodic) {
        const std::string formula = hill_formula(atypes, natoms);
        KRYMO_FATAL_OUT(
            "fileio", 1,
            format_string("The crystal %s holds no discrete molecules: molecule %d (%s, %d atoms) bonds to its own "
                          "periodic image along the lattice direction [%d %d %d] (atoms %s%d and %s%d of the "
                          "molecule).\nA polymeric chain, layer or network has no molecules to compute; give a "
                          "crystal of discrete molecules.\n",
                          crystal_file.empty() ? "file" : ("file \"" + crystal_file + "\"").c_str(), id,
                          formula.c_str(), natoms, g.image[0], g.image[1], g.image[2],
                          element_symbol(atypes[g.partner]).c_str(), g.partner + 1,
                          element_symbol(atypes[g.atom]).c_str(), g.atom + 1));
    }

    double com[3];
    centre_of_mass(natoms, atypes, x_s, com);
    if (info) std::printf("  molecule %d COM = %9.6f %9.6f %9.6f\n", id, com[0], com[1], com[2]);
    bool shifted = false;
    for (int k = 0; k < 3; ++k) {
        double shift = 0.0;
        if (com[k] < -5.96046448e-08)
            shift = 1.0;
        else if (com[k] > 1.0000000596046448)
            shift = -1.0;
        if (shift == 0.0) continue;
        shifted = true;
        for (int i = 0; i < natoms; ++i) x_s[3 * i + k] += shift;
    }
    if (shifted) {
        centre_of_mass(natoms, atypes, x_s, com);
        if (info) std::printf("  molecule %d COM = %9.6f %9.6f %9.6f (wrapped)\n", id, com[0], com[1], com[2]);
    }
}

}  // namespace krymo
