// The Hessian sources of the normal-mode stage, by the file the namelist names:
//   name.log  Gaussian: Hessian, coordinates and masses from name.fchk, the normal end from the log;
//   name.hess ORCA: $hessian (column blocks of five or six), $atoms (element, mass, bohr);
//   name.out  Q-Chem or psi4 (told apart by the text): the Hessian from name.fchk. psi4 writes no
//             Hessian into its fchk, so the project's psi4 inputs append one there after the
//             frequency job, in the fchk layout ("Cartesian Force Constants", lower triangle).
// A job that did not end normally, or a Hessian that does not fit its molecule, stops the run naming
// the file (and line).
#pragma once

#include <string>

#include "qcpost/engine.h"
#include "qcpost/normal_modes.h"

namespace krymo {
namespace qcpost {

FrequencyJob read_orca_hess(const std::string& path);
FrequencyJob parse_orca_hess(const std::string& path, const std::string& text);
// "Cartesian Force Constants" (lower triangle), "Current cartesian coordinates", and the masses from
// "Real atomic weights" or, without them (Q-Chem), the most abundant isotopes of "Atomic numbers".
FrequencyJob read_fchk_hessian(const std::string& path);

// The frequency job a namelist names (engine by extension and text, as above).
FrequencyJob load_frequency_job(const std::string& path);

// Which engine wrote an output, from its text; false when no engine's banner is found.
bool engine_of_text(const std::string& text, QcEngine& engine);

// Mass of the most abundant isotope (amu); 0 for an element outside the table.
double isotope_mass(int z);

}  // namespace qcpost
}  // namespace krymo
