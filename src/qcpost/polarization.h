// Electronic polarization of a crystal around one charged molecule: induced point dipoles on the atoms
// of the surrounding molecules, solved self-consistently with Thole damping (the exponential form
// lambda3 = 1 - exp(-a u^3), u = r / (alpha_i alpha_j)^(1/6)), so that close atoms cannot polarize
// each other without bound.
//
// Atomic polarizabilities: the values of P. Ren and J. W. Ponder, J. Phys. Chem. B 107, 5933 (2003) for
// aromatic carbon and its hydrogens, nitrogen and oxygen, which they use with Thole's exponential
// damping at a = 0.39 (the damping form as in P. Th. van Duijnen and M. Swart, J. Phys. Chem. A 102,
// 2399 (1998)).
#pragma once

#include <string>
#include <vector>

namespace krymo {
namespace qcpost {

// e^2 / (4 pi eps0) in eV Angstrom.
constexpr double kCoulombEvAngstrom = 14.3996454784;

// Isotropic atomic polarizability (Angstrom^3) of atomic number z, or 0 when the table has none.
double atomic_polarizability(int z);

struct PolarSite {
    double x[3];   // Angstrom
    double alpha;  // Angstrom^3, > 0
};
struct PointCharge {
    double x[3];   // Angstrom
    double q;      // e
    double alpha;  // polarizability of the atom carrying it (damping only); 0: undamped
};

struct InductionSettings {
    double a_damp = 0.39;  // Thole damping a
    double omega = 0.75;   // relaxation factor of the iteration
    int max_iter = 512;
    double tol = 1e-3;     // largest residual of an induced dipole (e Angstrom) at convergence
};

struct InductionResult {
    double energy_ev = 0.0;        // -1/2 sum mu_i . F0_i: negative, the charge is stabilised
    int iterations = 0;
    std::vector<double> dipoles;   // 3 per site, e Angstrom
};

// Dipoles induced on `sites` by the field of `charges` and of each other (no site sees its own field).
// Throws the project's error when the iteration does not converge within max_iter steps.
InductionResult induce_dipoles(const std::vector<PolarSite>& sites, const std::vector<PointCharge>& charges,
                               const InductionSettings& s);

}  // namespace qcpost
}  // namespace krymo
