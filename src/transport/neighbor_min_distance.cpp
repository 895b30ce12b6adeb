// The -rmin report: for every root molecule, the images holding an atom closer than lattice_cutoff,
// ordered by their smallest atom-to-atom distance.
#include <cmath>
#include <cstdio>
#include <memory>

#include "transport/atom_pairs.h"
#include "transport/image_search.h"
#include "transport/transport.h"
#include "util/linalg.h"
#include "util/progress.h"
#include "util/sort.h"

namespace krymo {

double Transport::found_two_molecules_min_distance(int i, int j, const int* cell) const {
    return min_distance(i, j, cell, nullptr);
}

double Transport::min_distance(int i, int j, const int* cell, const ImageSearch* search) const {
    double r2min = 1e30;
    for_each_atom_pair(cif_lattice_vectors, mol_x_s[i], mol_natoms[i], mol_x_s[j], mol_natoms[j], j, cell, search,
                       [&](double r2) {
                           if (r2 < r2min) r2min = r2;
                           return true;
                       });
    return std::sqrt(r2min);
}

void Transport::find_neighbor_molecules_min_distance(bool) {
    std::printf("\n**** Calculate minimum atomic distance with neighbors ****\n");
    const int nm = nmols_uc;
    const int na = neighbor_scell[0], nb = neighbor_scell[1], nc = neighbor_scell[2];
    std::unique_ptr<ImageSearch> search;
    if (pruned_neighbor_search)
        search = std::make_unique<ImageSearch>(cif_lattice_vectors, mol_natoms, mol_x_s, neighbor_scell, lattice_cutoff);
    std::vector<ImageCandidate> cand, kept;
    std::vector<double> dist;
    std::vector<int> order;
    Progress progress("minimum distances", nm);
    for (int i = 0; i < nm; ++i) {
        if (search) {
            search->candidates(i, cand);
        } else {
            cand.clear();
            for (int c = -nc; c <= nc; ++c)
                for (int b = -nb; b <= nb; ++b)
                    for (int a = -na; a <= na; ++a)
                        for (int j = 0; j < nm; ++j)
                            if (!(j == i && a == 0 && b == 0 && c == 0)) cand.push_back({0, j, {a, b, c}});
        }
        kept.clear();
        dist.clear();
        for (const ImageCandidate& x : cand) {
            // Skipped atoms are farther apart than the cutoff: a distance below it is exact.
            const double d = min_distance(i, x.j, x.cell, search.get());
            if (d < lattice_cutoff) {
                kept.push_back(x);
                dist.push_back(d);
            }
        }
        const int n = static_cast<int>(kept.size());
        order.resize(n);
        for (int t = 0; t < n; ++t) order[t] = t;
        quickSort_d(dist.data(), order.data(), n);
        std::printf("  molecule %d:\n", i + 1);
        for (int t = 0; t < n; ++t) {
            const ImageCandidate& x = kept[order[t]];
            std::printf("    neighbor %d [%2d %2d %2d]: %8.3f\n", x.j + 1, x.cell[0], x.cell[1], x.cell[2],
                        dist[order[t]]);
        }
        progress.add();
    }
    progress.finish();
    std::printf("**** End of Calculate minimum atomic distance with neighbors ****\n\n");
}

}  // namespace krymo
