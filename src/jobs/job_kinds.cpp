#include "jobs/job_kinds.h"

#include "util/text.h"

namespace krymo {

namespace {

using P = Prelude;
using Mod = ModuleChoice;
using RS = ReScratch;
using B = Body;
using LF = LocalForm;

// One row per kind. Quirks kept for the tools that read these scripts:
// - the HL kinds put the SLURM output line first, the others after the partition line;
// - the PBS site-energy script never names nodes;
// - the workflow kinds echo the submit directory before changing to it.
const JobKindRow kKinds[] = {
    // kind, name, jobs dir, data dir, prelude, module, RE scratch, stdout in D, SLURM output first,
    // PBS node list, echo before cd, body, LSF title, local form, local DataDir, local command
    {JobKind::gaussian_HL, "gaussian_HL", true, "HL", P::Standard, Mod::QC, RS::None, false, true, true, false,
     B::GaussianHL, "HL-", LF::Template, false, nullptr},
    {JobKind::gaussian_RE, "gaussian_RE", true, "RE", P::Standard, Mod::QC, RS::None, false, false, true, false,
     B::CommandThenBlank, "RE-", LF::Template, false, nullptr},
    {JobKind::orca_HL, "orca_HL", true, "HL", P::ModuleDataDir, Mod::QC, RS::None, false, true, true, false,
     B::OrcaHL, "HL-", LF::Template, true, nullptr},
    // The ORCA RE body (made by the job set) runs in $SCRDIR, so every scheduler names one.
    {JobKind::orca_RE, "orca_RE", true, "RE", P::ModuleDataDir, Mod::QC, RS::All, false, false, true, false,
     B::BlankThenCommand, "RE-", LF::Template, true, nullptr},
    {JobKind::qchem_HL, "qchem_HL", true, "HL", P::Standard, Mod::QC, RS::None, false, true, true, false,
     B::QchemHL, "HL-", LF::Template, false, nullptr},
    // Only the PBS Q-Chem RE script names a scratch directory.
    {JobKind::qchem_RE, "qchem_RE", true, "RE", P::Standard, Mod::QC, RS::PBSOnly, false, false, true, false,
     B::Command, "RE-", LF::Template, false, nullptr},
    {JobKind::psi4_HL, "psi4_HL", true, "HL", P::Standard, Mod::QC, RS::None, false, true, true, false,
     B::Psi4HL, "HL-", LF::Template, false, nullptr},
    {JobKind::psi4_RE, "psi4_RE", true, "RE", P::Standard, Mod::QC, RS::None, false, false, true, false,
     B::Command, "RE-", LF::Template, false, nullptr},
    {JobKind::RE_mps, "RE_mps", true, "RE", P::DataDirOnly, Mod::None, RS::None, false, false, true, false,
     B::CommandInDataDir, "RE-", LF::Template, true, nullptr},
    // Local MC and ME runs start the simulators directly, without the batch command line.
    {JobKind::MC, "MC", false, nullptr, P::Standard, Mod::MPICH2, RS::None, false, false, true, true, B::Command,
     "MC-", LF::Template, false, "hopsim_mc_par.exe"},
    {JobKind::calc_mob, "calc_mob", false, nullptr, P::Standard, Mod::MPICH2, RS::None, false, false, true, true,
     B::Command, "mc-mob-", LF::Short, false, nullptr},
    {JobKind::ME, "ME", false, nullptr, P::Standard, Mod::MPICH2, RS::None, false, false, true, true, B::Command,
     "ME-", LF::Template, false, "hopsim_master.exe"},
    {JobKind::calc_transint, "calc_transint", false, nullptr, P::ChangeToDir, Mod::MPICH2, RS::None, true, false,
     true, false, B::Command, "Transint-", LF::Short, false, nullptr},
    {JobKind::calc_siteEner, "calc_siteEner", false, nullptr, P::Standard, Mod::MPICH2, RS::None, true, false, false,
     true, B::Command, "", LF::Short, false, nullptr},
    {JobKind::calc_getRE, "calc_getRE", false, nullptr, P::Standard, Mod::MPICH2, RS::None, false, false, true, true,
     B::Command, "getRE-", LF::Short, false, nullptr},
};
static_assert(sizeof(kKinds) / sizeof(kKinds[0]) == static_cast<size_t>(JobKind::count), "one row per job kind");

// The quantum-chemistry HL bodies share one skeleton: skip a finished run, run, mark a failure.
struct HlEngineRow {
    const char* checker;       // script in scr/ that recognises a finished output
    const char* label;         // program name in the skip message
    bool gaussian_log;         // the checked output is the Gaussian log, else "<name>.out"
    const char* touch_indent;  // indent of the failure-marker line (batch / local)
    const char* local_touch_indent;
    void (*run)(const JobSettings&, int sched, const JobTexts&, const JobMember&, ScriptText&);
    bool convert_checkpoint;   // formatted checkpoint (and orbitals in moo mode) after a good run
};

void gaussian_run(const JobSettings& s, int, const JobTexts&, const JobMember& m, ScriptText& out) {
    out.line(format_string("    %s %s.com", s.qc_exe.c_str(), m.name.c_str()));
}

void qchem_run(const JobSettings& s, int, const JobTexts& t, const JobMember& m, ScriptText& out) {
    out.line(format_string("    %s -nt %d %s.inp > %s.out", s.qc_exe.c_str(), t.ppn, m.name.c_str(), m.name.c_str()));
    out.line();
}

// psi4 takes its thread count on the command line and names its output there.
void psi4_run(const JobSettings& s, int, const JobTexts& t, const JobMember& m, ScriptText& out) {
    out.line(format_string("    %s -n %d %s.inp %s.out", s.qc_exe.c_str(), t.ppn, m.name.c_str(), m.name.c_str()));
    out.line();
}

// ORCA runs in a scratch directory and copies its results back; the local script has its own
// spelling of a few lines.
struct OrcaVariant {
    const char* cd_scratch;
    bool blank_after_conversion;
    const char* compare;
    const char* move_from;
};
const OrcaVariant kOrcaBatch = {"    cd ${SCRDIR}", true, "    if [ $DataDir != $CurrDir ]; then", "$CurrDir"};
const OrcaVariant kOrcaLocal = {"    cd $SCRDIR", false, "    if [ $CurrDir != $DataDir ]; then", "$SCRDIR"};

void orca_run(const JobSettings& s, int sched, const JobTexts&, const JobMember& m, ScriptText& out) {
    const OrcaVariant& v = sched == kSchedLocal ? kOrcaLocal : kOrcaBatch;
    const char* n = m.name.c_str();
    out.line(format_string("    SCRDIR=%s/%s", s.scratch.c_str(), m.orca_scratch.c_str()));
    if (m.array) out.line();
    // "-d": the unary "-a" is a syntax error in dash, so local ORCA runs never made their scratch.
    out.line("    if [ ! -d $SCRDIR ]; then");
    out.echo("Scratch directory $SCRDIR created.", 8);
    out.line("        mkdir -p $SCRDIR");
    out.line("    fi");
    out.line();
    // Array members copy with the unbraced variable, as the array scripts always have.
    out.line(format_string(m.array ? "    cp $DataDir/%s.inp $SCRDIR" : "    cp ${DataDir}/%s.inp $SCRDIR", n));
    out.line(v.cd_scratch);
    out.echo("Working directory is ${SCRDIR}", 4);
    out.line();
    out.line(format_string("    %s %s.inp %s > %s.out", s.qc_exe.c_str(), n, s.orca_extra_args.c_str(), n));
    out.line(format_string("    %s %s", s.orca_2mkl.c_str(), n));
    if (v.blank_after_conversion) out.line();
    out.line("    CurrDir=`pwd`");
    out.line(v.compare);
    out.echo("Copy data back to HL directory...", 8);
    out.line(format_string("        mv %s/%s.out $DataDir", v.move_from, n));
    out.line(format_string("        mv %s/%s.mkl $DataDir", v.move_from, n));
    out.line("    fi");
}

const HlEngineRow kGaussianHL = {"gaussian_log_check.py", "Gaussian", true, "    ", "    ", gaussian_run, true};
const HlEngineRow kOrcaHL = {"orca_out_check.py", "ORCA", false, "    ", "  ", orca_run, false};
const HlEngineRow kQchemHL = {"qchem_out_check.py", "Q-Chem", false, "  ", "  ", qchem_run, false};
const HlEngineRow kPsi4HL = {"psi4_out_check.py", "psi4", false, "  ", "  ", psi4_run, false};

void hl_body(const HlEngineRow& e, const JobSettings& s, int sched, const JobTexts& t, const JobMember& m,
             ScriptText& out) {
    const char* w = s.workdir.c_str();
    const char* n = m.name.c_str();
    const std::string output = e.gaussian_log ? format_string("%s.%s", n, s.log_ext.c_str()) : m.name + ".out";
    const std::string check = format_string("python %s/scr/%s %s/HL/%s", w, e.checker, w, output.c_str());
    out.line();
    out.line(check);
    out.line("status=$?");
    out.line("if test $status -eq 0; then");
    out.echo(format_string("Normal termination of %s detected, skip the current %s run.", e.label, e.label), 4);
    out.line("else");
    e.run(s, sched, t, m, out);
    out.line("fi");
    out.line();
    out.line(check);
    out.line("status=$?");
    out.line("if test $status -ne 0; then");
    out.line(format_string("%stouch %s/RUN/ERROR-HL_%s", sched == kSchedLocal ? e.local_touch_indent : e.touch_indent,
                           w, n));
    if (e.convert_checkpoint) {
        out.line("else");
        out.line(format_string("    %s %s.chk", s.formchk.c_str(), n));
        if (s.moo) out.line(format_string("    %s %s.fchk -orb -xyz", s.orbital_extractor.c_str(), n));
    }
    out.line("fi");
    out.line();
}

ModuleChoice module_of(const JobKindRow& k, int sched) {
    // A local machine has no MPI runtime module to load; it runs everything with the QC module.
    return sched == kSchedLocal && k.module == Mod::MPICH2 ? Mod::QC : k.module;
}

// "module load X" when the chosen module was set by the user; returns whether a line was written.
bool module_line(ModuleChoice choice, const JobSettings& s, ScriptText& out) {
    const bool on = choice == Mod::QC ? s.module_qc_flag : choice == Mod::MPICH2 ? s.module_mpich2_flag : false;
    if (on) out.line("module load " + (choice == Mod::QC ? s.module_qc : s.module_mpich2));
    return on;
}

void module_block(ModuleChoice choice, const JobSettings& s, ScriptText& out) {
    if (module_line(choice, s, out)) out.line();
}

void data_dir_block(const JobKindRow& k, int sched, const JobSettings& s, const JobTexts& t, ScriptText& out) {
    out.line(format_string("DataDir=%s/%s", s.workdir.c_str(), k.data_dir));
    if (k.re_scratch == RS::All || (k.re_scratch == RS::PBSOnly && sched == kSchedPBS))
        out.line(format_string("SCRDIR=%s/krymo-RE-%s-%s", s.scratch.c_str(), t.tag.c_str(),
                               scheduler_row(sched).job_id));
    out.line();
}

void submit_dir_lines(const JobKindRow& k, const SchedulerRow& r, ScriptText& out) {
    if (r.cd_submit_dir == nullptr) return;
    const std::string echo = std::string("Working directory is ") + r.submit_dir;
    if (r.cd_before_echo && !k.echo_before_cd) {
        out.line(r.cd_submit_dir);
        out.echo(echo);
    } else {
        out.echo(echo);
        out.line(r.cd_submit_dir);
    }
    out.line();
}

const char* const kStarting = "Starting job run at `date`";
const char* const kEnding = "Ending job run at `date`";

}  // namespace

const JobKindRow& job_kind_row(JobKind kind) { return kKinds[static_cast<int>(kind)]; }

void write_job_head(JobKind kind, int sched, const JobSettings& s, const JobTexts& t, const ArrayHeader* array,
                    ScriptText& out) {
    const JobKindRow& k = job_kind_row(kind);
    const SchedulerRow& r = scheduler_row(sched);
    const bool local = sched == kSchedLocal;

    HeaderRequest h;
    h.nodes = t.nodes;
    h.ppn = t.ppn;
    h.queue = s.queue_name;
    h.nodelist = s.nodelist;
    h.output = k.output_in_dir ? format_string("%s/stdout-%s", t.dir.c_str(), t.tag.c_str()) : "stdout-" + t.tag;
    h.title = k.lsf_title + t.tag;
    h.output_first = k.slurm_output_first;
    h.nodelist_line = k.pbs_nodelist || sched != kSchedPBS;
    h.array = array;
    h.walltime_hours = s.walltime_hours;
    r.directives(h, out);
    out.line();

    const ModuleChoice module = module_of(k, sched);
    if (local && k.local_form == LF::Short) {
        module_block(module, s, out);
        out.echo(kStarting);
        out.line();
        if (k.prelude == P::ChangeToDir) out.line("cd " + t.dir);
        return;
    }
    const bool data_dir = k.data_dir != nullptr && (!local || k.local_data_dir);
    switch (k.prelude) {
        case P::Standard:
            if (data_dir) data_dir_block(k, sched, s, t, out);
            submit_dir_lines(k, r, out);
            module_block(module, s, out);
            break;
        case P::ModuleDataDir:
            module_line(module, s, out);
            if (data_dir) data_dir_block(k, sched, s, t, out);
            break;
        case P::DataDirOnly:
            if (data_dir) data_dir_block(k, sched, s, t, out);
            break;
        case P::ChangeToDir:
            module_block(module, s, out);
            out.line("cd " + s.workdir);
            out.line("cd " + t.dir);
            out.echo("Working directory is `pwd`");
            out.line();
            break;
    }
    if (!local) out.echo(kStarting);
}

void write_job_member(JobKind kind, int sched, const JobSettings& s, const JobTexts& t, const JobMember& m,
                      ScriptText& out) {
    const JobKindRow& k = job_kind_row(kind);
    const bool local = sched == kSchedLocal;
    if (local && k.local_form == LF::Short) {
        out.raw(t.command + "\n");
        out.line();
    } else if (local && k.local_command != nullptr) {
        out.line(k.local_command);
    } else {
        switch (k.body) {
            case B::GaussianHL: hl_body(kGaussianHL, s, sched, t, m, out); break;
            case B::OrcaHL: hl_body(kOrcaHL, s, sched, t, m, out); break;
            case B::QchemHL: hl_body(kQchemHL, s, sched, t, m, out); break;
            case B::Psi4HL: hl_body(kPsi4HL, s, sched, t, m, out); break;
            case B::Command: out.raw(t.command); break;
            case B::CommandThenBlank: out.raw(t.command + "\n"); break;
            case B::BlankThenCommand:
                out.line();
                out.raw(t.command);
                break;
            case B::CommandInDataDir:
                out.line();
                out.line("cd ${DataDir}");
                out.line();
                out.raw(t.command);
                break;
        }
    }
    // A command text without a final line end must not run into the marker removal.
    out.end_line();
    out.line(format_string("rm -f %s/%s", s.workdir.c_str(), m.marker.c_str()));
    out.line();
}

void write_job_close(JobKind kind, int sched, ScriptText& out) {
    out.echo(kEnding);
    if (sched == kSchedLocal && job_kind_row(kind).local_form == LF::Short) out.line();
}

std::string compose_job_script(JobKind kind, int sched, const JobSettings& s, const JobTexts& t) {
    const SchedulerRow& r = scheduler_row(sched);
    JobMember m;
    m.name = t.name;
    m.marker = t.marker;
    // ORCA HL scratch: the local name carries the job name, a batch one the scheduler's job id.
    m.orca_scratch = sched == kSchedLocal ? format_string("%s%s-%s", r.orca_hl_scratch, t.name.c_str(), r.job_id)
                                          : format_string("%s%s", r.orca_hl_scratch, r.job_id);
    ScriptText out;
    write_job_head(kind, sched, s, t, nullptr, out);
    write_job_member(kind, sched, s, t, m, out);
    write_job_close(kind, sched, out);
    return out.str();
}

}  // namespace krymo
