#include "qcpost/nm_tools.h"

int main(int argc, char** argv) { return krymo::qcpost::modes_main(argc, argv); }
