#include "qcpost/projection.h"

#include <cmath>
#include <tuple>
#include <utility>

#include "util/text.h"

namespace krymo {
namespace qcpost {

namespace {
constexpr double kAngstromInBohr = 1.0 / 0.529177210903;
// Coordinates agree when the engines printed the same input: a thousandth of an Angstrom covers
// the six printed decimals of every engine and catches any real displacement.
constexpr double kSameAtomBohr = 1e-3 * kAngstromInBohr;
// A monomer orbital is normalised in the dimer's overlap when basis, frame and order agree; the
// five printed digits of a Gaussian log keep the norm within 1e-4.
constexpr double kNormTolerance = 1e-2;
}  // namespace

DimerBasis::DimerBasis(const Wavefunction& dimer) : dimer_(dimer) {
    if (dimer.overlap.size() != 0) return;
    if (dimer.nmo() != dimer.nbasis)
        input_error(dimer.path, 0,
                    format_string("the file gives %d orbitals for %d basis functions and no overlap matrix: the "
                                  "overlap cannot be rebuilt from an incomplete MO set (print the overlap)",
                                  dimer.nmo(), dimer.nbasis));
    lu_.compute(dimer.alpha);
    if (!(lu_.rcond() > 1e-12))
        input_error(dimer.path, 0, "the MO coefficients are singular: the overlap cannot be rebuilt from them");
}

Eigen::VectorXd DimerBasis::components(const Eigen::VectorXd& phi) const {
    if (dimer_.overlap.size() != 0) return dimer_.alpha.transpose() * (dimer_.overlap * phi);
    return lu_.solve(phi);
}

void check_trio(const Wavefunction& dimer, const Wavefunction& a, const Wavefunction& b, const std::string& pair) {
    if (a.natoms() + b.natoms() != dimer.natoms())
        input_error(dimer.path, 0,
                    format_string("pair %s: the dimer has %d atoms, the monomers %s and %s have %d and %d",
                                  pair.c_str(), dimer.natoms(), a.path.c_str(), b.path.c_str(), a.natoms(), b.natoms()));
    for (int k = 0; k < dimer.natoms(); ++k) {
        const Wavefunction& m = k < a.natoms() ? a : b;
        const int i = k < a.natoms() ? k : k - a.natoms();
        double d2 = 0;
        for (int x = 0; x < 3; ++x) {
            const double d = dimer.coords_bohr[3 * k + x] - m.coords_bohr[3 * i + x];
            d2 += d * d;
        }
        if (m.atomic_numbers[i] != dimer.atomic_numbers[k] || !(std::sqrt(d2) <= kSameAtomBohr))
            input_error(dimer.path, 0,
                        format_string("pair %s: atom %d of the dimer (Z %d at %.4f %.4f %.4f bohr) is not atom %d of "
                                      "%s (Z %d at %.4f %.4f %.4f): the monomers' atoms must be the dimer's atoms, "
                                      "A's then B's, in the same frame and order",
                                      pair.c_str(), k + 1, dimer.atomic_numbers[k], dimer.coords_bohr[3 * k],
                                      dimer.coords_bohr[3 * k + 1], dimer.coords_bohr[3 * k + 2], i + 1,
                                      m.path.c_str(), m.atomic_numbers[i], m.coords_bohr[3 * i],
                                      m.coords_bohr[3 * i + 1], m.coords_bohr[3 * i + 2]));
    }
    if (a.nbasis + b.nbasis != dimer.nbasis)
        input_error(dimer.path, 0,
                    format_string("pair %s: the dimer has %d basis functions, the monomers %s and %s have %d + %d: "
                                  "the three runs must use the same basis",
                                  pair.c_str(), dimer.nbasis, a.path.c_str(), b.path.c_str(), a.nbasis, b.nbasis));
}

Coupling project(const DimerBasis& basis, const Wavefunction& a, int o_a, const Wavefunction& b, int o_b,
                 const std::string& pair) {
    const Wavefunction& d = basis.dimer();
    for (const auto& [m, o] : {std::pair<const Wavefunction*, int>{&a, o_a}, {&b, o_b}})
        if (o < 1 || o > m->nmo())
            input_error(m->path, 0,
                        format_string("pair %s: orbital %d is asked for (uc_H.inp / uc_L.inp), the file has %d", pair.c_str(),
                                      o, m->nmo()));
    const int level = o_a + o_b;  // the upper of the two dimer levels the frontier orbitals form
    if (level > d.nmo())
        input_error(d.path, 0, format_string("pair %s: dimer orbital %d is needed, the file has %d", pair.c_str(), level, d.nmo()));

    Eigen::VectorXd phi_a = Eigen::VectorXd::Zero(d.nbasis), phi_b = Eigen::VectorXd::Zero(d.nbasis);
    phi_a.head(a.nbasis) = a.alpha.col(o_a - 1);
    phi_b.tail(b.nbasis) = b.alpha.col(o_b - 1);
    const Eigen::VectorXd va = basis.components(phi_a), vb = basis.components(phi_b);
    for (const auto& [v, m, o] : {std::tuple<const Eigen::VectorXd*, const Wavefunction*, int>{&va, &a, o_a},
                                  {&vb, &b, o_b}}) {
        const double norm = v->squaredNorm();
        if (!(std::fabs(norm - 1.0) <= kNormTolerance))
            input_error(m->path, 0,
                        format_string("pair %s: orbital %d has norm %.6f in the dimer's overlap (%s), not 1: the "
                                      "monomer and the dimer do not share basis, frame or function order",
                                      pair.c_str(), o, norm, d.path.c_str()));
    }
    const Eigen::VectorXd& e = d.alpha_energies;
    Coupling c;
    c.j = va.dot(e.cwiseProduct(vb));
    c.s_ab = va.dot(vb);
    c.e_a = va.dot(e.cwiseProduct(va));
    c.e_b = vb.dot(e.cwiseProduct(vb));
    c.j_eff = (c.j - 0.5 * (c.e_a + c.e_b) * c.s_ab) / (1.0 - c.s_ab * c.s_ab);
    c.half_splitting = 0.5 * (e(level - 1) - e(level - 2));
    return c;
}

}  // namespace qcpost
}  // namespace krymo
