// Candidate images for the neighbour searches: the periodic images (molecule j in cell a, b, c) of a
// block of cells that can hold an atom within a cutoff of some atom of a root molecule.
//
// Every molecule is enclosed in a sphere about its geometric centre. An image whose sphere stays
// farther than the cutoff from the root's sphere cannot hold a close atom pair, so only the images
// whose cell indices fall inside a small box around the root are visited. The spheres are widened
// by a margin far above rounding, so the pruning never drops an image that the atom test accepts.
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

    double radius(int j) const { return radius_[j]; }

private:
    double latt_[3][3];
    int scell_[3];
    int nmols_;
    double cutoff_;
    bool bounded_;  // false for a degenerate cell: every image of the block is a candidate
    double plane_inv_[3];  // lengths of the rows of the inverse lattice matrix
    std::vector<double> centre_s_;  // 3 per molecule, fractional
    std::vector<double> radius_;    // Cartesian bounding radius about the centre
    std::vector<int> natoms_;
};

}  // namespace krymo
