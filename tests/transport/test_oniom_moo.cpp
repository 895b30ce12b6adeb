// ONIOM clusters (shells, duplicate images, overlaps, file layout) and the overlap-method site files
// (orientations per pair, map file with orbitals and weights), on hand-made cells and real crystals.
#include <cmath>
#include <random>
#include <sstream>

#include "golden.h"
#include "structure/elements.h"
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
    EXPECT_EQ(capture_stdout([&] { t.write_oniom_input(false); }),
              "**** Generate Oniom input files ****\n  data/mol1_oniom.com\n  data/mol1_oniom.xyz\n"
              "  data/mol2_oniom.com\n  data/mol2_oniom.xyz\n**** End of Generate Oniom input files ****\n\n");
    // Root; B here and one cell back (positions 1, 2); A one cell on (via B here, its entry 2) and one
    // cell back (via B one cell back, its entry 1).
    expect_golden("==> xyz\n" + read_file("data/mol1_oniom.xyz") + "==> com\n" + read_file("data/mol1_oniom.com"),
                  "oniom/pair_cell_mol1.txt");

    // Without neighbours a cluster is the molecule alone, all high layer.
    t.nnei = {0, 0};
    capture_stdout([&] { t.write_oniom_input(false); });
    EXPECT_EQ(read_file("data/mol2_oniom.xyz"), "1\n# Oniom input check\nHe    6.00000000   1.00000000    1.00000000 0 2 0\n");
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

TEST(Oniom, RealCrystalClustersAreWellFormedInputs) {
    for (const char* crystal : {"naphthalene", "ibuprofen", "tipge_pentacene_ss"}) {
        SCOPED_TRACE(crystal);
        ScopedStudyDir dir;
        TestTransport t;
        prepare_crystal(t, crystal);
        capture_stdout([&] { t.write_oniom_input(false); });
        for (int m = 1; m <= t.nmols_uc; ++m) {
            std::istringstream in(read_file(krymo::format_string("data/mol%d_oniom.com", m)));
            std::vector<std::string> lines;
            for (std::string l; std::getline(in, l);) lines.push_back(l);
            ASSERT_GT(lines.size(), 9u);
            EXPECT_EQ(lines[3].rfind("#P ", 0), 0u);
            EXPECT_EQ(lines[4] + "|" + lines[6] + "|" + lines[7], "||0 1");
            EXPECT_EQ(lines.back(), "");
            int high = 0;
            for (size_t k = 8; k + 1 < lines.size(); ++k) {
                ASSERT_EQ(lines[k].size(), 63u) << lines[k];
                high += lines[k].back() == 'H';
            }
            EXPECT_EQ(high, t.mol_natoms[m - 1]);
        }
    }
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

TEST(MooSites, OrientationRowsAreTheInertiaAxes) {
    ScopedStudyDir dir;
    TestTransport t;
    prepare_crystal(t, "naphthalene");
    // Each orientation is orthonormal and turns the inertia tensor diagonal: its rows are the axes.
    for (int m = 0; m < t.nmols_uc; ++m) {
        const std::vector<double> R = t.moo_orientation(m);
        std::vector<double> mass;
        for (int e : t.mol_atypes[m]) mass.push_back(krymo::find_element_mass_from_index(e));
        double T[9];
        krymo::Transport::calc_moment_of_inertia(t.mol_natoms[m], t.mol_x[m].data(), mass.data(), T);
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < 3; ++b) {
                double dot = 0, rtr = 0;
                for (int k = 0; k < 3; ++k) {
                    dot += R[3 * a + k] * R[3 * b + k];
                    for (int l = 0; l < 3; ++l) rtr += R[3 * a + k] * T[3 * k + l] * R[3 * b + l];
                }
                EXPECT_NEAR(dot, a == b ? 1.0 : 0.0, 1e-9);
                if (a != b) EXPECT_NEAR(rtr, 0.0, 1e-6 * (std::fabs(T[0]) + std::fabs(T[4]) + std::fabs(T[8])));
            }
    }
    // Weights print with one decimal: carbon 12.0, hydrogen 1.0.
    t.output_moo_map_xml();
    EXPECT_NE(read_file("data/moo_map.xml").find("      12.0 1.0 12.0 1.0"), std::string::npos);
}
