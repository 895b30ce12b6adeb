// Job arrays: index sets, slot limits, the array form of each scheduler's header, suffixed member
// names, the local form that runs the members one after another, and refused empty arrays.
#include <gtest/gtest.h>

#include "jobs/job_test_support.h"

using namespace krymo_test;

namespace {

std::string replaced(std::string s, const std::string& from, const std::string& to) {
    const size_t p = s.find(from);
    EXPECT_NE(p, std::string::npos) << from;
    if (p != std::string::npos) s.replace(p, from.size(), to);
    return s;
}

using Writer = void (krymo::Jobscript::*)(const std::string&, int, int, const std::string&, const std::string&,
                                          const std::string&);
using ArrayWriter = void (krymo::Jobscript::*)(const std::string&, int, int, const std::string&, const std::string&,
                                               const std::string&, int, const std::vector<int>*);

struct ArrayKind {
    const char* name;
    Writer single;
    ArrayWriter array;
};

const ArrayKind kArrayKinds[] = {
    {"gaussian_HL", &krymo::Jobscript::write_gaussian_HL_job, &krymo::Jobscript::write_gaussian_HL_job_array},
    {"qchem_HL", &krymo::Jobscript::write_qchem_HL_job, &krymo::Jobscript::write_qchem_HL_job_array},
};

}  // namespace

TEST(JobArrays, IndexSetsAndSlotLimitsInThePbsHeader) {
    ScopedStudyDir dir;
    TestJobs j;
    const std::vector<int> listed = {4, 7};
    const std::vector<int> large = {123456, 7654321};
    const struct {
        int count;
        const std::vector<int>* list;
        int limit;
        const char* line;
    } cases[] = {{3, nullptr, 0, "#PBS -q workq\n#PBS -t 1-3\n#PBS -o stdout-T\n"},
                 {2, &listed, 0, "#PBS -t 4,7\n"},
                 {40, nullptr, 10, "#PBS -t 1-40%10\n"},
                 {2, &large, 0, "#PBS -t 123456,7654321\n"}};
    for (const auto& c : cases) {
        j.job_slot_limit = c.limit;
        j.write_gaussian_HL_job_array("job", 1, 8, "N", "T", "M", c.count, c.list);
        EXPECT_NE(read_file("jobs/job.pbs").find(c.line), std::string::npos) << c.line;
    }
    // Any number of members fits the index set.
    std::vector<int> many;
    std::string expected = "#PBS -t ";
    for (int k = 1; k <= 3000; ++k) {
        many.push_back(2 * k);
        expected += std::to_string(2 * k) + (k < 3000 ? "," : "\n");
    }
    j.job_slot_limit = 0;
    j.write_gaussian_HL_job_array("job", 1, 8, "N", "T", "M", 3000, &many);
    EXPECT_NE(read_file("jobs/job.pbs").find(expected), std::string::npos);
}

// A batch array script is the single script of the suffixed names plus the scheduler's array lines.
TEST(JobArrays, BatchArraysAreTheSingleScriptWithSuffixedNamesAndArrayLines) {
    ScopedStudyDir dir;
    TestJobs j;
    j.all_options();
    j.set_job_moo_flag(true);
    j.job_slot_limit = 10;
    const std::vector<int> listed = {4, 7};
    for (const ArrayKind& k : kArrayKinds) {
        SCOPED_TRACE(k.name);
        auto single = [&](const std::string& var) {
            (j.*k.single)("job", 2, 4, "N-" + var, "T", "M-" + var);
            return read_file(std::string("jobs/job.") + j.get_job_script_ext());
        };
        auto array = [&] {
            (j.*k.array)("job", 2, 4, "N", "T", "M", 2, &listed);
            return read_file(std::string("jobs/job.") + j.get_job_script_ext());
        };
        j.use("pbs");
        EXPECT_EQ(array(), replaced(single("${PBS_ARRAYID}"), "#PBS -q q1\n", "#PBS -q q1\n#PBS -t 4,7%10\n"));
        j.use("slurm");
        EXPECT_EQ(array(), replaced(single("${SLURM_ARRAY_TASK_ID}"), "#SBATCH --output=stdout-T\n",
                                    "#SBATCH --output=stdout-T-%a\n#SBATCH --array=4,7%10\n"));
        j.use("lsf");
        EXPECT_EQ(array(), replaced(replaced(single("${LSB_JOBINDEX}"), "#BSUB -J HL-T\n", "#BSUB -J HL-T[4,7]%10\n"),
                                    "#BSUB -oo stdout-T\n", "#BSUB -oo stdout-T-%I\n"));
    }
}

TEST(JobArrays, OrcaMembersGetTheirOwnScratchDirectory) {
    ScopedStudyDir dir;
    TestJobs j;
    j.scratch = "/scr";
    j.qc_exe = "orca";
    const struct {
        const char* sched;
        const char* var;
        const char* scratch;
    } cases[] = {{"pbs", "${PBS_ARRAYID}", "/scr/krymo-HL-$PBS_JOBID-${PBS_ARRAYID}"},
                 {"slurm", "${SLURM_ARRAY_TASK_ID}", "/scr/krymo-HL-$SLURM_JOB_ID-${SLURM_ARRAY_TASK_ID}"},
                 {"lsf", "${LSB_JOBINDEX}", "/scr/krymo-HL-$LSB_JOBID-${LSB_JOBINDEX}"}};
    for (const auto& c : cases) {
        j.use(c.sched).write_orca_HL_job_array("job", 1, 8, "N", "T", "M", 3);
        const std::string text = read_file(std::string("jobs/job.") + c.sched);
        const std::string v = c.var;
        for (const std::string& block :
             {"    SCRDIR=" + std::string(c.scratch) + "\n\n    if [ ! -d $SCRDIR ]; then\n",
              "    cp $DataDir/N-" + v + ".inp $SCRDIR\n    cd ${SCRDIR}\n",
              "    orca N-" + v + ".inp  > N-" + v + ".out\n    orca_2mkl N-" + v + "\n",
              "        mv $CurrDir/N-" + v + ".out $DataDir\n        mv $CurrDir/N-" + v + ".mkl $DataDir\n",
              "    touch " + j.get_workdir() + "/RUN/ERROR-HL_N-" + v + "\n", "rm -f " + j.get_workdir() + "/M-" + v + "\n"})
            EXPECT_NE(text.find(block), std::string::npos) << c.sched << ": " << block;
    }
    const std::vector<int> listed = {2, 5};
    j.use("local").write_orca_HL_job_array("job", 1, 8, "N", "T", "M", 2, &listed);
    const std::string text = read_file("jobs/job.local");
    EXPECT_EQ(text.find("#!/bin/sh\n\nDataDir=" + j.get_workdir() + "/HL\n\n# ---"), 0u);
    EXPECT_NE(text.find("    SCRDIR=/scr/krymo-HL-5-$RANDOM\n\n"), std::string::npos);
    EXPECT_NE(text.find("        mv $SCRDIR/N-2.out $DataDir\n"), std::string::npos);
}

const char* const kLocalMembers = R"(#!/bin/sh

module load qcmod

# ----------------------------------------------------
# mol-2

python @W@/scr/gaussian_log_check.py @W@/HL/uc_mol-2.log
status=$?
if test $status -eq 0; then
    echo "Normal termination of Gaussian detected, skip the current Gaussian run."
else
    g09 uc_mol-2.com
fi

python @W@/scr/gaussian_log_check.py @W@/HL/uc_mol-2.log
status=$?
if test $status -ne 0; then
    touch @W@/RUN/ERROR-HL_uc_mol-2
else
    formchk uc_mol-2.chk
fi

rm -f @W@/RUN/running.HL_uc_mol-2

# ----------------------------------------------------
# mol-5

python @W@/scr/gaussian_log_check.py @W@/HL/uc_mol-5.log
status=$?
if test $status -eq 0; then
    echo "Normal termination of Gaussian detected, skip the current Gaussian run."
else
    g09 uc_mol-5.com
fi

python @W@/scr/gaussian_log_check.py @W@/HL/uc_mol-5.log
status=$?
if test $status -ne 0; then
    touch @W@/RUN/ERROR-HL_uc_mol-5
else
    formchk uc_mol-5.chk
fi

rm -f @W@/RUN/running.HL_uc_mol-5

echo "Ending job run at `date`"
)";

TEST(JobArrays, LocalArrayRunsTheListedMembersOneAfterAnother) {
    ScopedStudyDir dir;
    TestJobs j;
    j.all_options();
    const std::vector<int> listed = {2, 5};
    j.use("local").write_gaussian_HL_job_array("job_uc_mol", 1, 8, "uc_mol", "uc_mol", "RUN/running.HL_uc_mol", 2,
                                               &listed);
    EXPECT_EQ(read_file("jobs/job_uc_mol.local"), with_workdir(kLocalMembers, j.get_workdir()));
}

TEST(JobArrays, AnArrayWithoutMembersOrWithAWrongListIsRefused) {
    ScopedStudyDir dir;
    TestJobs j;
    for (const char* s : kSchedNames) {
        j.use(s);
        krymo::FatalError e = expect_fatal([&] { j.write_qchem_HL_job_array("job_2mol", 1, 8, "2mol", "2mol", "M", 0); });
        EXPECT_EQ(e.status, 1);
        EXPECT_EQ(e.unit, "job_scripts");
        EXPECT_NE(e.err_text.find("jobs/job_2mol." + std::string(s)), std::string::npos) << e.err_text;
        EXPECT_NE(e.err_text.find("no members"), std::string::npos) << e.err_text;
        EXPECT_FALSE(path_exists("jobs/job_2mol." + std::string(s)));
    }
    const std::vector<int> empty;
    EXPECT_EQ(expect_fatal([&] { j.write_gaussian_HL_job_array("job", 1, 8, "N", "T", "M", 0, &empty); }).status, 1);
    const std::vector<int> three = {1, 2, 3};
    EXPECT_EQ(expect_fatal([&] { j.write_gaussian_HL_job_array("job", 1, 8, "N", "T", "M", 2, &three); }).status, 1);
}
