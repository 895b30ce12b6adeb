// Candidate images for the neighbour searches: the periodic images (molecule j in cell a, b, c) of a
// block of cells that can hold an atom within a cutoff of some atom of a root molecule.
//
// Every molecule is enclosed in a sphere about its geometric centre. An image whose sphere stays
// farther than the cutoff from the root's sphere cannot hold a close atom pair, so only the images
// whose cell indices fall inside a small box around the root are visited. The spheres are widened
// by a margin far above rounding, so the pruning never drops an image that the atom test accepts.
//
// So that a root does not test every molecule's sphere, the centres are filed in a grid of bins
// over the unit cell; a root visits only the bins (and their periodic copies) that a sphere of
// ordinary size can reach from it. Molecules that the grid cannot place safely (unusually large,
// far outside the cell, not finite) are tested for every root, and a root that the grid cannot
// bound tests every molecule. Either way the candidates are the same list in the same order.
#pragma once

#include <cstdint>
#include <vector>

namespace krymo {

struct ImageCandidate {
    std::int64_t order;  // position in the visiting order: c outermost, then b, then a, then j
    int j;
    int cell[3];
};

class ImageSearch {
public:
    // natoms, x_s: atom count and fractional atom coordinates per molecule; latt: columns are the
    // lattice vectors; scell: half-widths na, nb, nc of the block of cells searched.
    ImageSearch(const double latt[3][3], const std::vector<int>& natoms, const std::vector<std::vector<double>>& x_s,
                const int scell[3], double cutoff);

    // Images of every molecule (the root's own home image excluded) that may lie within the cutoff
    // of root i, sorted by their position in the visiting order.
    void candidates(int i, std::vector<ImageCandidate>& out) const;
    // The same list found by testing the sphere of every molecule: the reference of the grid.
    void candidates_testing_every_molecule(int i, std::vector<ImageCandidate>& out) const;

    double radius(int j) const { return radius_[j]; }
    // True when no atom of the image (j, cell) can lie within the cutoff of the atom at fractional
    // position x: the atom test may skip x. Decided with a margin far above the rounding of the
    // test's own arithmetic, so skipping never changes its answer.
    bool atom_out_of_reach(const double x[3], int j, const int cell[3]) const;
    // Number of bins of the molecule grid; 0 when the cell is degenerate and there is no grid.
    int grid_bins() const { return grid_start_.empty() ? 0 : static_cast<int>(grid_start_.size()) - 1; }

private:
    // Appends the images of molecule j whose spheres reach the sphere of root i.
    void add_images(int i, int j, std::vector<ImageCandidate>& out) const;
    void build_grid();
    // The bins along axis k that hold the centres of the images within `reach` of position f.
    void reachable_bins(int k, double f, double reach, std::vector<int>& bins) const;
    bool centre_near_cell(int j) const;  // close enough to the home cell for exact bin arithmetic
    bool placed_in_grid(int j) const;
    bool searched(int i) const;  // false for an empty root or a negative block: no candidates
    static void sort_by_order(std::vector<ImageCandidate>& out);

    double latt_[3][3];
    int scell_[3];
    int nmols_;
    double cutoff_;
    bool bounded_;  // false for a degenerate cell: every image of the block is a candidate
    double plane_inv_[3];  // lengths of the rows of the inverse lattice matrix
    std::vector<double> centre_s_;  // 3 per molecule, fractional
    std::vector<double> radius_;    // Cartesian bounding radius about the centre
    std::vector<double> extent_;    // largest magnitude of a fractional coordinate of the molecule
    double latt_norm_;              // Frobenius norm of the lattice matrix
    std::vector<int> natoms_;

    // Grid over the unit cell, bins numbered a fastest; bin b holds grid_mols_[grid_start_[b] ..
    // grid_start_[b + 1]), ascending. Every molecule in it has a radius of at most grid_radius_.
    int grid_[3] = {0, 0, 0};
    double grid_radius_ = 0.0;
    std::vector<int> grid_start_;
    std::vector<int> grid_mols_;
    std::vector<int> outside_grid_;  // non-empty molecules tested for every root, ascending
};

}  // namespace krymo
