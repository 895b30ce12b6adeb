// The fast crystal searches against the plain scans on random cells: oblique lattices, atoms in
// random order, positions outside [0, 1), duplicates and molecules across cell faces.
#include <gtest/gtest.h>

#include <random>

#include "structure/cell_search.h"
#include "structure/fileio.h"
#include "structure_reference.h"

using namespace krymo;

namespace {

struct RandomCell {
    double latt[3][3];
    std::vector<double> x, radii;
};

// Clusters of atoms ~1.2-1.6 A apart (chains with branches) scattered in an oblique cell.
RandomCell make_cell(unsigned seed, int nclusters, int per_cluster, double len) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    RandomCell c;
    const double cell6[6] = {len, len * (0.8 + 0.4 * u(rng)), len * (0.7 + 0.5 * u(rng)), 70 + 40 * u(rng),
                             70 + 40 * u(rng), 60 + 60 * u(rng)};
    FileIO f;
    f.convert_cell6_to_latt3x3(cell6, c.latt);
    double inv[3][3];
    invert(c.latt, inv);
    const double radius_of[4] = {0.77, 0.35, 0.66, 1.22};
    for (int m = 0; m < nclusters; ++m) {
        double p[3] = {u(rng) * len, u(rng) * len, u(rng) * len};
        for (int a = 0; a < per_cluster; ++a) {
            double s[3];
            mat_vec_mul(inv, p, s);
            // Some positions land outside [0, 1) by a whole cell, as symmetry output may.
            const double shift = u(rng) < 0.1 ? 1.0 : 0.0;
            for (int k = 0; k < 3; ++k) c.x.push_back(s[k] + shift * (k == 0));
            c.radii.push_back(radius_of[static_cast<int>(u(rng) * 4) % 4]);
            for (int k = 0; k < 3; ++k) p[k] += (u(rng) - 0.5) * 2.2;
        }
    }
    // Random atom order so that molecules interleave in index order.
    const int n = static_cast<int>(c.radii.size());
    std::vector<int> perm(n);
    for (int i = 0; i < n; ++i) perm[i] = i;
    std::shuffle(perm.begin(), perm.end(), rng);
    RandomCell out = c;
    for (int i = 0; i < n; ++i) {
        out.radii[i] = c.radii[perm[i]];
        for (int k = 0; k < 3; ++k) out.x[3 * i + k] = c.x[3 * perm[i] + k];
    }
    return out;
}

}  // namespace

TEST(CellSearch, SeparationAndRepairEqualPlainScans) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        const RandomCell c = make_cell(seed, 6 + seed % 5, 5 + seed % 9, 9.0 + seed);
        std::vector<int> counts, atoms, ref_counts, ref_atoms;
        separate_bonded_molecules(c.x, c.radii, 1.15, c.latt, counts, atoms);
        krymo_ref::separate(c.x, c.radii, 1.15, c.latt, ref_counts, ref_atoms);
        ASSERT_EQ(counts, ref_counts) << seed;
        ASSERT_EQ(atoms, ref_atoms) << seed;
        EXPECT_GE(counts.size(), 3u) << seed;
        size_t o = 0;
        for (int n : counts) {
            std::vector<double> x, r;
            for (int j = 0; j < n; ++j) {
                r.push_back(c.radii[atoms[o + j]]);
                for (int k = 0; k < 3; ++k) x.push_back(c.x[3 * atoms[o + j] + k]);
            }
            std::vector<double> fast = x;
            // The repair's own radii are smaller, so some molecules stop early: both must agree.
            for (double& v : r) v *= 0.93;
            EXPECT_EQ(grow_whole_molecule(n, r.data(), 1.15, c.latt, fast.data()),
                      krymo_ref::grow_whole(n, r.data(), 1.15, c.latt, x.data()));
            EXPECT_EQ(fast, x) << seed;
            o += n;
        }
    }
}

TEST(CellSearch, OverlapRemovalEqualsPlainScan) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::vector<double> x;
    for (int i = 0; i < 1500; ++i) {
        const double p[3] = {u(rng), u(rng), u(rng)};
        for (int k = 0; k < 3; ++k) x.push_back(p[k]);
        // Copies within and beyond 0.001, across faces and a whole cell away.
        if (i % 3 == 0) {
            const double dx = (u(rng) - 0.5) * 0.0024;
            for (int k = 0; k < 3; ++k) x.push_back(k == 0 ? (p[k] + dx > 1 ? p[k] + dx - 1 : p[k] + dx + (i % 2)) : p[k]);
        }
    }
    for (double edge : {0.0, 0.9996, -0.0003, 1.0004}) {
        x.insert(x.end(), {edge, 0.5, 0.5});
    }
    const std::vector<char> fast = find_overlapped_atoms(x);
    EXPECT_EQ(fast, krymo_ref::overlapped_atoms(x));
    int removed = 0;
    for (char r : fast) removed += r;
    EXPECT_GT(removed, 100);
}
