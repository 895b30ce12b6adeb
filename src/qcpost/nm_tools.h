// Entry points of the reorganization-energy tools of the normal-mode and four-point stages:
//   qcpost_nmproj.exe evc.inp              modes of both states, projection -> evc.cart.dat, evc.dint.dat
//   qcpost_modes.exe evc.cart.dat NM.dat   the mode list of the rates (charged state by default)
//   qcpost_lambda4p.exe -batch LIST        four-point reorganization energies -> lambda_4P-<e|h>.dat
// Each prints its usage for -h and turns a FatalError into its report and exit status.
#pragma once

namespace krymo {
namespace qcpost {

int nmproj_main(int argc, char** argv);
int modes_main(int argc, char** argv);
int lambda4p_main(int argc, char** argv);

}  // namespace qcpost
}  // namespace krymo
