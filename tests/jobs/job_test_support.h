// A job-script writer with its settings open to the tests, and helpers to read what it wrote.
#pragma once

#include <string>

#include "jobs/job_scripts.h"
#include "test_support.h"

namespace krymo_test {

class TestJobs : public krymo::Jobscript {
public:
    using Jobscript::job_sched_type;
    using Jobscript::job_slot_limit;
    using Jobscript::module_mpich2;
    using Jobscript::module_mpich2_flag;
    using Jobscript::module_qc;
    using Jobscript::module_qc_flag;
    using Jobscript::nodelist;
    using Jobscript::qc_exe;
    using Jobscript::queue_name;
    using Jobscript::scratch;
    using Jobscript::sched_type;

    TestJobs& use(const std::string& sched) {
        sched_type = sched;
        parse_scheduling_type();
        return *this;
    }
    // The settings most tests use: every optional line switched on.
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

// `text` with every "@W@" replaced by the work directory.
inline std::string with_workdir(std::string text, const std::string& workdir) {
    for (size_t p = text.find("@W@"); p != std::string::npos; p = text.find("@W@", p + workdir.size()))
        text.replace(p, 3, workdir);
    return text;
}

const char* const kSchedNames[] = {"pbs", "slurm", "lsf", "local"};

}  // namespace krymo_test
