#include "qcpost/coupling_tool.h"

#include <cstdio>
#include <string>

#include "util/fatal.h"
#include "util/text.h"

namespace krymo {
namespace qcpost {

namespace {
const char* const kUsage =
    "Usage: %s -batch trans_int_files.dat [-orca | -qchem | -psi4] [-h]\n"
    "  Transfer integrals of every neighbour pair from the dimer and monomer outputs the list names.\n";
}

int coupling_main(int argc, char** argv) {
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string a = argv[i];
            if (a == "-h" || a == "--help") {
                std::printf(kUsage, "qcpost_coupling.exe");
                return 0;
            }
        }
        KRYMO_FATAL_OUT("qcpost_coupling", 1, "not built yet\n");
    } catch (const FatalError& e) {
        std::fflush(stdout);
        return report_fatal(e);
    }
}

}  // namespace qcpost
}  // namespace krymo
