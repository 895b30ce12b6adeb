// Mobility from kinetic Monte Carlo trajectories: the diffusion tensor from the slope of the
// displacement covariance over the linear part of the run, the Einstein relation mu = e D / kT, and
// a jackknife over groups of trajectories for the statistical error. Under an applied field the
// mobility is the drift, q v / |F| from the slope of the mean displacement, as the master equation
// gives it; D / kT is then no mobility and is kept apart.
#pragma once

#include <array>
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
    // The mobility (cm^2/Vs) and its error: without a field D / kT along a, b, c and trace / 3; with
    // one q v . u / |F| along the unit lattice vectors u, and in the fourth place along the field.
    double mu[4] = {0, 0, 0, 0};
    double err[4] = {0, 0, 0, 0};
    double d_kt[4] = {0, 0, 0, 0};  // D / kT (cm^2/Vs) as mu has it without a field
    double d_kt_err[4] = {0, 0, 0, 0};
    double drift[3] = {0, 0, 0};  // mean velocity, cm/s
    // The Cartesian diffusion tensor (cm^2/s) of each leave-one-group-out estimate, row by row.
    std::vector<std::array<double, 9>> jackknife_diffusion;
    bool field = false;
    // Mean displacement covariance per snapshot along a, b, c (Angstrom^2).
    std::vector<double> msd_abc;
};

// Fit over the snapshots from `fit_from` of the run (a fraction of tsimu) to its end.
MobilityAnalysis analyse_trajectories(const TrajectoryHeader& h, const std::vector<Trajectory>& trajs,
                                      bool parallel, double fit_from = 0.2);

// The headline's relative error, |err / mu| of the fourth value (infinite when mu is 0).
double relative_error(const MobilityAnalysis& a);

// One line per value that is negative or whose error exceeds it: such a number is no result. Under a
// field only the mobility along the field counts: the drift along an axis may oppose the axis or
// vanish.
std::vector<std::string> mobility_warnings(const double mu[4], const double err[4], bool has_err, bool field);

// Every trajectory file of the folder, checked for one run and no repeated trajectory, by number.
TrajectoryFile gather_trajectories(const std::vector<std::string>& files);

}  // namespace hopsim
}  // namespace krymo
