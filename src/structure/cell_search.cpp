#include "structure/cell_search.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <queue>

#include "structure/cell.h"
#include "util/linalg.h"

namespace krymo {

namespace {

using MinHeap = std::priority_queue<int, std::vector<int>, std::greater<int>>;

// Cartesian length of a fractional displacement.
inline double cart_length(const double latt[3][3], const double d[3]) {
    double c[3];
    mat_vec_mul(latt, d, c);
    return get_magnitude(c);
}

// Position modulo 1 in [0, 1); non-finite values go to 0 (they bond to nothing).
inline double unit_fraction(double v) {
    if (!std::isfinite(v)) return 0.0;
    double m = v - std::floor(v);
    return m >= 1.0 ? 0.0 : m;
}

double max_radius(const double* radii, int n) {
    double r = 0.0;
    for (int i = 0; i < n; ++i) r = std::max(r, radii[i]);
    return r;
}

int bins_per_axis_limit(int natoms) { return std::max(1, static_cast<int>(std::cbrt(static_cast<double>(natoms))) + 1); }

}  // namespace

PeriodicBins::PeriodicBins(const double* x_s, int n, const int nb[3]) {
    for (int k = 0; k < 3; ++k) nb_[k] = std::max(1, nb[k]);
    const int nbins = nb_[0] * nb_[1] * nb_[2];
    std::vector<int> bin(n);
    start_.assign(nbins + 1, 0);
    for (int i = 0; i < n; ++i) {
        int b[3];
        bin_of(x_s + 3 * i, b);
        bin[i] = index_of(b[0], b[1], b[2]);
        ++start_[bin[i] + 1];
    }
    for (int c = 0; c < nbins; ++c) start_[c + 1] += start_[c];
    items_.resize(n);
    std::vector<int> fill(start_.begin(), start_.end() - 1);
    for (int i = 0; i < n; ++i) items_[fill[bin[i]]++] = i;
}

void PeriodicBins::bin_of(const double p[3], int b[3]) const {
    for (int k = 0; k < 3; ++k) b[k] = std::min(static_cast<int>(unit_fraction(p[k]) * nb_[k]), nb_[k] - 1);
}

bool plane_spacings(const double latt[3][3], double h[3]) {
    const double det = latt[0][0] * (latt[1][1] * latt[2][2] - latt[1][2] * latt[2][1]) -
                       latt[0][1] * (latt[1][0] * latt[2][2] - latt[1][2] * latt[2][0]) +
                       latt[0][2] * (latt[1][0] * latt[2][1] - latt[1][1] * latt[2][0]);
    if (!(std::fabs(det) > 1e-30) || !std::isfinite(det)) return false;
    // The spacing of the planes across axis k is 1 / |row k of the inverse|.
    double inv[3][3];
    invert(latt, inv);
    for (int k = 0; k < 3; ++k) h[k] = 1.0 / get_magnitude(inv[k]);
    return true;
}

void PeriodicBins::bins_for_cutoff(const double latt[3][3], double cutoff, int max_bins, int nb[3]) {
    double h[3];
    if (!plane_spacings(latt, h)) {
        nb[0] = nb[1] = nb[2] = 1;
        return;
    }
    for (int k = 0; k < 3; ++k) {
        // A small margin keeps pairs right at the cutoff inside neighbouring bins despite rounding.
        const double n = h[k] / (cutoff * (1.0 + 1e-6) + 1e-9);
        if (!std::isfinite(n) || n >= max_bins)
            nb[k] = max_bins;
        else
            nb[k] = std::max(1, static_cast<int>(n));
    }
}

std::vector<char> find_overlapped_atoms(const std::vector<double>& x_s) {
    const double none[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
    return scan_sites(x_s, none, 0.0).removed;
}

SiteScan scan_sites(const std::vector<double>& x_s, const double latt[3][3], double cutoff) {
    const int n = static_cast<int>(x_s.size() / 3);
    SiteScan scan;
    scan.removed.assign(n, 0);
    scan.keeper.assign(n, -1);
    // Bins of width >= 0.01 are far wider than the 0.001 overlap distance.
    const int per_axis = std::min(100, bins_per_axis_limit(n));
    const int nb[3] = {per_axis, per_axis, per_axis};
    PeriodicBins bins(x_s.data(), n, nb);
    // Close pairs come from the same neighbour walk when the bins are at least `cutoff` wide
    // across every pair of lattice planes; a pair is that close only if each component is.
    double h[3] = {0, 0, 0};
    const bool close_wanted = cutoff > 0.0 && plane_spacings(latt, h);
    const bool close_here = close_wanted && std::min({h[0], h[1], h[2]}) / per_axis >= cutoff;
    std::vector<std::pair<int, int>> candidates;
    for (int i = 0; i < n; ++i) {
        if (scan.removed[i]) continue;
        const double* xi = &x_s[3 * i];
        bins.for_each_near(xi, [&](int j) {
            if (j <= i || scan.removed[j]) return;
            double r2 = 0.0, d[3];
            for (int k = 0; k < 3; ++k) {
                d[k] = wrap_displacement_once(xi[k] - x_s[3 * j + k]);
                r2 += d[k] * d[k];
            }
            if (r2 < 1e-6) {
                scan.removed[j] = 1;
                scan.keeper[j] = i;
                return;
            }
            if (!close_here) return;
            for (int k = 0; k < 3; ++k) {
                d[k] = wrap_displacement(d[k]);
                if (std::fabs(d[k]) * h[k] >= cutoff) return;
            }
            if (cart_length(latt, d) < cutoff) candidates.emplace_back(i, j);
        });
    }
    if (close_here) {
        // An atom removed after its pair was noted is a copy, not a site.
        for (const auto& p : candidates)
            if (!scan.removed[p.second]) scan.close.push_back(p);
        std::sort(scan.close.begin(), scan.close.end());
    } else if (close_wanted) {
        std::vector<double> kept;
        std::vector<int> index;
        for (int i = 0; i < n; ++i)
            if (!scan.removed[i]) {
                kept.insert(kept.end(), &x_s[3 * i], &x_s[3 * i] + 3);
                index.push_back(i);
            }
        for (const auto& [a, b] : find_close_pairs(kept, latt, cutoff)) scan.close.emplace_back(index[a], index[b]);
    }
    return scan;
}

std::vector<std::pair<int, int>> find_close_pairs(const std::vector<double>& x_s, const double latt[3][3],
                                                  double cutoff) {
    const int n = static_cast<int>(x_s.size() / 3);
    std::vector<std::pair<int, int>> pairs;
    if (n < 2) return pairs;
    int nb[3];
    PeriodicBins::bins_for_cutoff(latt, cutoff, bins_per_axis_limit(n), nb);
    PeriodicBins bins(x_s.data(), n, nb);
    for (int i = 0; i < n; ++i) {
        const double* xi = &x_s[3 * i];
        bins.for_each_near(xi, [&](int j) {
            if (j <= i) return;
            double d[3];
            for (int k = 0; k < 3; ++k) d[k] = wrap_displacement(xi[k] - x_s[3 * j + k]);
            if (cart_length(latt, d) < cutoff) pairs.emplace_back(i, j);
        });
    }
    std::sort(pairs.begin(), pairs.end());
    return pairs;
}

void separate_bonded_molecules(const std::vector<double>& x_s, const std::vector<double>& radii, double scale,
                               const double latt[3][3], std::vector<int>& counts, std::vector<int>& atoms) {
    counts.clear();
    atoms.clear();
    const int n = static_cast<int>(radii.size());
    if (n == 0) return;
    int nb[3];
    PeriodicBins::bins_for_cutoff(latt, 2.0 * max_radius(radii.data(), n) * scale, bins_per_axis_limit(n), nb);
    PeriodicBins bins(x_s.data(), n, nb);

    std::vector<char> available(n, 1), queued(n, 0);
    auto bonded = [&](int m, int i) {
        double d[3];
        for (int k = 0; k < 3; ++k) d[k] = wrap_displacement(x_s[3 * m + k] - x_s[3 * i + k]);
        return (radii[m] + radii[i]) * scale > cart_length(latt, d);
    };
    MinHeap frontier;
    auto join = [&](int m) {
        available[m] = 0;
        atoms.push_back(m);
        bins.for_each_near(&x_s[3 * m], [&](int i) {
            if (available[i] && !queued[i] && bonded(m, i)) {
                queued[i] = 1;
                frontier.push(i);
            }
        });
    };
    for (int seed = 0; seed < n; ++seed) {
        if (!available[seed]) continue;
        const size_t first = atoms.size();
        join(seed);
        while (!frontier.empty()) {
            const int i = frontier.top();
            frontier.pop();
            join(i);
        }
        counts.push_back(static_cast<int>(atoms.size() - first));
    }
}

WholeGrowth grow_whole_molecule(int natoms, const double* radii, double scale, const double latt[3][3], double* x) {
    WholeGrowth g;
    if (natoms <= 0) return g;
    const double reach = 2.0 * max_radius(radii, natoms) * scale;
    int nb[3];
    PeriodicBins::bins_for_cutoff(latt, reach, bins_per_axis_limit(natoms), nb);
    // Free atoms keep their positions until they join, so bins of the starting positions serve
    // for the whole growth.
    PeriodicBins bins(x, natoms, nb);
    // A bond can reach an image other than the minimum one (or an atom's own image) only when it
    // spans half the distance between two lattice planes.
    double h[3];
    const bool small_cell = !plane_spacings(latt, h) || reach >= 0.5 * std::min({h[0], h[1], h[2]});

    std::vector<char> available(natoms, 1);
    std::vector<int> partner(natoms, -1);
    // 0: not bonded to a member; 1: bonded where it lies; 2: bonded through the nearest image.
    auto bond_kind = [&](int m, int i) {
        const double s = (radii[m] + radii[i]) * scale;
        double d[3];
        for (int k = 0; k < 3; ++k) d[k] = x[3 * m + k] - x[3 * i + k];
        if (s > cart_length(latt, d)) return 1;
        for (int k = 0; k < 3; ++k) d[k] = wrap_displacement(d[k]);
        return s > cart_length(latt, d) ? 2 : 0;
    };
    auto report = [&](int m, int i, const double t[3]) {
        g.periodic = true;
        g.atom = i;
        g.partner = m;
        int sign = 0;
        for (int k = 0; k < 3; ++k) {
            g.image[k] = static_cast<int>(std::lround(t[k]));
            if (sign == 0 && g.image[k] != 0) sign = g.image[k] > 0 ? 1 : -1;
        }
        for (int& v : g.image) v *= sign;
    };
    // Placed members m and i must bond only as placed: a bond to any other image of i closes a ring
    // through the lattice.
    auto check_placed = [&](int m, int i) {
        double d[3], w[3];
        bool beyond_half = false;
        for (int k = 0; k < 3; ++k) {
            d[k] = x[3 * m + k] - x[3 * i + k];
            beyond_half = beyond_half || std::fabs(d[k]) > 0.5;
        }
        // Only the minimum image can bond in a large cell; it is the placed one unless the pair
        // spans half a cell.
        if (!small_cell && !beyond_half) return;
        const double s = (radii[m] + radii[i]) * scale;
        for (int k = 0; k < 3; ++k) w[k] = wrap_displacement(d[k]);
        if (!small_cell) {
            if (s > cart_length(latt, w)) {
                const double t[3] = {d[0] - w[0], d[1] - w[1], d[2] - w[2]};
                report(m, i, t);
            }
            return;
        }
        for (int a = -1; a <= 1 && !g.periodic; ++a)
            for (int b = -1; b <= 1 && !g.periodic; ++b)
                for (int c = -1; c <= 1 && !g.periodic; ++c) {
                    const double v[3] = {w[0] + a, w[1] + b, w[2] + c};
                    const double t[3] = {d[0] - v[0], d[1] - v[1], d[2] - v[2]};
                    if (std::fabs(t[0]) + std::fabs(t[1]) + std::fabs(t[2]) > 0.5 && s > cart_length(latt, v))
                        report(m, i, t);
                }
    };
    MinHeap frontier;
    auto join = [&](int m) {
        available[m] = 0;
        ++g.joined;
        bins.for_each_near(&x[3 * m], [&](int i) {
            if (!available[i]) {
                if (!g.periodic && (i != m || small_cell)) check_placed(m, i);
            } else if (partner[i] < 0 && bond_kind(m, i) != 0) {
                partner[i] = m;
                frontier.push(i);
            }
        });
    };
    join(0);
    while (!frontier.empty()) {
        const int i = frontier.top();
        frontier.pop();
        const int m = partner[i];
        if (bond_kind(m, i) == 2)
            for (int k = 0; k < 3; ++k) x[3 * i + k] = x[3 * m + k] - wrap_displacement(x[3 * m + k] - x[3 * i + k]);
        join(i);
    }
    return g;
}

}  // namespace krymo
