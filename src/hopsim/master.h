// Steady-state master equation of one carrier in the periodic crystal (or thin film): occupation of
// every site of the hop network, the drift velocity it carries, and the mobility tensor probed by
// small fields (or measured at the applied field).
#pragma once

#include <cstdio>
#include <vector>

#include "hopsim/disorder.h"
#include "hopsim/formats.h"
#include "hopsim/rates.h"

namespace krymo {
namespace hopsim {

struct SteadyState {
    std::vector<double> p;        // occupation per site, summing to 1
    double velocity[3] = {0, 0, 0};  // Angstrom/s
    int iterations = 0;
    double residual = 0.0;        // largest flux imbalance relative to the largest outflow
    bool converged = false;
};

// Solves sum_j p_j k_ji = p_i sum_j k_ij with sum p = 1: a pivoted factorization of the balance
// equations in flux form, then refinement steps (at most `iterlimit`) until the imbalance is at
// rounding level. Every `nevery` steps a line goes to `log` (none when null).
SteadyState solve_steady_state(const HopNetwork& net, int iterlimit, int nevery, std::FILE* log);

// Occupations and drift velocity from the solved fluxes q_i = p_i * (outflow of i), normalised; both
// solvers end here, so that they sum alike.
void finish_steady_state(const HopNetwork& net, const std::vector<long double>& q, const std::vector<double>& out_rate,
                         SteadyState& st);

struct MasterSettings {
    int iterlimit = 100;
    int nevery = 10;
    int film_dir = -1;
    int film_ncell = 0;
    // Static disorder: the supercell with its site energies, solved by the sparse solver.
    Disorder disorder;
};

struct MasterResult {
    bool linear = true;            // probed by small fields (no applied field)
    double field = 0.0;            // magnitude of the probing or applied field (V/m)
    double mu[4] = {0, 0, 0, 0};   // along a, b, c and the average or along the field (cm^2/Vs)
    double tensor[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};  // Cartesian, cm^2/Vs (linear response only)
    SteadyState at_field;          // the steady state at the applied field (or at zero field)
    double mu_field = 0.0;         // along the applied field
    int solves = 0;
    bool converged = true;
};

// Mobility along a, b, c: with no applied field the linear-response tensor from fields of +-F along
// x, y, z (F small against kT per hop), projected on the unit lattice vectors, the average its
// trace / 3; with an applied field F, the drift q v . u / |F| at that field along the unit lattice
// vectors u, and in the fourth place along the field (mu_field).
MasterResult master_mobility(const RateTable& table, const MasterSettings& s, std::FILE* log);

}  // namespace hopsim
}  // namespace krymo
