// ONIOM cluster inputs: each unit-cell molecule (high layer) with its neighbours and their neighbours
// (low layer), as a two-layer Gaussian input and an XYZ check file.
#include <cmath>
#include <cstdio>
#include <set>
#include <tuple>
#include <unordered_map>

#include "structure/elements.h"
#include "transport/transport.h"
#include "util/fatal.h"
#include "util/files.h"
#include "util/text.h"

namespace krymo {

namespace {

const OutputFailure kOniomFailure = {"transport", 1, true, true};

// Atoms closer than this (squared, fractional units, no wrapping) are the same atom twice.
constexpr double kOverlap2 = 1e-6;

struct Cluster {
    std::vector<int> types, layer, mol, position;
    std::vector<double> x_s;  // fractional, unwrapped
    // Images already in the cluster: molecule number and cell shift. Shifts are whole cells, so equal
    // centres (within any small tolerance) mean equal shifts.
    std::set<std::tuple<int, int, int, int>> images;

    void add(const std::vector<int>& t, const std::vector<double>& xs, const int shift[3], int lay, int number, int pos) {
        for (size_t p = 0; p < t.size(); ++p) {
            types.push_back(t[p]);
            for (int d = 0; d < 3; ++d) x_s.push_back(xs[3 * p + d] + shift[d]);
            layer.push_back(lay);
            mol.push_back(number);
            position.push_back(pos);
        }
    }
    int size() const { return static_cast<int>(types.size()); }
};

}  // namespace

// The first pair (i, j), i < j, in index order whose fractional positions coincide; false when none.
// A grid of cells as wide as the tolerance holds each atom, so only neighbouring cells are compared.
bool find_overlapping_atoms(const std::vector<double>& x_s, int& first, int& second) {
    const int n = static_cast<int>(x_s.size() / 3);
    const double h = std::sqrt(kOverlap2);
    auto key = [](long long a, long long b, long long c) {
        return (static_cast<unsigned long long>(a) * 73856093ULL) ^ (static_cast<unsigned long long>(b) * 19349663ULL) ^
               (static_cast<unsigned long long>(c) * 83492791ULL);
    };
    std::unordered_multimap<unsigned long long, int> grid;
    grid.reserve(static_cast<size_t>(n) * 2);
    std::vector<long long> cell(3 * static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        for (int d = 0; d < 3; ++d) cell[3 * i + d] = static_cast<long long>(std::floor(x_s[3 * i + d] / h));
        grid.emplace(key(cell[3 * i], cell[3 * i + 1], cell[3 * i + 2]), i);
    }
    for (int i = 0; i < n; ++i) {
        int best = -1;
        for (int a = -1; a <= 1; ++a)
            for (int b = -1; b <= 1; ++b)
                for (int c = -1; c <= 1; ++c) {
                    auto range = grid.equal_range(key(cell[3 * i] + a, cell[3 * i + 1] + b, cell[3 * i + 2] + c));
                    for (auto it = range.first; it != range.second; ++it) {
                        const int j = it->second;
                        if (j <= i || (best >= 0 && j >= best)) continue;
                        double r2 = 0;
                        for (int d = 0; d < 3; ++d) r2 += std::pow(x_s[3 * j + d] - x_s[3 * i + d], 2);
                        if (r2 < kOverlap2) best = j;
                    }
                }
        if (best >= 0) {
            first = i;
            second = best;
            return true;
        }
    }
    return false;
}

void Transport::write_oniom_input(bool /*info*/) {
    std::printf("**** Generate Oniom input files ****\n");
    create_directory(data_dir);
    const int zero[3] = {0, 0, 0};
    for (int m = 0; m < nmols_uc; ++m) {
        Cluster cl;
        cl.images.insert({m + 1, 0, 0, 0});
        cl.add(mol_atypes[m], mol_x_s[m], zero, 0, m + 1, 0);
        for (int k = 0; k < nnei[m]; ++k) {
            const int n = nei_mol_ids[m][k];
            const int* c = &nei_cindex[m][3 * k];
            cl.images.insert({n + 1, c[0], c[1], c[2]});
            cl.add(mol_atypes[n], mol_x_s[n], c, 1, n + 1, k + 1);
        }
        for (int k = 0; k < nnei[m]; ++k) {
            const int n = nei_mol_ids[m][k];
            const int* c = &nei_cindex[m][3 * k];
            for (int l = 0; l < nnei[n]; ++l) {
                const int p = nei_mol_ids[n][l];
                const int* c2 = &nei_cindex[n][3 * l];
                const int shift[3] = {c[0] + c2[0], c[1] + c2[1], c[2] + c2[2]};
                if (!cl.images.insert({p + 1, shift[0], shift[1], shift[2]}).second) continue;
                cl.add(mol_atypes[p], mol_x_s[p], shift, 2, p + 1, l + 1);
            }
        }

        int i = 0, j = 0;
        if (find_overlapping_atoms(cl.x_s, i, j)) {
            std::string msg = "Overlapped atoms found:\n";
            for (int a : {i, j})
                msg += format_string("  %d: %12.6f %12.6f %12.6f\n", a, cl.x_s[3 * a], cl.x_s[3 * a + 1], cl.x_s[3 * a + 2]);
            KRYMO_FATAL_OUT("transport", 1, msg);
        }

        std::vector<double> cart(cl.x_s.size());
        for (int a = 0; a < cl.size(); ++a) coord_f2c(&cl.x_s[3 * a], &cart[3 * a]);

        const std::string com = format_string("%s/mol%d_oniom.com", data_dir.c_str(), m + 1);
        std::printf("  %s\n", com.c_str());
        TextWriter in;
        open_output(in, com, kOniomFailure);
        in.printf("%%chk=mol%d_oniom.chk\n%%mem=4096MB\n%%nprocs=20\n#P b3lyp/STO-3g Pop=full nosymm\n\nmol_oniom\n\n0 1\n",
                  m + 1);
        for (int a = 0; a < cl.size(); ++a)
            in.printf("%-2s%14s %2d %13.7f %13.7f %13.7f %s\n", element_symbol(cl.types[a]).c_str(), "",
                      cl.layer[a] == 0 ? 0 : -1, cart[3 * a], cart[3 * a + 1], cart[3 * a + 2],
                      cl.layer[a] == 0 ? "H" : "L");
        in.write("\n");
        close_output(in, kOniomFailure);

        const std::string xyz = format_string("%s/mol%d_oniom.xyz", data_dir.c_str(), m + 1);
        std::printf("  %s\n", xyz.c_str());
        TextWriter chk;
        open_output(chk, xyz, kOniomFailure);
        chk.printf("%d\n# Oniom input check\n", cl.size());
        for (int a = 0; a < cl.size(); ++a)
            chk.printf("%-2s %13.8f %12.8f %13.8f %d %d %d\n", element_symbol(cl.types[a]).c_str(), cart[3 * a],
                       cart[3 * a + 1], cart[3 * a + 2], cl.layer[a], cl.mol[a], cl.position[a]);
        close_output(chk, kOniomFailure);
    }
    std::printf("**** End of Generate Oniom input files ****\n\n");
}

}  // namespace krymo
