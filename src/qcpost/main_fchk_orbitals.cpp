#include "qcpost/overlap_tools.h"

int main(int argc, char** argv) { return krymo::qcpost::fchk_orbitals_main(argc, argv); }
