// Unit cell of a read crystal file: symmetry expansion to P1, overlap removal, Cartesian
// coordinates and the split into bonded molecules.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "structure/cell_search.h"
#include "structure/fileio.h"
#include "structure/symop.h"
#include "structure/cell.h"
#include "util/fatal.h"
#include "util/linalg.h"
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

namespace {

// Closer than this, two sites cannot both be atoms of one structure.
constexpr double kCloseSites = 0.5;
// Label pairs listed in one warning before the rest are only counted.
constexpr size_t kListedPairs = 10;

// Distinct label pairs in order of first appearance, with the smallest value seen; unordered pairs
// are kept with the lower label first.
struct LabelPairs {
    std::vector<std::pair<std::string, std::string>> pairs;
    std::vector<double> values;
    // Position of each pair: a file of many close sites must not cost pairs x distinct pairs.
    std::map<std::pair<std::string, std::string>, size_t> index;
    void add(std::string a, std::string b, double v, bool unordered) {
        if (unordered && b < a) std::swap(a, b);
        const auto [it, added] = index.emplace(std::make_pair(a, b), pairs.size());
        if (!added) {
            values[it->second] = std::min(values[it->second], v);
            return;
        }
        pairs.emplace_back(std::move(a), std::move(b));
        values.push_back(v);
    }
};

}  // namespace

void FileIO::make_spacegroup_P1(bool) {
    const int nops = static_cast<int>(spacegroup_ops.size());
    const int N = natoms_cif;
    std::vector<int> atypes(static_cast<size_t>(nops) * N), rows(static_cast<size_t>(nops) * N);
    std::vector<double> radii(static_cast<size_t>(nops) * N), x_s(3 * static_cast<size_t>(nops) * N);
    for (int k = 0; k < nops; ++k) {
        double R[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, t[3] = {0, 0, 0};
        ParseTransformString(spacegroup_ops[k], R, t);
        for (int i = 0; i < N; ++i) {
            const size_t a = static_cast<size_t>(k) * N + i;
            atypes[a] = cif_atypes[i];
            rows[a] = i;
            radii[a] = cif_radii[i];
            const double* x = &cif_x_s[3 * i];
            for (int r = 0; r < 3; ++r)
                x_s[3 * a + r] = wrap_position_once(R[r][0] * x[0] + R[r][1] * x[1] + R[r][2] * x[2] + t[r]);
        }
    }

    const SiteScan scan = scan_sites(x_s, cif_lattice_vectors, kCloseSites);
    const std::vector<char>& removed = scan.removed;
    const std::vector<int>& keeper = scan.keeper;
    int nremoved = 0;
    for (char r : removed) nremoved += r;
    // Atom k * N + i is a copy of row i. A site shared by two elements keeps the first one.
    auto label_of = [&](size_t a) -> const std::string& { return Atoms.label[a % N]; };
    LabelPairs mixed;
    for (size_t a = 0; a < removed.size(); ++a)
        if (removed[a] && atypes[a] != atypes[keeper[a]]) mixed.add(label_of(keeper[a]), label_of(a), 0.0, false);
    std::string notes;
    for (const auto& p : mixed.pairs)
        notes += format_string("WARNING: Sites %s and %s of different elements share one position; %s is kept.\n",
                               p.first.c_str(), p.second.c_str(), p.first.c_str());
    notes += close_sites_report(scan.close, x_s, N);
    if (nremoved > 0) {
        const int remaining = static_cast<int>(removed.size()) - nremoved;
        std::printf("WARNING: Overlapped atoms detected and to be removed\n");
        std::printf("         Number of overlapped atoms is %d\n", nremoved);
        std::printf("         Number of remaining atoms is %d\n", remaining);
        size_t w = 0;
        for (size_t a = 0; a < removed.size(); ++a) {
            if (removed[a]) continue;
            atypes[w] = atypes[a];
            rows[w] = rows[a];
            radii[w] = radii[a];
            for (int r = 0; r < 3; ++r) x_s[3 * w + r] = x_s[3 * a + r];
            ++w;
        }
        atypes.resize(w);
        rows.resize(w);
        radii.resize(w);
        x_s.resize(3 * w);
    }
    std::printf("%s", notes.c_str());
    natoms_cif = static_cast<int>(atypes.size());
    cif_atypes.swap(atypes);
    cif_rows.swap(rows);
    cif_radii.swap(radii);
    cif_x_s.swap(x_s);
}

std::string FileIO::close_sites_report(const std::vector<std::pair<int, int>>& pairs, const std::vector<double>& x_s,
                                       int nrows) const {
    LabelPairs close;
    for (const auto& [i, j] : pairs) {
        double d[3], c[3];
        for (int k = 0; k < 3; ++k) d[k] = wrap_displacement(x_s[3 * i + k] - x_s[3 * j + k]);
        mat_vec_mul(cif_lattice_vectors, d, c);
        close.add(Atoms.label[i % nrows], Atoms.label[j % nrows], get_magnitude(c), true);
    }
    std::string out;
    for (size_t k = 0; k < close.pairs.size() && k < kListedPairs; ++k)
        out += format_string("WARNING: Sites %s and %s are %.3f A apart (closer than %.1f A): disorder the file does "
                             "not mark, or a misplaced atom?\n",
                             close.pairs[k].first.c_str(), close.pairs[k].second.c_str(), close.values[k],
                             kCloseSites);
    if (close.pairs.size() > kListedPairs)
        out += format_string("WARNING: ... and %d more pairs of sites closer than %.1f A.\n",
                             static_cast<int>(close.pairs.size() - kListedPairs), kCloseSites);
    return out;
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
