// What a mobility tensor says about an anisotropic crystal: its principal values and axes, and its
// value along every direction of a lattice plane, with the jackknife error of each when the tensor
// comes from kinetic Monte Carlo. Both solvers write the same two files from their tensor.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace krymo {
namespace hopsim {

// A Cartesian mobility tensor (cm^2/Vs) with the cell it belongs to, and the leave-one-out tensors
// of a jackknife (empty when the tensor has no statistical error).
struct MobilityTensor {
    double mu[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
    double cell[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};  // rows: lattice vectors a, b, c (Angstrom)
    std::vector<std::array<double, 9>> jackknife;
    std::string source;  // one line on where the tensor comes from
};

struct PrincipalAxes {
    double value[3] = {0, 0, 0};  // of the symmetric part, largest first
    double axis[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};     // axis[k]: unit Cartesian vector of value[k]
    double lattice[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};  // axis[k] = u a + v b + w c, largest |u|,|v|,|w| = 1
    double angle[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};    // angle[k][d]: degrees between axis[k] and vector d
};

// Eigen-decomposition of (mu + mu^T) / 2. An axis has no sign of its own; the one given has its
// first Cartesian component within 1e-9 of the largest magnitude positive, so that a tensor always
// gives the same axes.
PrincipalAxes principal_axes(const double mu[3][3], const double cell[3][3]);

// |mu - mu^T| / |mu + mu^T| (Frobenius norms): what the principal axes leave out.
double asymmetry(const double mu[3][3]);

// The lattice plane scanned: with a thin film its plane, else the ab plane. Spanned by the two
// lattice vectors other than `normal` (0 a, 1 b, 2 c) in cyclic order (b c, c a, a b): e1 along the
// first, e2 in the plane perpendicular to e1 on the side of the second.
struct LatticePlane {
    int first = 0, second = 1;
    double e1[3] = {0, 0, 0}, e2[3] = {0, 0, 0};
    double second_at_deg = 0.0;  // angle of the second vector from e1
};
LatticePlane lattice_plane(const double cell[3][3], int normal);

struct AngularPoint {
    double theta_deg = 0.0;
    double dir[3] = {0, 0, 0};  // u = cos(theta) e1 + sin(theta) e2
    double mu = 0.0;            // u^T mu u
};
// theta = 0, step, 2 step, ... up to 360 degrees.
std::vector<AngularPoint> angular_scan(const double mu[3][3], const LatticePlane& plane, double step_deg);

// mobility_axes.dat and mobility_angle.dat (docs/formats.md). The errors are the jackknife spread of
// the same quantity over the leave-one-out tensors, 0 without them.
void write_principal_axes(const std::string& path, const MobilityTensor& t);
void write_angular_scan(const std::string& path, const MobilityTensor& t, int normal, double step_deg);

}  // namespace hopsim
}  // namespace krymo
