// Unique molecules and pairs: the inclusive molecule and strict pair tolerances, collapsing of
// translated pairs, the reports and files, and the fast pair map against the plain double loop.
#include <random>

#include "transport/pair_map.h"
#include "transport/reference_algorithms.h"
#include "transport/transport_fixture.h"

using krymo_test::TestTransport;

namespace {

// Identical H2 molecules along x in a 10 A box, one per given y position.
void hydrogen_row(TestTransport& t, const std::vector<double>& ys) {
    t.set_box(10, 10, 10);
    for (double y : ys) t.add_molecule_cart({1, 1}, {2.13, y, 2.5, 2.87, y, 2.5});
}

void run_unique_stages(TestTransport& t) {
    t.build();
    t.calc_HL_uc_mol_eigval_eigvec();
    t.calc_HL_2mol_eigval_eigvec_and_unique_pairs();
}

}  // namespace

TEST(UniqueMolecules, ReGroupingByAtomCountAndMass) {
    struct Case {
        std::vector<int> natoms;
        std::vector<double> mass;
        std::string indexes, unique;
    };
    const Case cases[] = {
        {{12, 12, 12, 12}, {78.1, 78.1, 78.1, 78.1}, " 1 1 1 1", " 1"},
        {{12, 18, 12, 18}, {78.1, 128.2, 78.1, 128.2}, " 1 2 1 2", " 1 2"},
        {{12, 12}, {0.0, 0.01}, " 1 1", " 1"},        // a difference of exactly 0.01 is the same
        {{12, 12}, {300.0, 300.011}, " 1 2", " 1 2"},  // 0.011 is not
        {{12, 13}, {78.1, 78.1}, " 1 2", " 1 2"},      // atom counts must agree
        {{12}, {78.1}, " 1", " 1"},
    };
    for (const Case& c : cases) {
        TestTransport t;
        t.set_box(10, 10, 10);
        for (size_t m = 0; m < c.natoms.size(); ++m) t.add_molecule_frac({}, {});
        t.build();
        t.mol_natoms = c.natoms;
        t.mol_mass = c.mass;
        const std::string out = krymo_test::capture_stdout([&] { t.RE_check_unitcell_same_mols(true); });
        EXPECT_EQ(out, "**** Check RE Duplicate Molecules in Unit Cell ****\n  Unit cell molecular indexes: " + c.indexes +
                           "\n  Unit cell unique molecular indexes:" + c.unique +
                           "\n**** End of Check RE Duplicate Molecules in Unit Cell ****\n\n");
        EXPECT_EQ(t.RE_nunique, static_cast<int>(t.RE_unique_mols.size()));
    }
}

TEST(UniqueMolecules, HlTestAddsMomentsWithInclusiveTolerance) {
    TestTransport t;
    t.set_box(10, 10, 10);
    for (int m = 0; m < 3; ++m) t.add_molecule_frac({}, {});
    t.build();
    t.mol_natoms = {2, 2, 2};
    t.mol_mass = {2.0, 2.0, 2.0};
    t.mol_moments = {0.0, 1.0, 2.0, 0.01, 1.0, 2.0, 0.0, 2.0, 1.0};
    EXPECT_TRUE(t.HL_mols_if_the_same(0, 1));   // moments 0.01 apart
    EXPECT_FALSE(t.HL_mols_if_the_same(0, 2));  // same moments in another order
    EXPECT_TRUE(t.RE_mols_if_the_same(0, 2));
}

TEST(UniquePairs, TranslatedImagesCollapseAndTheReportListsRepresentatives) {
    krymo_test::ScopedStudyDir dir;
    TestTransport t;
    t.set_box(5, 5, 5);
    t.add_molecule_frac({1, 1}, {0.426, 0.5, 0.5, 0.574, 0.5, 0.5});
    t.set_search(5.5, 1, 1, 1);
    t.build();
    t.calc_HL_uc_mol_eigval_eigvec();
    // Pairs in list order: +b, +c, +a, -b, -a, -c; each -t dimer is a translation of its +t one.
    const std::string out = krymo_test::capture_stdout([&] { t.calc_HL_2mol_eigval_eigvec_and_unique_pairs(); });
    EXPECT_EQ(t.HL_pair_index, (std::vector<int>{0, 1, 2, 0, 2, 1}));
    EXPECT_EQ(out,
              "**** Check Duplicate 2mol pairs ****\n"
              "  Unique 2mol pairs: 3 out of 6\n"
              "      1   1   <=>    1\n"
              "      1   2   <=>    2\n"
              "      1   3   <=>    3\n"
              "**** End of Check Duplicate 2mol pairs ****\n\n");
}

TEST(UniquePairs, NoNeighboursGiveAnEmptyList) {
    krymo_test::ScopedStudyDir dir;
    TestTransport t;
    hydrogen_row(t, {2.5});
    t.set_search(4.0, 0, 0, 0);
    std::string out = krymo_test::capture_stdout([&] { run_unique_stages(t); });
    EXPECT_NE(out.find("  Unique 2mol pairs: 0 out of 0\n"), std::string::npos);
    EXPECT_TRUE(t.HL_unique_pairs.empty());
    EXPECT_EQ(krymo_test::read_file("data/unique_id_map.dat"), "# Unique ID mapping\n1\n  0\n");
    EXPECT_FALSE(krymo_test::path_exists("data/eigval_1mol.dat"));  // output_eigval is 0
    EXPECT_FALSE(krymo_test::path_exists("data/eigval_2mol.dat"));
}

TEST(UniquePairs, UniqueMoleculesAreTheRootsOfRepresentativePairs) {
    // Three identical molecules at y = 1, 4 and 8: pairs 1-2 and 2-1 are one dimer (3 A apart),
    // pairs 2-3 and 3-2 another (4 A apart). Representatives 1 and 3 have roots 1 and 2, although
    // every molecule is the same as molecule 1.
    krymo_test::ScopedStudyDir dir;
    TestTransport t;
    hydrogen_row(t, {1, 4, 8});
    t.set_search(4.5, 0, 0, 0);
    t.output_eigval = 1;
    krymo_test::capture_stdout([&] { run_unique_stages(t); });
    EXPECT_EQ(t.HL_pair_index, (std::vector<int>{0, 0, 2, 2}));
    EXPECT_EQ(t.HL_unique_pairs, (std::vector<int>{1, 3}));
    EXPECT_EQ(t.global_pair_number(2, 1), 4);
    int result = -1;
    const std::string out = krymo_test::capture_stdout([&] { result = t.HL_check_unitcell_unique_mols(true); });
    EXPECT_EQ(out,
              "**** Check HL Duplicate Molecules in Unit Cell ****\n"
              "  Unit cell molecular indexes:  1 1 1\n"
              "  Unit cell unique molecular indexes: 1 2\n"
              "**** End of Check HL Duplicate Molecules in Unit Cell ****\n\n");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(t.HL_unique_mols, (std::vector<int>{1, 2}));
    EXPECT_EQ(krymo_test::read_file("data/unique_id_map.dat"),
              "# Unique ID mapping\n3\n  1\n      1   1    1\n  2\n      2   1    2\n      2   2    3\n  1\n"
              "      3   1    4\n");
    // Eigenvalue files: one line per molecule, one per pair, 12 numbers each.
    const std::string e1 = krymo_test::read_file("data/eigval_1mol.dat");
    EXPECT_EQ(e1.rfind("# unitcell mol eigenvalues by principal moment of inertia\n3\n   ", 0), 0u);
    const std::string e2 = krymo_test::read_file("data/eigval_2mol.dat");
    EXPECT_EQ(e2.rfind("# 2mol eigenvalues by principal moment of inertia\n3\n  1\n     1: ", 0), 0u) << e2;
    EXPECT_NE(e2.find("\n  3\n     1: "), std::string::npos);
}

TEST(UniquePairs, TensorIsPlusSignedAndSolverOrdered) {
    // Hydrogens at (0,0,0) and (1,1,0): d = +-(0.5,0.5,0) about the centre. With the plus-signed
    // xy sum and the division by n = 2, T = m [[.25, .25, 0], [.25, .25, 0], [0, 0, .5]]; the solver
    // returns 0, m/2, m/2 (the physical tensor, with -xy, would come out as m/2, 0, m/2).
    TestTransport t;
    t.set_box(10, 10, 10);
    t.add_molecule_cart({1, 1}, {0, 0, 0, 1, 1, 0});
    t.build();
    t.calc_HL_uc_mol_eigval_eigvec();
    const double m = 1.00794;
    EXPECT_NEAR(t.mol_moments[0], 0.0, 1e-12);
    EXPECT_NEAR(t.mol_moments[1], m / 2, 1e-12);
    EXPECT_NEAR(t.mol_moments[2], m / 2, 1e-12);
    double tensor[9];
    const double x[6] = {0, 0, 0, 1, 1, 0}, w[2] = {2, 2};
    krymo::Transport::calc_moment_of_inertia(2, x, w, tensor);
    EXPECT_DOUBLE_EQ(tensor[0], 1.0);
    EXPECT_DOUBLE_EQ(tensor[1], 1.0);
    EXPECT_DOUBLE_EQ(tensor[3], 1.0);
    EXPECT_DOUBLE_EQ(tensor[8], 2.0);
}

TEST(PairMap, StrictBoundaryAndOverwriteRule) {
    // 0 and 0.01 differ by exactly the tolerance: different. Item 3 matches items 0 and 2; the later
    // match (2) wins, and 2 itself maps to 1.
    const std::vector<double> e = {0.0, 0, 0, 0.01, 0, 0, 0.018, 0, 0, 0.009, 0, 0};
    std::vector<int> map;
    krymo::build_pair_map(e.data(), 4, map);
    EXPECT_EQ(map, (std::vector<int>{0, 1, 1, 1}));
}

TEST(PairMap, AgreesWithThePlainDoubleLoop) {
    std::mt19937 rng(7);
    for (int round = 0; round < 40; ++round) {
        const int n = 50 + 40 * round;
        // Values on a grid of 0.005 (exact tolerance distances occur), in a few tight clusters,
        // with a few huge and non-finite values.
        std::uniform_int_distribution<int> grid(0, 12 + round), pick(0, 99);
        std::vector<double> e(3 * n);
        for (double& v : e) {
            const int r = pick(rng);
            v = r < 2 ? 1e13 + grid(rng) * 0.005 : r < 3 ? NAN : 100.0 + grid(rng) * 0.005;
        }
        std::vector<int> fast, slow;
        krymo::build_pair_map(e.data(), n, fast);
        krymo_test::pair_map_quadratic(e.data(), n, slow);
        ASSERT_EQ(fast, slow) << "round " << round;
    }
}
