// CIF reader: what the tags and loops of the chosen data block mean (the grammar: cif_syntax.cpp):
// a few single-value tags, the symmetry-operation loops, the first atom-site loop and a bond loop.
// Expansion and separation: cif_expand.cpp; checks of the result: crystal_checks.cpp.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "structure/cell.h"
#include "structure/cif_syntax.h"
#include "structure/fileio.h"
#include "structure/spacegroups.h"
#include "structure/symop.h"
#include "util/fatal.h"
#include "util/files.h"
#include "util/text.h"

namespace krymo {

namespace {

const char* const kUnit = "fileio";

bool contains(const std::string& s, const char* what) { return s.find(what) != std::string::npos; }

// An operation in comma form with all three components in one value.
bool whole_operation(const std::string& text) {
    int commas = 0;
    for (char c : text) commas += c == ',';
    return commas == 2 && text.front() != ',' && text.back() != ',';
}

// A loop of atom sites the structure can be read from.
bool atom_site_loop(const CifLoop& loop) {
    if (loop.tags.empty() || !contains(loop.tags[0], "_atom_site") || contains(loop.tags[0], "_geom_bond") ||
        contains(loop.tags[0], "_ccdc_geom"))
        return false;
    for (const char* t : {"_atom_site_label", "_atom_site_fract_x", "_atom_site_fract_y", "_atom_site_fract_z"})
        if (loop.column(t) < 0) return false;
    return true;
}

// A loop the run needs must hold whole rows; the message points at the first row that is not one
// line of its own where the others are, as a broken row usually is.
void require_whole_rows(const CifLoop& loop, const std::vector<CifValue>& values, const std::string& path) {
    const size_t n = loop.tags.size();
    if (n > 0 && values.size() % n == 0) return;
    std::string near;
    if (n > 0 && values.size() >= n && values[0].line == values[n - 1].line) {
        int line = values[(values.size() / n) * n].line;
        for (size_t r = 1; (r + 1) * n <= values.size(); ++r)
            if (values[r * n].line == values[r * n - 1].line || values[r * n].line != values[r * n + n - 1].line) {
                line = values[r * n].line;
                break;
            }
        near = format_string("; the rows go wrong at line %d", line);
    }
    KRYMO_FATAL_OUT(kUnit, 255,
                    format_string("Crystal file \"%s\": %s holds %d values, not a whole number of rows of its %d "
                                  "tags%s.\nA value is missing or extra: a value with blanks must be quoted, and a ';' "
                                  "at the start of a line opens a text field.\n",
                                  path.c_str(), loop.describe().c_str(), static_cast<int>(values.size()),
                                  static_cast<int>(n), near.c_str()));
}

// The data block to read: the one named by the cif_block setting, else the one that holds atom
// sites; null when none does.
const CifBlock* choose_block(const std::vector<CifBlock>& blocks, const std::string& wanted, const std::string& path) {
    auto list = [&](bool atoms_only) {
        std::string out;
        for (const CifBlock& b : blocks) {
            bool atoms = false;
            for (const CifLoop& l : b.loops) atoms = atoms || atom_site_loop(l);
            if (atoms || !atoms_only)
                out += format_string("%sdata_%s (line %d)", out.empty() ? "" : ", ", b.name.c_str(), b.line);
        }
        return out;
    };
    if (!wanted.empty()) {
        for (const CifBlock& b : blocks)
            if (b.line > 0 && iequals(b.name, wanted)) return &b;
        KRYMO_FATAL_OUT(kUnit, 1,
                        format_string("The crystal file \"%s\" has no data block data_%s (cif_block in the input "
                                      "file); its blocks are: %s.\n",
                                      path.c_str(), wanted.c_str(), blocks.empty() ? "none" : list(false).c_str()));
    }
    const CifBlock* found = nullptr;
    int count = 0;
    for (const CifBlock& b : blocks)
        for (const CifLoop& l : b.loops)
            if (atom_site_loop(l)) {
                if (found != &b) ++count;
                found = &b;
                break;
            }
    if (count > 1)
        KRYMO_FATAL_OUT(kUnit, 1,
                        format_string("The crystal file \"%s\" holds atom sites in %d data blocks: %s.\nChoose one "
                                      "with cif_block = <block name without data_> in the input file.\n",
                                      path.c_str(), count, list(true).c_str()));
    if (found == nullptr && blocks.size() == 1) return &blocks[0];
    return found;
}

// Element of an atom label: leading letters, two when the second is lower case and they form an
// element, else one. Returns -1 and sets `why` when the label names no element or is ambiguous.
// A label that could name two elements ("CO1": C or Co) is settled by the formula when it lists
// exactly one of them.
int element_from_label(const std::string& label, const std::vector<int>& formula_elements, std::string& why) {
    std::string letters;
    for (char c : label) {
        if (!std::isalpha(static_cast<unsigned char>(c))) break;
        letters += c;
    }
    if (letters.empty()) {
        why = "it does not start with an element symbol";
        return -1;
    }
    const int one = std::isupper(static_cast<unsigned char>(letters[0])) ? find_element_index_from_name(letters.substr(0, 1)) : -1;
    if (letters.size() >= 2) {
        const int two = find_element_index_from_name(letters.substr(0, 2));
        const bool lower2 = std::islower(static_cast<unsigned char>(letters[1]));
        if (lower2 && two > 0) return two;
        if (!lower2 && two > 0) {
            if (one > 0) {
                auto listed = [&](int e) {
                    return std::find(formula_elements.begin(), formula_elements.end(), e) != formula_elements.end();
                };
                if (listed(one) != listed(two)) return listed(one) ? one : two;
                why = format_string("its leading letters could be %s or %s, and _chemical_formula_sum does not settle "
                                    "which",
                                    element_symbol(one).c_str(), element_symbol(two).c_str());
                return -1;
            }
            return two;
        }
    }
    if (one > 0) return one;
    why = "its leading letters name no element";
    return -1;
}

// Element of a type symbol: its leading letters (an oxidation state such as "O2-" drops out).
int element_from_type_symbol(const std::string& symbol) {
    std::string letters;
    for (char c : symbol) {
        if (!std::isalpha(static_cast<unsigned char>(c))) break;
        letters += c;
    }
    if (letters.empty() || letters.size() > 2) return -1;
    const std::string rest = symbol.substr(letters.size());
    for (char c : rest)
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '+' && c != '-') return -1;
    const int e = find_element_index_from_name(letters);
    return e > 0 ? e : -1;
}

// A CIF number read whole: "8.0348", "-1.2e-1", or with its standard uncertainty "0.28820(10)".
// '?' and '.' (unknown, inapplicable) are no numbers.
bool cif_number(const std::string& text, double& out) {
    std::string s = text;
    trim(s);
    const size_t open = s.find('(');
    if (open != std::string::npos && open > 0 && s.back() == ')' && s.size() - open > 2) {
        for (size_t k = open + 1; k + 1 < s.size(); ++k)
            if (!std::isdigit(static_cast<unsigned char>(s[k]))) return false;
        s.erase(open);
    }
    return parse_whole_real(s, out);
}

// Fractional coordinates beyond this are typing errors, not positions of a crystal's atoms.
constexpr double kMaxFraction = 100.0;
// Cell lengths (Angstrom) outside this range describe no molecular crystal.
constexpr double kMinCellLength = 1.0;
constexpr double kMaxCellLength = 1e5;

const char* const kCellTags[6] = {"_cell_length_a",   "_cell_length_b",   "_cell_length_c",
                                  "_cell_angle_alpha", "_cell_angle_beta", "_cell_angle_gamma"};

}  // namespace

void FileIO::read_data_cif(const std::string& path, bool info) {
    std::vector<std::string> lines;
    if (!read_input_lines(path, kCrystalInput, kUnit, lines, false))
        KRYMO_FATAL_ERR(kUnit, 255, format_string("Failed to open input file \"%s\"\n", path.c_str()));
    if (info) std::printf("Reading crystal file \"%s\"... \n", path.c_str());

    spacegroup_ops.clear();
    spacegroup_name.clear();
    spacegroup_hall.clear();
    spacegroup_number = -1;
    formula_units_z = 0;
    formula_sum.clear();
    formula_moiety.clear();
    Atoms = CifAtomColumns();
    Bonds = CifBondColumns();
    std::vector<int> atom_line;  // 1-based file line of each atom row
    int cell_line[6] = {0, 0, 0, 0, 0, 0};  // line of each cell tag, 0 when not given
    for (double& v : cell_latt) v = 0.0;
    // Index of a cell tag (any tag that contains one of the six names), -1 for other tags.
    auto cell_tag = [](const std::string& tag) {
        for (int k = 0; k < 6; ++k)
            if (contains(tag, kCellTags[k])) return k;
        return -1;
    };
    bool have_type_symbols = true;

    const std::vector<CifBlock> blocks = parse_cif_blocks(lines, path);
    const CifBlock* block = choose_block(blocks, cif_block, path);
    const std::vector<CifItem> no_items;
    const std::vector<CifLoop> no_loops;
    if (block != nullptr && block->line > 0) identifier = block->name;

    // Tags are case-insensitive: "_symmetry_space_group_name_h-m" is the H-M name.
    for (const CifItem& item : block ? block->items : no_items) {
        const std::string& tag = item.tag;
        const int line = item.value.line;
        std::string value = item.raw;
        trim(value);
        if (contains(tag, "_chemical_name_common")) {
            chemical_name = value.substr(0, value.find('\n'));
            sg_trim(chemical_name);
            if (identifier.empty()) identifier = chemical_name;
        } else if (contains(tag, "_space_group_it_number") || contains(tag, "_symmetry_int_tables_number")) {
            spacegroup_number = std::atoi(value.c_str());
        } else if (contains(tag, "_symmetry_space_group_name_h-m") || contains(tag, "_space_group_name_h-m_alt")) {
            spacegroup_name = value;
        } else if (contains(tag, "_symmetry_space_group_name_hall") || contains(tag, "_space_group_name_hall")) {
            // Only the enclosing CIF quotes go: a '"' inside belongs to the symbol ('P 3 2"').
            spacegroup_hall = item.value.quoted ? item.value.text : value;
            trim(spacegroup_hall);
        } else if (const int k = cell_tag(tag); k >= 0) {
            if (!cif_number(value, cell_latt[k]))
                KRYMO_FATAL_OUT(kUnit, 1,
                                format_string("Bad value \"%s\" of %s in crystal file \"%s\" (line %d): a number is "
                                              "expected, optionally with its standard uncertainty such as 8.035(2).\n",
                                              printable_excerpt(value).c_str(), kCellTags[k], path.c_str(), line));
            cell_line[k] = line;
        } else if (contains(tag, "_cell_formula_units_z")) {
            formula_units_z = std::atoi(value.c_str());
        } else if (contains(tag, "_chemical_formula_sum")) {
            formula_sum = value;
            sg_trim(formula_sum);
        } else if (contains(tag, "_chemical_formula_moiety")) {
            formula_moiety = item.value.text;
        }
    }

    // A loop that is not needed may be malformed: it is named and skipped.
    auto skip_if_broken = [&](const CifLoop& loop) {
        if (loop.whole_rows()) return false;
        std::printf("WARNING: %s in \"%s\" holds %d values, not a whole number of rows of its %d tags; the "
                    "loop is not needed and is skipped.\n",
                    loop.describe().c_str(), path.c_str(), static_cast<int>(loop.values.size()),
                    static_cast<int>(loop.tags.size()));
        return true;
    };
    bool atoms_found = false;
    const CifLoop* atom_loop = nullptr;
    for (const CifLoop& loop : block ? block->loops : no_loops) {
        const std::string first = loop.tags.empty() ? std::string() : loop.tags[0];
        const int ncols = static_cast<int>(loop.tags.size());
        if (contains(first, "_symmetry") || contains(first, "_space_group")) {
            int op_col = -1;
            for (int k = 0; k < ncols && op_col < 0; ++k)
                if (contains(loop.tags[k], "_symmetry_equiv_pos_as_xyz") ||
                    contains(loop.tags[k], "_space_group_symop_operation_xyz"))
                    op_col = k;
            if (op_col < 0) {
                skip_if_broken(loop);
                continue;
            }
            // Older files write an operation in the last column unquoted, with blanks ("x, y, z",
            // or twelve numbers): a value that is no whole operation takes the rest of its line.
            std::vector<CifValue> values;
            for (size_t k = 0; k < loop.values.size(); ++k) {
                CifValue v = loop.values[k];
                if (op_col == ncols - 1 && static_cast<int>(values.size() % ncols) == op_col && !v.quoted &&
                    !whole_operation(v.text)) {
                    size_t last = k;
                    while (last + 1 < loop.values.size() && loop.values[last + 1].line == v.line &&
                           !loop.values[last + 1].quoted)
                        ++last;
                    const CifValue& end = loop.values[last];
                    v.text = lines[v.line - 1].substr(v.column, end.column + end.text.size() - v.column);
                    k = last;
                }
                values.push_back(v);
            }
            require_whole_rows(loop, values, path);
            for (size_t r = 0; r * ncols < values.size(); ++r) {
                const CifValue& v = values[r * ncols + op_col];
                std::string written = v.text;
                sg_triml(written);
                sg_trimr(written);
                std::string op = written;
                sg_trim(op);
                if (op.empty()) continue;
                // A text that is no operation would otherwise become a zero matrix that collapses
                // every atom onto the origin.
                double R[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, tr[3] = {0, 0, 0};
                std::string why;
                if (!parse_transform_string(written, R, tr, &why))
                    KRYMO_FATAL_OUT(kUnit, 1,
                                    format_string("Symmetry operation \"%s\" in crystal file \"%s\" (line %d) "
                                                  "cannot be used: %s.\n",
                                                  printable_excerpt(written).c_str(), path.c_str(), v.line,
                                                  why.c_str()));
                // Blanks go from the comma form only: they separate the twelve numbers of the other.
                spacegroup_ops.push_back(written.find(',') != std::string::npos ? op : written);
            }
        } else if (contains(first, "_geom_bond") || contains(first, "_ccdc_geom")) {
            // Tested before the atom loop: bond tags such as _geom_bond_atom_site_label_1 also
            // contain "_atom_site".
            const int p[5] = {loop.column("_geom_bond_atom_site_label_1"), loop.column("_geom_bond_atom_site_label_2"),
                              loop.column("_geom_bond_distance"), loop.column("_geom_bond_site_symmetry_2"),
                              loop.column("_ccdc_geom_bond_type")};
            bool all = true;
            for (int k : p) all = all && k >= 0;
            if (skip_if_broken(loop) || !all) continue;
            std::vector<std::string>* cols[5] = {&Bonds.label_1, &Bonds.label_2, &Bonds.distance,
                                                 &Bonds.site_symmetry_2, &Bonds.bond_type};
            for (size_t r = 0; r * ncols < loop.values.size(); ++r)
                for (int k = 0; k < 5; ++k) cols[k]->push_back(loop.values[r * ncols + p[k]].text);
        } else if (atom_site_loop(loop) && !atoms_found) {
            // The first atom loop of the block holds the structure.
            atoms_found = true;
            atom_loop = &loop;
            require_whole_rows(loop, loop.values, path);
            const int p_label = loop.column("_atom_site_label");
            const int p_type = loop.column("_atom_site_type_symbol");
            const int p_x = loop.column("_atom_site_fract_x");
            const int p_y = loop.column("_atom_site_fract_y");
            const int p_z = loop.column("_atom_site_fract_z");
            const int optional[4] = {loop.column("_atom_site_occupancy"), loop.column("_atom_site_calc_flag"),
                                     loop.column("_atom_site_disorder_assembly"),
                                     loop.column("_atom_site_disorder_group")};
            std::vector<std::string>* optional_columns[4] = {&Atoms.occupancy, &Atoms.calc_flag,
                                                             &Atoms.disorder_assembly, &Atoms.disorder_group};
            have_type_symbols = p_type >= 0;
            for (size_t r = 0; r * ncols < loop.values.size(); ++r) {
                const CifValue* row = &loop.values[r * ncols];
                Atoms.label.push_back(row[p_label].text);
                Atoms.type_symbol.push_back(p_type >= 0 ? row[p_type].text : std::string());
                Atoms.fract_x.push_back(row[p_x].text);
                Atoms.fract_y.push_back(row[p_y].text);
                Atoms.fract_z.push_back(row[p_z].text);
                for (int k = 0; k < 4; ++k)
                    if (optional[k] >= 0) optional_columns[k]->push_back(row[optional[k]].text);
                atom_line.push_back(row[0].line);
            }
        } else {
            skip_if_broken(loop);
        }
    }
    const std::string selection_report = select_atom_sites(path, atom_line);
    const int nrows = static_cast<int>(Atoms.label.size());
    if (nrows == 0 && atom_loop != nullptr)
        KRYMO_FATAL_OUT(kUnit, 255,
                        format_string("No atoms read from crystal file \"%s\": %s holds no%s rows.\n", path.c_str(),
                                      atom_loop->describe().c_str(), atom_loop->values.empty() ? "" : " atom"));
    if (nrows == 0)
        KRYMO_FATAL_OUT(kUnit, 255,
                        format_string("No atoms read from crystal file \"%s\": an atom loop with _atom_site_label, "
                                      "_atom_site_fract_x, _atom_site_fract_y and _atom_site_fract_z is expected.\n",
                                      path.c_str()));

    // Elements, checked before any lookup uses them.
    std::vector<int> formula_elements;
    std::vector<std::pair<int, double>> formula;
    if (parse_formula(formula_sum, formula))
        for (const auto& f : formula) formula_elements.push_back(f.first);
    cif_atypes.assign(nrows, -1);
    for (int i = 0; i < nrows; ++i) {
        // A type symbol written '?' or '.' is missing: the label tells the element.
        const std::string& type = Atoms.type_symbol[i];
        if (have_type_symbols && type != "?" && type != ".") {
            cif_atypes[i] = element_from_type_symbol(type);
            if (cif_atypes[i] < 0)
                KRYMO_FATAL_OUT(kUnit, 1,
                                format_string("Unknown element symbol \"%s\" of atom %s in crystal file \"%s\" "
                                              "(line %d).\n",
                                              Atoms.type_symbol[i].c_str(), Atoms.label[i].c_str(), path.c_str(),
                                              atom_line[i]));
        } else {
            std::string why;
            cif_atypes[i] = element_from_label(Atoms.label[i], formula_elements, why);
            if (cif_atypes[i] < 0)
                KRYMO_FATAL_OUT(kUnit, 1,
                                format_string("Cannot take the element of atom %s in crystal file \"%s\" (line %d) "
                                              "from its label: %s. Add an _atom_site_type_symbol column.\n",
                                              Atoms.label[i].c_str(), path.c_str(), atom_line[i], why.c_str()));
            Atoms.type_symbol[i] = element_symbol(cif_atypes[i]);
        }
        for (const std::string* c : {&Atoms.fract_x[i], &Atoms.fract_y[i], &Atoms.fract_z[i]}) {
            double f = 0.0;
            if (!cif_number(*c, f))
                KRYMO_FATAL_OUT(kUnit, 255,
                                format_string("Bad fractional coordinate \"%s\" of atom %s in crystal file \"%s\" "
                                              "(line %d): a number is expected.\n",
                                              printable_excerpt(*c).c_str(), printable_excerpt(Atoms.label[i]).c_str(), path.c_str(), atom_line[i]));
            if (std::fabs(f) > kMaxFraction)
                KRYMO_FATAL_OUT(kUnit, 1,
                                format_string("Fractional coordinate %s of atom %s in crystal file \"%s\" (line %d) "
                                              "lies far outside the cell: a value from %g to %g is expected.\n",
                                              c->c_str(), printable_excerpt(Atoms.label[i]).c_str(), path.c_str(),
                                              atom_line[i],
                                              -kMaxFraction, kMaxFraction));
        }
    }
    check_cell(path, cell_line);

    if (spacegroup_ops.empty())
        derive_spacegroup_operations(path);
    else
        use_distinct_operations(path);

    if (info) {
        std::printf("  Identifier: %s\n", identifier.c_str());
        std::printf("  Spacegroup name: %s\n", spacegroup_name.c_str());
        std::printf("  Spacegroup operations: \n");
        for (const std::string& op : spacegroup_ops) std::printf("    %s\n", op.c_str());
        const char* names[6] = {"a", "b", "c", "alpha", "beta ", "gamma"};
        for (int k = 0; k < 6; ++k)
            std::printf("  Cell lattice %s = %s\n", names[k], stream_real(cell_latt[k]).c_str());
        std::printf("  natoms_cif = %d\n", nrows);
        auto row = [&](int i) {
            return Atoms.label[i] + " " + Atoms.type_symbol[i] + " " + Atoms.fract_x[i] + " " + Atoms.fract_y[i] +
                   " " + Atoms.fract_z[i];
        };
        std::printf("  First atom: %s\n", row(0).c_str());
        std::printf("  ...\n");
        std::printf("  Last  atom: %s\n", row(nrows - 1).c_str());
    }
    if (!have_type_symbols)
        std::printf("WARNING: No _atom_site_type_symbol column in \"%s\": elements are taken from the atom labels.\n",
                    path.c_str());
    std::printf("%s", selection_report.c_str());

    expand_crystal(info);
    check_hydrogens(path);
    check_formula_units(path);
    crystal_file = path;
    crystal_read = true;
    if (info) std::printf("Crystal file %s parsing done.\n", path.c_str());
}

void FileIO::check_cell(const std::string& path, const int line[6]) const {
    std::string missing;
    for (int k = 0; k < 6; ++k)
        if (line[k] == 0) missing += std::string(missing.empty() ? "" : ", ") + kCellTags[k];
    if (!missing.empty())
        KRYMO_FATAL_OUT(kUnit, 255,
                        format_string("The cell of the crystal file is missing or impossible: a = %s, b = %s, c = %s, "
                                      "alpha = %s, beta = %s, gamma = %s.\nThe crystal file \"%s\" gives no %s.\n",
                                      stream_real(cell_latt[0]).c_str(), stream_real(cell_latt[1]).c_str(),
                                      stream_real(cell_latt[2]).c_str(), stream_real(cell_latt[3]).c_str(),
                                      stream_real(cell_latt[4]).c_str(), stream_real(cell_latt[5]).c_str(),
                                      path.c_str(), missing.c_str()));
    for (int k = 0; k < 3; ++k)
        if (!(cell_latt[k] >= kMinCellLength && cell_latt[k] <= kMaxCellLength))
            KRYMO_FATAL_OUT(kUnit, 1,
                            format_string("Cell length %s = %s in crystal file \"%s\" (line %d): a length from %g to "
                                          "%g Angstrom is expected.\n",
                                          kCellTags[k], stream_real(cell_latt[k]).c_str(), path.c_str(), line[k],
                                          kMinCellLength, kMaxCellLength));
    for (int k = 3; k < 6; ++k)
        if (!(cell_latt[k] > 0.0 && cell_latt[k] < 180.0))
            KRYMO_FATAL_OUT(kUnit, 1,
                            format_string("Cell angle %s = %s in crystal file \"%s\" (line %d): an angle between 0 and "
                                          "180 degrees is expected.\n",
                                          kCellTags[k], stream_real(cell_latt[k]).c_str(), path.c_str(), line[k]));
    // Volume over a b c: the three angles must leave room for a cell.
    double c[3];
    for (int k = 0; k < 3; ++k) c[k] = std::cos(cell_latt[k + 3] * kCellPi / 180.0);
    const double v2 = 1.0 - c[0] * c[0] - c[1] * c[1] - c[2] * c[2] + 2.0 * c[0] * c[1] * c[2];
    if (!(v2 > 1e-12))
        KRYMO_FATAL_OUT(kUnit, 1,
                        format_string("The cell angles alpha = %s, beta = %s, gamma = %s of crystal file \"%s\" cannot "
                                      "form a cell: the volume they leave is not positive.\n",
                                      stream_real(cell_latt[3]).c_str(), stream_real(cell_latt[4]).c_str(),
                                      stream_real(cell_latt[5]).c_str(), path.c_str()));
}

std::string FileIO::select_atom_sites(const std::string& path, std::vector<int>& row_lines) {
    SiteColumns columns;
    columns.label = &Atoms.label;
    columns.type_symbol = &Atoms.type_symbol;
    columns.occupancy = &Atoms.occupancy;
    columns.calc_flag = &Atoms.calc_flag;
    columns.assembly = &Atoms.disorder_assembly;
    columns.group = &Atoms.disorder_group;
    const SiteSelection s = select_sites(columns, disorder_mode);
    auto keep_rows = [&](auto& column) {
        if (column.empty()) return;
        size_t w = 0;
        for (size_t i = 0; i < s.keep.size(); ++i)
            if (s.keep[i]) column[w++] = column[i];
        column.resize(w);
    };
    for (std::vector<std::string>* c : {&Atoms.label, &Atoms.type_symbol, &Atoms.fract_x, &Atoms.fract_y,
                                        &Atoms.fract_z, &Atoms.occupancy, &Atoms.calc_flag, &Atoms.disorder_assembly,
                                        &Atoms.disorder_group})
        keep_rows(*c);
    keep_rows(row_lines);
    return describe_site_selection(s, disorder_mode, path);
}

void FileIO::derive_spacegroup_operations(const std::string& path) {
    // '?' and '.' are CIF's "unknown": no name at all.
    const std::string hm = normalise_spacegroup_name(spacegroup_name);
    const bool has_name = !hm.empty() && hm != "?" && hm != ".";
    const bool named = !spacegroup_hall.empty() || has_name || (spacegroup_number >= 1 && spacegroup_number <= 230);
    if (!named) {
        std::printf("WARNING: No symmetry operations and no space group in \"%s\": read as P1.\n", path.c_str());
        spacegroup_ops.push_back("x,y,z");
        return;
    }
    const std::string described =
        format_string("Hall symbol '%s', H-M name %s, number %d", spacegroup_hall.c_str(),
                      spacegroup_name.empty() ? "''" : spacegroup_name.c_str(), spacegroup_number);
    if (!spacegroup_database_available())
        KRYMO_FATAL_OUT(kUnit, 255,
                        format_string("The crystal file \"%s\" lists no symmetry operations and this build has no "
                                      "space-group database (spglib) to derive them from its space group (%s).\n"
                                      "Add a _symmetry_equiv_pos_as_xyz loop or rebuild with spglib.\n",
                                      path.c_str(), described.c_str()));
    // A name that is given but not understood stops the run: the number alone would give the
    // standard setting, which need not be the file's.
    if (spacegroup_hall.empty() && has_name && !find_spacegroup_operations("", spacegroup_name, 0).found)
        KRYMO_FATAL_OUT(kUnit, 255,
                        format_string("The crystal file \"%s\" lists no symmetry operations and its space-group name "
                                      "%s is not understood. Add a _symmetry_equiv_pos_as_xyz loop or a "
                                      "_space_group_name_Hall.\n",
                                      path.c_str(), spacegroup_name.c_str()));
    const SpacegroupMatch m =
        find_spacegroup_operations(spacegroup_hall, has_name ? spacegroup_name : std::string(), spacegroup_number);
    if (!m.found)
        KRYMO_FATAL_OUT(kUnit, 255,
                        format_string("The crystal file \"%s\" lists no symmetry operations and its space group (%s) "
                                      "matches no known setting.\n",
                                      path.c_str(), described.c_str()));
    std::printf("WARNING: No symmetry operations in \"%s\": %d operations taken from the %s (setting %s, Hall '%s').\n",
                path.c_str(), static_cast<int>(m.ops.size()), m.how.c_str(), m.international.c_str(),
                m.hall_symbol.c_str());
    spacegroup_ops = m.ops;
}

}  // namespace krymo
