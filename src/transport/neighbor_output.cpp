// Neighbour files: neighbor.dat for the later hopping stages (and the read mode), and CIF pictures
// of each root molecule with its neighbours in a cell three times as long along each axis.
#include <algorithm>
#include <cstdio>

#include "transport/transport.h"
#include "util/fatal.h"
#include "util/files.h"
#include "util/linalg.h"
#include "util/progress.h"
#include "util/text.h"

namespace krymo {

namespace {

const OutputFailure kNeighborFileFailure = {"transport", 1, true, true};

// Row of a centre-of-mass marker: same columns as an atom row.
void write_marker(TextWriter& out, const std::string& tag_text, const double f[3], int tag) {
    out.printf("%-6s %2s %10.6f %10.6f %10.6f  %d\n", tag_text.c_str(), tag_text.c_str(), (f[0] + 1) / 3,
               (f[1] + 1) / 3, (f[2] + 1) / 3, tag);
}

}  // namespace

void Transport::output_neighbor_data() {
    create_directory(data_dir);
    const std::string path = format_string("%s/neighbor.dat", data_dir.c_str());
    {
        TextWriter out;
        open_output(out, path, kNeighborFileFailure);
        out.printf("# nroot, root_mol_info, nnei, neighbors_info\n");
        out.printf("# r = molecular COM distance, cindex = neighbor cell index\n");
        out.printf("%d\n", nmols_uc);
        Progress progress("neighbor.dat", nmols_uc);
        for (int i = 0; i < nmols_uc; ++i) {
            const double* ci = &mol_com[3 * i];
            out.printf("%d %8.4f %8.4f %8.4f  # root\n", i + 1, ci[0], ci[1], ci[2]);
            out.printf("%d #      dx        dy        dz         r     cindex\n", nnei[i]);
            for (int k = 0; k < nnei[i]; ++k) {
                const int j = nei_mol_ids[i][k];
                const int* cell = &nei_cindex[i][3 * k];
                double d[3];
                for (int t = 0; t < 3; ++t) d[t] = mol_com_s[3 * j + t] + cell[t] - mol_com_s[3 * i + t];
                mat_vec_mul(cif_lattice_vectors, d, d);
                out.printf(" %3d  %8.4f  %8.4f  %8.4f  %8.4f  %2d %2d %2d\n", j + 1, d[0], d[1], d[2], get_magnitude(d),
                           cell[0], cell[1], cell[2]);
            }
            progress.add();
        }
        close_output(out, kNeighborFileFailure);
        progress.finish();
    }

    const int level = data_mol_output_level;
    const int nroots = (level & 1) ? std::min(1, nmols_uc) : (level & 2) ? nmols_uc : 0;
    for (bool mid : {false, true}) {
        for (int m = 0; m < nroots; ++m) {
            const std::string cif =
                format_string(mid ? "%s/mol%d_neighbors_mid.cif" : "%s/mol%d_neighbors.cif", data_dir.c_str(), m + 1);
            TextWriter out;
            open_output(out, cif, kNeighborFileFailure);
            out.printf("data_%s\n", identifier.c_str());
            out.printf("_audit_creation_date              2018-09-12\n");
            out.printf("_audit_creation_method            '%s'\n", "KRYMO");
            out.printf("_symmetry_space_group_name_H-M    'P1'\n");
            out.printf("_symmetry_Int_Tables_number       1\n");
            out.printf("_symmetry_cell_setting            triclinic\n");
            out.printf("loop_\n_symmetry_equiv_pos_as_xyz\n  x,y,z\n");
            out.printf("_cell_length_a                    %.4f\n", 3 * cell_latt[0]);
            out.printf("_cell_length_b                    %.4f\n", 3 * cell_latt[1]);
            out.printf("_cell_length_c                    %.4f\n", 3 * cell_latt[2]);
            out.printf("_cell_angle_alpha                 %.4f\n", cell_latt[3]);
            out.printf("_cell_angle_beta                  %.4f\n", cell_latt[4]);
            out.printf("_cell_angle_gamma                 %.4f\n", cell_latt[5]);
            out.printf("loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n_atom_site_fract_y\n"
                       "_atom_site_fract_z\n_atom_site_description\n");
            const double home[3] = {0.0, 0.0, 0.0};
            int start = 0;
            write_cif_mol_one(out, start, mol_natoms[m], mol_atypes[m].data(), mol_x_s[m].data(), home, 3.0, 0);
            start += mol_natoms[m];
            if (mid) write_marker(out, "0", &mol_com_s[3 * m], 0);
            for (int k = 0; k < nnei[m]; ++k) {
                const int j = nei_mol_ids[m][k];
                const int* c = &nei_cindex[m][3 * k];
                const double shift[3] = {static_cast<double>(c[0]), static_cast<double>(c[1]),
                                         static_cast<double>(c[2])};
                write_cif_mol_one(out, start, mol_natoms[j], mol_atypes[j].data(), mol_x_s[j].data(), shift, 3.0,
                                  k + 1);
                start += mol_natoms[j];
                if (mid) {
                    const double f[3] = {mol_com_s[3 * j] + c[0], mol_com_s[3 * j + 1] + c[1],
                                         mol_com_s[3 * j + 2] + c[2]};
                    write_marker(out, format_string("%d", k + 1), f, k + 1);
                }
            }
            out.printf("\n");
            close_output(out, kNeighborFileFailure);
        }
    }
}

}  // namespace krymo
