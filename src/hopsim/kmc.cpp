#include "hopsim/kmc.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "hopsim/mobility.h"
#include "util/fatal.h"
#include "util/progress.h"
#include "util/text.h"

namespace krymo {
namespace hopsim {

namespace {

std::uint64_t splitmix64(std::uint64_t& x) {
    std::uint64_t z = (x += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

// Per site: the cumulative out-rates, for choosing a hop by one uniform number.
struct SiteTable {
    std::vector<std::vector<double>> cumulative;
    std::vector<double> total;
    std::vector<double> start;  // cumulative start weights; empty: a uniform start
};

SiteTable site_table(const HopNetwork& net) {
    SiteTable t;
    t.cumulative.resize(net.nsites);
    t.total.assign(net.nsites, 0.0);
    for (int i = 0; i < net.nsites; ++i) {
        double sum = 0.0;
        for (const Hop& h : net.out[i]) {
            sum += h.rate;
            t.cumulative[i].push_back(sum);
        }
        t.total[i] = sum;
    }
    double sum = 0.0;
    for (double w : net.start_weight) t.start.push_back(sum += w);
    return t;
}

Trajectory walk(const HopNetwork& net, const SiteTable& table, const KmcSettings& s, long long id) {
    const int nsnap = snapshot_count(s.tsimu_ns, s.tsnap_ns);
    Trajectory tr;
    tr.id = id;
    tr.r.assign(3 * static_cast<size_t>(nsnap), 0.0);
    Rng rng(static_cast<std::uint64_t>(id));
    int site = 0;
    if (table.start.empty()) {
        site = std::min(net.nsites - 1, static_cast<int>(rng.uniform() * net.nsites));
    } else {
        const double target = rng.uniform() * table.start.back();
        site = static_cast<int>(std::upper_bound(table.start.begin(), table.start.end(), target) - table.start.begin());
        site = std::min(site, net.nsites - 1);
    }
    double pos[3] = {0, 0, 0};
    double t = 0.0;  // ns
    int snap = 0;
    while (snap < nsnap) {
        const double total = table.total[site];
        // A site without a way out keeps the carrier to the end.
        const double t_next = total > 0.0 ? t - std::log(rng.uniform()) / total * 1e9 : HUGE_VAL;
        // The position at a snapshot time is the one held before the hop that follows it.
        while (snap < nsnap && snap * s.tsnap_ns < t_next) {
            std::copy(pos, pos + 3, &tr.r[3 * static_cast<size_t>(snap)]);
            ++snap;
        }
        if (snap == nsnap) break;
        const std::vector<double>& cum = table.cumulative[site];
        const double target = rng.uniform() * total;
        size_t k = static_cast<size_t>(std::upper_bound(cum.begin(), cum.end(), target) - cum.begin());
        if (k >= cum.size()) k = cum.size() - 1;
        const Hop& h = net.out[site][k];
        for (int c = 0; c < 3; ++c) pos[c] += h.dr[c];
        site = h.to;
        t = t_next;
        ++tr.hops;
    }
    return tr;
}

}  // namespace

Rng::Rng(std::uint64_t seed) {
    std::uint64_t x = seed;
    for (std::uint64_t& v : s_) v = splitmix64(x);
}

std::uint64_t Rng::next() {
    const std::uint64_t result = rotl(s_[1] * 5, 7) * 9;
    const std::uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = rotl(s_[3], 45);
    return result;
}

double Rng::uniform() { return (static_cast<double>(next() >> 11) + 0.5) * 0x1.0p-53; }

int snapshot_count(double tsimu_ns, double tsnap_ns) {
    if (!(tsnap_ns > 0) || !(tsimu_ns >= tsnap_ns))
        KRYMO_FATAL_OUT("hopsim", 1,
                        format_string("tsnap (%g ns) must be above 0 and at most tsimu (%g ns)\n", tsnap_ns, tsimu_ns));
    // A snapshot that falls within rounding of tsimu still counts.
    return static_cast<int>(std::floor(tsimu_ns / tsnap_ns * (1.0 + 1e-12))) + 1;
}

Trajectory run_trajectory(const HopNetwork& net, const KmcSettings& s, long long id) {
    return walk(net, site_table(net), s, id);
}

namespace {

// Trajectories first + from .. first + to - 1 into out[from .. to - 1].
void run_range(const HopNetwork& net, const SiteTable& table, const KmcSettings& s, long long from, long long to,
               std::vector<Trajectory>& out, Progress& progress, bool parallel) {
    std::vector<std::exception_ptr> errors(static_cast<size_t>(to - from));
#pragma omp parallel for schedule(dynamic, 1) if (parallel)
    for (long long k = from; k < to; ++k) {
        try {
            out[k] = walk(net, table, s, s.first + k);
        } catch (...) {
            errors[k - from] = std::current_exception();
        }
        progress.add();
    }
    for (const std::exception_ptr& e : errors)
        if (e) std::rethrow_exception(e);
}

void check_run(const HopNetwork& net, const KmcSettings& s) {
    if (net.nsites < 1) KRYMO_FATAL_OUT("hopsim", 1, "The hop network has no site\n");
    snapshot_count(s.tsimu_ns, s.tsnap_ns);
}

}  // namespace

std::vector<Trajectory> run_trajectories(const HopNetwork& net, const KmcSettings& s, bool parallel) {
    check_run(net, s);
    const SiteTable table = site_table(net);
    std::vector<Trajectory> out(static_cast<size_t>(s.count));
    Progress progress("trajectories", s.count);
    run_range(net, table, s, 0, s.count, out, progress, parallel);
    progress.finish();
    return out;
}

double time_for_hops(const HopNetwork& net, double hops) {
    double dwell = 0.0;
    for (int i = 0; i < net.nsites; ++i) {
        double total = 0.0;
        for (const Hop& h : net.out[i]) total += h.rate;
        if (total > 0.0) dwell += 1.0 / total;
    }
    return net.nsites > 0 ? hops * dwell / net.nsites * 1e9 : 0.0;
}

KmcOutcome run_to_target(const HopNetwork& net, const KmcSettings& s, const TrajectoryHeader& h, double target,
                         bool parallel) {
    check_run(net, s);
    const SiteTable table = site_table(net);
    KmcOutcome o;
    o.trajectories.resize(static_cast<size_t>(s.count));
    o.relative_error = HUGE_VAL;
    Progress progress("trajectories", s.count);
    long long done = 0;
    while (done < s.count) {
        const long long next = std::min(s.count, done + kStopBatch);
        run_range(net, table, s, done, next, o.trajectories, progress, parallel);
        done = next;
        // The jackknife needs its twenty groups of several trajectories to be trusted.
        if (target > 0.0 && done >= 2 * kStopBatch) {
            const std::vector<Trajectory> so_far(o.trajectories.begin(), o.trajectories.begin() + done);
            o.relative_error = relative_error(analyse_trajectories(h, so_far, parallel));
            if (o.relative_error <= target) {
                o.target_reached = true;
                break;
            }
        }
    }
    progress.finish();
    o.trajectories.resize(static_cast<size_t>(done));
    return o;
}

}  // namespace hopsim
}  // namespace krymo
