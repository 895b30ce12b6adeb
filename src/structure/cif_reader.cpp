// CIF reader: the data-block name, a few single-value tags, one symmetry-operation loop, one
// atom-site loop and an optional bond loop before it. Expansion and separation: cif_expand.cpp.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "structure/cell.h"
#include "structure/fileio.h"
#include "structure/spacegroups.h"
#include "structure/symop.h"
#include "util/fatal.h"
#include "util/files.h"
#include "util/text.h"

namespace krymo {

namespace {

const char* const kUnit = "fileio";

struct Token {
    std::string text;  // quotes removed
    size_t begin;      // position in the line (of the opening quote for a quoted token)
    bool quoted;
};

// Splits a data line into CIF values: blank/tab separated, a quote at the start of a value opens a
// quoted value that ends at the same quote followed by a blank or the end of the line.
std::vector<Token> cif_tokens(const std::string& s) {
    std::vector<Token> out;
    size_t i = 0;
    const size_t n = s.size();
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (i < n) {
        while (i < n && blank(s[i])) ++i;
        if (i >= n) break;
        const size_t begin = i;
        if (s[i] == '\'' || s[i] == '"') {
            const char q = s[i];
            size_t j = i + 1;
            while (j < n && !(s[j] == q && (j + 1 == n || blank(s[j + 1])))) ++j;
            if (j < n) {
                out.push_back({s.substr(i + 1, j - i - 1), begin, true});
                i = j + 1;
                continue;
            }
        }
        while (i < n && !blank(s[i])) ++i;
        out.push_back({s.substr(begin, i - begin), begin, false});
    }
    return out;
}

// The tag (first word) of a tag line, lower case.
std::string tag_name(const std::string& line) {
    size_t e = 0;
    while (e < line.size() && line[e] != ' ' && line[e] != '\t') ++e;
    std::string t = line.substr(0, e);
    for (char& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return t;
}

bool contains(const std::string& s, const char* what) { return s.find(what) != std::string::npos; }

struct LoopTags {
    std::vector<std::string> names;  // lower case
    size_t last_line = 0;            // index of the last tag line
    // 1-based position of the tag `name` (exact, case-insensitive), 0 when absent.
    int position(const char* name) const {
        for (size_t k = 0; k < names.size(); ++k)
            if (names[k] == name) return static_cast<int>(k) + 1;
        return 0;
    }
};

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

    const size_t n = lines.size();
    auto trimmed = [&](size_t i) {
        std::string s = lines[i];
        return trim(s);
    };
    auto text_field_mark = [&](size_t i) { return !lines[i].empty() && lines[i][0] == ';'; };
    auto not_enough_columns = [&](size_t i, int required) {
        KRYMO_FATAL_OUT(kUnit, 255,
                        format_string("Not enough columns: %s\nAt least %d columns are expected!\n"
                                      "(file \"%s\", line %d)\n",
                                      printable_excerpt(trimmed(i)).c_str(), required, path.c_str(),
                                      static_cast<int>(i) + 1));
    };
    // Tag lines of a loop starting at `first`.
    auto read_tags = [&](size_t first) {
        LoopTags t;
        t.last_line = first;
        for (size_t j = first; j < n; ++j) {
            const std::string s = trimmed(j);
            if (s.empty() || s[0] != '_') break;
            t.names.push_back(tag_name(s));
            t.last_line = j;
        }
        return t;
    };

    // Rows of a loop from line `from`: a row is one line with at least `ncols` values, or, as CIF
    // allows, the values of consecutive lines until `ncols` are gathered. `stop` ends the loop at a
    // line (that line is not consumed). Calls row(values, first line, last line) and returns the
    // index of the first line not consumed.
    auto read_rows = [&](size_t from, int ncols, auto&& stop, auto&& row) {
        std::vector<Token> packet;
        size_t packet_line = from, j = from;
        for (; j < n; ++j) {
            const std::string s = trimmed(j);
            if (stop(j, s)) break;
            if (s[0] == '#') continue;
            std::vector<Token> tok = cif_tokens(s);
            if (packet.empty()) {
                packet_line = j;
                if (static_cast<int>(tok.size()) >= ncols) {
                    row(tok, s, j, j);
                    continue;
                }
            }
            packet.insert(packet.end(), tok.begin(), tok.end());
            if (static_cast<int>(packet.size()) > ncols) not_enough_columns(packet_line, ncols);
            if (static_cast<int>(packet.size()) == ncols) {
                row(packet, std::string(), packet_line, j);
                packet.clear();
            }
        }
        if (!packet.empty()) not_enough_columns(packet_line, ncols);
        return j;
    };
    // Where a loop's rows end: text fields, blank lines, new tags, loops and data blocks.
    auto loop_end = [&](size_t j, const std::string& s) {
        return text_field_mark(j) || s.empty() || s[0] == ';' || s[0] == '_' || strcasestr_n(s.c_str(), "loop_", 5) ||
               strcasestr_n(s.c_str(), "data_", 5);
    };

    bool in_text = false;
    bool atoms_done = false;
    for (size_t i = 0; i < n && !atoms_done; ++i) {
        // A semicolon text field runs from one line starting with ';' to the next: all text.
        if (text_field_mark(i)) {
            in_text = !in_text;
            continue;
        }
        if (in_text) continue;
        const std::string line = trimmed(i);
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        // Tag and value split at the first blank or tab; a tag alone has an empty value.
        const size_t split = line.find_first_of(" \t");
        std::string value = split == std::string::npos ? std::string() : line.substr(split + 1);
        trim(value);

        // Tags are case-insensitive: "_symmetry_space_group_name_h-m" is the H-M name.
        const std::string tag = tag_name(line);
        if (strcasestr_n(line.c_str(), "data_", 5)) {
            identifier = line.substr(5);
        } else if (contains(tag, "_chemical_name_common")) {
            chemical_name = value;
            sg_trim(chemical_name);
            if (identifier.empty()) identifier = chemical_name;
        } else if (contains(tag, "_space_group_it_number") || contains(tag, "_symmetry_int_tables_number")) {
            spacegroup_number = std::atoi(value.c_str());
        } else if (contains(tag, "_symmetry_space_group_name_h-m") || contains(tag, "_space_group_name_h-m_alt")) {
            spacegroup_name = value;
        } else if (contains(tag, "_symmetry_space_group_name_hall") || contains(tag, "_space_group_name_hall")) {
            // Only the enclosing CIF quotes go: a '"' inside belongs to the symbol ('P 3 2"').
            spacegroup_hall = value;
            trim(spacegroup_hall);
            const size_t n = spacegroup_hall.size();
            if (n >= 2 && (spacegroup_hall[0] == '\'' || spacegroup_hall[0] == '"') &&
                spacegroup_hall[n - 1] == spacegroup_hall[0])
                spacegroup_hall = spacegroup_hall.substr(1, n - 2);
        } else if (const int k = cell_tag(tag); k >= 0) {
            if (!cif_number(value, cell_latt[k]))
                KRYMO_FATAL_OUT(kUnit, 1,
                                format_string("Bad value \"%s\" of %s in crystal file \"%s\" (line %d): a number is "
                                              "expected, optionally with its standard uncertainty such as 8.035(2).\n",
                                              printable_excerpt(value).c_str(), kCellTags[k], path.c_str(),
                                              static_cast<int>(i) + 1));
            cell_line[k] = static_cast<int>(i) + 1;
        } else if (contains(tag, "_cell_formula_units_z")) {
            formula_units_z = std::atoi(value.c_str());
        } else if (contains(tag, "_chemical_formula_sum")) {
            // SHELXL writes the value on the next line when the tag column is full.
            if (value.empty() && i + 1 < n && !text_field_mark(i + 1)) {
                const std::string next = trimmed(i + 1);
                if (!next.empty() && next[0] != '_' && next[0] != '#' && !strcasestr_n(next.c_str(), "loop_", 5)) {
                    value = next;
                    ++i;
                }
            }
            formula_sum = value;
            sg_trim(formula_sum);
        } else if (tag.compare(0, 5, "loop_") == 0) {
            if (i + 1 >= n) break;
            const std::string first = tag_name(trimmed(i + 1));
            const LoopTags tags = read_tags(i + 1);
            if (contains(first, "_symmetry") || contains(first, "_space_group")) {
                int op_col = 0;
                for (size_t k = 0; k < tags.names.size() && op_col == 0; ++k)
                    if (contains(tags.names[k], "_symmetry_equiv_pos_as_xyz") ||
                        contains(tags.names[k], "_space_group_symop_operation_xyz"))
                        op_col = static_cast<int>(k) + 1;
                i = tags.last_line;
                if (op_col == 0) continue;
                const int ncols = static_cast<int>(tags.names.size());
                const size_t end = read_rows(tags.last_line + 1, ncols, loop_end,
                    [&](const std::vector<Token>& tok, const std::string& line, size_t first_line, size_t) {
                        // The operation is the value in its column, whatever the other columns are;
                        // an unquoted operation in the last column of a one-line row may hold blanks.
                        const Token& t = tok[op_col - 1];
                        std::string op = ncols == 1 && !line.empty() ? line
                                         : (op_col == ncols && !t.quoted && !line.empty()) ? line.substr(t.begin)
                                                                                           : t.text;
                        std::string written = op;
                        sg_triml(written);
                        sg_trimr(written);
                        sg_trim(op);
                        if (op.empty()) return;
                        // A text that is no operation would otherwise become a zero matrix that
                        // collapses every atom onto the origin.
                        double R[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, tr[3] = {0, 0, 0};
                        std::string why;
                        if (!parse_transform_string(written, R, tr, &why))
                            KRYMO_FATAL_OUT(kUnit, 1,
                                            format_string("Symmetry operation \"%s\" in crystal file \"%s\" (line %d) "
                                                          "cannot be used: %s.\n",
                                                          printable_excerpt(written).c_str(), path.c_str(),
                                                          static_cast<int>(first_line) + 1, why.c_str()));
                        // Blanks go from the comma form only: they separate the twelve numbers of the other.
                        spacegroup_ops.push_back(written.find(',') != std::string::npos ? op : written);
                    });
                i = end - 1;  // the ending line is parsed again as an ordinary line
            } else if (contains(first, "_geom_bond") || contains(first, "_ccdc_geom")) {
                // Tested before the atom loop: bond tags such as _geom_bond_atom_site_label_1 also
                // contain "_atom_site".
                const int p[5] = {tags.position("_geom_bond_atom_site_label_1"),
                                  tags.position("_geom_bond_atom_site_label_2"), tags.position("_geom_bond_distance"),
                                  tags.position("_geom_bond_site_symmetry_2"), tags.position("_ccdc_geom_bond_type")};
                i = tags.last_line;
                bool all = true;
                for (int k : p) all = all && k > 0;
                if (!all) continue;
                std::vector<std::string>* cols[5] = {&Bonds.label_1, &Bonds.label_2, &Bonds.distance,
                                                     &Bonds.site_symmetry_2, &Bonds.bond_type};
                const size_t end = read_rows(tags.last_line + 1, static_cast<int>(tags.names.size()), loop_end,
                    [&](const std::vector<Token>& tok, const std::string&, size_t, size_t) {
                        for (int k = 0; k < 5; ++k) cols[k]->push_back(tok[p[k] - 1].text);
                    });
                i = end - 1;
            } else if (contains(first, "_atom_site")) {
                const int p_label = tags.position("_atom_site_label");
                const int p_type = tags.position("_atom_site_type_symbol");
                const int p_x = tags.position("_atom_site_fract_x");
                const int p_y = tags.position("_atom_site_fract_y");
                const int p_z = tags.position("_atom_site_fract_z");
                const int p_occ = tags.position("_atom_site_occupancy");
                const int p_calc = tags.position("_atom_site_calc_flag");
                const int p_assembly = tags.position("_atom_site_disorder_assembly");
                const int p_group = tags.position("_atom_site_disorder_group");
                i = tags.last_line;
                if (p_label == 0 || p_x == 0 || p_y == 0 || p_z == 0) continue;
                have_type_symbols = p_type != 0;
                // The first accepted atom loop is the last thing read from the file.
                atoms_done = true;
                const int ncols = static_cast<int>(tags.names.size());
                read_rows(tags.last_line + 1, ncols, loop_end,
                    [&](const std::vector<Token>& tok, const std::string&, size_t first_line, size_t) {
                        Atoms.label.push_back(tok[p_label - 1].text);
                        Atoms.type_symbol.push_back(p_type ? tok[p_type - 1].text : std::string());
                        Atoms.fract_x.push_back(tok[p_x - 1].text);
                        Atoms.fract_y.push_back(tok[p_y - 1].text);
                        Atoms.fract_z.push_back(tok[p_z - 1].text);
                        auto optional = [&](int p, std::vector<std::string>& column) {
                            if (p) column.push_back(tok[p - 1].text);
                        };
                        optional(p_occ, Atoms.occupancy);
                        optional(p_calc, Atoms.calc_flag);
                        optional(p_assembly, Atoms.disorder_assembly);
                        optional(p_group, Atoms.disorder_group);
                        atom_line.push_back(static_cast<int>(first_line) + 1);
                    });
            }
            // Any other loop is ignored: its lines are walked as ordinary lines.
        }
    }

    const std::string selection_report = select_atom_sites(path, atom_line);
    const int nrows = static_cast<int>(Atoms.label.size());
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
