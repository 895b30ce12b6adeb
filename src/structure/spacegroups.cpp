#include "structure/spacegroups.h"

#include <cctype>

#include "structure/symop.h"

#ifdef KRYMO_HAVE_SPGLIB
#include <spglib.h>
#endif

namespace krymo {

std::string normalise_spacegroup_name(const std::string& name) {
    std::string out;
    for (char c : name) {
        if (c == ' ' || c == '\t' || c == '_' || c == '(' || c == ')' || c == '\'' || c == '"') continue;
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

#ifdef KRYMO_HAVE_SPGLIB

bool spacegroup_database_available() { return true; }

namespace {

constexpr int kNumHallSettings = 530;

void fill_operations(int hall_number, SpacegroupMatch& m) {
    static int rotations[192][3][3];
    static double translations[192][3];
    const int n = spg_get_symmetry_from_database(rotations, translations, hall_number);
    const SpglibSpacegroupType type = spg_get_spacegroup_type(hall_number);
    m.found = n > 0;
    m.hall_symbol = type.hall_symbol;
    m.international = type.international_full;
    m.ops.clear();
    for (int i = 0; i < n; ++i) m.ops.push_back(format_transform_string(rotations[i], translations[i]));
}

// Names by which a setting may be written in a crystal file.
bool name_matches(const SpglibSpacegroupType& t, const std::string& wanted) {
    const std::string choice = t.choice[0] != '\0' ? std::string(":") + t.choice : std::string();
    for (const char* name : {t.international_full, t.international_short, t.international}) {
        const std::string base = normalise_spacegroup_name(name);
        if (base == wanted) return true;
        if (!choice.empty() && base + normalise_spacegroup_name(choice) == wanted) return true;
    }
    return false;
}

}  // namespace

SpacegroupMatch find_spacegroup_operations(const std::string& hall, const std::string& hm_name, int number) {
    SpacegroupMatch m;
    const std::string want_hall = normalise_spacegroup_name(hall);
    const std::string want_hm = normalise_spacegroup_name(hm_name);
    if (!want_hall.empty())
        for (int h = 1; h <= kNumHallSettings; ++h)
            if (normalise_spacegroup_name(spg_get_spacegroup_type(h).hall_symbol) == want_hall) {
                fill_operations(h, m);
                m.how = "Hall symbol";
                return m;
            }
    if (!want_hm.empty())
        for (int h = 1; h <= kNumHallSettings; ++h)
            if (name_matches(spg_get_spacegroup_type(h), want_hm)) {
                fill_operations(h, m);
                m.how = "space-group name";
                return m;
            }
    if (number >= 1 && number <= 230)
        for (int h = 1; h <= kNumHallSettings; ++h)
            if (spg_get_spacegroup_type(h).number == number) {
                fill_operations(h, m);
                m.how = "space-group number";
                return m;
            }
    return m;
}

#else

bool spacegroup_database_available() { return false; }

SpacegroupMatch find_spacegroup_operations(const std::string&, const std::string&, int) { return SpacegroupMatch(); }

#endif

}  // namespace krymo
