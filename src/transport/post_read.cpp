// Post-read treatment: settings that depend on each other or on the structure are made consistent,
// and the per-molecule masses, centres of mass and frontier-orbital numbers are derived.
#include <algorithm>
#include <cctype>
#include <cstdio>

#include "structure/elements.h"
#include "transport/transport.h"
#include "util/fatal.h"
#include "util/files.h"
#include "util/linalg.h"
#include "util/text.h"

namespace krymo {

namespace {

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool contains(const std::string& s, const char* t) { return s.find(t) != std::string::npos; }

// The population analysis the dielectric outer-sphere model needs from the charged-state jobs.
const char* const kDielectricPop = " Pop=MK IOp(6/33=2,6/42=6,7/33=1)";

}  // namespace

void Transport::post_data_read_treatment(bool info) {
    carrier_letter = chargetype.empty() ? '\0' : static_cast<char>(std::tolower(static_cast<unsigned char>(chargetype[0])));
    if (compute_engine != 1) RE_use_neutral_chk = false;
    set_data_mol_output_level(data_mol_output_level);

    if (contains(lower(qc_basis), "zindos") && use_moo) set_job_moo_flag(true);
    if (contains(lower(qc_basis_re), "zindos")) {
        // Reorganization energies need a basis with ab-initio forces; the semi-empirical one cannot give them.
        qc_basis_re = "b3lyp STO-3g";
        if (info) std::printf("\nINFO: QC_basis_re is adjusted to '%s'\n\n", qc_basis_re.c_str());
    }

    if (reorg_outer_type == 2) {
        const int nr = static_cast<int>(reorg_outer_radii.size());
        if (nr < nmols_uc)
            KRYMO_FATAL_ERR("transport", 1,
                            format_string("reorg_outer: Number of radiuses (%d) is LESS than number of molecules (%d)\n",
                                          nr, nmols_uc));
    } else if (reorg_outer_type == 3 && (contains(qc_exe, "g09") || contains(qc_exe, "g16"))) {
        if (!(contains(qc_basis_re, "MK") && contains(qc_basis_re, "6/33=2") && contains(qc_basis_re, "6/42=6"))) {
            qc_basis_re += kDielectricPop;
            if (info) std::printf("\nINFO: append basis_re with%s\n", kDielectricPop);
        }
    }

    calc_x_com();
    calc_homo();
    parse_scheduling_type();

    const int nh = static_cast<int>(homo_adjustment.size());
    const int nl = static_cast<int>(lumo_adjustment.size());
    if (nh != 0 && nh != nmols_uc)
        KRYMO_FATAL_ERR("transport", 1,
                        format_string("homo_adjustment: Number of input parameters (%d) is NOT equal to nmols_uc (%d)\n",
                                      nh, nmols_uc));
    if (nl != 0 && nl != nmols_uc)
        KRYMO_FATAL_ERR("transport", 1,
                        format_string("lumo_adjustment: Number of input parameters (%d) is NOT equal to nmols_uc (%d)\n",
                                      nl, nmols_uc));
}

void Transport::calc_x_com() {
    const int nm = nmols_uc;
    mol_mass.assign(nm, 0.0);
    mol_com_s.assign(3 * nm, 0.0);
    mol_com.assign(3 * nm, 0.0);
    for (int i = 0; i < nm; ++i) {
        double m = 0.0, s[3] = {0.0, 0.0, 0.0};
        for (int p = 0; p < mol_natoms[i]; ++p) {
            const double w = find_element_mass_from_index(mol_atypes[i][p]);
            m += w;
            for (int k = 0; k < 3; ++k) s[k] += w * mol_x_s[i][3 * p + k];
        }
        mol_mass[i] = m;
        for (int k = 0; k < 3; ++k) mol_com_s[3 * i + k] = s[k] / m;
        mat_vec_mul(cif_lattice_vectors, &mol_com_s[3 * i], &mol_com[3 * i]);
    }
    com_ready = true;
}

void Transport::calc_homo() {
    const bool moo = get_job_moo_flag();
    homo_index.assign(nmols_uc, 0);
    for (int i = 0; i < nmols_uc; ++i) {
        int electrons = 0;
        for (int p = 0; p < mol_natoms[i]; ++p) {
            const int z = mol_atypes[i][p];
            electrons += z;
            // The overlap method's semi-empirical basis treats core electrons implicitly.
            if (moo && z >= 3 && z <= 10) electrons -= 2;
            if (moo && z >= 11 && z <= 18) electrons -= 10;
        }
        homo_index[i] = electrons / 2;
    }
    homo_ready = true;
}

void Transport::write_H_L_inp() {
    create_directory(data_dir);
    const bool hadj = !homo_adjustment.empty(), ladj = !lumo_adjustment.empty();
    // One writer per file; `value` gives line i, `count_line` puts nmols_uc first.
    auto write_list = [&](const char* name, bool count_line, auto value) {
        const std::string path = format_string("%s/%s", data_dir.c_str(), name);
        TextWriter out;
        open_output(out, path, {"transport", 1, true, false});
        if (count_line) out.printf("%d\n", nmols_uc);
        for (int i = 0; i < nmols_uc; ++i) out.printf("%d\n", value(i));
        close_output(out, {"transport", 1, true, false});
    };
    write_list("uc_H.inp", false, [&](int i) { return homo_index[i] + (hadj ? homo_adjustment[i] : 0); });
    write_list("uc_L.inp", false, [&](int i) { return homo_index[i] + (ladj ? lumo_adjustment[i] : 0) + 1; });
    if (hadj) write_list("H_adj.inp", true, [&](int i) { return homo_adjustment[i]; });
    if (ladj) write_list("L_adj.inp", true, [&](int i) { return lumo_adjustment[i]; });
}

}  // namespace krymo
