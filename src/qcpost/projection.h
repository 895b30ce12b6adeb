// Dimer projection: the monomers' frontier orbitals placed in the dimer basis (monomer A's functions
// first, then B's) and measured with the dimer's overlap S and Fock matrix F = S C diag(e) C^T S.
#pragma once

#include <Eigen/Dense>
#include <string>

#include "qcpost/wavefunction.h"

namespace krymo {
namespace qcpost {

// The dimer's MO set as the basis of the projection. A vector phi of the AO basis has the MO
// components v = C^T S phi; then <a|S|b> = v_a . v_b and <a|F|b> = v_a . diag(e) v_b. Without a
// printed overlap the MO set must be complete (square C): S = (C C^T)^-1, so v = C^-1 phi.
class DimerBasis {
public:
    // Stops naming the file when the MO set is incomplete and no overlap is given, or singular.
    explicit DimerBasis(const Wavefunction& dimer);
    Eigen::VectorXd components(const Eigen::VectorXd& phi) const;
    const Wavefunction& dimer() const { return dimer_; }

private:
    const Wavefunction& dimer_;
    Eigen::PartialPivLU<Eigen::MatrixXd> lu_;  // of C, when S comes from the MO set
};

// Everything in hartree; s_ab has no unit.
struct Coupling {
    double j = 0;       // <a|F|b>
    double s_ab = 0;    // <a|S|b>
    double e_a = 0;     // <a|F|a>
    double e_b = 0;     // <b|F|b>
    double j_eff = 0;   // (J - (e_a + e_b) S_ab / 2) / (1 - S_ab^2)
    double half_splitting = 0;  // half the gap of the dimer levels o_a + o_b - 1 and o_a + o_b
};

// Stops with a message naming `pair` and the files unless the monomers' atoms are the dimer's atoms
// (A's, then B's) in the same frame and order, and their basis sizes add up to the dimer's.
void check_trio(const Wavefunction& dimer, const Wavefunction& a, const Wavefunction& b, const std::string& pair);

// Orbital o_a (1-based) of monomer A with orbital o_b of monomer B (alpha orbitals).
Coupling project(const DimerBasis& basis, const Wavefunction& a, int o_a, const Wavefunction& b, int o_b,
                 const std::string& pair);

}  // namespace qcpost
}  // namespace krymo
