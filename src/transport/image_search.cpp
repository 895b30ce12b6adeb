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

    centre_s_.assign(3 * nmols_, 0.0);
    radius_.assign(nmols_, 0.0);
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
        }
        // A coordinate that is not finite leaves the molecule unbounded: NaN marks it.
        radius_[j] = std::isfinite(c[0] + c[1] + c[2]) ? rmax : NAN;
    }
}

void ImageSearch::candidates(int i, std::vector<ImageCandidate>& out) const {
    out.clear();
    if (natoms_[i] == 0) return;
    const int na = scell_[0], nb = scell_[1], nc = scell_[2];
    if (na < 0 || nb < 0 || nc < 0) return;
    const std::int64_t wa = 2 * na + 1, wb = 2 * nb + 1;
    const int n[3] = {na, nb, nc};
    for (int j = 0; j < nmols_; ++j) {
        if (natoms_[j] == 0) continue;
        const bool bounded = bounded_ && std::isfinite(radius_[i]) && std::isfinite(radius_[j]);
        const double reach = widen(cutoff_ + radius_[i] + radius_[j]);
        double f0[3];
        int lo[3], hi[3];
        bool reachable = true;
        for (int k = 0; k < 3 && reachable; ++k) {
            f0[k] = centre_s_[3 * j + k] - centre_s_[3 * i + k];
            if (!bounded) {
                lo[k] = -n[k];
                hi[k] = n[k];
                continue;
            }
            const double span = reach * plane_inv_[k];
            const double l = std::ceil(-span - f0[k]), h = std::floor(span - f0[k]);
            // No searched cell in reach (also for far or non-finite centres): casting l or h would overflow.
            if (!(l <= n[k] && h >= -n[k])) {
                reachable = false;
                break;
            }
            lo[k] = static_cast<int>(std::max(l, static_cast<double>(-n[k])));
            hi[k] = static_cast<int>(std::min(h, static_cast<double>(n[k])));
        }
        if (!reachable) continue;
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
    std::sort(out.begin(), out.end(),
              [](const ImageCandidate& x, const ImageCandidate& y) { return x.order < y.order; });
}

}  // namespace krymo
