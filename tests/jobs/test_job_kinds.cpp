// Every job kind for every scheduler with every optional line on (golden texts that parse), each optional line
// of the Gaussian HL script switched off alone and together, the time limit of every kind, the
// scheduler table and the failures.
#include <gtest/gtest.h>

#include "golden.h"
#include "jobs/job_test_support.h"

using namespace krymo_test;

TEST(JobKinds, EveryKindForEverySchedulerWithAllOptions) {
    ScopedStudyDir dir;
    TestJobs j;
    j.all_options().qc_exe = "qcprog";
    j.set_job_moo_flag(true);
    for (const char* k : kKindNames) {
        std::string all;
        for (const char* s : kSchedNames)
            all += std::string("==> ") + s + "\n" + write_kind(j.use(s), k, std::string(s) + "_" + k);
        expect_golden(replaced(all, j.get_workdir(), "@W@"), std::string("jobs/kinds/") + k + ".txt");
    }
    // Each script is a shell program (the local ones run with sh).
    const CommandResult r = run_command("for f in *_* jobs/*; do bash -n \"$f\" && sh -n \"$f\" || echo \"bad $f\"; done");
    EXPECT_EQ(r.status, 0);
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

TEST(JobKinds, EveryKindAsksEverySchedulerForTheSetWalltime) {
    ScopedStudyDir dir;
    const char* const limit[] = {"#PBS -l walltime=48:00:00\n", "#SBATCH --time=0-48:00:00\n", "#BSUB -W 48:00\n", ""};
    for (int s = 0; s < 4; ++s)
        for (const char* k : kKindNames) {
            TestJobs j;
            j.job_walltime = 48;
            const std::string text = write_kind(j.use(kSchedNames[s]), k);
            EXPECT_NE(text.find(limit[s]), std::string::npos) << kSchedNames[s] << " " << k << "\n" << text;
            EXPECT_EQ(text.find("1000"), std::string::npos) << kSchedNames[s] << " " << k;
        }
}

TEST(Schedulers, NamesIgnoreCaseAndUnknownNamesFallBackToPbs) {
    TestJobs j;
    const std::pair<const char*, int> names[] = {{"pbs", 0},   {"SLURM", 1}, {"Lsf", 2},
                                                 {"local", 3}, {"sge", 0},   {"", 0}};
    for (const auto& n : names) EXPECT_EQ(j.use(n.first).get_job_sched_type(), n.second) << n.first;
}

TEST(JobScriptFailures, AnUnwritablePathStopsWithStatus255) {
    ScopedStudyDir dir;
    TestJobs j;
    const krymo::FatalError e = expect_fatal([&] { j.write_MC_job("no_such_dir/run_mc", 1, 8, "x\n", "elec", "M"); });
    EXPECT_EQ(e.status, 255);
    EXPECT_EQ(e.unit, "job_scripts");
    EXPECT_EQ(e.err_text, "Failed to open output file no_such_dir/run_mc.pbs\n");
}
