// Shared pieces of the hopping tests: the hand-made rate tables of tests/data/hopsim, the tool
// executables, stub couplings and modes for run folders, and the headers of trajectories.
#pragma once

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "hopsim/formats.h"
#include "hopsim/kmc.h"
#include "hopsim/rates.h"
#include "hopsim/study.h"
#include "test_support.h"

namespace krymo_test {

inline std::string hopsim_exe(const std::string& tool) {
    return std::string(KRYMO_HOPSIM_DIR) + "/hopsim_" + tool + ".exe";
}

// A hand-made rate table (one_molecule_chain, two_molecule_chain, oblique_lattice, cubic,
// oblique_two_molecules) for the carrier its file names or `carrier`, with its rates filled in.
inline krymo::hopsim::RateTable hand_table(const std::string& name, char carrier = 0) {
    krymo::hopsim::RateTable t = krymo::hopsim::read_rate_table(data_path("hopsim/" + name + ".dat"));
    if (carrier != 0) t.carrier = carrier;
    krymo::hopsim::fill_rates(t);
    return t;
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

// The header of the trajectories of table t run with settings s.
inline krymo::hopsim::TrajectoryHeader trajectory_header(const krymo::hopsim::RateTable& t,
                                                         const krymo::hopsim::KmcSettings& s) {
    krymo::hopsim::TrajectoryHeader h;
    h.carrier = t.carrier;
    h.temperature = t.temperature;
    std::copy(&t.cell[0][0], &t.cell[0][0] + 9, &h.cell[0][0]);
    std::copy(t.field, t.field + 3, h.field);
    h.tsnap_ns = s.tsnap_ns;
    h.nsnap = krymo::hopsim::snapshot_count(s.tsimu_ns, s.tsnap_ns);
    return h;
}

// Mobility (cm^2/Vs) of a diffusion coefficient (Angstrom^2/s) by the Einstein relation.
inline double einstein_mobility(double d_a2_per_s, double temperature) {
    return d_a2_per_s * 1e-16 / (krymo::hopsim::units::kBoltzmann * temperature);
}

}  // namespace krymo_test
