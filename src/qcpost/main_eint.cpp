#include "qcpost/site_tools.h"

int main(int argc, char** argv) { return krymo::qcpost::eint_main(argc, argv); }
