// Consistency checks of a read crystal that warn and go on: repeated symmetry operations, an
// operation count that does not fit the space group, a cell that does not hold Z formula units.
#include <cmath>
#include <cstdio>

#include "structure/fileio.h"
#include "structure/spacegroups.h"
#include "structure/symop.h"
#include "util/text.h"

namespace krymo {

namespace {

struct Operation {
    double R[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
    double t[3] = {0, 0, 0};
};

// Same rotation, translations equal up to a lattice vector.
bool same_operation(const Operation& a, const Operation& b) {
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c)
            if (a.R[r][c] != b.R[r][c]) return false;
        const double d = a.t[r] - b.t[r];
        if (std::fabs(d - std::round(d)) > 1e-6) return false;
    }
    return true;
}

}  // namespace

void FileIO::use_distinct_operations(const std::string& path) {
    std::vector<Operation> kept;
    std::vector<std::string> texts;
    for (const std::string& text : spacegroup_ops) {
        Operation op;
        parse_transform_string(text, op.R, op.t);
        bool seen = false;
        for (const Operation& k : kept) seen = seen || same_operation(k, op);
        if (seen) continue;
        kept.push_back(op);
        texts.push_back(text);
    }
    const int repeated = static_cast<int>(spacegroup_ops.size() - texts.size());
    if (repeated > 0) {
        std::printf("WARNING: %d of the %d symmetry operations of \"%s\" repeat an earlier one; each is used once.\n",
                    repeated, static_cast<int>(spacegroup_ops.size()), path.c_str());
        spacegroup_ops = texts;
    }

    // The listed operations stay the source of truth; a group that disagrees is only reported.
    const bool named = !spacegroup_hall.empty() || !normalise_spacegroup_name(spacegroup_name).empty();
    if (!named || !spacegroup_database_available()) return;
    const SpacegroupMatch m = find_spacegroup_operations(spacegroup_hall, spacegroup_name, 0);
    if (!m.found || m.ops.size() == texts.size()) return;
    const std::string group =
        spacegroup_name.empty() ? "Hall symbol '" + spacegroup_hall + "'" : "space group " + spacegroup_name;
    std::printf("WARNING: \"%s\" lists %d distinct symmetry operations, but its %s has %d%s; the listed operations "
                "are used.\n",
                path.c_str(), static_cast<int>(texts.size()), group.c_str(), static_cast<int>(m.ops.size()),
                texts.size() < m.ops.size() ? " (operations or a centring translation missing?)" : "");
}

void FileIO::check_formula_units(const std::string& path) {
    const int nmols = static_cast<int>(sep_mol_natoms.size());
    if (formula_units_z <= 0 || nmols == 0) return;
    std::vector<std::pair<int, double>> formula;
    if (parse_formula(formula_sum, formula)) {
        double atoms = 0.0;
        for (const auto& f : formula) atoms += f.second;
        const double units = natoms_cif / atoms;
        if (std::fabs(units - formula_units_z) <= 0.02 * formula_units_z) return;
        std::printf("WARNING: The cell of \"%s\" holds %d molecules (%d atoms), but Z = %d formula units of %s make "
                    "%s atoms. Check the symmetry operations.\n",
                    path.c_str(), nmols, natoms_cif, formula_units_z, formula_sum.c_str(),
                    stream_real(atoms * formula_units_z).c_str());
        return;
    }
    // Without a usable formula: a crystal of one kind of molecule holds Z of them.
    std::string first;
    for (int m = 0, o = 0; m < nmols; o += sep_mol_natoms[m++]) {
        std::vector<int> atypes;
        for (int j = 0; j < sep_mol_natoms[m]; ++j) atypes.push_back(cif_atypes[sep_mol_atoms[o + j]]);
        const std::string f = hill_formula(atypes.data(), sep_mol_natoms[m]);
        if (m == 0) first = f;
        if (f != first) return;
    }
    if (nmols != formula_units_z)
        std::printf("WARNING: The cell of \"%s\" holds %d molecules of %s, but Z = %d. Check the symmetry operations.\n",
                    path.c_str(), nmols, first.c_str(), formula_units_z);
}

}  // namespace krymo
