#include "driver/status.h"

int main(int argc, char** argv) { return krymo::status_main(argc, argv); }
