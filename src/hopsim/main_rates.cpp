#include "hopsim/tools.h"

int main(int argc, char** argv) { return krymo::hopsim::rates_main(argc, argv); }
