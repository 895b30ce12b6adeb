// Every job kind for every scheduler with every optional line and a set time limit (golden texts that parse),
// and each optional line of the Gaussian HL script switched off alone and together.
#include <gtest/gtest.h>

#include "golden.h"
#include "jobs/job_test_support.h"

using namespace krymo_test;

TEST(JobKinds, EveryKindForEverySchedulerWithAllOptions) {
    ScopedStudyDir dir;
    TestJobs j;
    j.all_options().qc_exe = "qcprog";
    j.set_job_moo_flag(true);
    j.job_walltime = 48;  // not the default: no kind may keep a fixed time limit
    for (const char* k : kKindNames) {
        std::string all;
        for (const char* s : kSchedNames)
            all += std::string("==> ") + s + "\n" + write_kind(j.use(s), k, std::string(s) + "_" + k);
        expect_golden(replaced(all, j.get_workdir(), "@W@"), std::string("jobs/kinds/") + k + ".txt");
    }
    // Each script is a shell program (the local ones run with sh).
    const CommandResult r = run_command("for f in *_* jobs/*; do bash -n \"$f\" && sh -n \"$f\" || echo \"bad $f\"; done");
    EXPECT_EQ(r.output, "");
}

TEST(JobKinds, GaussianHLOptionalLinesLeaveOnlyTheirOwnLines) {
    ScopedStudyDir dir;
    for (const char* s : kSchedNames) {
        TestJobs full;
        full.all_options().set_job_moo_flag(true);
        const std::string all = write_kind(full.use(s), "gaussian_HL");
        for (int options = 0; options < 7; ++options) {
            const bool nodes = options & 1, module = options & 2, moo = options & 4;
            SCOPED_TRACE(std::string(s) + " options " + std::to_string(options));
            TestJobs j;
            j.all_options().module_qc_flag = module;  // written only when the key was given
            if (!nodes) j.nodelist = "";
            j.set_job_moo_flag(moo);
            std::string expected = all;
            if (!nodes)
                for (const char* l :
                     {"#PBS -l nodes=n01,n02\n", "#SBATCH --nodelist=n01,n02\n", "#BSUB -m 'n01,n02'\n"})
                    expected = replaced(expected, l, "", false);
            if (!module) expected = replaced(expected, "module load qcmod\n\n", "");
            if (!moo) expected = replaced(expected, "    qcpost_fchk_orbitals.exe NAME.fchk -orb -xyz\n", "");
            EXPECT_EQ(write_kind(j.use(s), "gaussian_HL"), expected);
        }
    }
}
