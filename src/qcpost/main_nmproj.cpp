#include "qcpost/nm_tools.h"

int main(int argc, char** argv) { return krymo::qcpost::nmproj_main(argc, argv); }
