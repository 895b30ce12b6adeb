// Which rows of a crystal file's atom loop are atoms of the structure: dummy and placeholder sites
// and sites of occupancy 0 never are; of the alternative positions of a disordered part, the
// `disorder` setting keeps the major group of each assembly or every site.
#pragma once

#include <string>
#include <vector>

namespace krymo {

// Values of the `disorder` input key.
enum class DisorderMode { major, all };

// Parses "major" or "all" (any case, blanks around ignored); false for anything else.
bool parse_disorder_mode(const std::string& text, DisorderMode& mode);
const char* disorder_mode_name(DisorderMode mode);

// The atom-loop columns the selection reads, one entry per row; an absent column is empty.
struct SiteColumns {
    const std::vector<std::string>* label = nullptr;
    const std::vector<std::string>* type_symbol = nullptr;
    const std::vector<std::string>* occupancy = nullptr;
    const std::vector<std::string>* calc_flag = nullptr;
    const std::vector<std::string>* assembly = nullptr;
    const std::vector<std::string>* group = nullptr;
};

// One disorder assembly under `disorder = major`.
struct AssemblyChoice {
    std::string name;    // as written; empty for sites with a group but no assembly
    int kept_group = 0;  // by magnitude
    double kept_occupancy = 0.0;
    int dropped_sites = 0;
    std::vector<int> dropped_groups;
};

struct SiteSelection {
    std::vector<char> keep;        // one flag per row
    int placeholders = 0;          // dummy (calc flag "dum") or placeholder-symbol sites
    int zero_occupancy = 0;        // sites of occupancy 0
    int partial_kept = 0;          // kept sites below full occupancy that no disorder group explains
    bool has_groups = false;       // the file marks disorder groups
    std::vector<AssemblyChoice> assemblies;  // major mode with groups, in order of first appearance
};

// True when the text names a placeholder rather than an element: Q (difference peaks), Du, Lp, Xx,
// optionally followed by digits or other label characters.
bool is_placeholder_symbol(const std::string& text);

SiteSelection select_sites(const SiteColumns& columns, DisorderMode mode);

// The run-output lines that say what the selection dropped (warnings and the disorder report),
// for crystal file `path`; empty when nothing is worth saying.
std::string describe_site_selection(const SiteSelection& s, DisorderMode mode, const std::string& path);

}  // namespace krymo
