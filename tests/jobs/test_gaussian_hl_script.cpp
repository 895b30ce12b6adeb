// The Gaussian HL script written out in full for every scheduler, the scheduler table, script
// paths and the failures of the writers.
#include <gtest/gtest.h>

#include "jobs/job_test_support.h"

using namespace krymo_test;

namespace {

// Defaults: no node list, no module key, moo mode off.
const char* const kPbsPlain = R"(#PBS -S /bin/bash
#PBS -l walltime=1000:00:00
#PBS -l nodes=1:ppn=8
#PBS -q workq
#PBS -o stdout-uc_mol-1
#PBS -j oe

DataDir=@W@/HL

cd ${PBS_O_WORKDIR}
echo "Working directory is ${PBS_O_WORKDIR}"

echo "Starting job run at `date`"

python @W@/scr/gaussian_log_check.py @W@/HL/uc_mol-1.log
status=$?
if test $status -eq 0; then
    echo "Normal termination of Gaussian detected, skip the current Gaussian run."
else
    g09 uc_mol-1.com
fi

python @W@/scr/gaussian_log_check.py @W@/HL/uc_mol-1.log
status=$?
if test $status -ne 0; then
    touch @W@/RUN/ERROR-HL_uc_mol-1
else
    formchk uc_mol-1.chk
fi

rm -f @W@/RUN/running.HL_uc_mol-1

echo "Ending job run at `date`"
)";

// Node list, module key and moo mode all on.
const char* const kPbsFull = R"(#PBS -S /bin/bash
#PBS -l walltime=1000:00:00
#PBS -l nodes=2:ppn=4
#PBS -q short
#PBS -o stdout-2mol-1-3
#PBS -j oe
#PBS -l nodes=node01+node02

DataDir=@W@/HL

cd ${PBS_O_WORKDIR}
echo "Working directory is ${PBS_O_WORKDIR}"

module load gaussian/g16

echo "Starting job run at `date`"

python @W@/scr/gaussian_log_check.py @W@/HL/2mol-1-3.log
status=$?
if test $status -eq 0; then
    echo "Normal termination of Gaussian detected, skip the current Gaussian run."
else
    g16 2mol-1-3.com
fi

python @W@/scr/gaussian_log_check.py @W@/HL/2mol-1-3.log
status=$?
if test $status -ne 0; then
    touch @W@/RUN/ERROR-HL_2mol-1-3
else
    formchk 2mol-1-3.chk
    qcpost_fchk_orbitals.exe 2mol-1-3.fchk -orb -xyz
fi

rm -f @W@/RUN/running.HL_2mol-1-3

echo "Ending job run at `date`"
)";

// The body shared by the batch schedulers below (module on, moo off).
const char* const kBody = R"(module load qcmod

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
fi

rm -f @W@/M

echo "Ending job run at `date`"
)";

const char* const kSlurmHead = R"(#!/bin/bash

#SBATCH --time=0-1000:00:00
#SBATCH --output=stdout-T
#SBATCH --nodes=2 --ntasks-per-node=4
#SBATCH -p q1
#SBATCH --nodelist=n01,n02

DataDir=@W@/HL

echo "Working directory is $SLURM_SUBMIT_DIR"
cd ${SLURM_SUBMIT_DIR}

)";

const char* const kLsfHead = R"(#BSUB -W 1000:00
#BSUB -J HL-T
#BSUB -oo stdout-T
#BSUB -n 8
#BSUB -R 'span[ptile=4]'
#BSUB -q q1
#BSUB -m 'n01,n02'

DataDir=@W@/HL

echo "Working directory is ${LS_SUBCWD}"
cd ${LS_SUBCWD}

)";

// Local: no directives, no DataDir, no change of directory, no "Starting" line.
const char* const kLocal = R"(#!/bin/sh

module load qcmod


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
fi

rm -f @W@/M

echo "Ending job run at `date`"
)";

}  // namespace

TEST(GaussianHLScript, PbsWithDefaultsHasNoOptionalLines) {
    ScopedStudyDir dir;
    TestJobs j;
    j.write_gaussian_HL_job("job_uc_mol-1", 1, 8, "uc_mol-1", "uc_mol-1", "RUN/running.HL_uc_mol-1");
    EXPECT_EQ(read_file("jobs/job_uc_mol-1.pbs"), with_workdir(kPbsPlain, j.get_workdir()));
}

TEST(GaussianHLScript, PbsWithNodeListModuleAndMooMode) {
    ScopedStudyDir dir;
    TestJobs j;
    j.nodelist = "node01+node02";
    j.queue_name = "short";
    j.qc_exe = "g16";
    j.module_qc = "gaussian/g16";
    j.module_qc_flag = true;
    j.set_job_moo_flag(true);
    j.write_gaussian_HL_job("job_2mol-1-3", 2, 4, "2mol-1-3", "2mol-1-3", "RUN/running.HL_2mol-1-3");
    EXPECT_EQ(read_file("jobs/job_2mol-1-3.pbs"), with_workdir(kPbsFull, j.get_workdir()));
}

TEST(GaussianHLScript, ModuleDefaultIsNotWrittenUnlessTheKeyWasGiven) {
    ScopedStudyDir dir;
    TestJobs j;
    j.write_gaussian_HL_job("a", 1, 8, "N", "T", "M");
    EXPECT_EQ(read_file("jobs/a.pbs").find("module load"), std::string::npos);
}

TEST(GaussianHLScript, SlurmLsfAndLocal) {
    ScopedStudyDir dir;
    TestJobs j;
    j.all_options();
    const std::string body = with_workdir(kBody, j.get_workdir());
    j.use("slurm").write_gaussian_HL_job("job", 2, 4, "N", "T", "M");
    EXPECT_EQ(read_file("jobs/job.slurm"), with_workdir(kSlurmHead, j.get_workdir()) + body);
    j.use("lsf").write_gaussian_HL_job("job", 2, 4, "N", "T", "M");
    EXPECT_EQ(read_file("jobs/job.lsf"), with_workdir(kLsfHead, j.get_workdir()) + body);
    j.use("local").write_gaussian_HL_job("job", 2, 4, "N", "T", "M");
    EXPECT_EQ(read_file("jobs/job.local"), with_workdir(kLocal, j.get_workdir()));
}

TEST(GaussianHLScript, EmptyNodeListOmitsTheNodeLineForEveryScheduler) {
    ScopedStudyDir dir;
    TestJobs j;
    for (const char* s : kSchedNames) {
        j.use(s).write_gaussian_HL_job("job", 2, 4, "N", "T", "M");
        const std::string text = read_file(std::string("jobs/job.") + s);
        for (const char* key : {"#PBS -l nodes=n", "--nodelist", "#BSUB -m"})
            EXPECT_EQ(text.find(key), std::string::npos) << s << ": " << key;
    }
}

TEST(Schedulers, NamesIgnoreCaseAndUnknownNamesFallBackToPbs) {
    ScopedStudyDir dir;
    TestJobs j;
    const struct {
        const char* name;
        int index;
        const char* ext;
        const char* submit;
    } cases[] = {{"pbs", 0, "pbs", "qsub"},       {"SLURM", 1, "slurm", "sbatch"}, {"Lsf", 2, "lsf", "bsub < "},
                 {"local", 3, "local", "sh"},     {"sge", 0, "pbs", "qsub"},       {"", 0, "pbs", "qsub"}};
    for (const auto& c : cases) {
        j.use(c.name);
        EXPECT_EQ(j.get_job_sched_type(), c.index) << c.name;
        EXPECT_STREQ(j.get_job_script_ext(), c.ext) << c.name;
        EXPECT_STREQ(j.get_job_submit_command(), c.submit) << c.name;
    }
}

TEST(Schedulers, LsfCoreCountIsNodesTimesProcesses) {
    ScopedStudyDir dir;
    TestJobs j;
    j.use("lsf").write_MC_job("run_mc", 2, 8, "x\n", "elec", "M");
    const std::string text = read_file("run_mc.lsf");
    EXPECT_NE(text.find("#BSUB -n 16\n#BSUB -R 'span[ptile=8]'\n"), std::string::npos) << text;
}

TEST(JobScriptPaths, QuantumChemistryKindsGoToTheJobsDirectoryOthersWhereNamed) {
    ScopedStudyDir dir;
    TestJobs j;
    j.use("slurm");
    j.write_orca_RE_job("job_re_mol1-neutral", 1, 8, "mol1", "mol1-neutral", "M", "c\n");
    EXPECT_TRUE(path_exists("jobs/job_re_mol1-neutral.slurm"));
    j.write_calc_transint_job("job_transint", 1, 8, "transint", "M", "c\n", "data");
    EXPECT_TRUE(path_exists("job_transint.slurm"));
    EXPECT_FALSE(path_exists("jobs/job_transint.slurm"));
}

TEST(JobScriptFailures, UnwritablePathAndUnknownSchedulerStopWithStatus255) {
    ScopedStudyDir dir;
    TestJobs j;
    krymo::FatalError e = expect_fatal([&] { j.write_MC_job("no_such_dir/run_mc", 1, 8, "x\n", "elec", "M"); });
    EXPECT_EQ(e.status, 255);
    EXPECT_EQ(e.unit, "job_scripts");
    EXPECT_EQ(e.err_text, "Failed to open output file no_such_dir/run_mc.pbs\n");

    j.job_sched_type = 7;
    e = expect_fatal([&] { j.write_gaussian_HL_job("job", 1, 8, "N", "T", "M"); });
    EXPECT_EQ(e.status, 255);
    EXPECT_EQ(e.err_text, "Unknown job scheduling type!\n");
}
