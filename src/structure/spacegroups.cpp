#include "structure/spacegroups.h"

#include <cctype>

#include "structure/symop.h"
#include "util/text.h"

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

std::string normalise_hall_symbol(const std::string& hall) {
    // Blanks separate the parts of a Hall symbol and '"' is part of it ("P 3 2\"" is not "P 32"):
    // runs of blanks become one, quotes stay; case does not change the meaning.
    std::string out;
    for (char c : hall) {
        if (c == ' ' || c == '\t') {
            if (!out.empty() && out.back() != ' ') out += ' ';
            continue;
        }
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
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

// Full symbol without its "1" axes ("P 1 2_1/a 1" -> "P 2_1/a"): the short form of a monoclinic
// setting as files often write it.
std::string without_unit_axes(const std::string& full) {
    std::vector<std::string> w;
    split_to_words(full, " ", w);
    if (w.size() != 4) return full;
    std::string out = w[0];
    for (size_t k = 1; k < w.size(); ++k)
        if (w[k] != "1") out += " " + w[k];
    return out;
}

// Names by which a setting may be written, most specific first: the full symbol, the
// alternatives spglib lists ("P 2_1/c = P 1 2_1/a 1"), the full symbol without "1" axes and the
// short symbol of the standard setting; each also with ":choice" when the setting has one.
constexpr int kNameKinds = 4;

// names[kind][h]: the normalised names of setting h of one kind.
std::vector<std::vector<std::vector<std::string>>> setting_names() {
    std::vector<std::vector<std::vector<std::string>>> names(
        kNameKinds, std::vector<std::vector<std::string>>(kNumHallSettings + 1));
    for (int h = 1; h <= kNumHallSettings; ++h) {
        const SpglibSpacegroupType t = spg_get_spacegroup_type(h);
        std::vector<std::string> alt;
        split_to_words(t.international, "=", alt);
        const std::vector<std::string> by_kind[kNameKinds] = {
            {t.international_full}, alt, {without_unit_axes(t.international_full)}, {t.international_short}};
        for (int kind = 0; kind < kNameKinds; ++kind)
            for (const std::string& b : by_kind[kind]) {
                names[kind][h].push_back(normalise_spacegroup_name(b));
                if (t.choice[0] != '\0') names[kind][h].push_back(normalise_spacegroup_name(b + ":" + t.choice));
            }
    }
    return names;
}

}  // namespace

SpacegroupMatch find_spacegroup_operations(const std::string& hall, const std::string& hm_name, int number) {
    SpacegroupMatch m;
    const std::string want_hall = normalise_hall_symbol(hall);
    const std::string want_hm = normalise_spacegroup_name(hm_name);
    if (!want_hall.empty())
        for (int h = 1; h <= kNumHallSettings; ++h)
            if (normalise_hall_symbol(spg_get_spacegroup_type(h).hall_symbol) == want_hall) {
                fill_operations(h, m);
                m.how = "Hall symbol";
                return m;
            }
    if (!want_hm.empty()) {
        const auto names = setting_names();
        // Name kinds in order of preference, each over all settings in database order.
        for (int kind = 0; kind < kNameKinds; ++kind)
            for (int h = 1; h <= kNumHallSettings; ++h)
                for (const std::string& name : names[kind][h])
                    if (name == want_hm) {
                        fill_operations(h, m);
                        m.how = "space-group name";
                        return m;
                    }
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
