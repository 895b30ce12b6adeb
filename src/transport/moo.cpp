// Overlap-method site data: centre and inertia orientation of each molecule of every pair, and the
// map file naming each unit-cell molecule's coordinate and orbital files and frontier orbitals.
#include "structure/elements.h"
#include "transport/transport.h"
#include "util/files.h"
#include "util/linalg.h"
#include "util/text.h"

namespace krymo {

namespace {

const OutputFailure kPosFailure = {"transport", 1, true, true};
const OutputFailure kMapFailure = {"transport", 1, true, false};

std::vector<double> atom_masses(const std::vector<int>& types) {
    std::vector<double> m;
    for (int t : types) m.push_back(find_element_mass_from_index(t));
    return m;
}

}  // namespace

// Rows of the orientation are the eigenvectors of the inertia tensor; a translated image shares it.
std::vector<double> Transport::moo_orientation(int mol) const {
    const std::vector<double> mass = atom_masses(mol_atypes[mol]);
    double tensor[9], T[3][3], d[3], V[3][3];
    calc_moment_of_inertia(mol_natoms[mol], mol_x[mol].data(), mass.data(), tensor);
    for (int k = 0; k < 9; ++k) T[k / 3][k % 3] = tensor[k];
    int nrot = 0;
    jacobi_nr(T, 3, d, V, &nrot);
    std::vector<double> R(9);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) R[3 * r + c] = V[c][r];
    return R;
}

void Transport::output_moo_pos_data() {
    create_directory(data_dir);
    std::vector<std::vector<double>> R(nmols_uc);
    for (int m = 0; m < nmols_uc; ++m) R[m] = moo_orientation(m);
    auto site = [](TextWriter& out, int number, const double* com, const std::vector<double>& r) {
        out.printf("uc_mol-%d %11.6f %11.6f %11.6f ", number, com[0], com[1], com[2]);
        out.printf("%9.6f %9.6f %9.6f %9.6f %9.6f %9.6f %9.6f %9.6f %9.6f\n", r[0], r[1], r[2], r[3], r[4], r[5], r[6],
                   r[7], r[8]);
    };
    for (int i = 0; i < nmols_uc; ++i) {
        TextWriter uc, nei;
        open_output(uc, format_string("%s/moo_mol%d_uc.pos", data_dir.c_str(), i + 1), kPosFailure);
        open_output(nei, format_string("%s/moo_mol%d_nei.pos", data_dir.c_str(), i + 1), kPosFailure);
        // Line n of both files describes pair n of the root.
        for (int k = 0; k < nnei[i]; ++k) {
            const int j = nei_mol_ids[i][k];
            site(uc, i + 1, &mol_com[3 * i], R[i]);
            site(nei, j + 1, &nei_com_x[i][3 * k], R[j]);
        }
        close_output(uc, kPosFailure);
        close_output(nei, kPosFailure);
    }
}

void Transport::write_map_xml_segment(TextWriter& out, const char* prefix, int mol, int natoms, const double* weights,
                                      int homo) const {
    const int h = homo + (homo_adjustment.empty() ? 0 : homo_adjustment[mol]);
    const int l = homo + 1 + (lumo_adjustment.empty() ? 0 : lumo_adjustment[mol]);
    const char* hl = hl_dir.c_str();
    out.write("  <molecule>\n");
    out.printf("    <name>%s_mol-%d</name>\n", prefix, mol + 1);
    out.printf("    <coordinates>../%s/%s_mol-%d.xyz</coordinates>\n", hl, prefix, mol + 1);
    out.printf("    <orbitals>../%s/%s_mol-%d.orb</orbitals>\n", hl, prefix, mol + 1);
    out.write("    <basisset>INDO</basisset>\n");
    out.printf("    <torbital>%d %d</torbital>\n", h, l);
    out.write("    <map>\n     ");
    for (int a = 1; a <= natoms; ++a) out.printf(" %d", a);
    out.write("\n    </map>\n    <weights>\n     ");
    for (int a = 0; a < natoms; ++a) out.printf(" %.1f", weights[a]);
    out.write("\n    </weights>\n  </molecule>\n");
}

void Transport::output_moo_map_xml() {
    if (!homo_ready) calc_homo();
    create_directory(data_dir);
    TextWriter out;
    open_output(out, data_dir + "/moo_map.xml", kMapFailure);
    out.write("<molecules>\n");
    for (int m = 0; m < nmols_uc; ++m) {
        const std::vector<double> w = atom_masses(mol_atypes[m]);
        write_map_xml_segment(out, "uc", m, mol_natoms[m], w.data(), homo_index[m]);
    }
    out.write("</molecules>\n");
    close_output(out, kMapFailure);
}

}  // namespace krymo
