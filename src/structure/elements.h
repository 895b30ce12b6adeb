// The fixed element table (row = atomic number), the second covalent-radius table used by the
// crystal separation, and the lookups every structure stage uses.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace krymo {

struct ElementRow {
    char symbol[3];    // two characters; one-letter symbols padded with a blank ("C ")
    double mass;       // atomic mass units
    int covalent;      // covalent radius in units of 1/250 Angstrom
    const char* name;  // element name in capitals
};

constexpr int kNumElements = 104;  // rows 0 (dummy) .. 103 (Lr)
extern const ElementRow Elements_m[kNumElements];
// Covalent radii in Angstrom of the crystal separation and the whole-molecule repair (bond lists use
// the element table); entries 104 and 105 lie beyond the last element.
extern const double nw_elem_radius_m[106];

// Element index of a symbol (first two characters, case-normalised), -1 when no row matches.
int find_element_index_from_name(const std::string& symbol);
// Symbol into a 3-character buffer: both characters, or only the first when the second is a blank.
void find_element_name_from_index(int index, char out[3]);
// Same as a text ("C", "Cl"); empty for an index outside the table.
std::string element_symbol(int index);
double find_element_mass_from_index(int index);
// Covalent column / 250.0, Angstrom.
double find_element_radius_from_index(int index);
// Entry `index` of the second covalent-radius table.
double find_element_radius_from_index_nw(int index);
// Second covalent radius of the element whose symbol matches, 9999.99 when none matches.
double find_element_radius_from_name_nw(const std::string& symbol);

// Formula in Hill order (C, then H, then the other symbols alphabetically; counts of 1 omitted):
// "C44H54Ge2". Indices outside the table count as "?".
std::string hill_formula(const int* atypes, int natoms);

// Element counts of a formula such as "C44 H54 Ge2" or "C44H54Ge2" (blanks and quotes ignored,
// counts may be fractional). False, with `counts` empty, when any part names no element.
bool parse_formula(const std::string& text, std::vector<std::pair<int, double>>& counts);

// True for an index that names a real element (1..103).
inline bool valid_element_index(int index) { return index >= 1 && index < kNumElements; }

}  // namespace krymo
