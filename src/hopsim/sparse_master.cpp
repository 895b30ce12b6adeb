#include "hopsim/sparse_master.h"

#include <Eigen/IterativeLinearSolvers>
#include <Eigen/Sparse>
#include <algorithm>
#include <cmath>
#include <vector>

#include "util/fatal.h"
#include "util/text.h"

namespace krymo {
namespace hopsim {

namespace {

using Real = long double;
// Column-major: Eigen multiplies it on one thread (its threaded row-major product only lost time
// to busy threads on a shared machine), and the result never depends on the thread count.
using Matrix = Eigen::SparseMatrix<double, Eigen::ColMajor, int>;

}  // namespace

SteadyState solve_steady_state_sparse(const HopNetwork& net, int iterlimit, int nevery, std::FILE* log,
                                      const std::vector<double>& guess) {
    const int n = net.nsites;
    SteadyState st;
    if (n < 1) KRYMO_FATAL_OUT("hopsim", 1, "The hop network has no site\n");
    std::vector<double> out_rate(n, 0.0);
    for (int i = 0; i < n; ++i)
        for (const Hop& h : net.out[i]) out_rate[i] += h.rate;
    for (int i = 0; i < n; ++i)
        if (!(out_rate[i] > 0.0))
            KRYMO_FATAL_OUT("hopsim", 1,
                            format_string("Site %d has no hop out: the master equation has no steady state over the "
                                          "whole crystal\n", i + 1));
    // Unknowns q_j = p_j K_j (the outflow of site j), as in the dense solver: the balance of site i is
    // q_i - sum_j (k_ji / K_j) q_j = 0, every coefficient a branching fraction. The last site is held
    // at q = 1 and its column moves to the right-hand side; what stays is a nonsingular M-matrix.
    const int r = n - 1, m = n - 1;
    std::vector<Eigen::Triplet<double, int>> entries;
    std::vector<Real> fixed_column(n, 0.0L);  // the coefficients of q_r in every balance
    for (int j = 0; j < n; ++j) {
        if (j < m) entries.emplace_back(j, j, 1.0);
        for (const Hop& h : net.out[j]) {
            const double f = h.rate / out_rate[j];
            if (j == r) {
                fixed_column[h.to] += f;
            } else if (h.to < m) {
                entries.emplace_back(h.to, j, -f);
            }
        }
    }
    Matrix a(m, m);
    a.setFromTriplets(entries.begin(), entries.end());  // duplicates (two hops to one site) add up
    a.makeCompressed();
    std::vector<Eigen::Triplet<double, int>>().swap(entries);

    // The exact balance equations, in extended precision, for the residuals.
    auto residual = [&](const std::vector<Real>& q, std::vector<Real>& res) {
        std::fill(res.begin(), res.end(), 0.0L);
        for (int j = 0; j < n; ++j)
            for (const Hop& h : net.out[j]) res[h.to] += static_cast<Real>(h.rate) / out_rate[j] * q[j];
        for (int i = 0; i < n; ++i) res[i] -= q[i];
    };

    std::vector<Real> q(n, 0.0L), res(n, 0.0L);
    q[r] = 1.0L;
    if (static_cast<int>(guess.size()) == n && guess[r] > 0.0) {
        const Real scale = 1.0L / (static_cast<Real>(guess[r]) * out_rate[r]);
        for (int i = 0; i < m; ++i) q[i] = static_cast<Real>(guess[i]) * out_rate[i] * scale;
    }
    const int limit = std::max(1, iterlimit);
    if (m > 0) {
        // The flux form has the diagonal the Jacobi preconditioner would make (1 less the fraction of
        // hops back to the site itself) and branching fractions below 1 off it, so BiCGSTAB starts from
        // a scaled system. Incomplete LU with Eigen's fill-reducing ordering broke down on these
        // matrices (no finite solution from 1e4 sites on) and took more iterations where it did not.
        Eigen::BiCGSTAB<Matrix, Eigen::DiagonalPreconditioner<double>> solver;
        solver.compute(a);
        if (solver.info() != Eigen::Success)
            KRYMO_FATAL_OUT("hopsim", 1,
                            "The hop network falls apart into parts without hops between them: the master equation "
                            "has no unique steady state\n");
        // Each solve gains eight digits; the refinement against the exact residual needs two or three
        // solves to reach rounding level, fewer digits than one solve to 1e-16 would spend.
        solver.setTolerance(1e-8);
        solver.setMaxIterations(std::max(1000, std::min(m, 100000)));
        Eigen::VectorXd b(m), d(m);
        for (int it = 1; it <= limit; ++it) {
            residual(q, res);
            Real worst = 0.0L, scale = 0.0L;
            for (int i = 0; i < n; ++i) {
                scale = std::max(scale, std::fabs(q[i]));
                if (i != r) worst = std::max(worst, std::fabs(res[i]));
            }
            st.iterations = it;
            st.residual = static_cast<double>(worst / scale);
            const bool done = st.residual < 1e-15;
            if (log != nullptr && (it == 1 || it % std::max(1, nevery) == 0 || done || it == limit))
                std::fprintf(log, "  iteration %4d  flux imbalance %.3e\n", it, st.residual);
            if (done) {
                st.converged = true;
                break;
            }
            if (it == limit) break;
            // Correction of every unknown but q_r: A d = residual (q_r stays 1).
            for (int i = 0; i < m; ++i) b[i] = static_cast<double>(res[i]);
            d = solver.solve(b);
            if (!d.allFinite())
                KRYMO_FATAL_OUT("hopsim", 1,
                                "The sparse solver of the master equation gave no finite solution: the hop network "
                                "may fall apart into parts without hops between them\n");
            for (int i = 0; i < m; ++i) q[i] += d[i];
        }
    } else {
        st.iterations = 1;
        st.converged = true;
    }
    for (int i = 0; i < n; ++i)
        if (!(q[i] > 0.0L))
            KRYMO_FATAL_OUT("hopsim", 1,
                            format_string("The steady state of the master equation has no positive occupation at "
                                          "site %d: the hop network falls apart, or the rates span too many orders of "
                                          "magnitude\n", i + 1));
    finish_steady_state(net, q, out_rate, st);
    return st;
}

}  // namespace hopsim
}  // namespace krymo
