// Steady state of the master equation on a large hop network (a disordered supercell): the balance
// equations in flux form as a sparse system, solved by BiCGSTAB (diagonally scaled by the form itself),
// then refined against residuals summed in extended precision until the imbalance is at rounding
// level. The dense solver stays the one of the unit cell.
#pragma once

#include <cstdio>

#include "hopsim/master.h"
#include "hopsim/rates.h"

namespace krymo {
namespace hopsim {

// The same problem and result as solve_steady_state: sum_j p_j k_ji = p_i sum_j k_ij, sum p = 1, at
// most `iterlimit` refinement steps, a progress line every `nevery` of them to `log` (none when null).
// `guess` (flux form, may be empty) starts the first solve: the zero-field state for a probing field.
SteadyState solve_steady_state_sparse(const HopNetwork& net, int iterlimit, int nevery, std::FILE* log,
                                      const std::vector<double>& guess = {});

}  // namespace hopsim
}  // namespace krymo
