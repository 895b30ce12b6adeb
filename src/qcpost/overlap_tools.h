// The overlap (moo) mode: transfer integrals from the monomers' orbitals alone, without dimer runs.
//   qcpost_fchk_orbitals.exe NAME.fchk -orb -xyz   NAME.orb (basis and orbitals), NAME.xyz (atoms)
//   qcpost_dimer_overlap.exe -batch trans_int_files.dat   VH.dat, VL.dat and the report transint.dat
// The coupling is t = E S_ab (Mori et al., Bull. Chem. Soc. Jpn. 57, 627 (1984)), S_ab the overlap
// of the two frontier orbitals with molecule B at its place in the crystal.
#pragma once

#include <Eigen/Dense>
#include <string>
#include <vector>

#include "qcpost/gaussian_basis.h"

namespace krymo {
namespace qcpost {

// The proportionality constant E of t = E S, in eV, for both carriers.
constexpr double kOverlapCouplingEv = -10.0;

// A monomer as the two files of qcpost_fchk_orbitals.exe give it.
struct MonomerOrbitals {
    std::string orb_path, xyz_path;
    std::vector<int> atomic_numbers;
    Basis basis;                   // centres from the .xyz, in bohr
    Eigen::MatrixXd coefs;         // nbasis x orbitals
    Eigen::VectorXd energies;      // hartree
    int alpha_electrons = 0;
};

// The text of the two files, from an fchk's contents.
std::string orbital_file_text(const std::string& source, const Basis& basis, const Eigen::MatrixXd& coefs,
                              const Eigen::VectorXd& energies, int alpha_electrons);
std::string xyz_file_text(const std::string& title, const std::vector<int>& atomic_numbers,
                          const std::vector<double>& coords_bohr);

// Reads <stem>.orb and <stem>.xyz; stops naming the file and line of anything missing or inconsistent.
MonomerOrbitals read_monomer(const std::string& stem);

// Orbital `orbital` (1-based) normalised in the monomer's own basis. Coefficients of zero-differential-
// overlap methods (ZINDO/S: C^T C = 1) refer to the Loewdin-orthogonalised basis and are turned into
// those of the real basis, S^-1/2 c. Anything normalised neither way stops naming the file.
Eigen::VectorXd normalised_orbital(const MonomerOrbitals& m, int orbital);

// <a|b> of two orbitals (coefficients in each monomer's basis), monomer B moved by `shift_b_bohr`.
double orbital_overlap(const MonomerOrbitals& a, const Eigen::VectorXd& ca, const MonomerOrbitals& b,
                       const Eigen::VectorXd& cb, const Eigen::Vector3d& shift_b_bohr);

int fchk_orbitals_main(int argc, char** argv);
int dimer_overlap_main(int argc, char** argv);

}  // namespace qcpost
}  // namespace krymo
