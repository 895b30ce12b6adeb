// Which atom-loop rows are atoms: dummy and placeholder sites, occupancy 0, and the disorder
// groups kept in each assembly under `disorder = major` or `all`.
#include <gtest/gtest.h>

#include "golden.h"
#include "structure/site_filter.h"
#include "structure_probe.h"

using namespace krymo;

namespace {

// Rows as "label type occupancy calc_flag assembly group" ("-" for a column the file lacks); the
// kept rows as a string of 0 and 1 and the selection.
std::pair<std::string, SiteSelection> select(const std::vector<std::string>& rows, DisorderMode mode) {
    std::vector<std::string> cols[6];
    for (const std::string& r : rows) {
        std::vector<std::string> w;
        split_to_words(r, " ", w);
        for (int k = 0; k < 6; ++k)
            if (w[k] != "-") cols[k].push_back(w[k]);
    }
    const SiteSelection s = select_sites({&cols[0], &cols[1], &cols[2], &cols[3], &cols[4], &cols[5]}, mode);
    std::string kept;
    for (char k : s.keep) kept += k ? '1' : '0';
    return {kept, s};
}

}  // namespace

TEST(SiteFilter, ModeNamesAndPlaceholders) {
    DisorderMode m = DisorderMode::all;
    // Other spellings reach the reader's tests; the echo's names come back through the crystal settings.
    EXPECT_TRUE(parse_disorder_mode(" Major ", m) && m == DisorderMode::major);
    EXPECT_FALSE(parse_disorder_mode("", m));
    for (const char* p : {"Q", "Q12", "Du", "DU1", "Lp2", "xx"}) EXPECT_TRUE(is_placeholder_symbol(p)) << p;
    for (const char* p : {"C", "Cu1", "QQ", "Dy", "Xe", "?", ""}) EXPECT_FALSE(is_placeholder_symbol(p)) << p;
}

TEST(SiteFilter, MajorAndAllSelections) {
    const struct {
        const char* what;
        std::vector<std::string> rows;
        const char* major;  // kept rows under `major`
        const char* all;    // kept rows under `all`
        int partial_major, partial_all;
    } cases[] = {
        {"ordered sites with a dummy, a placeholder and an empty site",
         {"C1 C 1 . . .", "H9 H 3 dum . .", "Q1 Q 0.1 . . .", "Du1 ? 1 . . .", "C2 C 0 . . .", "C3 C 1.0 . . ."},
         "100001", "100001", 0, 0},
        {"partial occupancy without groups is kept",
         {"C1 C 0.5 . . .", "C2 C 0.5 . . .", "C3 C 1 . . ."}, "111", "111", 2, 2},
        {"two groups of one assembly: the higher mean occupancy wins",
         {"C1 C 1 . . .", "C2 C 0.48 . A 2", "C3 C 0.52 . A 1", "C4 C 0.52 . A 1", "C5 C 0.48 . A 2"},
         "10110", "11111", 0, 4},
        {"a tie goes to the lower group; a negative group counts by its magnitude",
         {"C1 C 0.5 . B -2", "C2 C 0.5 . B 1", "C3 C 1 . . 0"}, "011", "111", 0, 2},
        {"assemblies chosen separately; groups without an assembly form one",
         {"C1 C 0.6 . A 1", "C2 C 0.4 . A 2", "C3 C 0.3 . B 1", "C4 C 0.7 . B 2", "C5 C 0.2 . . 3",
          "C6 C 0.8 . . 4", "C7 C 0.7 . ? 4"},
         "1001011", "1111111", 0, 7},
        {"no occupancy column: every group is full, the lower group wins",
         {"C1 C - - A 1", "C2 C - - A 2"}, "10", "11", 0, 0},
    };
    for (const auto& c : cases) {
        const auto major = select(c.rows, DisorderMode::major), all = select(c.rows, DisorderMode::all);
        EXPECT_EQ(major.first, c.major) << c.what;
        EXPECT_EQ(all.first, c.all) << c.what;
        EXPECT_EQ(major.second.partial_kept, c.partial_major) << c.what;
        EXPECT_EQ(all.second.partial_kept, c.partial_all) << c.what;
    }

    // The report names the groups kept and counts what went.
    krymo_test::expect_golden(
        describe_site_selection(select(cases[4].rows, DisorderMode::major).second, DisorderMode::major, "t.cif"),
        "structure/site_selection_report.txt");
}
