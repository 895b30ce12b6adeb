#include "qcpost/nm_tools.h"

int main(int argc, char** argv) { return krymo::qcpost::lambda4p_main(argc, argv); }
