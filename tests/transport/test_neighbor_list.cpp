// Neighbour list on small hand-checked cells: candidate order, the sort of equal distances, the
// strict cutoff, neighbours found by atoms rather than centres, the NNEIMAX limit and the files.
#include "transport/transport_fixture.h"

using krymo_test::TestTransport;

namespace {

const char* const kHead =
    "# nroot, root_mol_info, nnei, neighbors_info\n"
    "# r = molecular COM distance, cindex = neighbor cell index\n";
const char* const kCountTail = " #      dx        dy        dz         r     cindex\n";

// H2 along x in the middle of a cubic 5 A cell.
void hydrogen_cell(TestTransport& t, double cutoff, int n) {
    t.set_box(5, 5, 5);
    t.add_molecule_frac({1, 1}, {0.426, 0.5, 0.5, 0.574, 0.5, 0.5});
    t.set_search(cutoff, n, n, n);
}

}  // namespace

TEST(NeighborList, OneMoleculeCubicCellListsSixEqualImagesInSortOrder) {
    for (bool pruned : {true, false}) {
        krymo_test::ScopedStudyDir dir;
        TestTransport t;
        hydrogen_cell(t, 5.5, 1);
        t.set_pruned_neighbor_search(pruned);
        t.build();
        t.output_neighbor_data();
        // Six images at 5 A: the candidate order (c, b, a outermost to innermost) is
        // (0,0,-1) (0,-1,0) (-1,0,0) (1,0,0) (0,1,0) (0,0,1); the index sort of six equal keys
        // leaves them as 5 6 4 2 3 1 of that order. Diagonal images are 6.57 A away at best.
        const std::string expected = std::string(kHead) + "1\n" +
                                     "1   2.5000   2.5000   2.5000  # root\n"
                                     "6" + kCountTail +
                                     "   1    0.0000    5.0000    0.0000    5.0000   0  1  0\n"
                                     "   1    0.0000    0.0000    5.0000    5.0000   0  0  1\n"
                                     "   1    5.0000    0.0000    0.0000    5.0000   1  0  0\n"
                                     "   1    0.0000   -5.0000    0.0000    5.0000   0 -1  0\n"
                                     "   1   -5.0000    0.0000    0.0000    5.0000  -1  0  0\n"
                                     "   1    0.0000    0.0000   -5.0000    5.0000   0  0 -1\n";
        EXPECT_EQ(krymo_test::read_file("data/neighbor.dat"), expected) << "pruned " << pruned;
        ASSERT_EQ(t.nei_com_x[0].size(), 18u);
        EXPECT_NEAR(t.nei_com_x[0][0], 2.5, 1e-9);
        EXPECT_NEAR(t.nei_com_x[0][1], 7.5, 1e-9);
        EXPECT_NEAR(t.nei_com_x[0][17], -2.5, 1e-9);
    }
}

TEST(NeighborList, ZeroSearchCellsLeaveALoneMoleculeWithoutNeighbours) {
    krymo_test::ScopedStudyDir dir;
    TestTransport t;
    hydrogen_cell(t, 5.5, 0);
    t.build();
    t.output_neighbor_data();
    EXPECT_EQ(t.nnei[0], 0);
    EXPECT_EQ(krymo_test::read_file("data/neighbor.dat"),
              std::string(kHead) + "1\n1   2.5000   2.5000   2.5000  # root\n0" + kCountTail);
}

TEST(NeighborList, AtomPairExactlyAtTheCutoffIsNoNeighbour) {
    // One argon atom per 8 A cubic cell: the six nearest images are exactly 8 A away.
    for (bool pruned : {true, false}) {
        TestTransport t;
        t.set_box(8, 8, 8);
        t.add_molecule_frac({18}, {0, 0, 0});
        t.set_pruned_neighbor_search(pruned);
        t.set_search(8.0, 1, 1, 1);
        t.build();
        EXPECT_EQ(t.nnei[0], 0);
        const std::string report = krymo_test::capture_stdout([&] { t.find_neighbor_molecules_min_distance(true); });
        EXPECT_EQ(report,
                  "\n**** Calculate minimum atomic distance with neighbors ****\n"
                  "  molecule 1:\n"
                  "**** End of Calculate minimum atomic distance with neighbors ****\n\n");
        t.set_search(8.000001, 1, 1, 1);
        t.build();
        EXPECT_EQ(t.nnei[0], 6);
    }
}

TEST(NeighborList, InterpenetratingMoleculesAreNeighboursOrderedByCentreDistance) {
    // A and B each have a heavy iodine at one end and a hydrogen at the other; their hydrogens are
    // 1 A apart while their centres of mass are about 20 A apart. C, a lone hydrogen 3.5 A above
    // A's iodine, comes later in candidate order but is nearer by centre of mass.
    for (bool pruned : {true, false}) {
        krymo_test::ScopedStudyDir dir;
        TestTransport t;
        t.set_cell(30, 30, 30);
        t.add_molecule_cart({53, 1}, {2, 10, 10, 12, 10, 10});
        t.add_molecule_cart({1, 53}, {13, 10, 10, 23, 10, 10});
        t.add_molecule_cart({1}, {2, 10, 13.5});
        t.set_search(4.0, 0, 0, 0);
        t.set_pruned_neighbor_search(pruned);
        t.build();
        EXPECT_EQ(t.list_text(), "3:0,0,0 2:0,0,0 \n1:0,0,0 \n1:0,0,0 \n");
        const std::string report = krymo_test::capture_stdout([&] { t.find_neighbor_molecules_min_distance(false); });
        EXPECT_NE(report.find("  molecule 1:\n    neighbor 2 [ 0  0  0]:    1.000\n    neighbor 3 [ 0  0  0]:    3.500\n"),
                  std::string::npos)
            << report;
    }
}

TEST(NeighborList, TheThreeHundredthNeighbourStopsTheRunFromAnyThreadCount) {
    // One hydrogen per cell of a = 1 A (b, c long), searched over 150 cells each way along a with a
    // cutoff reaching all of them: 300 images. With 149 cells each way the 298 images are kept.
    for (int threads : {1, 2, 3}) {
        krymo_test::with_threads(threads, [&] {
            TestTransport t;
            t.set_cell(1, 50, 50);
            t.add_molecule_frac({1}, {0, 0, 0});
            t.set_search(200.0, 150, 0, 0);
            const krymo::FatalError e = krymo_test::expect_fatal([&] { t.build(); });
            EXPECT_EQ(e.status, 1);
            EXPECT_EQ(e.unit, "transport");
            EXPECT_EQ(e.err_text, "Need to boost NNEIMAX (NumNeigh=300)\n");
        });
    }
    TestTransport t;
    t.set_cell(1, 50, 50);
    t.add_molecule_frac({1}, {0, 0, 0});
    t.set_search(200.0, 149, 0, 0);
    t.build();
    EXPECT_EQ(t.nnei[0], 298);
}

TEST(NeighborList, InfoBannerAndNegativeSearchCells) {
    TestTransport t;
    hydrogen_cell(t, 5.5, -1);
    const std::string out = krymo_test::capture_stdout([&] { t.build(true); });
    EXPECT_EQ(out,
              "\n**** KRYMO Build Neighbor List ****\n"
              "  Neighbor rcutoff distance: 5.5\n"
              "  Neighbor search cell (-/+): -1 -1 -1\n"
              "**** End of KRYMO Build Neighbor List ****\n\n");
    EXPECT_EQ(t.nnei[0], 0);
}
