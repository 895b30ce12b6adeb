#include "qcpost/site_tools.h"

int main(int argc, char** argv) { return krymo::qcpost::outer_sphere_main(argc, argv); }
