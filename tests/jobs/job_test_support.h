// A job-script writer with its settings open to the tests, and one call per job kind.
#pragma once

#include <algorithm>
#include <string>

#include "jobs/job_kinds.h"
#include "jobs/job_scripts.h"
#include "test_support.h"

namespace krymo_test {

class TestJobs : public krymo::Jobscript {
public:
    using Jobscript::job_slot_limit;
    using Jobscript::job_walltime;
    using Jobscript::module_qc_flag;
    using Jobscript::nodelist;
    using Jobscript::qc_exe;
    using Jobscript::write_HL_job_of_kind;
    using Jobscript::write_RE_job_of_kind;

    TestJobs& use(const std::string& sched) {
        sched_type = sched;
        parse_scheduling_type();
        return *this;
    }
    // Every optional line switched on.
    TestJobs& all_options() {
        nodelist = "n01,n02";
        queue_name = "q1";
        scratch = "/scr";
        module_qc = "qcmod";
        module_qc_flag = true;
        module_mpich2 = "mpimod";
        module_mpich2_flag = true;
        return *this;
    }
};

const char* const kSchedNames[] = {"pbs", "slurm", "lsf", "local"};
const char* const kKindNames[] = {"gaussian_HL", "orca_HL", "qchem_HL", "psi4_HL", "gaussian_RE", "orca_RE",
                                  "qchem_RE", "psi4_RE", "RE_mps", "MC", "calc_mob", "ME", "calc_transint",
                                  "calc_siteEner", "calc_getRE"};
constexpr int kQcKindCount = 9;  // the quantum-chemistry kinds lead the list

// Calls the entry point of kind `k` (2 nodes, 4 processes, name NAME, tag "tag", marker RUN/running.x,
// both with `suffix`, command "cmd-line", directory "dd") and returns the script it wrote.
inline std::string write_kind(TestJobs& j, const std::string& k, const std::string& script = "job",
                              const std::string& suffix = "") {
    const std::string n = "NAME" + suffix, t = "tag", m = "RUN/running.x" + suffix, c = "cmd-line\n", d = "dd";
    if (k == "gaussian_HL") j.write_gaussian_HL_job(script, 2, 4, n, t, m);
    else if (k == "orca_HL") j.write_orca_HL_job(script, 2, 4, n, t, m);
    else if (k == "qchem_HL") j.write_qchem_HL_job(script, 2, 4, n, t, m);
    else if (k == "psi4_HL") j.write_HL_job_of_kind(krymo::JobKind::psi4_HL, script, 2, 4, n, t, m);
    else if (k == "gaussian_RE") j.write_gaussian_RE_job(script, 2, 4, c, t, m);
    else if (k == "orca_RE") j.write_orca_RE_job(script, 2, 4, n, t, m, c);
    else if (k == "qchem_RE") j.write_qchem_RE_job(script, 2, 4, n, t, m, c);
    else if (k == "psi4_RE") j.write_RE_job_of_kind(krymo::JobKind::psi4_RE, script, 2, 4, n, t, m, c);
    else if (k == "RE_mps") j.write_RE_mps_job(script, 2, 4, c, t, m, c);
    else if (k == "MC") j.write_MC_job(script, 2, 4, c, t, m);
    else if (k == "calc_mob") j.write_calc_mob_job(script, 2, 4, t, m, c);
    else if (k == "ME") j.write_ME_job(script, 2, 4, c, t, m);
    else if (k == "calc_transint") j.write_calc_transint_job(script, 2, 4, t, m, c, d);
    else if (k == "calc_siteEner") j.write_calc_siteEner_job(script, 2, 4, t, m, c, d);
    else if (k == "calc_getRE") j.write_calc_getRE_job(script, 2, 4, t, m, c);
    else ADD_FAILURE() << "unknown kind " << k;
    // The quantum-chemistry kinds write into the jobs directory, the others where named.
    const bool jobs_dir = std::find(kKindNames, kKindNames + kQcKindCount, k) != kKindNames + kQcKindCount;
    return read_file((jobs_dir ? "jobs/" : "") + script + "." + j.get_job_script_ext());
}

}  // namespace krymo_test
