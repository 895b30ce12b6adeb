// Site energies, outer-sphere energies, multipoles and the overlap-mode tools the workflow scripts call:
//   qcpost_eint.exe -batch SE_einternal_files.dat [-neighbor] [-qcflag N]  pieces SE_einternal<m>-e/-h.dat
//   qcpost_siteen.exe                   SE_einternal-e/-h.dat -> EL.dat / EH.dat
//   qcpost_outer_sphere.exe [-inp F]    two-sphere model -> reorg_lambda_outer<m>-e/-h.dat
//   qcpost_log_multipoles.exe -inp OUT  atomic charges and dipole -> <stem>.mps.dat
//   qcpost_polarize.exe                 induced-dipole polarization -> SE_polarization-e/-h.dat, EL/EH.dat
#pragma once

#include <string>
#include <vector>

namespace krymo {
namespace qcpost {

// e^2 / (4 pi eps0) in eV nm.
constexpr double kCoulombEvNm = 1.43996454784;

// Outer-sphere reorganization energy (meV) of the two-sphere continuum model: radii a1, a2 and centre
// distance r in nm, pekar = 1/eps_op - 1/eps_s.
double two_sphere_lambda_mev(double pekar, double a1_nm, double a2_nm, double r_nm);

// The values minus their mean.
std::vector<double> relative_to_mean(const std::vector<double>& v);

// The charges and dipole an engine output printed last (its last population analysis).
struct Multipoles {
    std::vector<std::string> symbol;
    std::vector<double> mulliken;
    std::vector<double> esp;  // empty when the job printed no ESP charges
    double dipole_debye[3] = {0, 0, 0};
};
Multipoles read_multipoles(const std::string& path, const std::string& text);
std::string multipoles_text(const std::string& source, const Multipoles& m);

// The three outputs of each unit-cell molecule that SE_einternal_files.dat names.
struct IonOutputs {
    std::string anion, cation, neutral;
};
std::vector<IonOutputs> read_einternal_list(const std::string& path);

// SE_einternal-e.dat / -h.dat (or SE_polarization-*.dat): one value (meV) per molecule.
std::vector<double> read_internal_energies(const std::string& path);
// EL.dat (carrier 0) or EH.dat (carrier 1) from the site energies relative to the cell mean; `polarized`
// says in the header whether the crystal's polarization energy is in them.
void write_site_energies(int carrier, const std::vector<double>& site, bool polarized, const char* tool);

int eint_main(int argc, char** argv);
int siteen_main(int argc, char** argv);
int outer_sphere_main(int argc, char** argv);
int log_multipoles_main(int argc, char** argv);
int polarize_main(int argc, char** argv);

}  // namespace qcpost
}  // namespace krymo
