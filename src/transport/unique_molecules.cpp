// Classes of identical unit-cell molecules: reorganization-energy jobs run once per class.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "transport/pair_map.h"
#include "transport/transport.h"

namespace krymo {

namespace {
// Absolute and inclusive: masses in atomic mass units, moments in the units of the inertia tensor.
constexpr double kMolTolerance = 0.01;
}  // namespace

bool Transport::RE_mols_if_the_same(int i, int j) const {
    return mol_natoms[i] == mol_natoms[j] && std::fabs(mol_mass[i] - mol_mass[j]) <= kMolTolerance;
}

bool Transport::HL_mols_if_the_same(int i, int j) const {
    if (!RE_mols_if_the_same(i, j)) return false;
    for (int t = 0; t < 3; ++t)
        if (!(std::fabs(mol_moments[3 * i + t] - mol_moments[3 * j + t]) <= kMolTolerance)) return false;
    return true;
}

void Transport::group_same_mols(std::vector<int>& index, bool (Transport::*same)(int, int) const, int dims,
                                const double* values) const {
    // Entry i is final once the molecules before it have been compared with it, so each molecule
    // takes the entry of its latest earlier match; equal tolerances make the values a safe binning.
    const std::vector<int> match = latest_earlier_matches(nmols_uc, dims, values, mol_natoms.data(), kMolTolerance,
                                                          [&](int i, int j) { return (this->*same)(i, j); });
    for (int j = 0; j < nmols_uc; ++j)
        if (match[j] >= 0) index[j] = index[match[j]];
}

void Transport::print_mol_indexes(const std::vector<int>& index) {
    std::printf("  Unit cell molecular indexes: ");
    for (int v : index) std::printf(" %d", v);
    std::printf("\n");
}

void Transport::print_unique_mols(const std::vector<int>& unique, const char* family) {
    std::printf("  Unit cell unique molecular indexes:");
    for (int v : unique) std::printf(" %d", v);
    std::printf("\n**** End of Check %s Duplicate Molecules in Unit Cell ****\n\n", family);
}

std::vector<int> Transport::sorted_distinct(std::vector<int> v) {
    std::sort(v.begin(), v.end());
    v.erase(std::unique(v.begin(), v.end()), v.end());
    return v;
}

void Transport::RE_check_unitcell_same_mols(bool info) {
    if (info) std::printf("**** Check RE Duplicate Molecules in Unit Cell ****\n");
    group_same_mols(RE_uc_mol_index, &Transport::RE_mols_if_the_same, 1, mol_mass.data());
    if (info) print_mol_indexes(RE_uc_mol_index);
    RE_unique_mols = sorted_distinct(RE_uc_mol_index);
    RE_nunique = static_cast<int>(RE_unique_mols.size());
    if (info) print_unique_mols(RE_unique_mols, "RE");
}

}  // namespace krymo
