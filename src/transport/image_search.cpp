#include "transport/image_search.h"

#include <algorithm>
#include <cmath>

namespace krymo {

namespace {

void cross(const double u[3], const double v[3], double w[3]) {
    w[0] = u[1] * v[2] - u[2] * v[1];
    w[1] = u[2] * v[0] - u[0] * v[2];
    w[2] = u[0] * v[1] - u[1] * v[0];
}

double norm3(const double v[3]) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

// Cartesian length of latt * f.
double cart_length(const double latt[3][3], const double f[3]) {
    double y[3];
    for (int r = 0; r < 3; ++r) y[r] = latt[r][0] * f[0] + latt[r][1] * f[1] + latt[r][2] * f[2];
    return norm3(y);
}

// Widening of the bounding spheres: far above the rounding of any distance in a cell of realistic
// size, far below any distance that matters to the search.
double widen(double s) { return s * (1.0 + 1e-9) + 1e-6; }

// Centres farther than this many cells from the home cell are kept out of the grid, so that the bin
// arithmetic stays exact to far below kGridSlack (fractional units).
constexpr double kGridRange = 1e6;
constexpr double kGridSlack = 1e-6;

}  // namespace

ImageSearch::ImageSearch(const double latt[3][3], const std::vector<int>& natoms,
                         const std::vector<std::vector<double>>& x_s, const int scell[3], double cutoff)
    // The atom test compares squared distances, so a negative cutoff acts as its magnitude.
    : nmols_(static_cast<int>(natoms.size())), cutoff_(std::fabs(cutoff)) {
    for (int r = 0; r < 3; ++r) {
        scell_[r] = scell[r];
        for (int c = 0; c < 3; ++c) latt_[r][c] = latt[r][c];
    }
    // Rows of the inverse lattice matrix are (b x c, c x a, a x b) / det; their lengths turn a
    // Cartesian distance into a bound on each fractional component.
    double col[3][3];
    for (int k = 0; k < 3; ++k)
        for (int r = 0; r < 3; ++r) col[k][r] = latt[r][k];
    double w[3];
    cross(col[1], col[2], w);
    const double det = w[0] * col[0][0] + w[1] * col[0][1] + w[2] * col[0][2];
    bounded_ = std::isfinite(det) && std::fabs(det) > 1e-12 && std::isfinite(cutoff);
    for (int k = 0; k < 3; ++k) {
        cross(col[(k + 1) % 3], col[(k + 2) % 3], w);
        plane_inv_[k] = bounded_ ? norm3(w) / std::fabs(det) : 0.0;
    }

    latt_norm_ = 0.0;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) latt_norm_ += latt[r][c] * latt[r][c];
    latt_norm_ = std::sqrt(latt_norm_);
    centre_s_.assign(3 * nmols_, 0.0);
    radius_.assign(nmols_, 0.0);
    extent_.assign(nmols_, 0.0);
    natoms_.assign(nmols_, 0);
    for (int j = 0; j < nmols_; ++j) {
        const std::vector<double>& x = x_s[j];
        const int n = natoms[j];
        natoms_[j] = n;
        if (n == 0) continue;
        double* c = &centre_s_[3 * j];
        for (int p = 0; p < n; ++p)
            for (int k = 0; k < 3; ++k) c[k] += x[3 * p + k];
        for (int k = 0; k < 3; ++k) c[k] /= n;
        double rmax = 0.0;
        for (int p = 0; p < n; ++p) {
            const double d[3] = {x[3 * p] - c[0], x[3 * p + 1] - c[1], x[3 * p + 2] - c[2]};
            rmax = std::max(rmax, cart_length(latt_, d));
            for (int k = 0; k < 3; ++k) extent_[j] = std::max(extent_[j], std::fabs(x[3 * p + k]));
        }
        // A coordinate that is not finite leaves the molecule unbounded: NaN marks it.
        radius_[j] = std::isfinite(c[0] + c[1] + c[2]) ? rmax : NAN;
    }
    build_grid();
}

bool ImageSearch::centre_near_cell(int j) const {
    for (int k = 0; k < 3; ++k)
        if (!(std::fabs(centre_s_[3 * j + k]) <= kGridRange)) return false;
    return true;
}

bool ImageSearch::placed_in_grid(int j) const {
    return natoms_[j] > 0 && radius_[j] <= grid_radius_ && centre_near_cell(j);
}

bool ImageSearch::searched(int i) const {
    return natoms_[i] > 0 && scell_[0] >= 0 && scell_[1] >= 0 && scell_[2] >= 0;
}

void ImageSearch::build_grid() {
    if (!bounded_) return;
    // Bins fit the molecules of ordinary size: radii up to twice the 90th percentile. Larger ones
    // are few (a polymer among small molecules) and are tested for every root instead of widening
    // every root's reach.
    std::vector<double> radii;
    for (int j = 0; j < nmols_; ++j)
        if (natoms_[j] > 0 && std::isfinite(radius_[j])) radii.push_back(radius_[j]);
    if (radii.empty()) return;
    const double largest = *std::max_element(radii.begin(), radii.end());
    auto q90 = radii.begin() + static_cast<std::ptrdiff_t>(radii.size() * 9 / 10);
    std::nth_element(radii.begin(), q90, radii.end());
    grid_radius_ = std::min(largest, 2.0 * *q90);

    int placed = 0;
    for (int j = 0; j < nmols_; ++j) placed += placed_in_grid(j);
    // Bins about half the reach of two ordinary spheres wide, so a root visits some 5 x 5 x 5 bins
    // that hug its reach; never many more bins than molecules, so memory stays linear.
    const double reach = widen(cutoff_ + 2.0 * grid_radius_);
    for (int k = 0; k < 3; ++k) {
        const double g = std::floor(2.0 / (reach * plane_inv_[k]));
        grid_[k] = g >= 1.0 ? static_cast<int>(std::min(g, 1048576.0)) : 1;
    }
    const double max_bins = 2.0 * placed + 8.0;
    while (static_cast<double>(grid_[0]) * grid_[1] * grid_[2] > max_bins) {
        const int k = static_cast<int>(std::max_element(grid_, grid_ + 3) - grid_);
        grid_[k] = std::max(1, grid_[k] * 3 / 4);
    }

    // Counting sort of the placed molecules by bin, ascending within a bin.
    std::vector<int> bin(nmols_, -1);
    grid_start_.assign(static_cast<size_t>(grid_[0]) * grid_[1] * grid_[2] + 1, 0);
    for (int j = 0; j < nmols_; ++j) {
        if (!placed_in_grid(j)) {
            if (natoms_[j] > 0) outside_grid_.push_back(j);
            continue;
        }
        int b[3];
        for (int k = 0; k < 3; ++k) {
            const double f = centre_s_[3 * j + k];
            const double w = f - std::floor(f);  // in [0, 1]: 1 only by rounding of a tiny negative f
            b[k] = std::min(grid_[k] - 1, static_cast<int>(std::floor(w * grid_[k])));
        }
        bin[j] = (b[2] * grid_[1] + b[1]) * grid_[0] + b[0];
        ++grid_start_[bin[j] + 1];
    }
    for (size_t t = 1; t < grid_start_.size(); ++t) grid_start_[t] += grid_start_[t - 1];
    grid_mols_.resize(grid_start_.back());
    std::vector<int> fill(grid_start_.begin(), grid_start_.end() - 1);
    for (int j = 0; j < nmols_; ++j)
        if (bin[j] >= 0) grid_mols_[fill[bin[j]]++] = j;
}

void ImageSearch::reachable_bins(int k, double f, double reach, std::vector<int>& bins) const {
    const int g = grid_[k];
    // Image centres within reach of f lie within reach * plane_inv_ of it along axis k; the slack
    // covers the rounding of the bin arithmetic, far below one bin.
    const double span = reach * plane_inv_[k] + kGridSlack;
    const double lo = std::floor((f - span) * g), hi = std::floor((f + span) * g);
    bins.clear();
    if (!(hi - lo + 1.0 < g)) {  // every bin (also for an unbounded span)
        for (int b = 0; b < g; ++b) bins.push_back(b);
        return;
    }
    for (auto e = static_cast<std::int64_t>(lo); e <= static_cast<std::int64_t>(hi); ++e)
        bins.push_back(static_cast<int>(((e % g) + g) % g));
}

void ImageSearch::add_images(int i, int j, std::vector<ImageCandidate>& out) const {
    if (natoms_[j] == 0) return;
    const int na = scell_[0], nb = scell_[1], nc = scell_[2];
    const std::int64_t wa = 2 * na + 1, wb = 2 * nb + 1;
    const int n[3] = {na, nb, nc};
    const bool bounded = bounded_ && std::isfinite(radius_[i]) && std::isfinite(radius_[j]);
    const double reach = widen(cutoff_ + radius_[i] + radius_[j]);
    double f0[3];
    int lo[3], hi[3];
    for (int k = 0; k < 3; ++k) {
        f0[k] = centre_s_[3 * j + k] - centre_s_[3 * i + k];
        if (!bounded) {
            lo[k] = -n[k];
            hi[k] = n[k];
            continue;
        }
        const double span = reach * plane_inv_[k];
        const double l = std::ceil(-span - f0[k]), h = std::floor(span - f0[k]);
        // No searched cell in reach (also for far or non-finite centres): casting l or h would overflow.
        if (!(l <= n[k] && h >= -n[k])) return;
        lo[k] = static_cast<int>(std::max(l, static_cast<double>(-n[k])));
        hi[k] = static_cast<int>(std::min(h, static_cast<double>(n[k])));
    }
    for (int c = lo[2]; c <= hi[2]; ++c)
        for (int b = lo[1]; b <= hi[1]; ++b)
            for (int a = lo[0]; a <= hi[0]; ++a) {
                if (j == i && a == 0 && b == 0 && c == 0) continue;
                if (bounded) {
                    const double f[3] = {f0[0] + a, f0[1] + b, f0[2] + c};
                    if (!(cart_length(latt_, f) <= reach)) continue;
                }
                const std::int64_t order = (((c + nc) * wb + (b + nb)) * wa + (a + na)) * nmols_ + j;
                out.push_back({order, j, {a, b, c}});
            }
}

bool ImageSearch::atom_out_of_reach(const double x[3], int j, const int cell[3]) const {
    if (!bounded_ || !std::isfinite(radius_[j])) return false;
    double d[3], magnitude = extent_[j];
    for (int k = 0; k < 3; ++k) {
        d[k] = centre_s_[3 * j + k] + cell[k] - x[k];
        magnitude = std::max(magnitude, std::fabs(x[k]) + std::abs(cell[k]));
    }
    const double dist = cart_length(latt_, d);
    // Every atom of the image lies within radius_[j] of its centre, so its distance from x is at
    // least dist - radius_[j]. The rounding of these lengths and of the test's squared distances
    // stays below 1e-14 of the lattice norm times the coordinate magnitudes (fractional
    // differences), plus a relative 1e-15: the margin exceeds both a hundredfold.
    const double margin = 1e-9 * (cutoff_ + radius_[j] + dist) + 1e-12 * latt_norm_ * (magnitude + 1.0);
    return dist > radius_[j] + cutoff_ + margin;
}

void ImageSearch::sort_by_order(std::vector<ImageCandidate>& out) {
    std::sort(out.begin(), out.end(),
              [](const ImageCandidate& x, const ImageCandidate& y) { return x.order < y.order; });
}

void ImageSearch::candidates_testing_every_molecule(int i, std::vector<ImageCandidate>& out) const {
    out.clear();
    if (!searched(i)) return;
    for (int j = 0; j < nmols_; ++j) add_images(i, j, out);
    sort_by_order(out);
}

void ImageSearch::candidates(int i, std::vector<ImageCandidate>& out) const {
    if (grid_[0] == 0 || !std::isfinite(radius_[i]) || !centre_near_cell(i))
        return candidates_testing_every_molecule(i, out);
    out.clear();
    if (!searched(i)) return;
    // Every molecule of the grid has a radius of at most grid_radius_, so its images that reach
    // root i have centres within this distance of i's centre.
    const double reach = widen(cutoff_ + radius_[i] + grid_radius_);
    std::vector<int> bins[3];
    for (int k = 0; k < 3; ++k) reachable_bins(k, centre_s_[3 * i + k], reach, bins[k]);
    for (int bc : bins[2])
        for (int bb : bins[1])
            for (int ba : bins[0]) {
                const int b = (bc * grid_[1] + bb) * grid_[0] + ba;
                for (int t = grid_start_[b]; t < grid_start_[b + 1]; ++t) add_images(i, grid_mols_[t], out);
            }
    for (int j : outside_grid_) add_images(i, j, out);
    sort_by_order(out);
}

}  // namespace krymo
