// Batch-script half of the run object: the scheduler settings and the job-script writers.
#pragma once

#include <string>

namespace krymo {

class Jobscript {
public:
    Jobscript();
    virtual ~Jobscript() = default;

    void set_job_moo_flag(bool on) { job_moo_flag = on; }
    bool get_job_moo_flag() const { return job_moo_flag; }
    void set_reorg_outer_flag(int type) { reorg_outer_flag = type; }
    int get_reorg_outer_flag() const { return reorg_outer_flag; }
    const std::string& get_workdir() const { return workdir; }

protected:
    // --- settings held by the job-script part (input keys) ---
    std::string sched_type = "pbs";
    std::string queue_name = "workq";
    std::string nodelist;
    bool sched_job_array = true;
    int job_slot_limit = 0;
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
    bool job_moo_flag = false;
    int reorg_outer_flag = 0;
};

}  // namespace krymo
