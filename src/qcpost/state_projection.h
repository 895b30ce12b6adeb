// The analysis of qcpost_nmproj.exe on two frequency jobs already read: each state's modes and the
// geometry change towards the other state projected on them, once as a Cartesian displacement in
// the Eckart frame and once from internal coordinates.
#pragma once

#include "qcpost/evc_file.h"
#include "qcpost/evc_namelist.h"
#include "qcpost/normal_modes.h"

namespace krymo {
namespace qcpost {

struct StateProjections {
    EvcReport cart, dint;
    NormalModes modes[2];
};

// `job[0]` neutral, `job[1]` charged: the same atoms in the same order (else the run stops naming
// both files). The namelist gives the options and the listed internal coordinates.
StateProjections project_states(const FrequencyJob job[2], const EvcInput& in);

}  // namespace qcpost
}  // namespace krymo
