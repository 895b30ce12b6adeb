// Neighbour list and its files on small hand-checked cells: candidate order, equal distances, the strict
// cutoff, neighbours by atoms, the NNEIMAX limit, the CIF pictures and the -rmin report.
#include "golden.h"
#include "transport/transport_fixture.h"

using namespace krymo_test;

namespace {

// H2 along x in the middle of a cubic 5 A cell, searched n cells each way with a 5.5 A cutoff.
void hydrogen_cell(TestTransport& t, int n = 1) {
    t.set_cell(5, 5, 5);
    t.add_molecule({1, 1}, {0.426, 0.5, 0.5, 0.574, 0.5, 0.5}, true);
    t.set_search(5.5, n);
}


}  // namespace

TEST(SmallCells, HydrogenCellWithSixEqualImagesOrNoneFilesReportAndPairs) {
    // One search cell each way: the +-a images come 4.26 A close (atoms along x), the others 5.0 A;
    // diagonal images are 6.57 A away at best. The candidate order (c, b, a outermost to innermost) is
    // (0,0,-1) (0,-1,0) (-1,0,0) (1,0,0) (0,1,0) (0,0,1); the index sort of six equal keys leaves them
    // as 5 6 4 2 3 1 of that order. Each -t dimer is a translation of its +t one. Golden: the build
    // report, neighbor.dat, the -rmin report and the unique pairs report.
    for (int n : {1, 0, -1})
        for (bool pruned : {true, false}) {
            SCOPED_TRACE(krymo::format_string("n %d, pruned %d", n, pruned));
            ScopedStudyDir dir;
            TestTransport t;
            hydrogen_cell(t, n);
            t.set_pruned_neighbor_search(pruned);
            std::string all = capture_stdout([&] { t.build(true); });
            t.output_neighbor_data();
            all += read_file("data/neighbor.dat");
            all += capture_stdout([&] { t.find_neighbor_molecules_min_distance(true); });
            t.calc_HL_uc_mol_eigval_eigvec();
            all += capture_stdout([&] { t.calc_HL_2mol_eigval_eigvec_and_unique_pairs(); });
            expect_golden(all, krymo::format_string("neighbors/hydrogen_cell_%d.txt", n));
            EXPECT_EQ(t.HL_pair_index, (n == 1 ? std::vector<int>{0, 1, 2, 0, 2, 1} : std::vector<int>{}));
        }
    ScopedStudyDir dir;
    write_file("data", "a file where the directory should be");
    TestTransport t;
    hydrogen_cell(t);
    t.build();
    expect_stop([&] { t.output_neighbor_data(); }, 1, "", "Failed to open output file \"data/neighbor.dat\"\n");
}

TEST(SmallCells, AtomPairExactlyAtTheCutoffIsNoNeighbour) {
    // One argon atom per 8 A cubic cell: the six nearest images are exactly 8 A away.
    for (bool pruned : {true, false}) {
        TestTransport t;
        t.set_cell(8, 8, 8);
        t.add_molecule({18}, {0, 0, 0}, true);
        t.set_pruned_neighbor_search(pruned);
        t.set_search(8.0, 1);
        t.build();
        EXPECT_EQ(t.nnei[0], 0);
        t.set_search(8.000001, 1);
        t.build();
        EXPECT_EQ(t.nnei[0], 6);
        // Two H2 along x whose nearest atoms are exactly 4 A apart: the pruned search must not skip
        // the root atom whose distance to the other molecule's sphere is exactly the cutoff.
        TestTransport h;
        h.set_cell(20, 20, 20);
        h.add_molecule({1, 1}, {0, 10, 10, 1, 10, 10});
        h.add_molecule({1, 1}, {5, 10, 10, 6, 10, 10});
        h.set_pruned_neighbor_search(pruned);
        h.set_search(4.0, 0);
        h.build();
        EXPECT_EQ(h.list_text(), "\n\n");
        h.set_search(4.000001, 0);
        h.build();
        EXPECT_EQ(h.list_text(), "2:0,0,0 \n1:0,0,0 \n");
    }
}

TEST(SmallCells, InterpenetratingMoleculesNeighboursByAtomsOrderedByCentresAndTheirPictures) {
    // A and B each have a heavy iodine at one end and a hydrogen at the other; their hydrogens are
    // 1 A apart while their centres of mass are about 20 A apart. C, a lone hydrogen 3.5 A above
    // A's iodine, comes later in candidate order but is nearer by centre of mass. The output level
    // chooses the pictures: bit 1 molecule 1 only, else bit 2 every molecule.
    // The picture of molecule 1 with centre markers (rows named by the entry number) in a cell three
    // times as long, (f + 1) / 3, the markers at the mass-weighted centres; the plain one lacks them.
    const int cases[][2] = {{1, 1}, {3, 1}, {2, 3}, {6, 3}, {0, 0}, {4, 0}, {8, 0}};  // level, pictures
    for (const auto& c : cases) {
        SCOPED_TRACE(c[0]);
        ScopedStudyDir dir;
        TestTransport t;
        t.set_cell(30, 30, 30);
        t.add_molecule({53, 1}, {2, 10, 10, 12, 10, 10});
        t.add_molecule({1, 53}, {13, 10, 10, 23, 10, 10});
        t.add_molecule({1}, {2, 10, 13.5});
        t.set_search(4.0, 0);
        t.set_pruned_neighbor_search(c[0] % 2 == 0);
        t.build();
        EXPECT_EQ(t.list_text(), "3:0,0,0 2:0,0,0 \n1:0,0,0 \n1:0,0,0 \n");
        const std::string rmin = capture_stdout([&] { t.find_neighbor_molecules_min_distance(false); });
        EXPECT_NE(rmin.find("1:\n    neighbor 2 [ 0  0  0]:    1.000\n    neighbor 3 [ 0  0  0]:    3.500\n  molecule 2"),
                  std::string::npos) << rmin;
        t.data_mol_output_level = c[0];
        t.output_neighbor_data();
        for (int m = 1; m <= 3; ++m)
            for (const char* suffix : {"", "_mid"})
                EXPECT_EQ(path_exists(krymo::format_string("data/mol%d_neighbors%s.cif", m, suffix)), m <= c[1]);
        if (c[1] == 0) continue;
        expect_golden(read_file("data/mol1_neighbors_mid.cif"), "neighbors/interpenetrating_mol1_neighbors_mid.cif");
        expect_golden(read_file("data/mol1_neighbors.cif"), "neighbors/interpenetrating_mol1_neighbors.cif");
    }
}

TEST(SmallCells, TheThreeHundredthNeighbourStopsTheRunFromAnyThreadCount) {
    // One hydrogen per cell of a = 1 A (b, c long), searched n cells each way along a with a cutoff
    // reaching all of them: 2n images. 149 cells each way keep 298; 150 give the 300th.
    for (int threads : {1, 2, 3})
        for (int n : {149, 150})
            with_threads(threads, [&] {
                TestTransport t;
                t.set_cell(1, 50, 50);
                t.add_molecule({1}, {0, 0, 0}, true);
                t.set_search(200.0, 0);
                t.neighbor_scell[0] = n;
                if (n == 150)
                    return expect_stop([&] { t.build(); }, 1,
                                       "Molecule 1 has more than 299 neighbour molecules within lattice_cutoff = 200 "
                                       "Angstrom (the default; krymo.inp does not set it); at most 299 are allowed "
                                       "(NNEIMAX 300).\n  A cutoff of a few Angstrom is usual: lower "
                                       "lattice_cutoff.\n");
                t.build();
                EXPECT_EQ(t.nnei[0], 298);
            });
}

TEST(SmallCells, PruningAgreesForANegativeCutoffAndFarAwayMolecules) {
    // A negative cutoff acts as its magnitude in the atom test; a molecule 1e10 cells away is no
    // neighbour and must not send the pruned search through overflowing cell ranges.
    for (bool pruned : {true, false}) {
        TestTransport t;
        t.set_cell(5, 5, 5);
        t.add_molecule({1, 1}, {0.426, 0.5, 0.5, 0.574, 0.5, 0.5}, true);
        t.add_molecule({1, 1}, {1e10, 0.5, 0.5, 1e10, 0.6, 0.5}, true);
        t.set_pruned_neighbor_search(pruned);
        t.set_search(-5.5, 1);
        t.build();
        // Each molecule sees only its own six images, in the order of the hydrogen cell.
        EXPECT_EQ(t.list_text(), "1:0,1,0 1:0,0,1 1:1,0,0 1:0,-1,0 1:-1,0,0 1:0,0,-1 \n"
                                 "2:0,1,0 2:0,0,1 2:1,0,0 2:0,-1,0 2:-1,0,0 2:0,0,-1 \n");
    }
}
