// Mobility from kinetic Monte Carlo trajectories: the diffusion tensor from the slope of the
// displacement covariance over the linear part of the run, the Einstein relation mu = e D / kT, and
// a jackknife over groups of trajectories for the statistical error.
#pragma once

#include <string>
#include <vector>

#include "hopsim/formats.h"

namespace krymo {
namespace hopsim {

struct MobilityAnalysis {
    long long trajectories = 0;
    long long hops = 0;
    int fit_first = 0, fit_last = 0;  // snapshots of the fit
    int groups = 0;                   // jackknife groups
    double diffusion[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};  // Cartesian, cm^2/s
    double diffusion_abc[4] = {0, 0, 0, 0};                       // along a, b, c and trace / 3
    double mu[4] = {0, 0, 0, 0};                                  // cm^2/Vs
    double err[4] = {0, 0, 0, 0};
    double drift[3] = {0, 0, 0};  // mean velocity, cm/s
    double mu_drift = 0.0;        // along the applied field, when there is one
    double mu_drift_err = 0.0;
    bool field = false;
    // Mean displacement covariance per snapshot along a, b, c (Angstrom^2).
    std::vector<double> msd_abc;
};

// Fit over the snapshots from `fit_from` of the run (a fraction of tsimu) to its end.
MobilityAnalysis analyse_trajectories(const TrajectoryHeader& h, const std::vector<Trajectory>& trajs,
                                      bool parallel, double fit_from = 0.2);

// Every trajectory file of the folder, checked for one run and no repeated trajectory, by number.
TrajectoryFile gather_trajectories(const std::vector<std::string>& files);

}  // namespace hopsim
}  // namespace krymo
