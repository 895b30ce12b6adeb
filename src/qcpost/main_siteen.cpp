#include "qcpost/site_tools.h"

int main(int argc, char** argv) { return krymo::qcpost::siteen_main(argc, argv); }
