// Unique molecules and pairs: tolerances, the plus-signed inertia tensor, reports and files, and the
// fast grouping and pair map against the plain double loop.
#include <random>

#include "transport/pair_map.h"
#include "transport/reference_algorithms.h"
#include "transport/transport_fixture.h"

using namespace krymo_test;

TEST(UniqueMolecules, ReGroupingByAtomCountAndMassAndHlMoments) {
    // Placeholder molecules given only atom counts and masses (and moments for the HL test).
    auto molecules = [](TestTransport& t, std::vector<int> natoms, std::vector<double> mass) {
        t.set_cell(10, 10, 10);
        for (size_t m = 0; m < natoms.size(); ++m) t.add_molecule({}, {});
        t.build();
        t.mol_natoms = natoms;
        t.mol_mass = mass;
    };
    struct Case { std::vector<int> natoms; std::vector<double> mass; std::vector<int> indexes, unique; };
    const Case cases[] = {
        {{12, 18, 12, 18}, {78.1, 128.2, 78.1, 128.2}, {1, 2, 1, 2}, {1, 2}},
        {{12, 12}, {0.0, 0.01}, {1, 1}, {1}},              // a difference of exactly 0.01 is the same
        {{12, 12}, {300.0, 300.011}, {1, 2}, {1, 2}},      // 0.011 is not
        {{12, 13}, {78.1, 78.1}, {1, 2}, {1, 2}},          // atom counts must agree
    };
    for (const Case& c : cases) {
        TestTransport t;
        molecules(t, c.natoms, c.mass);
        capture_stdout([&] { t.RE_check_unitcell_same_mols(true); });
        EXPECT_EQ(t.RE_uc_mol_index, c.indexes);
        EXPECT_EQ(t.RE_unique_mols, c.unique);
    }
    // The HL test adds the moments, in order, with the same inclusive tolerance.
    TestTransport t;
    molecules(t, {2, 2, 2}, {2.0, 2.0, 2.0});
    t.mol_moments = {0.0, 1.0, 2.0, 0.01, 1.0, 2.0, 0.0, 2.0, 1.0};
    EXPECT_TRUE(t.HL_mols_if_the_same(0, 1));
    EXPECT_FALSE(t.HL_mols_if_the_same(0, 2));
    EXPECT_TRUE(t.RE_mols_if_the_same(0, 2));
}

TEST(UniqueMolecules, GroupingEqualsThePlainDoubleLoop) {
    // Two atom counts; masses and moments on a grid of 0.005 (exact tolerance distances occur) in a
    // narrow range, so that classes chain and overlap; a few huge and non-finite values. The
    // starting entries are shuffled, so the later-overwrites rule shows in the result.
    std::mt19937 rng(11);
    for (int round = 0; round < 30; ++round) {
        const int n = 20 + 25 * round;
        std::uniform_int_distribution<int> grid(0, 4 + round / 3), pick(0, 49), count(12, 13);
        auto value = [&](double base) {
            const int r = pick(rng);
            return r == 0 ? NAN : r == 1 ? 1e13 + grid(rng) * 0.005 : base + grid(rng) * 0.005;
        };
        TestTransport t;
        t.nmols_uc = n;
        t.mol_natoms.resize(n);
        t.mol_mass.resize(n);
        t.mol_moments.resize(3 * n);
        for (int i = 0; i < n; ++i) {
            t.mol_natoms[i] = count(rng);
            t.mol_mass[i] = value(128.0);
            for (int k = 0; k < 3; ++k) t.mol_moments[3 * i + k] = value(k * 10.0);
        }
        std::vector<int> start(n);
        for (int i = 0; i < n; ++i) start[i] = i + 1;
        std::shuffle(start.begin(), start.end(), rng);
        using Same = bool (krymo::Transport::*)(int, int) const;
        const std::pair<Same, std::pair<int, const double*>> tests[] = {
            {&krymo::Transport::RE_mols_if_the_same, {1, t.mol_mass.data()}},
            {&krymo::Transport::HL_mols_if_the_same, {3, t.mol_moments.data()}}};
        for (const auto& c : tests) {
            std::vector<int> fast = start, plain = start;
            t.group_same_mols(fast, c.first, c.second.first, c.second.second);
            overwrite_in_order(plain, [&](int i, int j) { return (t.*c.first)(i, j); });
            ASSERT_EQ(fast, plain) << "round " << round << (c.second.first == 1 ? ", RE" : ", HL");
        }
    }
}

TEST(UniquePairs, PlusSignedTensorAndUniqueMoleculesAsRootsOfRepresentativePairs) {
    // About the centre d = +-(0.5, 0.5, 0); with the plus-signed xy sum and the division by n = 2 the tensor is
    // m [[.25, .25, 0], [.25, .25, 0], [0, 0, .5]] and the solver returns 0, m/2, m/2 (the physical
    // tensor, with -xy, would give m/2, 0, m/2). Pairs 1-2 and 2-1 are one dimer (3 A apart), pairs
    // 2-3 and 3-2 another (4 A apart): representatives 1 and 3 have roots 1 and 2, although every
    // molecule is the same as molecule 1.
    ScopedStudyDir dir;
    TestTransport t;
    // Three identical H2 with atoms at (2, y, 2.5) and (3, y + 1, 2.5), y = 1, 4 and 8: 1-2 is 3 A apart,
    // 2-3 4 A apart, so root 1 has one neighbour, root 2 two and root 3 one.
    t.set_cell(10, 10, 10);
    for (double y : {1, 4, 8}) t.add_molecule({1, 1}, {2, y, 2.5, 3, y + 1, 2.5});
    t.set_search(4.5, 0);
    t.output_eigval = 1;
    t.build();
    t.calc_HL_uc_mol_eigval_eigvec();
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(t.mol_moments[k], k == 0 ? 0.0 : 1.00794 / 2, 1e-12) << k;
    capture_stdout([&] { t.calc_HL_2mol_eigval_eigvec_and_unique_pairs(); });
    EXPECT_EQ(t.HL_pair_index, (std::vector<int>{0, 0, 2, 2}));
    EXPECT_EQ(t.HL_unique_pairs, (std::vector<int>{1, 3}));
    t.HL_check_unitcell_unique_mols(false);
    EXPECT_EQ(t.HL_unique_mols, (std::vector<int>{1, 2}));
    EXPECT_EQ(read_file("data/unique_id_map.dat"), "# Unique ID mapping\n3\n  1\n      1   1    1\n  2\n      2   1    2\n"
                                                  "      2   2    3\n  1\n      3   1    4\n");
}

TEST(PairMap, StrictBoundaryOverwriteRuleAndThePlainDoubleLoop) {
    // 0 and 0.01 differ by exactly the tolerance: different. Item 3 matches items 0 and 2; the later
    // match (2) wins, and 2 itself maps to 1.
    const std::vector<double> e = {0.0, 0, 0, 0.01, 0, 0, 0.018, 0, 0, 0.009, 0, 0};
    std::vector<int> map;
    krymo::build_pair_map(e.data(), 4, map);
    EXPECT_EQ(map, (std::vector<int>{0, 1, 1, 1}));
    // Random sets: values on a grid of 0.005 (exact tolerance distances occur), in a few tight
    // clusters, with a few huge and non-finite values.
    std::mt19937 rng(7);
    for (int round = 0; round < 40; ++round) {
        const int n = 50 + 40 * round;
        std::uniform_int_distribution<int> grid(0, 12 + round), pick(0, 99);
        std::vector<double> v(3 * n);
        for (double& x : v) {
            const int r = pick(rng);
            x = r < 2 ? 1e13 + grid(rng) * 0.005 : r < 3 ? NAN : 100.0 + grid(rng) * 0.005;
        }
        std::vector<int> fast, slow;
        krymo::build_pair_map(v.data(), n, fast);
        pair_map_quadratic(v.data(), n, slow);
        ASSERT_EQ(fast, slow) << "round " << round;
    }
}
