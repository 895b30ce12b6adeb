// Straightforward versions of the fast algorithms of the neighbour analysis, written independently
// of the library code; tests and benchmarks compare the fast ones against them.
#pragma once

#include <cmath>
#include <vector>

namespace krymo_test {

// Pair map by comparing every pair with every later one; later matches overwrite earlier ones.
inline void pair_map_quadratic(const double* eig, int n, std::vector<int>& map) {
    map.resize(n);
    for (int p = 0; p < n; ++p) map[p] = p;
    for (int p1 = 0; p1 + 1 < n; ++p1)
        for (int p2 = p1 + 1; p2 < n; ++p2) {
            bool same = true;
            for (int t = 0; t < 3; ++t) same = same && std::fabs(eig[3 * p1 + t] - eig[3 * p2 + t]) < 0.01;
            if (same) map[p2] = map[p1];
        }
}

}  // namespace krymo_test
