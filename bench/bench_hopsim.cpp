// Costs of the hopping tools on a generated box of 10,000 pairs (the disordered films of mobility
// studies): rates of every kind, kinetic Monte Carlo hops per second on one thread and on all, and
// the master-equation solve; with checks that the threads change no result.
//
//   bench_hopsim [cube edge in molecules=10] [total hops of the Monte Carlo=2e7] [seed=1]
//
// Molecules sit on a cubic grid of 5 A spacing in one periodic cell; each hops to its six face
// neighbours and four in-plane diagonals (edge^3 * 10 pairs), with random couplings of 5-20 meV and
// Gaussian site energies of 50 meV spread, the same three-mode molecule throughout.
#include <omp.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench_support.h"
#include "hopsim/kmc.h"
#include "hopsim/master.h"
#include "hopsim/rates.h"
#include "util/fatal.h"
#include "util/usage.h"

using namespace krymo::hopsim;
using krymo_bench::timed;
using krymo_bench::Times;

namespace {

RateTable make_box(int edge, std::uint64_t seed) {
    const double spacing = 5.0;
    RateTable t;
    t.carrier = 'h';
    t.temperature = 300.0;
    t.maxt_fs = 10000.0;
    for (int i = 0; i < 3; ++i) t.cell[i][i] = spacing * edge;
    t.nmols = edge * edge * edge;
    MoleculeModes m;
    m.lambda_mev = 185.0;
    m.modes = {{1580.0, 0.35}, {760.0, 0.4}, {120.0, 3.0}};
    t.modes.assign(t.nmols, m);
    Rng rng(seed);
    std::vector<double> energy(t.nmols);
    for (double& e : energy) e = 50.0 * std::sqrt(-2.0 * std::log(rng.uniform())) * std::cos(2 * units::kPi * rng.uniform());
    const int steps[10][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1},
                              {0, 0, -1}, {1, 1, 0}, {-1, -1, 0}, {1, -1, 0}, {-1, 1, 0}};
    auto index = [edge](int x, int y, int z) { return x + edge * (y + edge * z); };
    for (int z = 0; z < edge; ++z)
        for (int y = 0; y < edge; ++y)
            for (int x = 0; x < edge; ++x)
                for (const auto& s : steps) {
                    const int p[3] = {x + s[0], y + s[1], z + s[2]};
                    RatePair pair;
                    pair.key.root = index(x, y, z) + 1;
                    int q[3];
                    for (int c = 0; c < 3; ++c) {
                        // Wrap into the cell; the cell index records the image.
                        pair.key.cell[c] = p[c] < 0 ? -1 : p[c] >= edge ? 1 : 0;
                        q[c] = p[c] - pair.key.cell[c] * edge;
                        pair.dr[c] = spacing * s[c];
                    }
                    pair.key.nei = index(q[0], q[1], q[2]) + 1;
                    pair.j_mev = 5.0 + 15.0 * rng.uniform();
                    pair.lambda_in_mev = 185.0;
                    pair.dg0_mev = energy[pair.key.nei - 1] - energy[pair.key.root - 1];
                    t.pairs.push_back(pair);
                }
    return t;
}

std::vector<double> rates_of(const RateTable& t) {
    std::vector<double> r;
    for (const RatePair& p : t.pairs) r.push_back(p.rate);
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    if (krymo::usage_requested(argc, argv)) {
        krymo::print_usage(
            "Usage: %s [cube edge in molecules=10] [total Monte Carlo hops=2e7] [seed=1]\n"
            "  Times the rates, the kinetic Monte Carlo and the master equation on a generated box.\n",
            argv[0]);
        return 0;
    }
    const int edge = krymo_bench::int_arg(argc, argv, 1, 10);
    const double total_hops = argc > 2 ? std::atof(argv[2]) : 2e7;
    const auto seed = static_cast<std::uint64_t>(krymo_bench::int_arg(argc, argv, 3, 1));
    try {
        RateTable box = make_box(edge, seed);
        std::printf("box: %d molecules, %zu pairs, %d threads\n", box.nmols, box.pairs.size(), omp_get_max_threads());

        struct Kind {
            const char* name;
            const char* type;
            int sta;
        };
        const Kind kinds[] = {{"marcus", "marcus", 1}, {"quantum, short-time", "quantum", 1},
                              {"quantum, time integral", "quantum", 0}};
        for (const Kind& k : kinds) {
            RateTable t = box;
            t.ratetype = k.type;
            t.sta = k.sta;
            const Times all = timed([&] { fill_rates(t); });
            RateTable one = t;
            omp_set_num_threads(1);
            const Times serial = timed([&] { fill_rates(one); });
            omp_set_num_threads(omp_get_num_procs());
            bool same = true;
            for (size_t i = 0; i < t.pairs.size(); ++i) same = same && t.pairs[i].rate == one.pairs[i].rate;
            std::printf("rates %-24s %8.3f s wall (%8.3f s on one thread), %7.2f us per pair, %zu line shapes, "
                        "threads %s\n",
                        k.name, all.wall, serial.wall, 1e6 * all.wall / t.pairs.size(), RateModel(t).shape_count(),
                        same ? "agree" : "DIFFER");
            if (k.sta == 1 && k.type[0] == 'm') box = t;
        }

        // Monte Carlo: as many trajectories as threads, long enough for the asked total of hops.
        const HopNetwork net = build_network(box, rates_of(box), -1, 0);
        double out_sum = 0.0;
        for (int i = 0; i < net.nsites; ++i)
            for (const Hop& h : net.out[i]) out_sum += h.rate;
        const double mean_rate = out_sum / net.nsites;
        KmcSettings s;
        s.count = 8;
        s.tsimu_ns = total_hops / s.count / mean_rate * 1e9;
        s.tsnap_ns = s.tsimu_ns / 20;
        std::vector<Trajectory> par, ser;
        const Times tp = timed([&] { par = run_trajectories(net, s, true); });
        const Times ts = timed([&] { ser = run_trajectories(net, s, false); });
        long long hops = 0;
        bool same = true;
        for (size_t k = 0; k < par.size(); ++k) {
            hops += par[k].hops;
            same = same && par[k].r == ser[k].r;
        }
        std::printf("monte carlo: %lld hops in %d trajectories: %.3g hops/s on one thread, %.3g hops/s on all, "
                    "trajectories %s\n",
                    hops, static_cast<int>(s.count), hops / ts.wall, hops / tp.wall, same ? "agree" : "DIFFER");

        // Master equation: one steady state of the whole box, and the mobility (seven solves).
        SteadyState st;
        const Times one = timed([&] { st = solve_steady_state(net, 100, 10, nullptr); });
        std::printf("master equation: %d sites, one steady state %.3f s wall (%d refinement steps, imbalance %.1e)\n",
                    net.nsites, one.wall, st.iterations, st.residual);
        MasterResult mr;
        const Times mob = timed([&] { mr = master_mobility(box, MasterSettings(), nullptr); });
        std::printf("master equation: mobility (%d solves) %.3f s wall, mu_av %.4e cm^2/Vs\n", mr.solves, mob.wall,
                    mr.mu[3]);
    } catch (const krymo::FatalError& e) {
        return krymo::report_fatal(e);
    }
    return 0;
}
