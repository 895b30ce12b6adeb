#include "qcpost/coupling_tool.h"

int main(int argc, char** argv) { return krymo::qcpost::coupling_main(argc, argv); }
