// The fast crystal searches against the plain scans on random cells: oblique lattices, atoms in
// random order, positions outside [0, 1), duplicates and molecules across cell faces.
#include <gtest/gtest.h>

#include <array>
#include <random>

#include "structure/cell_search.h"
#include "structure/fileio.h"
#include "structure_reference.h"

using namespace krymo;

TEST(CellSearch, SeparationEqualsThePlainScan) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        // Branched chains of atoms ~1.2-1.6 A apart scattered in an oblique cell, shuffled so that
        // molecules interleave in index order.
        std::mt19937 rng(seed);
        std::uniform_real_distribution<double> u(0.0, 1.0);
        const double len = 9.0 + seed;
        const double cell6[6] = {len, len * (0.8 + 0.4 * u(rng)), len * (0.7 + 0.5 * u(rng)), 70 + 40 * u(rng),
                                 70 + 40 * u(rng), 60 + 60 * u(rng)};
        double latt[3][3], inv[3][3];
        FileIO().convert_cell6_to_latt3x3(cell6, latt);
        invert(latt, inv);
        const double radius_of[4] = {0.77, 0.35, 0.66, 1.22};
        std::vector<std::array<double, 4>> cell;  // fractional position, radius
        for (unsigned m = 0; m < 6 + seed % 5; ++m) {
            double p[3] = {u(rng) * len, u(rng) * len, u(rng) * len}, s[3];
            for (unsigned a = 0; a < 5 + seed % 9; ++a) {
                mat_vec_mul(inv, p, s);
                // Some positions lie a whole cell outside [0, 1), as symmetry output may.
                cell.push_back({s[0] + (u(rng) < 0.1 ? 1.0 : 0.0), s[1], s[2], radius_of[rng() % 4]});
                for (double& v : p) v += (u(rng) - 0.5) * 2.2;
            }
        }
        std::shuffle(cell.begin(), cell.end(), rng);
        std::vector<double> x, radii;
        for (const auto& a : cell) {
            x.insert(x.end(), a.begin(), a.begin() + 3);
            radii.push_back(a[3]);
        }

        std::vector<int> counts, atoms, ref_counts, ref_atoms;
        separate_bonded_molecules(x, radii, 1.15, latt, counts, atoms);
        krymo_ref::separate(x, radii, 1.15, latt, ref_counts, ref_atoms);
        ASSERT_EQ(counts, ref_counts) << seed;
        ASSERT_EQ(atoms, ref_atoms) << seed;
        EXPECT_GE(counts.size(), 3u) << seed;
    }
}

TEST(CellSearch, BondsToOwnImagesAreFound) {
    // Fractional positions and radii in an orthogonal cell; the expected lattice direction of the
    // infinite bonding, or none.
    const struct {
        const char* what;
        double cell[3];
        std::vector<std::array<double, 4>> atoms;
        std::array<int, 3> image;  // {0, 0, 0}: discrete
    } cases[] = {
        {"one atom bonded to its neighbour image", {1.5, 10, 10}, {{0.5, 0.5, 0.5, 0.77}}, {1, 0, 0}},
        {"Cu-Cl zigzag chain along a", {7, 10, 10},
         {{0, 0.5, 0.5, 1.17}, {0.25, 0.6, 0.5, 0.99}, {0.5, 0.5, 0.5, 1.17}, {0.75, 0.6, 0.5, 0.99}}, {1, 0, 0}},
        {"the chain broken: one Cl gone", {7, 10, 10},
         {{0, 0.5, 0.5, 1.17}, {0.25, 0.6, 0.5, 0.99}, {0.5, 0.5, 0.5, 1.17}}, {0, 0, 0}},
        {"a chain along the diagonal a - b", {5, 5, 12},
         {{0.1, 0.9, 0.5, 0.77}, {0.3, 0.7, 0.5, 0.77}, {0.5, 0.5, 0.5, 0.77}, {0.7, 0.3, 0.5, 0.77},
          {0.9, 0.1, 0.5, 0.77}},
         {1, -1, 0}},
        {"a C-C pair in a short cell, bonded only once", {3.4, 10, 10},
         {{0.1, 0.5, 0.5, 0.77}, {0.55, 0.5, 0.5, 0.77}}, {0, 0, 0}},
    };
    for (const auto& c : cases) {
        const double cell6[6] = {c.cell[0], c.cell[1], c.cell[2], 90, 90, 90};
        double latt[3][3];
        FileIO().convert_cell6_to_latt3x3(cell6, latt);
        std::vector<double> x, r;
        for (const auto& a : c.atoms) {
            x.insert(x.end(), a.begin(), a.begin() + 3);
            r.push_back(a[3]);
        }
        const int n = static_cast<int>(r.size());
        const WholeGrowth g = grow_whole_molecule(n, r.data(), 1.15, latt, x.data());
        EXPECT_EQ(g.joined, n) << c.what;
        EXPECT_EQ(g.periodic, c.image != (std::array<int, 3>{0, 0, 0})) << c.what;
        if (g.periodic) EXPECT_EQ((std::array<int, 3>{g.image[0], g.image[1], g.image[2]}), c.image) << c.what;
    }
}

TEST(CellSearch, OverlapRemovalAndClosePairsEqualPlainScans) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::vector<double> x;
    for (int i = 0; i < 1500; ++i) {
        const double p[3] = {u(rng), u(rng), u(rng)};
        x.insert(x.end(), p, p + 3);
        // Copies within and beyond 0.001, across faces and a whole cell away.
        const double c = p[0] + (u(rng) - 0.5) * 0.0024;
        if (i % 3 == 0) x.insert(x.end(), {c > 1 ? c - 1 : c + (i % 2), p[1], p[2]});
    }
    for (double edge : {0.0, 0.9996, -0.0003, 1.0004}) x.insert(x.end(), {edge, 0.5, 0.5});
    const std::vector<char> fast = find_overlapped_atoms(x);
    const std::vector<char> removed = krymo_ref::overlapped_atoms(x);
    EXPECT_EQ(fast, removed);
    EXPECT_GT(std::count(fast.begin(), fast.end(), 1), 100);

    // Close survivors in an oblique cell: found in the overlap walk (bins wide enough for 0.5 A) or
    // in a pass of their own (1.0 A).
    const double cell6[6] = {11, 12, 10, 80, 100, 110};
    double latt[3][3];
    FileIO().convert_cell6_to_latt3x3(cell6, latt);
    for (double cutoff : {0.5, 1.0}) {
        const SiteScan scan = scan_sites(x, latt, cutoff);
        EXPECT_EQ(scan.removed, removed);
        std::vector<std::pair<int, int>> ref;
        const int n = static_cast<int>(removed.size());
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n && !removed[i]; ++j) {
                double d[3];
                for (int k = 0; k < 3; ++k) d[k] = wrap_displacement(x[3 * i + k] - x[3 * j + k]);
                if (!removed[j] && krymo_ref::cart_length(latt, d) < cutoff) ref.emplace_back(i, j);
            }
        EXPECT_EQ(scan.close, ref) << cutoff;
        EXPECT_GT(ref.size(), 10u) << cutoff;
        for (int j = 0; j < n; ++j) EXPECT_EQ(scan.keeper[j] >= 0, removed[j] != 0);
    }
}
