// The final SCF energy of an engine output: the last line of the engine's own form
//   Gaussian  "SCF Done:  E(RB3LYP) =  -382.308266602     A.U. ..."
//   ORCA      "FINAL SINGLE POINT ENERGY      -382.055107107616"
//   Q-Chem    "Total energy in the final basis set =     -382.3082745764"
//   psi4      "  @DF-RKS Final Energy:  -382.31092249769881"
#pragma once

#include <string>

#include "qcpost/engine.h"

namespace krymo {
namespace qcpost {

// The energy (hartree) of an output text. The engine is found from the text; an output that did
// not end normally, or holds no energy line, stops the run naming the file (and line).
double final_energy(const std::string& path, const std::string& text);
double read_final_energy(const std::string& path);

}  // namespace qcpost
}  // namespace krymo
