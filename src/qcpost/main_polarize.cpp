#include "qcpost/site_tools.h"

int main(int argc, char** argv) { return krymo::qcpost::polarize_main(argc, argv); }
