#include "driver/driver.h"

int main(int argc, char** argv) { return krymo::prepare_main(argc, argv); }
