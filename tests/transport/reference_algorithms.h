// Straightforward versions of the fast algorithms of the neighbour analysis, written independently
// of the library code; tests and benchmarks compare the fast ones against them.
#pragma once

#include <cmath>
#include <vector>

namespace krymo_test {

// index[j] := index[i] for every pair i < j that same(i, j) accepts, i outer, j inner: later
// matches overwrite earlier ones.
template <class Same>
void overwrite_in_order(std::vector<int>& index, Same same) {
    const int n = static_cast<int>(index.size());
    for (int i = 0; i + 1 < n; ++i)
        for (int j = i + 1; j < n; ++j)
            if (same(i, j)) index[j] = index[i];
}

// Pair map: every pair compared with every later one, strictly within 0.01 on each eigenvalue.
inline void pair_map_quadratic(const double* eig, int n, std::vector<int>& map) {
    map.resize(n);
    for (int p = 0; p < n; ++p) map[p] = p;
    overwrite_in_order(map, [eig](int p1, int p2) {
        bool same = true;
        for (int t = 0; t < 3; ++t) same = same && std::fabs(eig[3 * p1 + t] - eig[3 * p2 + t]) < 0.01;
        return same;
    });
}

// Global pair number (1-based) of entry k (1-based) of root i (0-based): the entries of the roots
// before i, counted one root after the other, plus k.
inline int global_pair_number_by_scan(const std::vector<int>& nnei, int i, int k) {
    int g = k;
    for (int r = 0; r < i; ++r) g += nnei[r];
    return g;
}

}  // namespace krymo_test
