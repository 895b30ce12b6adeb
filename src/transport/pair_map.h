// Representative map of items described by three eigenvalues: item p stands for the last earlier
// item q whose three values all differ from its own by less than the tolerance, and takes q's
// representative; an item with no such q represents itself. This is the result of comparing every
// item with every later one in order, letting later matches overwrite earlier ones, obtained by
// looking only at items in neighbouring bins of the eigenvalue space.
#pragma once

#include <vector>

namespace krymo {

constexpr double kPairEigenTolerance = 0.01;

// eig: 3 values per item; map receives the 0-based representative of each of the n items.
void build_pair_map(const double* eig, int n, std::vector<int>& map);

}  // namespace krymo
