#include "qcpost/site_tools.h"

int main(int argc, char** argv) { return krymo::qcpost::log_multipoles_main(argc, argv); }
