// The atom-pair loop shared by the neighbour test and the minimum-distance report.
#pragma once

#include <vector>

#include "transport/image_search.h"
#include "util/linalg.h"

namespace krymo {

// Squared Cartesian distances of the atom pairs of root molecule i (fractional xi, ni atoms) and
// the image of molecule j (xj, nj atoms) in `cell`, root atom by root atom (outer), image atom by
// image atom (inner); visit(r2) returns false to stop. With a search, the root atoms that it shows
// out of reach of the image are skipped: they have no pair within the cutoff.
template <class Visit>
void for_each_atom_pair(const double latt[3][3], const std::vector<double>& xi, int ni, const std::vector<double>& xj,
                        int nj, int j, const int* cell, const ImageSearch* search, Visit visit) {
    for (int p = 0; p < ni; ++p) {
        if (search != nullptr && search->atom_out_of_reach(&xi[3 * p], j, cell)) continue;
        for (int q = 0; q < nj; ++q) {
            double d[3];
            for (int k = 0; k < 3; ++k) d[k] = xj[3 * q + k] - xi[3 * p + k] + cell[k];
            mat_vec_mul(latt, d, d);
            if (!visit(d[0] * d[0] + d[1] * d[1] + d[2] * d[2])) return;
        }
    }
}

}  // namespace krymo
