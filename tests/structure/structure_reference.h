// Straightforward versions of the crystal searches, written as plain scans in the order the
// behaviour is defined. The fast versions in src/structure must agree with them exactly.
#pragma once

#include <vector>

#include "structure/cell.h"
#include "util/linalg.h"

namespace krymo_ref {

// Cartesian length of fractional displacement d.
inline double cart_length(const double latt[3][3], const double d[3]) {
    double c[3];
    krymo::mat_vec_mul(latt, d, c);
    return krymo::get_magnitude(c);
}

// Every pair in index order; a later unmarked atom within 0.001 (one-step wrap) is marked.
inline std::vector<char> overlapped_atoms(const std::vector<double>& x) {
    const size_t n = x.size() / 3;
    std::vector<char> removed(n, 0);
    for (size_t i = 0; i < n; ++i)
        for (size_t j = i + 1; j < n && !removed[i]; ++j) {
            double r2 = 0;
            for (int k = 0; k < 3; ++k) {
                const double d = krymo::wrap_displacement_once(x[3 * i + k] - x[3 * j + k]);
                r2 += d * d;
            }
            if (!removed[j] && r2 < 1e-6) removed[j] = 1;
        }
    return removed;
}

// Joining order shared by the separation and the repair: from `seed`, repeatedly the first
// available atom (index order) that joins(member, atom) any member (members in order) joins.
template <class Joins>
std::vector<int> grow(int seed, std::vector<char>& available, Joins joins) {
    std::vector<int> members{seed};
    available[seed] = 0;
    while (true) {
        int found = -1;
        for (int i = 0; i < static_cast<int>(available.size()) && found < 0; ++i)
            for (size_t m = 0; available[i] && m < members.size() && found < 0; ++m)
                if (joins(members[m], i)) found = i;
        if (found < 0) break;
        available[found] = 0;
        members.push_back(found);
    }
    return members;
}

inline void separate(const std::vector<double>& x, const std::vector<double>& r, double scale, const double latt[3][3],
                     std::vector<int>& counts, std::vector<int>& atoms) {
    counts.clear();
    atoms.clear();
    std::vector<char> available(r.size(), 1);
    for (int seed = 0; seed < static_cast<int>(r.size()); ++seed) {
        if (!available[seed]) continue;
        const std::vector<int> members = grow(seed, available, [&](int m, int i) {
            double d[3];
            for (int k = 0; k < 3; ++k) d[k] = krymo::wrap_displacement(x[3 * m + k] - x[3 * i + k]);
            return (r[m] + r[i]) * scale > cart_length(latt, d);
        });
        counts.push_back(static_cast<int>(members.size()));
        atoms.insert(atoms.end(), members.begin(), members.end());
    }
}

// Whole-molecule repair: growth from atom 0; an atom bonded only through a periodic image is
// moved next to its partner.
inline int grow_whole(int n, const double* r, double scale, const double latt[3][3], double* x) {
    std::vector<char> available(n, 1);
    return static_cast<int>(grow(0, available, [&](int m, int i) {
                                double d[3];
                                for (int k = 0; k < 3; ++k) d[k] = x[3 * m + k] - x[3 * i + k];
                                if ((r[m] + r[i]) * scale > cart_length(latt, d)) return true;
                                for (int k = 0; k < 3; ++k) d[k] = krymo::wrap_displacement(d[k]);
                                if ((r[m] + r[i]) * scale <= cart_length(latt, d)) return false;
                                for (int k = 0; k < 3; ++k) x[3 * i + k] = x[3 * m + k] - d[k];
                                return true;
                            }).size());
}

}  // namespace krymo_ref
