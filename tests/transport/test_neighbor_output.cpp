// Neighbour CIF pictures, their selection by data_mol_output_level, the -rmin report and the
// failure to open a neighbour file.
#include "transport/transport_fixture.h"

using krymo_test::TestTransport;

namespace {

void hydrogen_cell(TestTransport& t, int nmols = 1) {
    t.set_box(5, 5, 5);
    t.add_molecule_frac({1, 1}, {0.426, 0.5, 0.5, 0.574, 0.5, 0.5});
    if (nmols > 1) t.add_molecule_frac({1, 1}, {0.426, 0.5, 0.0, 0.574, 0.5, 0.0});
    t.set_search(5.5, 1, 1, 1);
}

const char* const kCifHead =
    "data_krymo\n"
    "_audit_creation_date              2018-09-12\n"
    "_audit_creation_method            'KRYMO'\n"
    "_symmetry_space_group_name_H-M    'P1'\n"
    "_symmetry_Int_Tables_number       1\n"
    "_symmetry_cell_setting            triclinic\n"
    "loop_\n"
    "_symmetry_equiv_pos_as_xyz\n"
    "  x,y,z\n"
    "_cell_length_a                    15.0000\n"
    "_cell_length_b                    15.0000\n"
    "_cell_length_c                    15.0000\n"
    "_cell_angle_alpha                 90.0000\n"
    "_cell_angle_beta                  90.0000\n"
    "_cell_angle_gamma                 90.0000\n"
    "loop_\n"
    "_atom_site_label\n"
    "_atom_site_type_symbol\n"
    "_atom_site_fract_x\n"
    "_atom_site_fract_y\n"
    "_atom_site_fract_z\n"
    "_atom_site_description\n";

}  // namespace

TEST(NeighborOutput, CifPicturesWithAndWithoutCentreMarkers) {
    krymo_test::ScopedStudyDir dir;
    TestTransport t;
    hydrogen_cell(t);
    t.data_mol_output_level = 1;
    t.build();
    t.output_neighbor_data();
    // Neighbours in list order: +b, +c, +a, -b, -a, -c.
    const std::string mid = std::string(kCifHead) +
                            "H1      H   0.475333   0.500000   0.500000  0\n"
                            "H2      H   0.524667   0.500000   0.500000  0\n"
                            "0       0   0.500000   0.500000   0.500000  0\n"
                            "H3      H   0.475333   0.833333   0.500000  1\n"
                            "H4      H   0.524667   0.833333   0.500000  1\n"
                            "1       1   0.500000   0.833333   0.500000  1\n"
                            "H5      H   0.475333   0.500000   0.833333  2\n"
                            "H6      H   0.524667   0.500000   0.833333  2\n"
                            "2       2   0.500000   0.500000   0.833333  2\n"
                            "H7      H   0.808667   0.500000   0.500000  3\n"
                            "H8      H   0.858000   0.500000   0.500000  3\n"
                            "3       3   0.833333   0.500000   0.500000  3\n"
                            "H9      H   0.475333   0.166667   0.500000  4\n"
                            "H10     H   0.524667   0.166667   0.500000  4\n"
                            "4       4   0.500000   0.166667   0.500000  4\n"
                            "H11     H   0.142000   0.500000   0.500000  5\n"
                            "H12     H   0.191333   0.500000   0.500000  5\n"
                            "5       5   0.166667   0.500000   0.500000  5\n"
                            "H13     H   0.475333   0.500000   0.166667  6\n"
                            "H14     H   0.524667   0.500000   0.166667  6\n"
                            "6       6   0.500000   0.500000   0.166667  6\n"
                            "\n";
    EXPECT_EQ(krymo_test::read_file("data/mol1_neighbors_mid.cif"), mid);
    // The plain picture is the same without the marker rows.
    std::string plain;
    size_t pos = 0;
    while (pos < mid.size()) {
        const size_t end = mid.find('\n', pos) + 1;
        const std::string line = mid.substr(pos, end - pos);
        if (!(line[0] >= '0' && line[0] <= '9')) plain += line;
        pos = end;
    }
    EXPECT_EQ(krymo_test::read_file("data/mol1_neighbors.cif"), plain);
}

TEST(NeighborOutput, OutputLevelChoosesTheRoots) {
    struct Case {
        int level;
        bool mol1, mol2;
    };
    for (const Case& c : {Case{3, true, false}, Case{1, true, false}, Case{2, true, true}, Case{6, true, true},
                          Case{0, false, false}, Case{4, false, false}, Case{8, false, false}}) {
        krymo_test::ScopedStudyDir dir;
        TestTransport t;
        hydrogen_cell(t, 2);
        t.data_mol_output_level = c.level;
        t.build();
        t.output_neighbor_data();
        EXPECT_TRUE(krymo_test::path_exists("data/neighbor.dat"));
        for (const char* suffix : {"", "_mid"}) {
            EXPECT_EQ(krymo_test::path_exists(std::string("data/mol1_neighbors") + suffix + ".cif"), c.mol1) << c.level;
            EXPECT_EQ(krymo_test::path_exists(std::string("data/mol2_neighbors") + suffix + ".cif"), c.mol2) << c.level;
        }
    }
}

TEST(NeighborOutput, MinimumDistanceReportOrdersByClosestAtoms) {
    // The +-a images come 4.26 A close (atoms along x), the others 5.0 A: the report lists the
    // +-a pair first, then the four others in the order the index sort leaves equal values.
    for (bool pruned : {true, false}) {
        TestTransport t;
        hydrogen_cell(t);
        t.set_pruned_neighbor_search(pruned);
        t.build();
        const std::string out = krymo_test::capture_stdout([&] { t.find_neighbor_molecules_min_distance(true); });
        EXPECT_EQ(out,
                  "\n**** Calculate minimum atomic distance with neighbors ****\n"
                  "  molecule 1:\n"
                  "    neighbor 1 [-1  0  0]:    4.260\n"
                  "    neighbor 1 [ 1  0  0]:    4.260\n"
                  "    neighbor 1 [ 0  1  0]:    5.000\n"
                  "    neighbor 1 [ 0  0  1]:    5.000\n"
                  "    neighbor 1 [ 0 -1  0]:    5.000\n"
                  "    neighbor 1 [ 0  0 -1]:    5.000\n"
                  "**** End of Calculate minimum atomic distance with neighbors ****\n\n");
    }
}

TEST(NeighborOutput, UnopenableFileStopsTheRun) {
    krymo_test::ScopedStudyDir dir;
    krymo_test::write_file("data", "a file where the directory should be");
    TestTransport t;
    hydrogen_cell(t);
    t.build();
    const krymo::FatalError e = krymo_test::expect_fatal([&] { t.output_neighbor_data(); });
    EXPECT_EQ(e.status, 1);
    EXPECT_EQ(e.unit, "transport");
    EXPECT_EQ(e.err_text, "Failed to open output file \"data/neighbor.dat\"\n");
}
