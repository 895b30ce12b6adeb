// The Gaussian HL script in full for every scheduler with each optional line on and off, the
// scheduler table and the writers' failures.
#include <gtest/gtest.h>

#include "jobs/job_test_support.h"

using namespace krymo_test;

namespace {

// Node list, module key and moo mode (the orbital line) on.
const char* const kPbs = R"(#PBS -S /bin/bash
#PBS -l walltime=1000:00:00
#PBS -l nodes=2:ppn=4
#PBS -q q1
#PBS -o stdout-T
#PBS -j oe
#PBS -l nodes=n01,n02

DataDir=@W@/HL

cd ${PBS_O_WORKDIR}
echo "Working directory is ${PBS_O_WORKDIR}"

module load qcmod

echo "Starting job run at `date`"

python @W@/scr/gaussian_log_check.py @W@/HL/N.log
status=$?
if test $status -eq 0; then
    echo "Normal termination of Gaussian detected, skip the current Gaussian run."
else
    g09 N.com
fi

python @W@/scr/gaussian_log_check.py @W@/HL/N.log
status=$?
if test $status -ne 0; then
    touch @W@/RUN/ERROR-HL_N
else
    formchk N.chk
    qcpost_fchk_orbitals.exe N.fchk -orb -xyz
fi

rm -f @W@/M

echo "Ending job run at `date`"
)";

// The full-option script of a scheduler: the PBS text with the scheduler's own directives and
// submit-directory lines; the local one has neither, nor DataDir and the "Starting" line.
std::string full_text(const std::string& sched) {
    const std::string pbs = kPbs;
    if (sched == "local")
        return "#!/bin/sh\n\n" +
               replaced(pbs.substr(pbs.find("module load")), "echo \"Starting job run at `date`\"\n", "");
    if (sched == "pbs") return pbs;
    return batch_directives(sched, "HL-T", "stdout-T") + batch_rest(pbs.substr(pbs.find("\n\nDataDir") + 1), sched);
}

}  // namespace

TEST(GaussianHLScript, EverySchedulerWithEachOptionalLineOnAndOff) {
    ScopedStudyDir dir;
    for (const char* s : kSchedNames) {
        const std::string full = full_text(s);
        for (int options = 0; options < 8; ++options) {
            const bool nodes = options & 1, module = options & 2, moo = options & 4;
            SCOPED_TRACE(std::string(s) + " options " + std::to_string(options));
            TestJobs j;
            j.all_options().module_qc_flag = module;  // written only when the key was given
            if (!nodes) j.nodelist = "";
            j.set_job_moo_flag(moo);
            std::string expected = full;
            if (!nodes)
                for (const char* l : {"#PBS -l nodes=n01,n02\n",
                                      "#SBATCH --nodelist=n01,n02\n", "#BSUB -m 'n01,n02'\n"})
                    expected = replaced(expected, l, "", false);
            if (!module) expected = replaced(expected, "module load qcmod\n\n", "");
            if (!moo) expected = replaced(expected, "    qcpost_fchk_orbitals.exe N.fchk -orb -xyz\n", "");
            j.use(s).write_gaussian_HL_job("job", 2, 4, "N", "T", "M");
            EXPECT_EQ(read_file(std::string("jobs/job.") + s), with_workdir(expected, j.get_workdir()));
        }
    }
}

TEST(Schedulers, NamesIgnoreCaseAndUnknownNamesFallBackToPbs) {
    ScopedStudyDir dir;
    TestJobs j;
    const std::pair<const char*, int> names[] = {{"pbs", 0}, {"SLURM", 1}, {"Lsf", 2},
                                                 {"local", 3}, {"sge", 0}, {"", 0}};
    const char* const submit[] = {"qsub", "sbatch", "bsub < ", "sh"};
    for (const auto& n : names) {
        EXPECT_EQ(j.use(n.first).get_job_sched_type(), n.second) << n.first;
        EXPECT_STREQ(j.get_job_submit_command(), submit[n.second]) << n.first;
    }
}

TEST(JobScriptFailures, AnUnwritablePathStopsWithStatus255) {
    ScopedStudyDir dir;
    TestJobs j;
    const krymo::FatalError e = expect_fatal([&] { j.write_MC_job("no_such_dir/run_mc", 1, 8, "x\n", "elec", "M"); });
    EXPECT_EQ(e.status, 255);
    EXPECT_EQ(e.unit, "job_scripts");
    EXPECT_EQ(e.err_text, "Failed to open output file no_such_dir/run_mc.pbs\n");
}
