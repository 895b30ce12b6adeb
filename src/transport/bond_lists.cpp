// Covalent bonds of each unit-cell molecule from interatomic distances, for the normal-mode stage.
#include <cmath>
#include <cstdlib>

#include "structure/elements.h"
#include "transport/transport.h"
#include "util/fatal.h"
#include "util/files.h"
#include "util/text.h"

namespace krymo {

void Transport::write_mol_bonds_files(bool flag) {
    if (!flag) return;
    create_directory(data_dir);
    std::vector<int> mols;
    if (RE_unique) {
        for (int k = 0; k < RE_nunique; ++k) mols.push_back(RE_unique_mols[k] - 1);
    } else {
        for (int i = 0; i < nmols_uc; ++i) mols.push_back(i);
    }
    for (int m : mols) {
        const int n = mol_natoms[m];
        const double* x = mol_x[m].data();
        std::vector<double> r(n);
        for (int p = 0; p < n; ++p) r[p] = find_element_radius_from_index(mol_atypes[m][p]);
        // The loops visit pairs in (first, second) order, which is the file's order.
        std::string lines;
        int count = 0;
        for (int p = 0; p + 1 < n; ++p)
            for (int q = p + 1; q < n; ++q) {
                const double d[3] = {x[3 * q] - x[3 * p], x[3 * q + 1] - x[3 * p + 1], x[3 * q + 2] - x[3 * p + 2]};
                const double dist = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
                if ((r[p] + r[q]) * bond_dis_scale > dist) {
                    lines += format_string("%3d %3d  0  0\n", p + 1, q + 1);
                    ++count;
                }
            }
        const std::string path = format_string("%s/mol%d_bonds.dat", data_dir.c_str(), m + 1);
        TextWriter out;
        open_output(out, path, {"transport", 255, true, false});
        out.printf("%d\n", count);
        out.write(lines);
        close_output(out, {"transport", 255, true, false});
    }
}

void Transport::load_bonds_data(const std::string& path, std::vector<std::string>& lines) {
    std::vector<std::string> file;
    if (!read_input_lines(path, kDataInput, "transport", file, false))
        KRYMO_FATAL_OUT("transport", 255, "Failed to open input file \"" + path + "\"\n");
    if (file.empty()) return;
    const int n = std::atoi(file[0].c_str());
    for (int k = 1; k <= n; ++k) lines.push_back(k < static_cast<int>(file.size()) ? file[k] : std::string());
}

}  // namespace krymo
