// Entry point of qcpost_coupling.exe: transfer integrals of the study's pairs from the engine outputs.
#pragma once

namespace krymo {
namespace qcpost {

int coupling_main(int argc, char** argv);

}  // namespace qcpost
}  // namespace krymo
