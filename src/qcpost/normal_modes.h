// Normal-mode analysis of a Hessian and the projection of a geometry change on the modes.
//
// Units inside: bohr, amu, hartree. The Hessian is mass-weighted, translations and rotations are
// removed by working in the orthogonal complement of their mass-weighted vectors (five for a linear
// molecule), and the complement is diagonalised: eigenvalues (hartree / (bohr^2 amu)) and modes
// (mass-weighted, orthonormal). A negative eigenvalue is an imaginary mode, reported with a
// negative wavenumber.
#pragma once

#include <Eigen/Dense>
#include <string>
#include <vector>

namespace krymo {
namespace qcpost {

// What a frequency job leaves: the molecule at its equilibrium and the Cartesian Hessian there.
struct FrequencyJob {
    std::string path;          // the file the Hessian came from (named in messages)
    std::vector<int> z;        // atomic numbers (0 when the file gives none)
    std::vector<double> mass;  // amu
    Eigen::VectorXd x;         // 3N coordinates, bohr
    Eigen::MatrixXd hessian;   // 3N x 3N, hartree / bohr^2, symmetric
};

struct NormalModes {
    Eigen::VectorXd eigenvalues;  // ascending, hartree / (bohr^2 amu)
    Eigen::MatrixXd modes;        // 3N x nvib, mass-weighted Cartesian, orthonormal columns
    int nvib() const { return static_cast<int>(eigenvalues.size()); }
};

constexpr double kHartreeToWavenumber = 219474.6313632;  // cm^-1
constexpr double kAmuToElectronMass = 1822.888486209;
constexpr double kBohrToAngstrom = 0.529177210903;
constexpr double kWavenumberToMev = 0.1239841984;

// Signed wavenumber (cm^-1) of a mass-weighted Hessian eigenvalue; negative for an imaginary mode.
double wavenumber(double eigenvalue);

NormalModes normal_modes(const FrequencyJob& job);

// `moving` (3N, bohr) put into the frame of `reference` (Eckart frame): centres of mass on each other
// and the rotation that minimises the mass-weighted distance, proper unless `allow_mirror` lets a
// mirror image fit better.
Eigen::VectorXd eckart_align(const Eigen::VectorXd& reference, const Eigen::VectorXd& moving,
                             const std::vector<double>& mass, bool allow_mirror);

// The displacement of each mode and what it costs on the harmonic surface.
struct ModeProjection {
    std::vector<double> freq_cm;    // signed wavenumber
    std::vector<double> dq;         // normal coordinate shift, bohr amu^1/2
    std::vector<double> lambda_cm;  // omega^2 dQ^2 / 2, cm^-1 (0 for imaginary modes)
    std::vector<double> huang_rhys; // lambda / (h c nu) (0 for imaginary modes)
    double total_cm = 0.0;          // sum over the real modes
};

// Projects the mass-weighted displacement `dx_mw` (3N, bohr amu^1/2) on the modes.
ModeProjection project(const NormalModes& modes, const Eigen::VectorXd& dx_mw);
// The mass-weighted displacement of Cartesian coordinates: sqrt(m) (to - from).
Eigen::VectorXd mass_weighted(const Eigen::VectorXd& from, const Eigen::VectorXd& to, const std::vector<double>& mass);

}  // namespace qcpost
}  // namespace krymo
