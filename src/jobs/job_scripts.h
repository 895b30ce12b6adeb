// Batch-script half of the run object: the scheduler settings and the job-script writers.
//
// Every job kind has one entry point; all of them write through one composer driven by the job-kind
// and scheduler tables (job_kinds.h, schedulers.h). Text arguments keep the order the callers use:
// N input base name, T output tag, M marker file (relative to the work directory, removed when the
// job ends), C command text, D directory of the job.
#pragma once

#include <string>
#include <vector>

namespace krymo {

enum class JobKind;
struct JobTexts;
struct JobSettings;

class Jobscript {
public:
    Jobscript();
    virtual ~Jobscript() = default;

    void set_job_moo_flag(bool on) { job_moo_flag = on; }
    bool get_job_moo_flag() const { return job_moo_flag; }
    void set_reorg_outer_flag(int type) { reorg_outer_flag = type; }
    int get_reorg_outer_flag() const { return reorg_outer_flag; }
    const std::string& get_workdir() const { return workdir; }

    // Stops before anything is written when the work directory or a setting that the scripts splice
    // unquoted into shell and Python lines (scratch, nodelist, queue_name, module names) holds a
    // character that would break them or run a command; `input` names the settings file.
    void check_spliced_texts(const std::string& input) const;

    // Scheduler index from sched_type (case ignored): 0 pbs, 1 slurm, 2 lsf, 3 local; unknown names give pbs.
    void parse_scheduling_type();
    int get_job_sched_type() const { return job_sched_type; }
    const char* get_job_script_ext() const;
    // "qsub", "sbatch", "bsub < " (with its blank) or "sh".
    const char* get_job_submit_command() const;
    int get_run_nodes() const { return qc_nodes; }
    int get_run_ppn() const { return qc_ppn; }
    const std::string& get_job_dir() const { return job_dir; }
    const std::string& get_chk_converter() const { return chk_converter; }
    const std::string& get_orca_converter() const { return orca_converter; }
    const std::string& get_orca_extra_args() const { return orca_extra_args; }
    const std::string& get_log_ext() const { return log_ext; }

    // --- single jobs ---
    void write_gaussian_HL_job(const std::string& script, int nodes, int ppn, const std::string& name,
                               const std::string& tag, const std::string& marker);
    void write_orca_HL_job(const std::string& script, int nodes, int ppn, const std::string& name,
                           const std::string& tag, const std::string& marker);
    void write_qchem_HL_job(const std::string& script, int nodes, int ppn, const std::string& name,
                            const std::string& tag, const std::string& marker);
    void write_gaussian_RE_job(const std::string& script, int nodes, int ppn, const std::string& command,
                               const std::string& tag, const std::string& marker);
    void write_orca_RE_job(const std::string& script, int nodes, int ppn, const std::string& name,
                           const std::string& tag, const std::string& marker, const std::string& command);
    void write_qchem_RE_job(const std::string& script, int nodes, int ppn, const std::string& name,
                            const std::string& tag, const std::string& marker, const std::string& command);
    void write_RE_mps_job(const std::string& script, int nodes, int ppn, const std::string& name,
                          const std::string& tag, const std::string& marker, const std::string& command);
    void write_MC_job(const std::string& script, int nodes, int ppn, const std::string& command,
                      const std::string& tag, const std::string& marker);
    void write_calc_mob_job(const std::string& script, int nodes, int ppn, const std::string& tag,
                            const std::string& marker, const std::string& command);
    void write_ME_job(const std::string& script, int nodes, int ppn, const std::string& command,
                      const std::string& tag, const std::string& marker);
    void write_calc_transint_job(const std::string& script, int nodes, int ppn, const std::string& tag,
                                 const std::string& marker, const std::string& command, const std::string& dir);
    void write_calc_siteEner_job(const std::string& script, int nodes, int ppn, const std::string& tag,
                                 const std::string& marker, const std::string& command, const std::string& dir);
    void write_calc_getRE_job(const std::string& script, int nodes, int ppn, const std::string& tag,
                              const std::string& marker, const std::string& command);

    // --- job arrays: `count` members numbered 1..count, or the listed numbers when `indices` is given
    // (then it must hold exactly `count` numbers). An array without members is refused. ---
    void write_gaussian_HL_job_array(const std::string& script, int nodes, int ppn, const std::string& name,
                                     const std::string& tag, const std::string& marker, int count,
                                     const std::vector<int>* indices = nullptr);
    void write_orca_HL_job_array(const std::string& script, int nodes, int ppn, const std::string& name,
                                 const std::string& tag, const std::string& marker, int count,
                                 const std::vector<int>* indices = nullptr);
    void write_qchem_HL_job_array(const std::string& script, int nodes, int ppn, const std::string& name,
                                  const std::string& tag, const std::string& marker, int count,
                                  const std::vector<int>* indices = nullptr);

protected:
    // The HL job of a quantum-chemistry kind (gaussian_HL, orca_HL, qchem_HL, psi4_HL), single or as an
    // array, and the RE job of a kind: the job sets pick the kind from their engine.
    void write_HL_job_of_kind(JobKind kind, const std::string& script, int nodes, int ppn, const std::string& name,
                              const std::string& tag, const std::string& marker);
    void write_HL_job_array_of_kind(JobKind kind, const std::string& script, int nodes, int ppn,
                                    const std::string& name, const std::string& tag, const std::string& marker,
                                    int count, const std::vector<int>* indices);
    void write_RE_job_of_kind(JobKind kind, const std::string& script, int nodes, int ppn, const std::string& name,
                              const std::string& tag, const std::string& marker, const std::string& command);

    // Path of a kind's script: "<jobs dir>/<script>.<ext>" for the quantum-chemistry kinds, else "<script>.<ext>".
    std::string job_script_path(JobKind kind, const std::string& script) const;
    JobSettings job_settings() const;

    // --- settings held by the job-script part (input keys) ---
    std::string sched_type = "pbs";
    std::string queue_name = "workq";
    std::string nodelist;
    bool sched_job_array = true;
    int job_slot_limit = 0;
    int job_walltime = 1000;  // hours
    std::string module_mpich2 = "mpich2/1.5-gnu-5.4.0";
    bool module_mpich2_flag = false;
    std::string module_qc = "gaussian/g09.e01";
    bool module_qc_flag = false;
    std::string qc_exe = "g09";
    int qc_nodes = 1;
    int qc_ppn = 8;
    std::string scratch = "/tmp";

    // --- fixed names and derived state ---
    std::string workdir;  // absolute working directory, taken when the run object is built
    std::string job_dir = "jobs";
    std::string log_ext = "log";
    std::string chk_converter = "formchk";
    std::string orca_converter = "orca_2mkl";
    std::string orbital_extractor = "qcpost_fchk_orbitals.exe";
    std::string orca_extra_args;
    int job_sched_type = 0;
    bool job_moo_flag = false;
    int reorg_outer_flag = 0;

private:
    void write_job(JobKind kind, const std::string& script, const JobTexts& texts);
    void write_job_array(JobKind kind, const std::string& script, const JobTexts& texts, int count,
                         const std::vector<int>* indices);
    // Checks the scheduler index, creates the jobs directory for the quantum-chemistry kinds, returns the path.
    std::string prepare_script(JobKind kind, const std::string& script) const;
    void write_script_file(const std::string& path, const std::string& text) const;
};

}  // namespace krymo
