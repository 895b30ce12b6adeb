// Costs of static disorder: the sparse master equation of disordered supercells of about 1e3, 1e4
// and 1e5 sites (one steady state and the whole mobility, time and memory), and kinetic Monte Carlo
// on the largest (hops per second, memory of the network), with checks that the threads change no
// result.
//
//   bench_disorder [sigma in meV=50] [Monte Carlo hops=2e7] [seed=1]
//
// The crystal is naphthalene-like: two molecules in a monoclinic cell, each hopping to 14 neighbours
// (couplings 2-40 meV), Marcus rates of lambda 185 meV at 300 K; the supercells hold 8^3, 17^3 and
// 37^3 cells.
#include <omp.h>
#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench_support.h"
#include "hopsim/disorder.h"
#include "hopsim/kmc.h"
#include "hopsim/master.h"
#include "hopsim/sparse_master.h"
#include "util/fatal.h"
#include "util/usage.h"

using namespace krymo::hopsim;
using krymo_bench::timed;
using krymo_bench::Times;

namespace {

// Peak resident memory of the process so far (MB).
double peak_mb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024.0;
}

RateTable naphthalene_like() {
    RateTable t;
    t.carrier = 'h';
    t.temperature = 300.0;
    const double cell[3][3] = {{8.235, 0, 0}, {0, 6.003, 0}, {-4.888, 0, 7.139}};
    std::copy(&cell[0][0], &cell[0][0] + 9, &t.cell[0][0]);
    t.nmols = 2;
    MoleculeModes m;
    m.lambda_mev = 185.0;
    t.modes.assign(2, m);
    const double offset[3] = {4.1175, 3.0015, 0.0};  // molecule 2 within the cell
    struct Step {
        int root, nei, cell[3];
        double j;
    };
    // Each hop with its reverse: within a, along b, and the herringbone pairs.
    const Step steps[] = {{1, 1, {0, 1, 0}, 40}, {1, 1, {0, -1, 0}, 40}, {2, 2, {0, 1, 0}, 40},
                          {2, 2, {0, -1, 0}, 40}, {1, 2, {0, 0, 0}, 25},  {2, 1, {0, 0, 0}, 25},
                          {1, 2, {0, -1, 0}, 25}, {2, 1, {0, 1, 0}, 25},  {1, 2, {-1, 0, 0}, 8},
                          {2, 1, {1, 0, 0}, 8},   {1, 2, {-1, -1, 0}, 8}, {2, 1, {1, 1, 0}, 8},
                          {1, 1, {0, 0, 1}, 2},   {1, 1, {0, 0, -1}, 2},  {2, 2, {0, 0, 1}, 2},
                          {2, 2, {0, 0, -1}, 2},  {1, 1, {1, 0, 0}, 4},   {1, 1, {-1, 0, 0}, 4},
                          {2, 2, {1, 0, 0}, 4},   {2, 2, {-1, 0, 0}, 4},  {1, 2, {0, 0, -1}, 3},
                          {2, 1, {0, 0, 1}, 3},   {1, 2, {-1, 0, -1}, 3}, {2, 1, {1, 0, 1}, 3},
                          {1, 2, {0, -1, -1}, 3}, {2, 1, {0, 1, 1}, 3},   {1, 2, {-1, -1, -1}, 3},
                          {2, 1, {1, 1, 1}, 3}};
    for (const Step& s : steps) {
        RatePair p;
        p.key = {s.root, s.nei, {s.cell[0], s.cell[1], s.cell[2]}};
        for (int d = 0; d < 3; ++d) {
            for (int r = 0; r < 3; ++r) p.dr[d] += s.cell[r] * cell[r][d];
            if (s.root == 1 && s.nei == 2) p.dr[d] += offset[d];
            if (s.root == 2 && s.nei == 1) p.dr[d] -= offset[d];
        }
        p.j_mev = s.j;
        p.lambda_in_mev = 185.0;
        t.pairs.push_back(p);
    }
    fill_rates(t);
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    if (krymo::usage_requested(argc, argv)) {
        krymo::print_usage(
            "Usage: %s [sigma in meV=50] [Monte Carlo hops=2e7] [seed=1]\n"
            "  Times the sparse master equation of disordered supercells of 1e3 to 1e5 sites and the kinetic\n"
            "  Monte Carlo on the largest.\n",
            argv[0]);
        return 0;
    }
    const double sigma = argc > 1 ? std::atof(argv[1]) : 50.0;
    const double total_hops = argc > 2 ? std::atof(argv[2]) : 2e7;
    const int seed = krymo_bench::int_arg(argc, argv, 3, 1);
    try {
        const RateTable t = naphthalene_like();
        const RateModel model(t);
        const double zero[3] = {0, 0, 0};
        std::printf("naphthalene-like cell: %d molecules, %zu pairs; sigma %g meV at %g K; %d threads\n", t.nmols,
                    t.pairs.size(), sigma, t.temperature, omp_get_max_threads());
        HopNetwork largest;
        for (int cells : {8, 17, 37}) {
            const Disorder d{sigma, cells, seed};
            const SupercellLayout layout = supercell_layout(t.nmols, cells, -1, 0);
            const double before = peak_mb();
            HopNetwork net;
            const Times build = timed([&] {
                net = build_supercell_network(t, model, zero, layout, supercell_site_energies(t, layout, d));
            });
            SteadyState st;
            const Times one = timed([&] { st = solve_steady_state_sparse(net, 100, 10, nullptr); });
            MasterSettings ms;
            ms.disorder = d;
            MasterResult mr;
            const Times mob = timed([&] { mr = master_mobility(t, ms, nullptr); });
            std::printf("master equation, %7d sites: network %.2f s, one steady state %.2f s wall %.2f s cpu (%d "
                        "refinement steps, imbalance %.1e), mobility (%d solves) %.2f s wall %.2f s cpu, mu_av %.4e cm^2/Vs, "
                        "peak memory %.0f MB (%.0f MB more)\n",
                        net.nsites, build.wall, one.wall, one.cpu, st.iterations, st.residual, mr.solves, mob.wall, mob.cpu,
                        mr.mu[3], peak_mb(), peak_mb() - before);
            if (cells == 37) largest = std::move(net);
        }

        // Monte Carlo on the largest supercell: as many trajectories as threads.
        double out_sum = 0.0;
        for (int i = 0; i < largest.nsites; ++i)
            for (const Hop& h : largest.out[i]) out_sum += h.rate;
        KmcSettings s;
        s.count = 8;
        s.tsimu_ns = total_hops / s.count / (out_sum / largest.nsites) * 1e9;
        s.tsnap_ns = s.tsimu_ns / 20;
        std::vector<Trajectory> par, ser;
        const double before = peak_mb();
        const Times tp = timed([&] { par = run_trajectories(largest, s, true); });
        const Times ts = timed([&] { ser = run_trajectories(largest, s, false); });
        long long hops = 0;
        bool same = true;
        for (size_t k = 0; k < par.size(); ++k) {
            hops += par[k].hops;
            same = same && par[k].r == ser[k].r;
        }
        std::printf("monte carlo, %d sites: %lld hops in %d trajectories: %.3g hops/s on one thread, %.3g hops/s on "
                    "all, trajectories %s; network and tables %.0f MB, peak memory %.0f MB (%.0f MB more for the "
                    "run)\n",
                    largest.nsites, hops, static_cast<int>(s.count), hops / ts.wall, hops / tp.wall,
                    same ? "agree" : "DIFFER",
                    // Per site its hop list and cumulative rates (two vectors), its start weight; per hop the
                    // hop and its cumulative rate.
                    (largest.nsites * (sizeof(std::vector<Hop>) + 2 * sizeof(std::vector<double>) + 16.0) +
                     static_cast<double>(t.pairs.size()) / t.nmols * largest.nsites * (sizeof(Hop) + sizeof(double))) /
                        1048576.0,
                    peak_mb(), peak_mb() - before);
    } catch (const krymo::FatalError& e) {
        return krymo::report_fatal(e);
    }
    return 0;
}
