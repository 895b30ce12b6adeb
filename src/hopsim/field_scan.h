// Mobility against field strength from the master equation: the drift mobility q v.F / |F|^2 at each
// strength along one direction, next to its zero-field limit u^T mu u from the linear-response
// tensor of the same rates, so that the table shows where the response leaves the linear regime.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "hopsim/master.h"

namespace krymo {
namespace hopsim {

struct FieldPoint {
    double field = 0.0;            // V/m
    double mu = 0.0;               // q v.u / |F|, cm^2/Vs
    double velocity[3] = {0, 0, 0};  // Cartesian, Angstrom/s
    bool converged = true;
};

struct FieldScan {
    double direction[3] = {0, 0, 0};  // Cartesian unit vector of the field
    MasterResult linear;              // the zero-field tensor of the same rates
    double mu_zero = 0.0;             // u^T mu u
    std::vector<FieldPoint> points;   // in the order of the strengths
    bool converged = true;
};

// `along` gives the direction along the unit lattice vectors a, b, c (as app_elec_F does); the
// table's own field is not used. The strengths are magnitudes (V/m) above 0.
FieldScan master_field_scan(const RateTable& table, const double along[3], const std::vector<double>& strengths,
                            const MasterSettings& s, std::FILE* log);

// mobility_field.dat (docs/formats.md).
void write_field_scan(const std::string& path, const FieldScan& scan, const RateTable& table);

}  // namespace hopsim
}  // namespace krymo
