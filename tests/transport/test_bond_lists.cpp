// Bond lists: distance rule with the element-table radii, file layout, and reading the files back.
// (Only the representatives get a file with the unique-RE flag: checked in the end-to-end run.)
#include "transport/transport_fixture.h"

using krymo_test::TestTransport;

TEST(BondLists, WaterBenzeneAndSingleAtomFilesAndReadingThemBack) {
    krymo_test::ScopedStudyDir dir;
    TestTransport t;
    t.set_cell(20, 20, 20);
    t.add_molecule({8, 1, 1}, {5, 5, 2, 5.96, 5, 2, 4.76, 5.93, 2});  // water: O-H 0.96 A, H-H 1.52 A
    krymo_test::add_benzene(t, 10, 10, 10);  // across the ring C...C is 2.41 A or more
    t.add_molecule({18}, {15, 15, 15});
    t.RE_unique = false;  // every molecule gets a file
    t.write_mol_bonds_files(false);  // does nothing
    EXPECT_FALSE(krymo_test::path_exists("data"));
    t.write_mol_bonds_files(true);
    EXPECT_EQ(krymo_test::read_file("data/mol1_bonds.dat"), "2\n  1   2  0  0\n  1   3  0  0\n");
    EXPECT_EQ(krymo_test::read_file("data/mol2_bonds.dat"),
              "12\n  1   2  0  0\n  1   6  0  0\n  1   7  0  0\n  2   3  0  0\n  2   8  0  0\n  3   4  0  0\n"
              "  3   9  0  0\n  4   5  0  0\n  4  10  0  0\n  5   6  0  0\n  5  11  0  0\n  6  12  0  0\n");
    EXPECT_EQ(krymo_test::read_file("data/mol3_bonds.dat"), "0\n");
    // Lines are appended; a file cut short still gives the announced number of lines.
    krymo_test::write_file("short.dat", "3\n  1   2  0  0\n");
    std::vector<std::string> lines = {"kept"};
    for (const char* f : {"data/mol1_bonds.dat", "data/mol3_bonds.dat", "short.dat"})
        krymo::Transport::load_bonds_data(f, lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"kept", "  1   2  0  0", "  1   3  0  0", "  1   2  0  0", "", ""}));
    krymo_test::expect_stop([&] { krymo::Transport::load_bonds_data("none.dat", lines); }, 255,
                            "Failed to open input file \"none.dat\"\n");
}
