// Classes of identical unit-cell molecules: reorganization-energy jobs run once per class.
#include <algorithm>
#include <cmath>
#include <cstdio>

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

void Transport::RE_check_unitcell_same_mols(bool info) {
    const int nm = nmols_uc;
    if (info) std::printf("**** Check RE Duplicate Molecules in Unit Cell ****\n");
    for (int i = 0; i + 1 < nm; ++i)
        for (int j = i + 1; j < nm; ++j)
            if (RE_mols_if_the_same(i, j)) RE_uc_mol_index[j] = RE_uc_mol_index[i];
    if (info) {
        std::printf("  Unit cell molecular indexes: ");
        for (int v : RE_uc_mol_index) std::printf(" %d", v);
        std::printf("\n");
    }
    RE_unique_mols = RE_uc_mol_index;
    std::sort(RE_unique_mols.begin(), RE_unique_mols.end());
    RE_unique_mols.erase(std::unique(RE_unique_mols.begin(), RE_unique_mols.end()), RE_unique_mols.end());
    RE_nunique = static_cast<int>(RE_unique_mols.size());
    if (info) {
        std::printf("  Unit cell unique molecular indexes:");
        for (int v : RE_unique_mols) std::printf(" %d", v);
        std::printf("\n**** End of Check RE Duplicate Molecules in Unit Cell ****\n\n");
    }
}

}  // namespace krymo
