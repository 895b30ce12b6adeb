#include "transport/jobsets/engines.h"

namespace krymo {

namespace {

const EngineRow kEngines[] = {
    // label, input ext, output ext, normal end, on the last line, HL kind, RE kind,
    // uc plain one eol, uc unique single quotes, dimer modules, plain separator, unique array separator,
    // unique dimer "_unique", RE job, RE marker, RE separator, RE four-point, RE multipoles, coupling flag, flag last
    {"Gaussian", "com", "log", " Normal termination of Gaussian", true, JobKind::gaussian_HL, JobKind::gaussian_RE, false, false, false, false, false, true,
     "job_re-%s", "%s/running.re_%s", false, true, true, "", false},
    {"ORCA", "inp", "out", "ORCA TERMINATED NORMALLY", false, JobKind::orca_HL, JobKind::orca_RE, true, true, true, true, true, false, "job_re_%s",
     "%s/running.RE-%s", true, true, false, " -orca", false},
    {"Q-Chem", "inp", "out", "Have a nice day.", false, JobKind::qchem_HL, JobKind::qchem_RE, true, true, true, true, true, false, "job_re-%s",
     "%s/running.re-%s", true, true, false, " -qchem", false},
    // psi4 takes the newer runner layout of ORCA and Q-Chem. Only Gaussian's four-point jobs need a copy
    // stage (of checkpoints); the others take the optimised geometries in their own jobs: psi4 from the
    // optimisations' fchk files, ORCA from their xyz files, Q-Chem from their outputs.
    {"psi4", "inp", "out", "Psi4 exiting successfully", false, JobKind::psi4_HL, JobKind::psi4_RE, true, true, true, true, true, false, "job_re-%s",
     "%s/running.re-%s", true, true, false, " -psi4", true},
};
static_assert(sizeof(kEngines) / sizeof(kEngines[0]) == 4, "one row per engine");

const HlKindRow kHlKinds[] = {
    {"mol_one_uc.py", "uc_mol", "hl_uc_mol", "HL monomers of the cell", false, true},
    {"mol_one_nei.py", "nei_mol", "hl_nei_mol", "HL neighbour monomers", true, true},
    {"mol_two.py", "2mol", "hl_dimer", "HL dimers", true, false},
};

}  // namespace

const EngineRow& engine_row(Engine e) { return kEngines[static_cast<int>(e)]; }

bool engine_from_setting(int compute_engine, Engine& e) {
    if (compute_engine < 1 || compute_engine > 4) return false;
    e = static_cast<Engine>(compute_engine - 1);
    return true;
}

const HlKindRow& hl_kind_row(HlKind k) { return kHlKinds[static_cast<int>(k)]; }

}  // namespace krymo
