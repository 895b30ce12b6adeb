// ONIOM clusters (shells, duplicate images, overlaps, file layout) and the overlap-method site files
// (orientations per pair, map file with orbitals and weights), on hand-made cells and real crystals.
#include <cmath>
#include <random>

#include "golden.h"
#include "transport/transport_fixture.h"

using namespace krymo_test;

namespace {

// A (H) at the origin side of a 10 A cube and B (He) beside it; A lists B here and one cell back,
// B lists A here and one cell on. So A's second shell meets A itself twice (skipped) and two new
// images of A.
void pair_cell(TestTransport& t) {
    t.set_cell(10, 10, 10);
    t.add_molecule({1}, {0.1, 0.1, 0.1}, true);
    t.add_molecule({2}, {0.6, 0.1, 0.1}, true);
    t.nnei = {2, 2};
    t.nei_mol_ids = {{1, 1}, {0, 0}};
    t.nei_cindex = {{0, 0, 0, -1, 0, 0}, {0, 0, 0, 1, 0, 0}};
    t.nei_com_x = {{6, 1, 1, -4, 1, 1}, {1, 1, 1, 11, 1, 1}};
    t.calc_x_com();
}

// The straightforward overlap scan the grid must agree with.
bool overlap_by_all_pairs(const std::vector<double>& x, int& first, int& second) {
    const int n = static_cast<int>(x.size() / 3);
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) {
            double r2 = 0;
            for (int d = 0; d < 3; ++d) r2 += (x[3 * j + d] - x[3 * i + d]) * (x[3 * j + d] - x[3 * i + d]);
            if (r2 < 1e-6) {
                first = i;
                second = j;
                return true;
            }
        }
    return false;
}

}  // namespace

TEST(Oniom, ShellsSkipTheRootsOwnImageAndKeepImagesOfOtherCells) {
    ScopedStudyDir dir;
    TestTransport t;
    pair_cell(t);
    capture_stdout([&] { t.write_oniom_input(false); });
    // Root; B here and one cell back (positions 1, 2); A one cell on (via B here, its entry 2) and one
    // cell back (via B one cell back, its entry 1).
    expect_golden("==> xyz\n" + read_file("data/mol1_oniom.xyz") + "==> com\n" + read_file("data/mol1_oniom.com"),
                  "oniom/pair_cell_mol1.txt");
}

TEST(Oniom, CoincidingAtomsStopTheRunNamingBoth) {
    ScopedStudyDir dir;
    TestTransport t;
    pair_cell(t);
    // B moved onto A's image one cell on: the cluster holds the same point twice.
    t.mol_x_s[1] = {1.1, 0.1, 0.1};
    t.nnei = {2, 0};
    t.nei_mol_ids = {{1, 0}, {}};
    t.nei_cindex = {{0, 0, 0, 1, 0, 0}, {}};
    capture_stdout([&] {
        expect_stop([&] { t.write_oniom_input(false); }, 1,
                    "Overlapped atoms found:\n  1:     1.100000     0.100000     0.100000\n"
                    "  2:     1.100000     0.100000     0.100000\n");
    });
    EXPECT_FALSE(path_exists("data/mol1_oniom.com"));
}

TEST(Oniom, GridFindsTheSameFirstOverlapAsAllPairs) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-3, 3);
    for (int trial = 0; trial < 40; ++trial) {
        std::vector<double> x(3 * 400);
        for (double& v : x) v = u(rng);
        // Plant coincident points (exact, within, and just outside the tolerance) at random places.
        for (int k = 0; k < trial % 5; ++k) {
            const int a = rng() % 400, b = rng() % 400;
            if (a == b) continue;
            for (int d = 0; d < 3; ++d) x[3 * b + d] = x[3 * a + d] + (k == 2 ? 9.9e-4 / std::sqrt(3.0) : k == 3 ? 1.1e-3 : 0);
        }
        int i1 = -1, j1 = -1, i2 = -1, j2 = -1;
        const bool fast = krymo::find_overlapping_atoms(x, i1, j1), plain = overlap_by_all_pairs(x, i2, j2);
        ASSERT_EQ(fast, plain) << trial;
        EXPECT_EQ(std::make_pair(i1, j1), std::make_pair(i2, j2)) << trial;
    }
}

TEST(Oniom, RealCrystalClusterInput) {
    ScopedStudyDir dir;
    TestTransport t;
    prepare_crystal(t, "naphthalene");
    capture_stdout([&] { t.write_oniom_input(false); });
    expect_golden(read_file("data/mol2_oniom.com"), "oniom/naphthalene_mol2.com");
}

TEST(MooSites, PositionFilesRepeatTheRootPerPairAndMapNamesOrbitals) {
    ScopedStudyDir dir;
    TestTransport t;
    pair_cell(t);
    t.nnei = {2, 0};
    t.homo_adjustment = {-1, 0};
    t.lumo_adjustment = {0, 2};
    t.calc_homo();
    t.output_moo_pos_data();
    t.output_moo_map_xml();
    // Per pair the root once more in the root file and the image in the other; a root without
    // neighbours has two empty files. H: 1 electron, HOMO 0, adjusted -1; He: HOMO 1, LUMO 2 + 2.
    expect_golden(files_text("data"), "moo/pair_cell.txt");
}

TEST(MooSites, RealCrystalSiteFiles) {
    // Orientation rows are the inertia axes of each molecule; weights print with one decimal.
    ScopedStudyDir dir;
    TestTransport t;
    prepare_crystal(t, "naphthalene");
    t.output_moo_pos_data();
    t.output_moo_map_xml();
    expect_golden(files_text("data"), "moo/naphthalene.txt");
}
