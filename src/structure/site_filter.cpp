#include "structure/site_filter.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "util/text.h"

namespace krymo {

namespace {

// CIF's "unknown" and "not applicable" values.
bool missing_value(const std::string& v) { return v.empty() || v == "?" || v == "."; }

const std::string& column_value(const std::vector<std::string>* column, size_t row) {
    static const std::string none;
    return column != nullptr && row < column->size() ? (*column)[row] : none;
}

// Occupancy of a site; an absent or unreadable value is full occupancy.
double occupancy_of(const std::string& v) {
    if (missing_value(v)) return 1.0;
    char* end = nullptr;
    const double x = std::strtod(v.c_str(), &end);
    return end == v.c_str() ? 1.0 : x;
}

// Disorder group by magnitude, 0 for none ('.', '?', 0 or no number).
int group_of(const std::string& v) {
    if (missing_value(v)) return 0;
    return std::abs(static_cast<int>(std::strtol(v.c_str(), nullptr, 10)));
}

struct GroupTally {
    int group = 0;
    int sites = 0;
    double occupancy_sum = 0.0;
    double mean() const { return sites > 0 ? occupancy_sum / sites : 0.0; }
};

}  // namespace

bool parse_disorder_mode(const std::string& text, DisorderMode& mode) {
    std::string v = text;
    trim(v);
    if (iequals(v, "major")) {
        mode = DisorderMode::major;
        return true;
    }
    if (iequals(v, "all")) {
        mode = DisorderMode::all;
        return true;
    }
    return false;
}

const char* disorder_mode_name(DisorderMode mode) { return mode == DisorderMode::major ? "major" : "all"; }

bool is_placeholder_symbol(const std::string& text) {
    size_t n = 0;
    while (n < text.size() && std::isalpha(static_cast<unsigned char>(text[n]))) ++n;
    const std::string letters = text.substr(0, n);
    for (const char* p : {"Q", "Du", "Lp", "Xx"})
        if (iequals(letters, p)) return true;
    return false;
}

SiteSelection select_sites(const SiteColumns& c, DisorderMode mode) {
    SiteSelection s;
    const size_t nrows = c.label != nullptr ? c.label->size() : 0;
    s.keep.assign(nrows, 1);
    for (size_t i = 0; i < nrows; ++i) {
        const std::string& type = column_value(c.type_symbol, i);
        const bool placeholder = is_placeholder_symbol(type) ||
                                 (missing_value(type) && is_placeholder_symbol(column_value(c.label, i)));
        if (placeholder || iequals(column_value(c.calc_flag, i), "dum")) {
            s.keep[i] = 0;
            ++s.placeholders;
        } else if (occupancy_of(column_value(c.occupancy, i)) == 0.0) {
            s.keep[i] = 0;
            ++s.zero_occupancy;
        } else if (group_of(column_value(c.group, i)) != 0) {
            s.has_groups = true;
        }
    }

    if (mode == DisorderMode::major && s.has_groups) {
        // Tally each group's sites per assembly; sites with a group but no assembly share one.
        std::vector<std::vector<GroupTally>> tallies;
        std::vector<size_t> assembly_of(nrows, 0);
        for (size_t i = 0; i < nrows; ++i) {
            const int g = group_of(column_value(c.group, i));
            if (!s.keep[i] || g == 0) continue;
            const std::string& a = column_value(c.assembly, i);
            const std::string name = missing_value(a) ? std::string() : a;
            size_t k = 0;
            while (k < s.assemblies.size() && s.assemblies[k].name != name) ++k;
            if (k == s.assemblies.size()) {
                s.assemblies.push_back(AssemblyChoice{name, 0, 0.0, 0, {}});
                tallies.emplace_back();
            }
            assembly_of[i] = k;
            std::vector<GroupTally>& t = tallies[k];
            size_t j = 0;
            while (j < t.size() && t[j].group != g) ++j;
            if (j == t.size()) t.push_back(GroupTally{g, 0, 0.0});
            ++t[j].sites;
            t[j].occupancy_sum += occupancy_of(column_value(c.occupancy, i));
        }
        // The highest mean occupancy wins; on a tie the lower group number.
        for (size_t k = 0; k < s.assemblies.size(); ++k) {
            const GroupTally* best = nullptr;
            for (const GroupTally& t : tallies[k])
                if (best == nullptr || t.mean() > best->mean() + 1e-9 ||
                    (std::fabs(t.mean() - best->mean()) <= 1e-9 && t.group < best->group))
                    best = &t;
            s.assemblies[k].kept_group = best->group;
            s.assemblies[k].kept_occupancy = best->mean();
            for (const GroupTally& t : tallies[k])
                if (t.group != best->group) s.assemblies[k].dropped_groups.push_back(t.group);
        }
        for (size_t i = 0; i < nrows; ++i) {
            const int g = group_of(column_value(c.group, i));
            if (!s.keep[i] || g == 0 || g == s.assemblies[assembly_of[i]].kept_group) continue;
            s.keep[i] = 0;
            ++s.assemblies[assembly_of[i]].dropped_sites;
        }
    }

    // Partly occupied sites that no chosen group accounts for are kept, with a warning.
    const bool grouped_ok = mode == DisorderMode::major && s.has_groups;
    for (size_t i = 0; i < nrows; ++i) {
        if (!s.keep[i] || (grouped_ok && group_of(column_value(c.group, i)) != 0)) continue;
        if (occupancy_of(column_value(c.occupancy, i)) < 1.0) ++s.partial_kept;
    }
    return s;
}

std::string describe_site_selection(const SiteSelection& s, DisorderMode mode, const std::string& path) {
    std::string out;
    if (s.placeholders > 0)
        out += format_string("WARNING: %d dummy or placeholder sites (calc flag dum; Q, Du, Lp or Xx) in \"%s\" "
                             "are not atoms: skipped.\n",
                             s.placeholders, path.c_str());
    if (s.zero_occupancy > 0)
        out += format_string("WARNING: %d sites of occupancy 0 in \"%s\" are not atoms: dropped.\n", s.zero_occupancy,
                             path.c_str());
    if (!s.assemblies.empty()) {
        int dropped = 0;
        for (const AssemblyChoice& a : s.assemblies) dropped += a.dropped_sites;
        out += format_string("Disorder in \"%s\" (disorder = major): %d sites of minor groups dropped.\n", path.c_str(),
                             dropped);
        for (const AssemblyChoice& a : s.assemblies) {
            std::string line = format_string("  assembly %s: group %d kept (mean occupancy %.3f)",
                                             a.name.empty() ? "(unnamed)" : a.name.c_str(), a.kept_group,
                                             a.kept_occupancy);
            if (!a.dropped_groups.empty()) {
                line += a.dropped_groups.size() == 1 ? ", group" : ", groups";
                for (size_t k = 0; k < a.dropped_groups.size(); ++k)
                    line += format_string("%s %d", k == 0 ? "" : ",", a.dropped_groups[k]);
                line += format_string(" dropped (%d sites)", a.dropped_sites);
            }
            out += line + "\n";
        }
    }
    if (s.partial_kept > 0) {
        if (mode == DisorderMode::major && s.has_groups)
            out += format_string("WARNING: %d sites outside the disorder groups have an occupancy below 1; they are "
                                 "kept.\n",
                                 s.partial_kept);
        else
            out += format_string("WARNING: %d atoms have an occupancy below 1 (disordered sites may overlap); "
                                 "all sites are kept.\n",
                                 s.partial_kept);
    }
    return out;
}

}  // namespace krymo
