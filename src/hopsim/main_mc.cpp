#include "hopsim/tools.h"

int main(int argc, char** argv) { return krymo::hopsim::mc_main(argc, argv, false); }
