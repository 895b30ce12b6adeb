// The molecule grid of the candidate search against testing every molecule, on random cells with
// molecules the grid must keep out. (Whole lists of both searches are compared on the real crystals.)
#include <cmath>
#include <random>

#include "transport/image_search.h"
#include "transport/transport_fixture.h"
#include "util/linalg.h"

using namespace krymo_test;

namespace {

struct Shape { double cell6[6]; int molecules; int scell[3]; double cutoff; };

// Random molecules: mostly clusters of 1 to 6 atoms within 2 A of their centre, one in twenty a
// rod of 9 A half-length; centres spread over -0.3 .. 1.3 cells, a few exactly on cell and bin
// boundaries (0, 1, 0.5 and a tiny negative value).
void random_cell(TestTransport& t, const Shape& s, unsigned seed) {
    t.set_cell(s.cell6[0], s.cell6[1], s.cell6[2], s.cell6[3], s.cell6[4], s.cell6[5]);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> spread(-0.3, 1.3), unit(-1.0, 1.0);
    std::uniform_int_distribution<int> atoms(1, 6), pick(0, 19);
    const double edges[] = {0.0, 1.0, 0.5, -1e-18};
    for (int m = 0; m < s.molecules; ++m) {
        double f[3], centre[3];
        for (int k = 0; k < 3; ++k) f[k] = m < 4 ? edges[(m + k) % 4] : spread(rng);
        krymo::mat_vec_mul(t.cif_lattice_vectors, f, centre);
        const bool rod = pick(rng) == 0;
        const int n = rod ? 2 : atoms(rng);
        std::vector<int> types(n, 6);
        std::vector<double> x(3 * n);
        for (int p = 0; p < n; ++p)
            for (int k = 0; k < 3; ++k) x[3 * p + k] = centre[k] + (rod ? (p ? 9.0 : -9.0) * (k == 0) : 2.0 * unit(rng) / 1.8);
        t.add_molecule(types, x);
    }
    t.set_search(s.cutoff, 0);
    for (int k = 0; k < 3; ++k) t.neighbor_scell[k] = s.scell[k];
}

std::vector<std::int64_t> orders(const std::vector<krymo::ImageCandidate>& c) {
    std::vector<std::int64_t> o;
    for (const krymo::ImageCandidate& x : c) o.push_back(x.order);
    return o;
}

const Shape kShapes[] = {
    {{30, 30, 30, 90, 90, 90}, 160, {1, 1, 1}, 4.0},
    {{25, 31, 40, 70, 100, 115}, 160, {1, 1, 1}, 4.0},
    {{60, 55, 400, 90, 90, 120}, 160, {2, 1, 0}, 3.5},  // a film with vacuum above it
    {{30, 30, 30, 90, 90, 90}, 160, {1, 0, 2}, -4.0},   // a negative cutoff acts as its magnitude
    {{9, 10, 11, 80, 95, 105}, 12, {2, 2, 2}, 5.0},     // the reach spans the whole cell
};

}  // namespace

TEST(ImageSearch, GridGivesTheCandidatesOfTestingEveryMoleculeOnRandomCells) {
    for (const Shape& s : kShapes)
        for (unsigned seed : {1u, 2u}) {
            SCOPED_TRACE(krymo::format_string("cell %g %g %g, seed %u", s.cell6[0], s.cell6[1], s.cell6[2], seed));
            TestTransport t;
            random_cell(t, s, seed);
            // Molecules the grid keeps out: far away, far but in exact range, not finite, empty.
            t.add_molecule({6, 6}, {1e7, 0.5, 0.5, 1e7, 0.52, 0.5}, true);
            t.add_molecule({6}, {1e5, 0.5, 0.5}, true);
            t.add_molecule({6}, {NAN, 0.5, 0.5}, true);
            t.add_molecule({}, {});
            const krymo::ImageSearch search(t.cif_lattice_vectors, t.mol_natoms, t.mol_x_s, t.neighbor_scell,
                                            t.lattice_cutoff);
            if (s.molecules > 100) EXPECT_GT(search.grid_bins(), 8);
            std::vector<krymo::ImageCandidate> fast, every;
            size_t total = 0;
            for (int i = 0; i < t.nmols_uc; ++i) {
                search.candidates(i, fast);
                search.candidates_testing_every_molecule(i, every);
                ASSERT_EQ(orders(fast), orders(every)) << "root " << i;
                total += fast.size();
            }
            EXPECT_GT(total, static_cast<size_t>(t.nmols_uc));  // not a vacuous comparison
        }
    // A flat cell has no grid: every molecule is tested, as before.
    TestTransport t;
    random_cell(t, kShapes[0], 3);
    for (int r = 0; r < 3; ++r) t.cif_lattice_vectors[r][2] = 0.0;
    const krymo::ImageSearch flat(t.cif_lattice_vectors, t.mol_natoms, t.mol_x_s, t.neighbor_scell, 4.0);
    EXPECT_EQ(flat.grid_bins(), 0);
}
