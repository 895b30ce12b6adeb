// Periodic cell lists and the bond-growth searches of the crystal reader and the whole-molecule
// repair. Each search reproduces the straightforward scan exactly (same survivors, same joining
// order, same partners) without its quadratic or cubic cost: a min-heap frontier holds every
// available atom bonded to a member, and a cell list over positions modulo 1 finds the bonds.
#pragma once

#include <utility>
#include <vector>

namespace krymo {

// Atoms binned by their fractional position modulo 1 on an nb[0] x nb[1] x nb[2] grid.
class PeriodicBins {
public:
    // `x_s` holds 3 coordinates per atom for `n` atoms.
    PeriodicBins(const double* x_s, int n, const int nb[3]);
    // Calls f(j) for every atom in the bins around position p (each bin once).
    template <class F>
    void for_each_near(const double p[3], F&& f) const {
        int lo[3], cnt[3], b[3];
        bin_of(p, b);
        for (int k = 0; k < 3; ++k) {
            // With fewer than three bins along an axis every bin is a neighbour.
            cnt[k] = nb_[k] < 3 ? nb_[k] : 3;
            lo[k] = nb_[k] < 3 ? 0 : b[k] - 1;
        }
        for (int i = 0; i < cnt[0]; ++i)
            for (int j = 0; j < cnt[1]; ++j)
                for (int l = 0; l < cnt[2]; ++l) {
                    const int c = index_of((lo[0] + i + nb_[0]) % nb_[0], (lo[1] + j + nb_[1]) % nb_[1],
                                           (lo[2] + l + nb_[2]) % nb_[2]);
                    for (int q = start_[c]; q < start_[c + 1]; ++q) f(items_[q]);
                }
    }

    // Bins per axis for pairs closer than `cutoff` (Angstrom) in the lattice `latt` (columns a, b, c):
    // bins at least as wide as the cutoff across each pair of lattice planes, at most `max_bins`.
    static void bins_for_cutoff(const double latt[3][3], double cutoff, int max_bins, int nb[3]);

private:
    void bin_of(const double p[3], int b[3]) const;
    int index_of(int i, int j, int k) const { return (i * nb_[1] + j) * nb_[2] + k; }

    int nb_[3];
    std::vector<int> start_;
    std::vector<int> items_;
};

// Overlap removal of the symmetry expansion: atom j is removed when an earlier surviving atom i
// lies within 0.001 in fractional units (each component wrapped by one step). Returns one flag per
// atom, 1 for removed.
std::vector<char> find_overlapped_atoms(const std::vector<double>& x_s);

struct SiteScan {
    std::vector<char> removed;                // as find_overlapped_atoms
    std::vector<int> keeper;                  // for a removed atom the atom that stays, else -1
    std::vector<std::pair<int, int>> close;   // surviving pairs closer than the cutoff, sorted
};
// The overlap removal, and in the same pass the pairs of surviving atoms closer than `cutoff`
// (Angstrom, minimum image) in the lattice `latt` (columns a, b, c).
SiteScan scan_sites(const std::vector<double>& x_s, const double latt[3][3], double cutoff);

// Pairs of distinct atoms closer than `cutoff` (Angstrom, minimum image, repeated wrap), each pair
// once as (lower index, higher index), in order of the lower index.
std::vector<std::pair<int, int>> find_close_pairs(const std::vector<double>& x_s, const double latt[3][3],
                                                  double cutoff);

// Molecule separation: seeds at the lowest-index free atom; at each step the lowest-index free
// atom bonded to any member joins ((r_m + r_i) * scale > minimum-image distance, repeated wrap).
void separate_bonded_molecules(const std::vector<double>& x_s, const std::vector<double>& radii, double scale,
                               const double latt[3][3], std::vector<int>& counts, std::vector<int>& atoms);

// Distances between opposite faces of the cell (columns a, b, c); false for a singular cell.
bool plane_spacings(const double latt[3][3], double h[3]);

struct WholeGrowth {
    int joined = 0;          // atoms joined from atom 0
    bool periodic = false;   // a member bonds to a periodic image of the molecule itself
    int image[3] = {0, 0, 0};  // lattice translation of that bond, first non-zero component positive
    int atom = -1, partner = -1;  // the two atoms of that bond
};

// Whole-molecule growth from atom 0: the lowest-index free atom bonded to any member joins; its
// partner is the earliest-joined member it bonds to, either where it lies or through the nearest
// image, in which case it moves next to the partner. A bond between two placed members that only
// an image other than the placed one makes (the molecule is a chain, layer or net) is reported.
WholeGrowth grow_whole_molecule(int natoms, const double* radii, double scale, const double latt[3][3], double* x_s);

}  // namespace krymo
