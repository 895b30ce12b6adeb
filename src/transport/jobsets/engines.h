// The quantum-chemistry programs as rows of one table: what their job sets share is one writer
// (HL and RE each), and what differs between them is data here. Several differences only keep the
// runner scripts as the later stages and existing studies know them.
#pragma once

#include <string>

#include "jobs/job_kinds.h"

namespace krymo {

enum class Engine { Gaussian = 0, Orca = 1, Qchem = 2, Psi4 = 3 };

// The three transfer-integral calculations: a unit-cell molecule, a neighbour image, a pair.
enum class HlKind { UcMol = 0, NeiMol = 1, Dimer = 2 };

struct EngineRow {
    const char* label;
    const char* input_ext;  // "com" or "inp"
    const char* output_ext; // "log" or "out"
    const char* normal_end; // what a normally ended output holds (the checker scripts' rule)
    bool normal_end_last_line;  // ... on its last line
    JobKind hl_kind;
    JobKind re_kind;

    // --- HL runner scripts ---
    bool uc_plain_one_line_end;      // plain unit-cell runner: no empty line after os.chdir
    bool uc_unique_single_quotes;    // unique unit-cell runner: os.chdir('HL'); its array submit quoted so too
    bool dimer_file_modules;         // dimer runners import glob and shutil
    bool plain_separator;            // plain writers: separator before each single job, and before an array's submit
    bool unique_array_separator;     // unique arrays: separator after the empty line before the submit
    bool unique_dimer_marker_suffix; // unique dimer arrays mark themselves "running.HL_2mol_unique"

    // --- RE job sets ---
    const char* re_job;      // job name from the tag
    const char* re_marker;   // marker from the run directory and the tag
    bool re_separator;       // separator before each stanza
    bool re_four_point;      // four-point single points (each state at the other state's geometry)
    bool re_multipoles;      // the multipole job of the site and outer-sphere energies
    const char* coupling_flag;  // option of the coupling tool that names the engine ("" for Gaussian)
    bool coupling_flag_last;    // ... after the pair list rather than before it
};

const EngineRow& engine_row(Engine e);
// Engine of a compute_engine value (1 to 4); false for any other value.
bool engine_from_setting(int compute_engine, Engine& e);

struct HlKindRow {
    const char* runner;        // runner script in the scripts directory
    const char* stem;          // "uc_mol", "nei_mol", "2mol"
    const char* set_key;       // job set in the study record
    const char* set_title;
    bool per_root;             // plain arrays: one per root molecule
    bool plain_array_blank;    // plain arrays (without separator): empty line before the submit
};

const HlKindRow& hl_kind_row(HlKind k);

}  // namespace krymo
