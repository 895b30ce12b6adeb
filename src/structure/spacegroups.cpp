#include "structure/spacegroups.h"

#include <array>
#include <cctype>
#include <cmath>

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

// Lattice translations of a centring letter (the primitive one included).
std::vector<std::array<double, 3>> centring_translations(char letter) {
    switch (letter) {
        case 'A': return {{0, 0, 0}, {0, 0.5, 0.5}};
        case 'B': return {{0, 0, 0}, {0.5, 0, 0.5}};
        case 'C': return {{0, 0, 0}, {0.5, 0.5, 0}};
        case 'I': return {{0, 0, 0}, {0.5, 0.5, 0.5}};
        case 'F': return {{0, 0, 0}, {0, 0.5, 0.5}, {0.5, 0, 0.5}, {0.5, 0.5, 0}};
        default: return {};
    }
}

SpacegroupMatch find_by_name(const std::string& want_hm) {
    SpacegroupMatch m;
    static const auto names = setting_names();
    // Name kinds in order of preference, each over all settings in database order.
    for (int kind = 0; kind < kNameKinds; ++kind)
        for (int h = 1; h <= kNumHallSettings; ++h)
            for (const std::string& name : names[kind][h])
                if (name == want_hm) {
                    fill_operations(h, m);
                    m.how = "space-group name";
                    return m;
                }
    return m;
}

// A centred setting no table lists ("A -1", "I 1 2/a 1"): the operations of the primitive part
// combined with the translations of the centring letter.
SpacegroupMatch find_by_centring(const std::string& want_hm) {
    const std::vector<std::array<double, 3>> shifts =
        want_hm.empty() ? std::vector<std::array<double, 3>>() : centring_translations(static_cast<char>(std::toupper(want_hm[0])));
    if (shifts.empty()) return SpacegroupMatch();
    SpacegroupMatch m = find_by_name("p" + want_hm.substr(1));
    if (!m.found) return m;
    const char letter = static_cast<char>(std::toupper(want_hm[0]));
    std::vector<std::string> ops;
    for (const auto& shift : shifts)
        for (const std::string& text : m.ops) {
            double R[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, t[3] = {0, 0, 0};
            parse_transform_string(text, R, t);
            int Ri[3][3];
            for (int r = 0; r < 3; ++r) {
                for (int c = 0; c < 3; ++c) Ri[r][c] = static_cast<int>(std::lround(R[r][c]));
                t[r] += shift[r];
                t[r] -= std::floor(t[r]);
            }
            ops.push_back(format_transform_string(Ri, t));
        }
    m.ops = ops;
    m.how = "centring letter and primitive part of the space-group name";
    m.international = std::string(1, letter) + m.international.substr(1);
    const size_t p = m.hall_symbol.find('P');
    if (p != std::string::npos) m.hall_symbol[p] = letter;
    return m;
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
        m = find_by_name(want_hm);
        if (!m.found) m = find_by_centring(want_hm);
        if (m.found) return m;
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
