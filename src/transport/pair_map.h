// Representative maps of items that compare equal within a tolerance: item p takes the
// representative of the latest earlier item q that it matches, or represents itself. This is what
// comparing every item with every later one in order finds when later matches overwrite earlier
// ones, obtained by looking only at items in neighbouring bins of the compared values.
#pragma once

#include <functional>
#include <vector>

namespace krymo {

constexpr double kPairEigenTolerance = 0.01;

// For every item p, the latest q < p that same(q, p) accepts, or -1. Items are binned on `dims`
// (1 to 3) values each, values[dims * p + t], and on an exact tag (tags may be null: all equal).
// `same` may accept only items with equal tags whose values all differ by at most `tolerance`, and
// never an item with a value that is not finite.
std::vector<int> latest_earlier_matches(int n, int dims, const double* values, const int* tags, double tolerance,
                                        const std::function<bool(int, int)>& same);

// Pairs: eig holds 3 eigenvalues per item, equal when all three differ by less than the tolerance;
// map receives the 0-based representative of each of the n items.
void build_pair_map(const double* eig, int n, std::vector<int>& map);

}  // namespace krymo
