#include "hopsim/mobility.h"

#include <algorithm>
#include <cmath>

#include "hopsim/rates.h"
#include "util/fatal.h"
#include "util/text.h"

namespace krymo {
namespace hopsim {

namespace {

constexpr int kMaxGroups = 20;

// Sums over trajectories per snapshot: displacement (3) and its products (6: xx yy zz xy xz yz).
struct Sums {
    double n = 0;
    std::vector<double> s1, s2;
    explicit Sums(int nsnap = 0) : s1(3 * nsnap, 0.0), s2(6 * nsnap, 0.0) {}
    void add(const Trajectory& t) {
        n += 1;
        const size_t ns = t.r.size() / 3;
        for (size_t k = 0; k < ns; ++k) {
            const double* r = &t.r[3 * k];
            for (int c = 0; c < 3; ++c) s1[3 * k + c] += r[c];
            double* p = &s2[6 * k];
            p[0] += r[0] * r[0];
            p[1] += r[1] * r[1];
            p[2] += r[2] * r[2];
            p[3] += r[0] * r[1];
            p[4] += r[0] * r[2];
            p[5] += r[1] * r[2];
        }
    }
    void add(const Sums& o, double sign) {
        n += sign * o.n;
        for (size_t i = 0; i < s1.size(); ++i) s1[i] += sign * o.s1[i];
        for (size_t i = 0; i < s2.size(); ++i) s2[i] += sign * o.s2[i];
    }
};

struct Estimate {
    double d[3][3];       // Angstrom^2/ns
    double v[3];          // Angstrom/ns
};

// Least-squares slope of y over snapshots first..last at spacing dt.
double slope(const std::vector<double>& y, int first, int last, double dt) {
    double st = 0, sy = 0, stt = 0, sty = 0;
    const double m = last - first + 1;
    for (int k = first; k <= last; ++k) {
        const double t = k * dt;
        st += t;
        sy += y[k];
        stt += t * t;
        sty += t * y[k];
    }
    return (m * sty - st * sy) / (m * stt - st * st);
}

Estimate estimate(const Sums& s, int nsnap, int first, int last, double dt) {
    // Unbiased covariance about the mean displacement: a drift does not pass for diffusion.
    const int idx[3][3] = {{0, 3, 4}, {3, 1, 5}, {4, 5, 2}};
    Estimate e{};
    const double n = s.n;
    std::vector<double> y(nsnap);
    for (int a = 0; a < 3; ++a)
        for (int b = a; b < 3; ++b) {
            for (int k = 0; k < nsnap; ++k) {
                const double ma = s.s1[3 * k + a] / n, mb = s.s1[3 * k + b] / n;
                y[k] = (s.s2[6 * k + idx[a][b]] / n - ma * mb) * n / (n - 1);
            }
            e.d[a][b] = e.d[b][a] = 0.5 * slope(y, first, last, dt);
        }
    for (int c = 0; c < 3; ++c) {
        for (int k = 0; k < nsnap; ++k) y[k] = s.s1[3 * k + c] / n;
        e.v[c] = slope(y, first, last, dt);
    }
    return e;
}

void unit_rows(const double cell[3][3], double u[3][3]) {
    for (int r = 0; r < 3; ++r) {
        const double len = std::sqrt(cell[r][0] * cell[r][0] + cell[r][1] * cell[r][1] + cell[r][2] * cell[r][2]);
        for (int c = 0; c < 3; ++c) u[r][c] = cell[r][c] / len;
    }
}

// The values of one estimate: D / kT along a, b, c and the average (0-3), then with a field the
// drift q v . u / |F| along a, b, c (4-6) and along the field (7).
constexpr int kValues = 8;
std::vector<double> mobilities(const Estimate& e, const TrajectoryHeader& h, const double field[3], double fmag) {
    double u[3][3];
    unit_rows(h.cell, u);
    const double kT = units::kBoltzmann * h.temperature;
    // Angstrom^2/ns = 1e-11 m^2/s = 1e-7 cm^2/s; mu = D / (kT/e) with kT/e in volts.
    std::vector<double> out(kValues, 0.0);
    for (int d = 0; d < 3; ++d) {
        double x = 0;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) x += u[d][i] * e.d[i][j] * u[d][j];
        out[d] = x * 1e-7 / kT;
    }
    out[3] = (e.d[0][0] + e.d[1][1] + e.d[2][2]) / 3.0 * 1e-7 / kT;
    if (fmag > 0) {
        // Angstrom/ns = 0.1 m/s; over V/m that is 0.1 m^2/Vs = 1e3 cm^2/Vs.
        const double q = carrier_charge(h.carrier);
        for (int d = 0; d < 3; ++d)
            out[4 + d] = q * (e.v[0] * u[d][0] + e.v[1] * u[d][1] + e.v[2] * u[d][2]) / fmag * 1e3;
        out[7] = q * (e.v[0] * field[0] + e.v[1] * field[1] + e.v[2] * field[2]) / (fmag * fmag) * 1e3;
    }
    return out;
}

}  // namespace

TrajectoryFile gather_trajectories(const std::vector<std::string>& files) {
    if (files.empty())
        KRYMO_FATAL_OUT("hopsim", 1,
                        "No trajectory file (traj-<first>-<last>.dat) in this folder: run hopsim_mc.exe first\n");
    TrajectoryFile all;
    std::vector<std::string> owner;
    double stored = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        TrajectoryFile f = read_trajectories(files[i]);
        stored += static_cast<double>(f.trajectories.size()) * f.header.nsnap;
        if (stored > limits::kSnapshots)
            KRYMO_FATAL_OUT("hopsim", 1,
                            format_string("The trajectory files up to %s hold more than %lld snapshots, the most one "
                                          "analysis takes\n", files[i].c_str(), limits::kSnapshots));
        if (i == 0) {
            all.header = f.header;
        } else if (!same_run(all.header, f.header)) {
            KRYMO_FATAL_OUT("hopsim", 1,
                            format_string("%s belongs to another run than %s (carrier, temperature, field, cell, film "
                                          "or snapshots differ)\n", files[i].c_str(), files[0].c_str()));
        }
        for (Trajectory& t : f.trajectories) {
            all.trajectories.push_back(std::move(t));
            owner.push_back(files[i]);
        }
    }
    std::vector<size_t> order(all.trajectories.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return all.trajectories[a].id < all.trajectories[b].id; });
    for (size_t i = 1; i < order.size(); ++i)
        if (all.trajectories[order[i]].id == all.trajectories[order[i - 1]].id)
            KRYMO_FATAL_OUT("hopsim", 1,
                            format_string("Trajectory %lld is in both %s and %s\n", all.trajectories[order[i]].id,
                                          owner[order[i - 1]].c_str(), owner[order[i]].c_str()));
    std::vector<Trajectory> sorted;
    sorted.reserve(order.size());
    for (size_t i : order) sorted.push_back(std::move(all.trajectories[i]));
    all.trajectories = std::move(sorted);
    return all;
}

MobilityAnalysis analyse_trajectories(const TrajectoryHeader& h, const std::vector<Trajectory>& trajs, bool parallel,
                                      double fit_from) {
    MobilityAnalysis a;
    const long long n = static_cast<long long>(trajs.size());
    if (n < 2) KRYMO_FATAL_OUT("hopsim", 1, "The mobility needs at least two trajectories\n");
    if (h.nsnap < 3) KRYMO_FATAL_OUT("hopsim", 1, "The mobility needs at least three snapshots per trajectory\n");
    a.trajectories = n;
    for (const Trajectory& t : trajs) a.hops += t.hops;
    a.fit_last = h.nsnap - 1;
    a.fit_first = std::min(a.fit_last - 1, static_cast<int>(std::ceil(fit_from * a.fit_last)));
    a.groups = static_cast<int>(std::min<long long>(n, kMaxGroups));
    const int g = a.groups;

    // Group sums in trajectory order: each group adds its own members in order, so the sums do not
    // depend on the thread count.
    std::vector<Sums> group(g, Sums(h.nsnap));
#pragma omp parallel for schedule(static) if (parallel)
    for (int k = 0; k < g; ++k) {
        const long long lo = n * k / g, hi = n * (k + 1) / g;
        for (long long i = lo; i < hi; ++i) group[k].add(trajs[i]);
    }
    Sums total(h.nsnap);
    for (const Sums& s : group) total.add(s, 1.0);

    double field[3];
    field_cartesian(h.cell, h.field, field);
    const double fmag = std::sqrt(field[0] * field[0] + field[1] * field[1] + field[2] * field[2]);
    a.field = fmag > 0;
    const Estimate all = estimate(total, h.nsnap, a.fit_first, a.fit_last, h.tsnap_ns);
    const std::vector<double> mu = mobilities(all, h, field, fmag);

    // Jackknife: leave one group out at a time.
    std::vector<double> sum(kValues, 0.0);
    std::vector<std::vector<double>> part(g);
    for (int k = 0; k < g; ++k) {
        Sums s = total;
        s.add(group[k], -1.0);
        const Estimate e = estimate(s, h.nsnap, a.fit_first, a.fit_last, h.tsnap_ns);
        part[k] = mobilities(e, h, field, fmag);
        std::array<double, 9> d;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) d[3 * i + j] = e.d[i][j] * 1e-7;
        a.jackknife_diffusion.push_back(d);
        for (int i = 0; i < kValues; ++i) sum[i] += part[k][i];
    }
    std::vector<double> err(kValues, 0.0);
    for (int i = 0; i < kValues; ++i) {
        const double mean = sum[i] / g;
        double ss = 0;
        for (int k = 0; k < g; ++k) ss += (part[k][i] - mean) * (part[k][i] - mean);
        err[i] = std::sqrt((g - 1.0) / g * ss);
    }
    const int head = a.field ? 4 : 0;
    for (int i = 0; i < 4; ++i) {
        a.d_kt[i] = mu[i];
        a.d_kt_err[i] = err[i];
        a.mu[i] = mu[head + i];
        a.err[i] = err[head + i];
    }
    const double kT = units::kBoltzmann * h.temperature;
    for (int i = 0; i < 3; ++i) {
        a.drift[i] = all.v[i] * 10.0;  // Angstrom/ns = 10 cm/s
        for (int j = 0; j < 3; ++j) a.diffusion[i][j] = all.d[i][j] * 1e-7;
    }
    for (int i = 0; i < 4; ++i) a.diffusion_abc[i] = a.d_kt[i] * kT;

    double u[3][3];
    unit_rows(h.cell, u);
    const int idx[3][3] = {{0, 3, 4}, {3, 1, 5}, {4, 5, 2}};
    const double nn = total.n;
    for (int k = 0; k < h.nsnap; ++k)
        for (int d = 0; d < 3; ++d) {
            double c = 0;
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j) {
                    const double cov = (total.s2[6 * k + idx[i][j]] / nn -
                                        total.s1[3 * k + i] / nn * total.s1[3 * k + j] / nn) * nn / (nn - 1);
                    c += u[d][i] * cov * u[d][j];
                }
            a.msd_abc.push_back(c);
        }
    return a;
}

double relative_error(const MobilityAnalysis& a) {
    return a.mu[3] != 0.0 ? std::fabs(a.err[3] / a.mu[3]) : HUGE_VAL;
}

std::vector<std::string> mobility_warnings(const double mu[4], const double err[4], bool has_err, bool field) {
    static const char* const names[4] = {"mu_a", "mu_b", "mu_c", "mu_av"};
    std::vector<std::string> out;
    for (int i = field ? 3 : 0; i < 4; ++i) {
        if (mu[i] < 0.0)
            out.push_back(format_string("WARNING: %s = %.3e cm^2/Vs is negative: not a mobility", names[i], mu[i]));
        else if (has_err && err[i] > std::fabs(mu[i]))
            out.push_back(format_string("WARNING: %s = %.3e cm^2/Vs has an error of %.2e, larger than itself: not "
                                        "converged", names[i], mu[i], err[i]));
    }
    return out;
}

}  // namespace hopsim
}  // namespace krymo
