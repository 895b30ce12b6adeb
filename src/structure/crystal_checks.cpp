// Consistency checks of a read crystal. Errors (each with a setting for users who know better):
// listed operations that do not form a group, a cell whose atoms are no whole number of formula
// units, an organic cell without hydrogens. Warnings: repeated operations, an operation count that
// does not fit the space group, a cell that does not hold Z formula units.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>

#include "structure/fileio.h"
#include "structure/spacegroups.h"
#include "structure/symop.h"
#include "util/fatal.h"
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

// a then b: x -> Ra (Rb x + tb) + ta.
Operation product(const Operation& a, const Operation& b) {
    Operation p;
    for (int r = 0; r < 3; ++r) {
        p.t[r] = a.t[r];
        for (int c = 0; c < 3; ++c) {
            p.t[r] += a.R[r][c] * b.t[c];
            for (int k = 0; k < 3; ++k) p.R[r][c] += a.R[r][k] * b.R[k][c];
        }
    }
    return p;
}

std::string operation_text(const Operation& op) {
    int R[3][3];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) R[r][c] = static_cast<int>(std::lround(op.R[r][c]));
    return format_transform_string(R, op.t);
}

// Total formula of a moiety formula ("C8 H9 N O2, 2(H2 O)", "C10 H8, 0.5(C6 H6)"); charges such as
// "2+" or "-" drop out. False when a part cannot be read.
bool parse_moiety(const std::string& text, std::vector<std::pair<int, double>>& total) {
    total.clear();
    std::map<int, double> sum;
    size_t from = 0;
    while (from <= text.size()) {
        size_t comma = text.find(',', from);
        if (comma == std::string::npos) comma = text.size();
        std::string part = text.substr(from, comma - from);
        from = comma + 1;
        trim(part);
        double times = 1.0;
        const size_t open = part.find('(');
        if (open != std::string::npos && part.back() == ')') {
            if (open > 0 && !parse_whole_real(part.substr(0, open), times)) return false;
            part = part.substr(open + 1, part.size() - open - 2);
        }
        std::vector<std::string> words;
        split_to_words(part, " \t", words);
        std::string kept;
        for (const std::string& w : words) {
            const char last = w.back();
            bool charge = last == '+' || last == '-';
            for (size_t k = 0; charge && k + 1 < w.size(); ++k)
                charge = std::isdigit(static_cast<unsigned char>(w[k])) != 0;
            if (!charge) kept += w + " ";
        }
        std::vector<std::pair<int, double>> counts;
        if (!parse_formula(kept, counts)) return false;
        for (const auto& [e, n] : counts) sum[e] += times * n;
    }
    total.assign(sum.begin(), sum.end());
    return !total.empty();
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

    // A missing operation leaves a wrong set of unique molecules and pairs: the listed operations
    // must be closed under products (translations taken modulo the lattice).
    // Operations by rotation: a product is looked up among the few that share its rotation.
    auto rotation = [](const Operation& op) {
        std::vector<long> r;
        for (const auto& row : op.R)
            for (double v : row) r.push_back(std::lround(v));
        return r;
    };
    std::map<std::vector<long>, std::vector<size_t>> by_rotation;
    for (size_t k = 0; k < kept.size(); ++k) by_rotation[rotation(kept[k])].push_back(k);
    auto missing_product = [&](size_t& a, size_t& b, Operation& p) {
        for (a = 0; a < kept.size(); ++a)
            for (b = 0; b < kept.size(); ++b) {
                p = product(kept[a], kept[b]);
                bool listed = false;
                const auto same = by_rotation.find(rotation(p));
                if (same != by_rotation.end())
                    for (size_t k : same->second) listed = listed || same_operation(kept[k], p);
                if (!listed) return true;
            }
        return false;
    };
    size_t a = 0, b = 0;
    Operation p;
    if (missing_product(a, b, p)) {
        const std::string what = format_string(
            "The %d symmetry operations of \"%s\" do not form a group: %s followed by %s gives %s, which is not "
            "listed (an operation missing?)",
            static_cast<int>(kept.size()), path.c_str(), texts[b].c_str(), texts[a].c_str(), operation_text(p).c_str());
        if (!allow_incomplete_symmetry)
            KRYMO_FATAL_OUT("fileio", 1,
                            what + ".\nList every operation of the space group, or set allow_incomplete_symmetry = 1 "
                                   "in the input file to use the listed ones as they are.\n");
        std::printf("WARNING: %s; the listed operations are used (allow_incomplete_symmetry).\n", what.c_str());
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

void FileIO::check_hydrogens(const std::string& path) const {
    // A user who allows it has said the cell truly has none: nothing to warn about.
    if (allow_missing_hydrogens) return;
    const int carbon = find_element_index_from_name("C"), hydrogen = find_element_index_from_name("H");
    bool has_carbon = false;
    for (int e : cif_atypes) {
        if (e == hydrogen) return;
        has_carbon = has_carbon || e == carbon;
    }
    if (has_carbon)
        KRYMO_FATAL_OUT("fileio", 1,
                        format_string("The crystal file \"%s\" holds carbon but no hydrogen atoms: its hydrogens are "
                                      "missing, and a quantum-chemistry study of such a cell is wrong.\nUse a file "
                                      "with the hydrogen positions (a structure program places them), or set "
                                      "allow_missing_hydrogens = 1 in the input file for a cell that truly has none.\n",
                                      path.c_str()));
}

void FileIO::check_formula_units(const std::string& path) {
    const int nmols = static_cast<int>(sep_mol_natoms.size());
    if (nmols == 0) return;
    // The sum formula, else the moiety formula; '?' and '.' give none.
    auto given = [](const std::string& f) { return !f.empty() && f != "?" && f != "."; };
    std::string moiety = formula_moiety;
    trim(moiety);
    const std::string& text = given(formula_sum) ? formula_sum : moiety;
    std::vector<std::pair<int, double>> formula;
    const bool read = given(text) && (&text == &formula_sum ? parse_formula(text, formula) : parse_moiety(text, formula));
    if (given(text) && !read)
        std::printf("WARNING: The formula \"%s\" of \"%s\" cannot be read: the atoms of the cell are not checked "
                    "against it.\n",
                    printable_excerpt(text).c_str(), path.c_str());
    if (read) {
        // Counted whole, or weighted by occupancy (partly occupied solvent, both groups of a disorder
        // kept): either must be a whole number of formula units, or atom rows are missing or extra.
        std::map<int, double> plain, weighted;
        for (size_t a = 0; a < cif_atypes.size(); ++a) {
            double occupancy = 1.0;
            const size_t row = static_cast<size_t>(cif_rows[a]);
            if (row < Atoms.occupancy.size() && !parse_whole_real(Atoms.occupancy[row], occupancy)) {
                std::string s = Atoms.occupancy[row];
                const size_t open = s.find('(');
                if (open == std::string::npos || !parse_whole_real(s.substr(0, open), occupancy)) occupancy = 1.0;
            }
            plain[cif_atypes[a]] += 1.0;
            weighted[cif_atypes[a]] += occupancy;
        }
        // A cell allowed to lack its hydrogens is compared with the formula without them.
        const int hydrogen = find_element_index_from_name("H");
        const bool skip_h = allow_missing_hydrogens && !plain.count(hydrogen);
        double per_unit = 0.0;
        std::map<int, double> unit;
        for (const auto& [e, n] : formula)
            if (!(skip_h && e == hydrogen)) {
                unit[e] += n;
                per_unit += n;
            }
        auto whole_units = [&](const std::map<int, double>& cell) {
            double total = 0.0;
            for (const auto& c : cell) total += c.second;
            const double k = std::round(total / per_unit);
            if (!(k >= 1.0)) return false;
            for (const auto& [e, n] : cell)
                if (std::fabs(n - k * (unit.count(e) ? unit[e] : 0.0)) > 0.1 * k) return false;
            for (const auto& [e, n] : unit)
                if (!cell.count(e) && k * n > 0.1 * k) return false;
            return true;
        };
        if (per_unit > 0.0 && !whole_units(plain) && !whole_units(weighted)) {
            const std::string what = format_string(
                "The atoms of the cell of \"%s\" (%s) are no whole number of formula units %s: atom rows missing "
                "or extra, or molecules broken into fragments",
                path.c_str(), hill_formula(cif_atypes.data(), natoms_cif).c_str(), printable_excerpt(text).c_str());
            if (!allow_formula_mismatch)
                KRYMO_FATAL_OUT("fileio", 1,
                                what + ".\nCheck the atom loop, or set allow_formula_mismatch = 1 in the input file to "
                                       "use the cell as it is.\n");
            std::printf("WARNING: %s (allow_formula_mismatch).\n", what.c_str());
        }
        if (formula_units_z <= 0) return;
        double atoms = 0.0;
        for (const auto& f : formula) atoms += f.second;
        const double units = natoms_cif / atoms;
        if (std::fabs(units - formula_units_z) <= 0.02 * formula_units_z) return;
        std::printf("WARNING: The cell of \"%s\" holds %d molecules (%d atoms), but Z = %d formula units of %s make "
                    "%s atoms. Check the symmetry operations.\n",
                    path.c_str(), nmols, natoms_cif, formula_units_z, text.c_str(),
                    stream_real(atoms * formula_units_z).c_str());
        return;
    }
    if (formula_units_z <= 0) return;
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
