#include "qcpost/polarization.h"

#include <algorithm>
#include <cmath>

#include "util/fatal.h"
#include "util/text.h"

namespace krymo {
namespace qcpost {

double atomic_polarizability(int z) {
    switch (z) {
        case 1: return 0.696;
        case 6: return 1.750;
        case 7: return 1.073;
        case 8: return 0.837;
        default: return 0.0;
    }
}

namespace {

// Beyond a u^3 = 50 the damping differs from 1 by less than 1e-20: skip the exponential.
constexpr double kNoDamping = 50.0;

// Thole factors of the charge field (l3) and of the dipole tensor (l3, l5) at distance r.
void thole(double r, double alpha_i, double alpha_j, double a, double& l3, double& l5) {
    l3 = l5 = 1.0;
    if (!(alpha_i > 0) || !(alpha_j > 0)) return;
    const double au3 = a * r * r * r / std::sqrt(alpha_i * alpha_j);
    if (au3 > kNoDamping) return;
    const double e = std::exp(-au3);
    l3 = 1.0 - e;
    l5 = 1.0 - (1.0 + au3) * e;
}

}  // namespace

InductionResult induce_dipoles(const std::vector<PolarSite>& sites, const std::vector<PointCharge>& charges,
                               const InductionSettings& s) {
    const long n = static_cast<long>(sites.size());
    std::vector<double> f0(3 * n, 0.0);
#pragma omp parallel for schedule(static)
    for (long i = 0; i < n; ++i)
        for (const PointCharge& c : charges) {
            double d[3];
            for (int t = 0; t < 3; ++t) d[t] = sites[i].x[t] - c.x[t];
            const double r2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
            const double r = std::sqrt(r2);
            double l3, l5;
            thole(r, sites[i].alpha, c.alpha, s.a_damp, l3, l5);
            const double k = c.q * l3 / (r2 * r);
            for (int t = 0; t < 3; ++t) f0[3 * i + t] += k * d[t];
        }

    // Block successive over-relaxation, atom by atom with the newest dipoles of the others: the
    // system (1/alpha - T) mu = F0 is symmetric and, with the damping, positive definite, so that the
    // sweeps converge for every relaxation factor in (0, 2). Each update needs the one before it: the
    // sweep is serial (splitting each atom's sum among threads cost more than it saved).
    InductionResult res;
    std::vector<double> mu(3 * n);
    for (long i = 0; i < 3 * n; ++i) mu[i] = sites[i / 3].alpha * f0[i];
    for (res.iterations = 1;; ++res.iterations) {
        double worst = 0.0;
        bool finite = true;
        for (long i = 0; i < n; ++i) {
            double f[3] = {f0[3 * i], f0[3 * i + 1], f0[3 * i + 2]};
            for (long j = 0; j < n; ++j) {
                if (j == i) continue;
                double d[3];
                for (int t = 0; t < 3; ++t) d[t] = sites[i].x[t] - sites[j].x[t];
                const double r2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
                const double r = std::sqrt(r2);
                double l3, l5;
                thole(r, sites[i].alpha, sites[j].alpha, s.a_damp, l3, l5);
                const double* m = &mu[3 * j];
                const double inv3 = 1.0 / (r2 * r);
                const double md = (m[0] * d[0] + m[1] * d[1] + m[2] * d[2]) * 3.0 * l5 * inv3 / r2;
                for (int t = 0; t < 3; ++t) f[t] += md * d[t] - l3 * inv3 * m[t];
            }
            for (int t = 0; t < 3; ++t) {
                const double step = sites[i].alpha * f[t] - mu[3 * i + t];
                if (!std::isfinite(step)) finite = false;
                worst = std::max(worst, std::fabs(step));
                mu[3 * i + t] += s.omega * step;
            }
        }
        if (!finite || worst > 1e6)
            KRYMO_FATAL_OUT("qcpost", 1,
                            "The induced dipoles diverge (the atoms polarize each other without bound): raise "
                            "emultipole_aDamp\n");
        if (worst < s.tol) break;
        if (res.iterations >= s.max_iter)
            KRYMO_FATAL_OUT("qcpost", 1,
                            format_string("The induced dipoles did not converge in %d steps (largest change %.3g e A, "
                                          "emultipole_epsTol %.3g): raise emultipole_maxIter\n",
                                          s.max_iter, worst, s.tol));
    }
    double e = 0.0;
    for (long i = 0; i < 3 * n; ++i) e += mu[i] * f0[i];
    res.energy_ev = -0.5 * kCoulombEvAngstrom * e;
    res.dipoles = mu;
    return res;
}

}  // namespace qcpost
}  // namespace krymo
