#include "hopsim/tools.h"

int main(int argc, char** argv) { return krymo::hopsim::master_main(argc, argv); }
