// Straightforward versions of the crystal searches, written as plain scans in the order the
// behaviour is defined. The fast versions in src/structure must agree with them exactly.
#pragma once

#include <cmath>
#include <vector>

#include "structure/cell.h"
#include "util/linalg.h"

namespace krymo_ref {

inline double cart_length(const double latt[3][3], const double d[3]) {
    double c[3];
    krymo::mat_vec_mul(latt, d, c);
    return krymo::get_magnitude(c);
}

// Every pair in index order; a later unmarked atom within 0.001 (one-step wrap) is marked.
inline std::vector<char> overlapped_atoms(const std::vector<double>& x) {
    const size_t n = x.size() / 3;
    std::vector<char> removed(n, 0);
    for (size_t i = 0; i < n; ++i) {
        if (removed[i]) continue;
        for (size_t j = i + 1; j < n; ++j) {
            if (removed[j]) continue;
            double r2 = 0;
            for (int k = 0; k < 3; ++k) {
                const double d = krymo::wrap_displacement_once(x[3 * i + k] - x[3 * j + k]);
                r2 += d * d;
            }
            if (r2 < 1e-6) removed[j] = 1;
        }
    }
    return removed;
}

// One growth step of the separation: the first available atom (index order) bonded to a member
// (joining order); -1 when none.
inline int find_bond_atom(const std::vector<double>& x, const std::vector<double>& r, double scale,
                          const double latt[3][3], const std::vector<char>& available, const std::vector<int>& members) {
    const int n = static_cast<int>(r.size());
    for (int i = 0; i < n; ++i) {
        if (!available[i]) continue;
        for (int m : members) {
            double d[3];
            for (int k = 0; k < 3; ++k) d[k] = krymo::wrap_displacement(x[3 * m + k] - x[3 * i + k]);
            if ((r[m] + r[i]) * scale > cart_length(latt, d)) return i;
        }
    }
    return -1;
}

inline void separate(const std::vector<double>& x, const std::vector<double>& r, double scale, const double latt[3][3],
                     std::vector<int>& counts, std::vector<int>& atoms) {
    counts.clear();
    atoms.clear();
    const int n = static_cast<int>(r.size());
    std::vector<char> available(n, 1);
    for (int seed = 0; seed < n; ++seed) {
        if (!available[seed]) continue;
        std::vector<int> members{seed};
        available[seed] = 0;
        for (int i; (i = find_bond_atom(x, r, scale, latt, available, members)) >= 0;) {
            available[i] = 0;
            members.push_back(i);
        }
        counts.push_back(static_cast<int>(members.size()));
        atoms.insert(atoms.end(), members.begin(), members.end());
    }
}

// Whole-molecule repair: growth from atom 0, each joining atom placed next to its partner.
inline int grow_whole(int n, const double* r, double scale, const double latt[3][3], double* x) {
    std::vector<char> available(n, 1);
    std::vector<int> members{0};
    available[0] = 0;
    while (true) {
        int found = -1;
        for (int i = 0; i < n && found < 0; ++i) {
            if (!available[i]) continue;
            for (int m : members) {
                if (m == i) continue;
                const double s = (r[m] + r[i]) * scale;
                double d[3];
                for (int k = 0; k < 3; ++k) d[k] = x[3 * m + k] - x[3 * i + k];
                if (s > cart_length(latt, d)) {
                    found = i;
                    break;
                }
                for (int k = 0; k < 3; ++k) d[k] = krymo::wrap_displacement(d[k]);
                if (s > cart_length(latt, d)) {
                    for (int k = 0; k < 3; ++k) x[3 * i + k] = x[3 * m + k] - d[k];
                    found = i;
                    break;
                }
            }
        }
        if (found < 0) break;
        available[found] = 0;
        members.push_back(found);
    }
    return static_cast<int>(members.size());
}

}  // namespace krymo_ref
