// Structure files: MOL files of molecules, the unit cell and a block of cells as P1 CIF files.
#include <algorithm>
#include <cctype>
#include <ctime>

#include "structure/fileio.h"
#include "util/fatal.h"
#include "util/files.h"
#include "util/progress.h"
#include "util/text.h"

namespace krymo {

namespace {

// MOL files report on standard error with the path quoted; CIF files on standard output.
const OutputFailure kMolFailure = {"fileio", 255, true, true};
const OutputFailure kCifFailure = {"fileio", 255, false, false};


std::string today() {
    const std::time_t now = std::time(nullptr);
    std::tm tm_now{};
    localtime_r(&now, &tm_now);
    return format_string("%4d-%02d-%02d", tm_now.tm_year + 1900, tm_now.tm_mon + 1, tm_now.tm_mday);
}

// Header of the P1 cell files, cell lengths multiplied by n[].
void write_p1_header(TextWriter& out, const std::string& identifier, const double cell[6], const int n[3]) {
    out.printf("data_%s\n", identifier.c_str());
    out.printf("_audit_creation_date              %s\n", today().c_str());
    out.printf("_audit_creation_method            '%s'\n", "KRYMO");
    out.line("_symmetry_space_group_name_H-M    'P1'");
    out.line("_symmetry_Int_Tables_number       1");
    out.line("_symmetry_cell_setting            triclinic");
    out.line("loop_");
    out.line("_symmetry_equiv_pos_as_xyz");
    out.line("  x,y,z");
    const char* tags[6] = {"_cell_length_a", "_cell_length_b", "_cell_length_c",
                           "_cell_angle_alpha", "_cell_angle_beta", "_cell_angle_gamma"};
    for (int k = 0; k < 6; ++k) out.printf("%-34s%.4f\n", tags[k], k < 3 ? cell[k] * n[k] : cell[k]);
    for (const char* t : {"loop_", "_atom_site_label", "_atom_site_type_symbol", "_atom_site_fract_x",
                          "_atom_site_fract_y", "_atom_site_fract_z", "_atom_site_description"})
        out.line(t);
}

// Files the run writes in data/ itself; '#' stands for a molecule number.
const char* const kOwnDataFiles[] = {
    "config.inp", "cellvec.dat", "neighbor.dat", "unitcell.cif", "supercell.cif", "uc_H.inp", "uc_L.inp",
    "H_adj.inp", "L_adj.inp", "eigval_1mol.dat", "eigval_2mol.dat", "unique_id_map.dat", "moo_map.xml",
    "study.json", "driver.json", "trans_int_files.dat", "SE_einternal_files.dat", "re_lambda_4P_files-e.dat", "re_lambda_4P_files-h.dat",
    "mol#_bonds.dat", "mol#_neighbors.cif", "mol#_neighbors_mid.cif", "mol#_oniom.com", "mol#_oniom.xyz",
    "moo_mol#_uc.pos", "moo_mol#_nei.pos"};

bool matches_own_name(const std::string& name, const char* pattern) {
    size_t i = 0;
    for (const char* p = pattern; *p != '\0'; ++p) {
        if (*p != '#') {
            if (i >= name.size() || name[i++] != *p) return false;
            continue;
        }
        const size_t start = i;
        while (i < name.size() && std::isdigit(static_cast<unsigned char>(name[i]))) ++i;
        if (i == start) return false;
    }
    return i == name.size();
}

}  // namespace

std::string safe_relative_path(const std::string& name) {
    std::vector<std::string> parts;
    split_to_words(name, "/", parts);
    std::string out;
    for (const std::string& p : parts) {
        if (p == "." || p == "..") continue;
        if (!out.empty()) out += "/";
        out += p;
    }
    return out;
}

bool is_own_data_file(const std::string& rel) {
    // The writers' temporary files count as the files they become.
    const std::string part = ".krymo-part";
    const std::string name =
        rel.size() > part.size() && rel.compare(rel.size() - part.size(), part.size(), part) == 0
            ? rel.substr(0, rel.size() - part.size())
            : rel;
    for (const char* pattern : kOwnDataFiles)
        if (matches_own_name(name, pattern)) return true;
    return false;
}

void FileIO::write_mol_files() {
    create_directory(data_dir);
    const int level = data_mol_output_level;
    if (level & 4)
        write_supercell_cif(format_string("%s/supercell.cif", data_dir.c_str()), nmols_uc, mol_natoms, mol_atypes,
                            mol_x_s, neighbor_scell[0], neighbor_scell[1], neighbor_scell[2]);
    if (level & 1)
        write_unitcell_cif(format_string("%s/%s", data_dir.c_str(), "unitcell.cif"), nmols_uc, mol_natoms, mol_atypes,
                           mol_x_s);
    const int nmol_files = (level & 2) ? nmols_uc : ((level & 1) && nmols_uc > 0 ? 1 : 0);
    for (int i = 0; i < nmol_files; ++i) {
        const std::string rel = safe_relative_path(mol_files[i]);
        const size_t slash = rel.rfind('/');
        if (slash != std::string::npos) create_directories(data_dir + "/" + rel.substr(0, slash));
        write_data_mol(format_string("%s/%s", data_dir.c_str(), rel.c_str()), mol_natoms[i], mol_atypes[i].data(),
                       mol_x[i].data());
    }
}

void FileIO::write_data_mol(const std::string& path, int natoms, const int* atypes, const double* x) const {
    TextWriter out;
    open_output(out, path, kMolFailure);
    out.line("Molecule");
    out.line("Created by KRYMO");
    out.line();
    out.printf("%3d  0  0  0  0  0  0  0  0  0999 V2000\n", natoms);
    for (int i = 0; i < natoms; ++i)
        out.printf(" %9.4f %9.4f %9.4f %-2s  0  0  0  0  0  0  0  0  0  0\n", x[3 * i], x[3 * i + 1], x[3 * i + 2],
                   element_symbol(atypes[i]).c_str());
    out.line("M  END");
    close_output(out, kMolFailure);
}

void FileIO::write_unitcell_cif(const std::string& path, int nmols, const std::vector<int>& natoms,
                                const std::vector<std::vector<int>>& atypes,
                                const std::vector<std::vector<double>>& x_s) const {
    write_supercell_block(path, nmols, natoms, atypes, x_s, 1, 1, 1, false, 0, 0);
}

void FileIO::write_supercell_cif(const std::string& path, int nmols, const std::vector<int>& natoms,
                                 const std::vector<std::vector<int>>& atypes,
                                 const std::vector<std::vector<double>>& x_s, int na, int nb, int nc) const {
    write_supercell_block(path, nmols, natoms, atypes, x_s, na, nb, nc, thinfilm_flag, thinfilm_dir, thinfilm_ncell);
}

void FileIO::write_supercell_block(const std::string& path, int nmols, const std::vector<int>& natoms,
                                   const std::vector<std::vector<int>>& atypes,
                                   const std::vector<std::vector<double>>& x_s, int na, int nb, int nc, bool film_on,
                                   int film_dir, int film_ncell) const {
    TextWriter out;
    open_output(out, path, kCifFailure);
    const int n[3] = {na, nb, nc};
    write_p1_header(out, identifier, cell_latt, n);
    int label = 0;
    Progress progress(path, static_cast<long long>(std::max(na, 0)) * std::max(nb, 0) * std::max(nc, 0) * nmols);
    for (int kc = 0; kc < nc; ++kc)
        for (int kb = 0; kb < nb; ++kb)
            for (int ka = 0; ka < na; ++ka) {
                const int k[3] = {ka, kb, kc};
                if (film_on && film_dir >= 0 && film_dir < 3 && !(k[film_dir] >= 0 && k[film_dir] < film_ncell)) {
                    progress.add(nmols);  // blocks left out of a film count as done
                    continue;
                }
                for (int m = 0; m < nmols; ++m) {
                    for (int j = 0; j < natoms[m]; ++j) {
                        const std::string sym = element_symbol(atypes[m][j]);
                        const std::string lab = format_string("%s%d", sym.c_str(), ++label);
                        const double* x = &x_s[m][3 * j];
                        out.printf("%-5s %2s %10.6f %10.6f %10.6f  %d\n", lab.c_str(), sym.c_str(), (ka + x[0]) / na,
                                   (kb + x[1]) / nb, (kc + x[2]) / nc, m + 1);
                    }
                    progress.add();
                }
            }
    close_output(out, kCifFailure);
    progress.finish();
}

void FileIO::write_cif_mol_one(TextWriter& file, int start, int natoms, const int* atypes, const double* x_s,
                               const double shift[3], double divisor, int description) const {
    for (int j = 0; j < natoms; ++j) {
        const std::string sym = element_symbol(atypes[j]);
        const std::string lab = format_string("%s%d", sym.c_str(), start + j + 1);
        file.printf("%-6s %2s %10.6f %10.6f %10.6f  %d\n", lab.c_str(), sym.c_str(),
                    (x_s[3 * j] + shift[0] + 1) / divisor, (x_s[3 * j + 1] + shift[1] + 1) / divisor,
                    (x_s[3 * j + 2] + shift[2] + 1) / divisor, description);
    }
}

}  // namespace krymo
