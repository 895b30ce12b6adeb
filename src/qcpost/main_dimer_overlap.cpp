#include "qcpost/overlap_tools.h"

int main(int argc, char** argv) { return krymo::qcpost::dimer_overlap_main(argc, argv); }
