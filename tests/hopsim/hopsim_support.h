// Hand-made rate tables of the hopping tests: a one-molecule chain and a two-molecule chain along a,
// in a cell whose b and c are long enough that no hop leaves the chain.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "hopsim/formats.h"
#include "hopsim/rates.h"
#include "hopsim/study.h"

namespace krymo_test {

inline std::string hopsim_exe(const std::string& tool) {
    return std::string(KRYMO_HOPSIM_DIR) + "/hopsim_" + tool + ".exe";
}

// Couplings of the folder's pairs falling off with the centre distance: a pair and its reverse
// carry the same value.
inline std::vector<double> distance_couplings(const krymo::hopsim::RunFolder& f, double j0) {
    std::vector<double> j;
    for (size_t k = 0; k < f.pairs().size(); ++k) {
        const double* d = f.pair_dr(k);
        j.push_back(j0 * std::exp(-(std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]) - 5.0) / 2.0));
    }
    return j;
}

// A molecule of 185 meV with three modes carrying 150 meV of it.
inline krymo::hopsim::MoleculeModes stub_modes() {
    krymo::hopsim::MoleculeModes m;
    m.lambda_mev = 185.0;
    m.modes = {{1580.0, 0.35}, {760.0, 0.4}, {120.0, 3.0}};
    return m;
}

inline krymo::hopsim::RatePair chain_pair(int root, int nei, int cell_a, double dx, double j_mev, double dg0_mev) {
    krymo::hopsim::RatePair p;
    p.key.root = root;
    p.key.nei = nei;
    p.key.cell[0] = cell_a;
    p.dr[0] = dx;
    p.j_mev = j_mev;
    p.lambda_in_mev = 200.0;
    p.dg0_mev = dg0_mev;
    return p;
}

inline krymo::hopsim::RateTable chain_table(double a, char carrier = 'h') {
    krymo::hopsim::RateTable t;
    t.carrier = carrier;
    t.temperature = 300.0;
    t.cell[0][0] = a;
    t.cell[1][1] = 30.0;
    t.cell[2][2] = 30.0;
    return t;
}

// One molecule per cell of length a: hops to the next cell on either side.
inline krymo::hopsim::RateTable one_molecule_chain(double a = 5.0, double j_mev = 10.0) {
    krymo::hopsim::RateTable t = chain_table(a);
    t.nmols = 1;
    t.modes.resize(1);
    t.modes[0].lambda_mev = 200.0;
    t.pairs = {chain_pair(1, 1, 1, a, j_mev, 0.0), chain_pair(1, 1, -1, -a, j_mev, 0.0)};
    krymo::hopsim::fill_rates(t);
    return t;
}

// Molecule 2 sits d along a from molecule 1 and `de` meV higher; the bond inside the cell has the
// coupling j1, the bond to the next cell j2.
inline krymo::hopsim::RateTable two_molecule_chain(double a = 5.0, double d = 2.0, double j1 = 10.0, double j2 = 4.0,
                                                   double de = 20.0) {
    krymo::hopsim::RateTable t = chain_table(a);
    t.nmols = 2;
    t.modes.resize(2);
    t.modes[0].lambda_mev = t.modes[1].lambda_mev = 200.0;
    t.pairs = {chain_pair(1, 2, 0, d, j1, de), chain_pair(1, 2, -1, d - a, j2, de),
               chain_pair(2, 1, 0, -d, j1, -de), chain_pair(2, 1, 1, a - d, j2, -de)};
    krymo::hopsim::fill_rates(t);
    return t;
}

// Mobility (cm^2/Vs) of a diffusion coefficient (Angstrom^2/s) by the Einstein relation.
inline double einstein_mobility(double d_a2_per_s, double temperature) {
    return d_a2_per_s * 1e-16 / (krymo::hopsim::units::kBoltzmann * temperature);
}

}  // namespace krymo_test
