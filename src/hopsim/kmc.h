// Kinetic Monte Carlo of one carrier on a hop network: N independent trajectories, trajectory k
// driven by its own generator seeded from k, so that a run split across jobs (or threads) gives the
// same trajectories as one serial run.
#pragma once

#include <cstdint>
#include <vector>

#include "hopsim/formats.h"
#include "hopsim/rates.h"

namespace krymo {
namespace hopsim {

// xoshiro256** seeded through splitmix64: the same numbers on every compiler and library.
class Rng {
public:
    explicit Rng(std::uint64_t seed);
    std::uint64_t next();
    // Uniform in the open interval (0, 1): never 0 (a logarithm follows) nor 1.
    double uniform();

private:
    std::uint64_t s_[4];
};

struct KmcSettings {
    double tsimu_ns = 1000.0;
    double tsnap_ns = 5.0;
    long long first = 0;  // number of the first trajectory, its seed
    long long count = 1;
};

// Snapshots of a run: t = 0, tsnap, ... up to tsimu.
int snapshot_count(double tsimu_ns, double tsnap_ns);

// One trajectory: start site drawn uniformly, then hops until tsimu.
Trajectory run_trajectory(const HopNetwork& net, const KmcSettings& s, long long id);
// Trajectories first .. first + count - 1, on as many threads as OpenMP gives when `parallel`.
std::vector<Trajectory> run_trajectories(const HopNetwork& net, const KmcSettings& s, bool parallel);

// Time (ns) in which a carrier makes about `hops` hops: hops times the mean residence time of the
// sites. Only the order of magnitude matters: the run needs many hops beyond the first few.
double time_for_hops(const HopNetwork& net, double hops);

// Trajectories first, first + 1, ... in batches of kStopBatch until the relative error of the
// mobility (the fourth value of the analysis) is at most `target`, at most s.count of them; a target
// of 0 runs them all. Whole batches of numbered trajectories keep the stop, and so the output,
// independent of the thread count. The last analysis comes along.
constexpr long long kStopBatch = 100;
struct KmcOutcome {
    std::vector<Trajectory> trajectories;
    bool target_reached = false;
    double relative_error = 0.0;  // of the trajectories run (infinite below two batches)
};
KmcOutcome run_to_target(const HopNetwork& net, const KmcSettings& s, const TrajectoryHeader& h, double target,
                         bool parallel);

}  // namespace hopsim
}  // namespace krymo
