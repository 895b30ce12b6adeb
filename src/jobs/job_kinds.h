// The job kinds: one row per kind holding how its script differs from the others, and the
// composer that turns a row, a scheduler and the texts of one job into the script text.
#pragma once

#include <string>

#include "jobs/schedulers.h"

namespace krymo {

enum class JobKind {
    gaussian_HL, gaussian_RE, orca_HL, orca_RE, qchem_HL, qchem_RE, psi4_HL, psi4_RE, RE_mps,
    MC, calc_mob, ME, calc_transint, calc_siteEner, calc_getRE, count
};

// What stands between the scheduler lines and the "Starting job run" line.
enum class Prelude {
    Standard,        // [DataDir block], change to the submit directory, module block
    ModuleDataDir,   // module line, DataDir (and scratch) block; no change of directory
    DataDirOnly,     // DataDir block only
    ChangeToDir,     // module block, then into the work directory and the job's own directory
};

enum class ModuleChoice { QC, MPICH2, None };

// A scratch line "SCRDIR=<scratch>/krymo-RE-<T>-<job id>" in the DataDir block.
enum class ReScratch { None, All, PBSOnly };

enum class Body {
    GaussianHL,        // log check, run, failure marker, checkpoint conversion
    OrcaHL,            // output check, run in a scratch directory, copy back, failure marker
    QchemHL,           // output check, run, failure marker
    Psi4HL,            // output check, run, failure marker
    Command,           // the command text
    CommandThenBlank,  // the command text and one more line end
    BlankThenCommand,  // an empty line, then the command text
    CommandInDataDir,  // an empty line, "cd ${DataDir}", an empty line, the command text
};

// Local scripts either follow the template (no directory change, no "Starting" line) or are
// the short form of the workflow tools ("Starting" line, the command, a final empty line).
enum class LocalForm { Template, Short };

struct JobKindRow {
    JobKind kind;
    const char* name;
    bool in_job_dir;            // script goes to the jobs directory, which the writer creates
    const char* data_dir;       // "HL", "RE" or null
    Prelude prelude;
    ModuleChoice module;
    ReScratch re_scratch;
    bool output_in_dir;         // stdout file inside the job's directory D
    bool slurm_output_first;    // SLURM output line directly after the time limit
    bool pbs_nodelist;          // PBS node-list directive when a node list is set
    bool echo_before_cd;        // echo the submit directory before changing to it
    Body body;
    const char* lsf_title;      // prefix of the LSF job title
    LocalForm local_form;
    bool local_data_dir;        // the local script keeps the DataDir block (its body reads $DataDir)
    const char* local_command;  // fixed command of the local script instead of the command text (or null)
};

const JobKindRow& job_kind_row(JobKind kind);

// The settings of the run that the templates read.
struct JobSettings {
    std::string workdir;
    std::string queue_name;
    std::string nodelist;
    std::string scratch;
    std::string qc_exe;
    std::string module_qc;
    bool module_qc_flag = false;
    std::string module_mpich2;
    bool module_mpich2_flag = false;
    bool moo = false;
    std::string formchk = "formchk";
    std::string orca_2mkl = "orca_2mkl";
    std::string orbital_extractor = "qcpost_fchk_orbitals.exe";
    std::string orca_extra_args;
    std::string log_ext = "log";
    int walltime_hours = 1000;  // time limit every scheduler asks for
};

// The texts of one job (letters as the writers name their arguments).
struct JobTexts {
    int nodes = 1;
    int ppn = 1;
    std::string name;     // N, input base name
    std::string tag;      // T, output tag
    std::string marker;   // M, marker file relative to the work directory
    std::string command;  // C
    std::string dir;      // D
};

// One job of a script: the names it works on (with the member suffix in arrays).
struct JobMember {
    std::string name;          // input base name
    std::string marker;        // marker file removed at the end
    std::string orca_scratch;  // scratch directory name of an ORCA HL run
    bool array = false;        // member of a job array
};

// The pieces of a script, in order: head (scheduler lines up to "Starting job run"), the body of
// each member followed by its marker removal, then the closing line.
void write_job_head(JobKind kind, int sched, const JobSettings& s, const JobTexts& t, const ArrayHeader* array,
                    ScriptText& out);
void write_job_member(JobKind kind, int sched, const JobSettings& s, const JobTexts& t, const JobMember& m,
                      ScriptText& out);
void write_job_close(JobKind kind, int sched, ScriptText& out);

std::string compose_job_script(JobKind kind, int sched, const JobSettings& s, const JobTexts& t);

}  // namespace krymo
