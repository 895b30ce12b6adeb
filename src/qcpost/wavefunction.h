// The one interface of the engine readers: what a single-point run left behind, in the engine's own
// basis-function order and normalisation (a coupling from three files of one engine, basis and
// frame does not depend on them). One module per engine fills it (gaussian.cpp, orca.cpp, qchem.cpp,
// psi4.cpp); none depends on the preparation's run object.
#pragma once

#include <Eigen/Dense>
#include <string>
#include <vector>

#include "qcpost/engine.h"

namespace krymo {
namespace qcpost {

struct Wavefunction {
    std::string path;                 // the file the numbers came from (messages name it)
    std::vector<int> atomic_numbers;  // per atom, in the file's order
    std::vector<double> coords_bohr;  // 3 per atom, in the frame the MO coefficients refer to
    int nbasis = 0;
    Eigen::MatrixXd overlap;          // AO overlap (nbasis x nbasis); empty when the file lacks it
    Eigen::MatrixXd alpha;            // MO coefficients, one column per orbital (nbasis x nmo)
    Eigen::VectorXd alpha_energies;   // hartree, one per column
    Eigen::MatrixXd beta;             // empty for a restricted run
    Eigen::VectorXd beta_energies;

    int natoms() const { return static_cast<int>(atomic_numbers.size()); }
    int nmo() const { return static_cast<int>(alpha.cols()); }
};

// How an engine's run is found from the stem of its job: the file holding the numbers is read; the
// normal end is checked in the output (which may be the same file).
struct EngineFiles {
    QcEngine engine;
    const char* flag;        // command-line option of the tools ("" for the default, Gaussian)
    const char* list_ext;    // extension the study's list files give ("log" or "out")
};
const EngineFiles& engine_files(QcEngine engine);
// The engine of a command-line flag ("-orca", ...); false when it names none.
bool engine_from_flag(const std::string& flag, QcEngine& engine);

// Reads the run of `stem` (path without extension) the way its engine leaves it:
//   Gaussian: <stem>.log, and <stem>.fchk beside it when present (full precision: preferred);
//   ORCA:     <stem>.out;
//   Q-Chem, psi4: <stem>.fchk, with <stem>.out for the normal end.
// Stops naming the file and line of anything missing, malformed or not ended normally.
Wavefunction read_wavefunction(QcEngine engine, const std::string& stem);

// --- the modules ---
// Gaussian log written with IOp(3/33=1) Pop=full: AO overlap and MO coefficients and energies.
Wavefunction read_gaussian_log(const std::string& path, const std::string& text);
// ORCA output with the basis, "OVERLAP MATRIX" and "MOLECULAR ORBITALS" printed.
Wavefunction read_orca_out(const std::string& path, const std::string& text);
// Any formatted checkpoint file (Gaussian's formchk, Q-Chem's gui = 2, psi4's fchk()).
struct FchkFile;
Wavefunction wavefunction_from_fchk(const FchkFile& f);

}  // namespace qcpost
}  // namespace krymo
