#include "transport/jobsets/engines.h"

namespace krymo {

namespace {

const EngineRow kEngines[] = {
    // label, input ext, output ext, normal end, on the last line, HL kind, RE kind,
    // uc plain one eol, uc unique single quotes, dimer modules, plain separator, unique array separator,
    // unique dimer "_unique", RE job, RE marker, RE separator, RE extras
    {"Gaussian", "com", "log", " Normal termination of Gaussian", true, JobKind::gaussian_HL, JobKind::gaussian_RE, false, false, false, false, false, true,
     "job_re-%s", "%s/running.re_%s", false, true},
    {"ORCA", "inp", "out", "ORCA TERMINATED NORMALLY", false, JobKind::orca_HL, JobKind::orca_RE, true, true, true, true, true, false, "job_re_%s",
     "%s/running.RE-%s", true, false},
    {"Q-Chem", "inp", "out", "Have a nice day.", false, JobKind::qchem_HL, JobKind::qchem_RE, true, true, true, true, true, false, "job_re-%s",
     "%s/running.re-%s", true, false},
};

const HlKindRow kHlKinds[] = {
    {"mol_one_uc.py", "uc_mol", "hl_uc_mol", "HL monomers of the cell", false, true},
    {"mol_one_nei.py", "nei_mol", "hl_nei_mol", "HL neighbour monomers", true, true},
    {"mol_two.py", "2mol", "hl_dimer", "HL dimers", true, false},
};

}  // namespace

const EngineRow& engine_row(Engine e) { return kEngines[static_cast<int>(e)]; }

bool engine_from_setting(int compute_engine, Engine& e) {
    if (compute_engine < 1 || compute_engine > 3) return false;
    e = static_cast<Engine>(compute_engine - 1);
    return true;
}

const HlKindRow& hl_kind_row(HlKind k) { return kHlKinds[static_cast<int>(k)]; }

}  // namespace krymo
