// Bridge to spglib's database of Hall settings: symmetry operations of a space group named in a
// crystal file that lists no operations.
#pragma once

#include <string>
#include <vector>

namespace krymo {

struct SpacegroupMatch {
    bool found = false;
    std::string how;                 // "Hall symbol", "space-group name" or "space-group number"
    std::string hall_symbol;         // of the setting taken
    std::string international;       // full H-M symbol of that setting
    std::vector<std::string> ops;    // "x,y,z" texts
};

// True when the program was built with spglib.
bool spacegroup_database_available();

// Looks the space group up by Hall symbol first, then by H-M name (compared without blanks,
// underscores, parentheses, quotes and case), then by number in its first (default) setting.
// Empty inputs and a number below 1 are skipped.
SpacegroupMatch find_spacegroup_operations(const std::string& hall, const std::string& hm_name, int number);

// Canonical form used to compare names: blanks, tabs, underscores, parentheses and quotes removed,
// lower case.
std::string normalise_spacegroup_name(const std::string& name);
// A Hall symbol for comparison: blanks collapsed, quotes kept, lower case.
std::string normalise_hall_symbol(const std::string& hall);

}  // namespace krymo
