#include "hopsim/master.h"

#include <algorithm>
#include <cmath>

#include "hopsim/sparse_master.h"
#include "util/fatal.h"
#include "util/text.h"

namespace krymo {
namespace hopsim {

namespace {

using Real = long double;

// Dense LU with partial pivoting of an n x n row-major matrix.
struct Lu {
    int n = 0;
    std::vector<Real> a;
    std::vector<int> piv;

    bool factor(std::vector<Real> m, int size) {
        n = size;
        a = std::move(m);
        piv.resize(n);
        for (int k = 0; k < n; ++k) {
            int best = k;
            for (int i = k + 1; i < n; ++i)
                if (std::fabs(a[i * n + k]) > std::fabs(a[best * n + k])) best = i;
            piv[k] = best;
            if (best != k)
                for (int j = 0; j < n; ++j) std::swap(a[k * n + j], a[best * n + j]);
            const Real d = a[k * n + k];
            if (std::fabs(d) < 1e-300L) return false;
            for (int i = k + 1; i < n; ++i) {
                const Real f = a[i * n + k] / d;
                a[i * n + k] = f;
                if (f == 0) continue;
                for (int j = k + 1; j < n; ++j) a[i * n + j] -= f * a[k * n + j];
            }
        }
        return true;
    }
    void solve(std::vector<Real>& b) const {
        for (int k = 0; k < n; ++k) std::swap(b[k], b[piv[k]]);
        for (int i = 1; i < n; ++i)
            for (int j = 0; j < i; ++j) b[i] -= a[i * n + j] * b[j];
        for (int i = n - 1; i >= 0; --i) {
            for (int j = i + 1; j < n; ++j) b[i] -= a[i * n + j] * b[j];
            b[i] /= a[i * n + i];
        }
    }
};

double mobility_cm2(double charge, double v_along, double field) {
    // Angstrom/s over V/m is 1e-10 m^2/Vs, that is 1e-6 cm^2/Vs; the drift of a charge q follows q F.
    return charge * v_along / field * 1e-6;
}

void unit_rows(const double cell[3][3], double u[3][3]) {
    for (int r = 0; r < 3; ++r) {
        const double len = std::sqrt(cell[r][0] * cell[r][0] + cell[r][1] * cell[r][1] + cell[r][2] * cell[r][2]);
        for (int c = 0; c < 3; ++c) u[r][c] = cell[r][c] / len;
    }
}

}  // namespace

SteadyState solve_steady_state(const HopNetwork& net, int iterlimit, int nevery, std::FILE* log) {
    const int n = net.nsites;
    SteadyState st;
    std::vector<double> out_rate(n, 0.0);
    for (int i = 0; i < n; ++i)
        for (const Hop& h : net.out[i]) out_rate[i] += h.rate;
    for (int i = 0; i < n; ++i)
        if (!(out_rate[i] > 0.0))
            KRYMO_FATAL_OUT("hopsim", 1,
                            format_string("Site %d has no hop out: the master equation has no steady state over the "
                                          "whole crystal\n", i + 1));
    // Unknowns q_j = p_j K_j (outflow of site j): every coefficient is a branching fraction k_ji / K_j
    // in [0, 1], whatever the spread of the rates. Equation r is replaced by q_r = 1.
    const int r = 0;
    std::vector<Real> m(static_cast<size_t>(n) * n, 0.0L);
    for (int j = 0; j < n; ++j) {
        m[j * n + j] -= 1.0L;
        for (const Hop& h : net.out[j]) m[h.to * n + j] += static_cast<Real>(h.rate) / out_rate[j];
    }
    std::vector<Real> balance = m;  // the unmodified equations, for the residual
    for (int j = 0; j < n; ++j) m[r * n + j] = j == r ? 1.0L : 0.0L;
    Lu lu;
    if (!lu.factor(m, n))
        KRYMO_FATAL_OUT("hopsim", 1,
                        "The hop network falls apart into parts without hops between them: the master equation has "
                        "no unique steady state\n");
    std::vector<Real> q(n, 0.0L), rhs(n, 0.0L);
    rhs[r] = 1.0L;
    std::vector<Real> delta = rhs;
    lu.solve(delta);
    q = delta;
    const int limit = std::max(1, iterlimit);
    for (int it = 1; it <= limit; ++it) {
        // Residual of the balance of every site but r, and of q_r = 1.
        std::vector<Real> res(n, 0.0L);
        Real scale = 0.0L, worst = 0.0L;
        for (int i = 0; i < n; ++i) scale = std::max(scale, std::fabs(q[i]));
        for (int i = 0; i < n; ++i) {
            Real s = 0.0L;
            if (i == r) {
                s = 1.0L - q[r];
            } else {
                for (int j = 0; j < n; ++j) s -= balance[i * n + j] * q[j];
            }
            res[i] = s;
            worst = std::max(worst, std::fabs(s));
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
        lu.solve(res);
        for (int i = 0; i < n; ++i) q[i] += res[i];
    }
    finish_steady_state(net, q, out_rate, st);
    return st;
}

void finish_steady_state(const HopNetwork& net, const std::vector<long double>& q, const std::vector<double>& out_rate,
                         SteadyState& st) {
    const int n = static_cast<int>(q.size());
    Real total = 0.0L;
    std::vector<Real> p(n);
    for (int i = 0; i < n; ++i) {
        p[i] = q[i] / out_rate[i];
        total += p[i];
    }
    st.p.resize(n);
    Real v[3] = {0, 0, 0};
    for (int i = 0; i < n; ++i) {
        st.p[i] = static_cast<double>(p[i] / total);
        for (const Hop& h : net.out[i])
            for (int c = 0; c < 3; ++c) v[c] += p[i] / total * h.rate * h.dr[c];
    }
    for (int c = 0; c < 3; ++c) st.velocity[c] = static_cast<double>(v[c]);
}

MasterResult master_mobility(const RateTable& table, const MasterSettings& s, std::FILE* log) {
    MasterResult res;
    const RateModel model(table);
    const double q = carrier_charge(table.carrier);
    double applied[3];
    field_cartesian(table.cell, table.field, applied);
    const double fmag = std::sqrt(applied[0] * applied[0] + applied[1] * applied[1] + applied[2] * applied[2]);
    res.linear = !(fmag > 0.0);
    if (res.linear) {
        // A field whose work over the longest hop is 1e-4 kT: linear, and far above rounding.
        double longest = 0.0;
        for (const RatePair& p : table.pairs)
            longest = std::max(longest, std::sqrt(p.dr[0] * p.dr[0] + p.dr[1] * p.dr[1] + p.dr[2] * p.dr[2]));
        if (!(longest > 0.0)) KRYMO_FATAL_OUT("hopsim", 1, "Every hop of the rate file has zero length\n");
        res.field = 1e-4 * units::kBoltzmann * table.temperature / (longest * 1e-10);
    } else {
        res.field = fmag;
    }
    const bool supercell = s.disorder.supercell();
    const SupercellLayout layout = supercell_layout(table.nmols, s.disorder.cells, s.film_dir, s.film_ncell);
    const SiteEnergies energies = supercell ? supercell_site_energies(table, layout, s.disorder) : SiteEnergies();
    auto solve_at = [&](const double f[3], const char* label) {
        if (log != nullptr) std::fprintf(log, " field %s: %.6e %.6e %.6e V/m\n", label, f[0], f[1], f[2]);
        SteadyState st = supercell
                             ? solve_steady_state_sparse(build_supercell_network(table, model, f, layout, energies),
                                                         s.iterlimit, s.nevery, log, res.at_field.p)
                             : solve_steady_state(build_network(table, model.rates(f), s.film_dir, s.film_ncell),
                                                  s.iterlimit, s.nevery, log);
        ++res.solves;
        if (!st.converged) res.converged = false;
        return st;
    };
    double u[3][3];
    unit_rows(table.cell, u);
    const char* const axes[3] = {"x", "y", "z"};
    if (res.linear) {
        const double zero[3] = {0, 0, 0};
        res.at_field = solve_at(zero, "0");
        for (int c = 0; c < 3; ++c) {
            double plus[3] = {0, 0, 0}, minus[3] = {0, 0, 0};
            plus[c] = res.field;
            minus[c] = -res.field;
            const SteadyState a = solve_at(plus, format_string("+%s", axes[c]).c_str());
            const SteadyState b = solve_at(minus, format_string("-%s", axes[c]).c_str());
            // The antisymmetric part cancels the terms even in the field.
            for (int row = 0; row < 3; ++row)
                res.tensor[row][c] = mobility_cm2(q, 0.5 * (a.velocity[row] - b.velocity[row]), res.field);
        }
        for (int d = 0; d < 3; ++d) {
            double m = 0.0;
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j) m += u[d][i] * res.tensor[i][j] * u[d][j];
            res.mu[d] = m;
        }
        res.mu[3] = (res.tensor[0][0] + res.tensor[1][1] + res.tensor[2][2]) / 3.0;
    } else {
        // The drift at the applied field along a, b, c and along the field, all over |F|: the values
        // kinetic Monte Carlo measures in the same run.
        res.at_field = solve_at(applied, "applied");
        const double* v = res.at_field.velocity;
        for (int d = 0; d < 3; ++d)
            res.mu[d] = mobility_cm2(q, v[0] * u[d][0] + v[1] * u[d][1] + v[2] * u[d][2], fmag);
        res.mu_field = mobility_cm2(q, (v[0] * applied[0] + v[1] * applied[1] + v[2] * applied[2]) / fmag, fmag);
        res.mu[3] = res.mu_field;
    }
    return res;
}

}  // namespace hopsim
}  // namespace krymo
