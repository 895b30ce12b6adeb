#include "hopsim/tools.h"

int main(int argc, char** argv) { return krymo::hopsim::mobility_main(argc, argv, true); }
