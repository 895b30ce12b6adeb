// Which job sets a run writes: every kind for the chosen program, the unique writer where its flag is
// set, and the overlap-method exceptions of Gaussian.
#include "transport/transport.h"

namespace krymo {

void Transport::write_qc_job_sets(Engine e) {
    const bool gaussian = e == Engine::Gaussian;
    // The overlap method needs every unit-cell molecule's orbitals, so it never uses the unique subset,
    // and it replaces the neighbour and pair calculations altogether.
    write_HL_job_set(e, HlKind::UcMol, HL_unique_uc_mol && !(gaussian && get_job_moo_flag()));
    if (!(gaussian && use_moo)) {
        write_HL_job_set(e, HlKind::NeiMol, HL_unique_nei_mol);
        write_HL_job_set(e, HlKind::Dimer, HL_unique_pair);
    }
    write_RE_job_set(e, RE_unique);
}

}  // namespace krymo
