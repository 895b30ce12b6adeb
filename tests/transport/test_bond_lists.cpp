// Bond lists: distance rule with the element-table radii, file layout, representatives only with
// the unique-RE flag, and reading the files back.
#include "transport/transport_fixture.h"

using krymo_test::TestTransport;

namespace {

// Water: O-H 0.96 A, H-H 1.52 A.
void add_water(TestTransport& t, double z) {
    t.add_molecule_cart({8, 1, 1}, {5, 5, z, 5.96, 5, z, 4.76, 5.93, z});
}

}  // namespace

TEST(BondLists, WaterBenzeneAndSingleAtom) {
    krymo_test::ScopedStudyDir dir;
    TestTransport t;
    t.set_box(20, 20, 20);
    add_water(t, 2);
    // Benzene ring: C-C 1.39 A, C-H 1.08 A; across the ring C...C is 2.41 A or more.
    std::vector<int> types;
    std::vector<double> x;
    for (int k = 0; k < 6; ++k) {
        const double a = k * 3.14159265358979 / 3;
        types.push_back(6);
        x.insert(x.end(), {10 + 1.39 * std::cos(a), 10 + 1.39 * std::sin(a), 10});
    }
    for (int k = 0; k < 6; ++k) {
        const double a = k * 3.14159265358979 / 3;
        types.push_back(1);
        x.insert(x.end(), {10 + 2.47 * std::cos(a), 10 + 2.47 * std::sin(a), 10});
    }
    t.add_molecule_cart(types, x);
    t.add_molecule_cart({18}, {15, 15, 15});
    t.set_unique(true, false);
    t.write_mol_bonds_files(true);
    EXPECT_EQ(krymo_test::read_file("data/mol1_bonds.dat"), "2\n  1   2  0  0\n  1   3  0  0\n");
    EXPECT_EQ(krymo_test::read_file("data/mol2_bonds.dat"),
              "12\n  1   2  0  0\n  1   6  0  0\n  1   7  0  0\n  2   3  0  0\n  2   8  0  0\n  3   4  0  0\n"
              "  3   9  0  0\n  4   5  0  0\n  4  10  0  0\n  5   6  0  0\n  5  11  0  0\n  6  12  0  0\n");
    EXPECT_EQ(krymo_test::read_file("data/mol3_bonds.dat"), "0\n");

    std::vector<std::string> lines = {"kept"};
    krymo::Transport::load_bonds_data("data/mol1_bonds.dat", lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"kept", "  1   2  0  0", "  1   3  0  0"}));
    krymo::Transport::load_bonds_data("data/mol3_bonds.dat", lines);
    EXPECT_EQ(lines.size(), 3u);
    // A file cut short still gives the announced number of lines.
    krymo_test::write_file("short.dat", "3\n  1   2  0  0\n");
    lines.clear();
    krymo::Transport::load_bonds_data("short.dat", lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"  1   2  0  0", "", ""}));
    const krymo::FatalError e =
        krymo_test::expect_fatal([] { std::vector<std::string> l; krymo::Transport::load_bonds_data("none.dat", l); });
    EXPECT_EQ(e.out_text, "Failed to open input file \"none.dat\"\n");
    EXPECT_EQ(e.status, 255);
}

TEST(BondLists, UniqueReFlagWritesRepresentativesOnly) {
    krymo_test::ScopedStudyDir dir;
    TestTransport t;
    t.set_box(20, 20, 20);
    for (int m = 0; m < 4; ++m) add_water(t, 2 + 4 * m);
    t.set_unique(false, true);
    t.build();
    t.RE_check_unitcell_same_mols(false);
    t.write_mol_bonds_files(true);
    EXPECT_TRUE(krymo_test::path_exists("data/mol1_bonds.dat"));
    for (const char* f : {"data/mol2_bonds.dat", "data/mol3_bonds.dat", "data/mol4_bonds.dat"})
        EXPECT_FALSE(krymo_test::path_exists(f)) << f;
    t.write_mol_bonds_files(false);  // does nothing
}
