// The written scripts as shell programs: every one parses, and the local ones really run their
// job against stub programs on PATH.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "jobs/job_test_support.h"

using namespace krymo_test;

namespace {

// A realistic multi-line command text, as the job sets pass it.
const std::string kCmd = "python x.py y.log\nstatus=$?\nif test $status -eq 0; then\n    echo \"ok\"\nfi\n\n";

void write_every_kind(TestJobs& j, const std::string& p) {
    const std::vector<int> listed = {3, 8};
    j.write_gaussian_HL_job(p + "g_hl", 2, 4, "N", "T", "RUN/M");
    j.write_orca_HL_job(p + "o_hl", 2, 4, "N", "T", "RUN/M");
    j.write_qchem_HL_job(p + "q_hl", 2, 4, "N", "T", "RUN/M");
    j.write_gaussian_RE_job(p + "g_re", 2, 4, kCmd, "T", "RUN/M");
    j.write_orca_RE_job(p + "o_re", 2, 4, "mol1", "T", "RUN/M", kCmd);
    j.write_qchem_RE_job(p + "q_re", 2, 4, "mol1", "T", "RUN/M", kCmd);
    j.write_RE_mps_job(p + "mps", 2, 4, kCmd, "mps", "RUN/M", kCmd);
    j.write_MC_job(p + "mc", 1, 4, "hopsim_mc.exe -simu0 0 -nsimu 2000\n", "elec", "RUN/M");
    j.write_calc_mob_job(p + "mob", 1, 4, "mob", "RUN/M", "hopsim_mobility.exe");
    j.write_ME_job(p + "me", 1, 4, "hopsim_master.exe\n", "hole", "RUN/M");
    j.write_calc_transint_job(p + "ti", 1, 4, "transint", "RUN/M", "qcpost_coupling.exe -batch t.dat\n", "data");
    j.write_calc_siteEner_job(p + "se", 1, 4, "get_site_ener", "RUN/M", "qcpost_siteen.exe\n", "data");
    j.write_calc_getRE_job(p + "gre", 1, 4, "evc", "RUN/M", "qcpost_nmproj.exe evc.inp\n");
    j.write_gaussian_HL_job_array(p + "g_arr", 2, 4, "N", "T", "RUN/M", 4);
    j.write_orca_HL_job_array(p + "o_arr", 2, 4, "N", "T", "RUN/M", 2, &listed);
    j.write_qchem_HL_job_array(p + "q_arr", 2, 4, "N", "T", "RUN/M", 2, &listed);
}

TEST(JobScriptShell, EveryWrittenScriptParses) {
    ScopedStudyDir dir;
    TestJobs j;
    for (int options = 0; options < 2; ++options) {
        if (options == 1) {
            j.all_options();
            j.set_job_moo_flag(true);
            j.job_slot_limit = 5;
        }
        for (const char* s : kSchedNames) write_every_kind(j.use(s), std::string(s) + std::to_string(options) + "_");
    }
    const CommandResult r = run_command(
        "n=0; for f in jobs/* *.pbs *.slurm *.lsf *.local; do bash -n \"$f\" || echo \"bad $f\"; n=$((n+1)); done;"
        " for f in jobs/*.local *.local; do sh -n \"$f\" || echo \"bad $f\"; done; echo \"$n scripts\"");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output, "128 scripts\n");
}

// Stub programs that record their calls in calls.txt and behave like a successful run.
class LocalRun : public ::testing::Test {
protected:
    void SetUp() override {
        w = j.get_workdir();
        for (const char* d : {"HL", "RE", "RUN", "bin", "scratch", "data", "elec"}) mkdir(d, 0750);
        j.use("local");
        j.scratch = w + "/scratch";
        const std::string rec = "echo \"$(basename $0) $*\" >> " + w + "/calls.txt\n";
        // The output checkers live in the workflow's scr/ directory; this stands in for all of them.
        stub("python", "grep -q \"Normal termination\" \"$2\" 2>/dev/null\n");
        stub("g09", rec + "[ -n \"$STUB_FAIL\" ] && exit 1\necho \"Normal termination\" > \"${1%.com}.log\"\n");
        stub("formchk", rec);
        stub("orca", rec + "pwd > " + w + "/orca_cwd.txt\necho \"Normal termination\"\n");
        stub("orca_2mkl", rec + "touch \"$1.mkl\"\n");
        stub("qchem", rec + "echo \"Normal termination\"\n");
        for (const char* tool : {"qcpost_log_multipoles.exe", "hopsim_mc_par.exe", "qcpost_coupling.exe"})
            stub(tool, "echo \"$(basename $0) $* in $(pwd)\" >> " + w + "/calls.txt\n");
    }
    void stub(const std::string& name, const std::string& body) {
        const std::string path = w + "/bin/" + name;
        write_file(path, "#!/bin/sh\n" + body);
        chmod(path.c_str(), 0755);
    }
    // Runs a local script with sh from `subdir`, as the runner scripts do.
    CommandResult run(const std::string& subdir, const std::string& script, const std::string& env = "") {
        return run_command("cd '" + w + "/" + subdir + "' && " + env + " PATH='" + w + "/bin':\"$PATH\" sh " + script);
    }
    std::string calls() { return read_file(w + "/calls.txt"); }

    ScopedStudyDir dir;
    TestJobs j;
    std::string w;
};

TEST_F(LocalRun, GaussianJobRunsSkipsAFinishedRunAndMarksAFailure) {
    j.write_gaussian_HL_job("job_uc_mol-1", 1, 8, "uc_mol-1", "uc_mol-1", "RUN/running.HL_uc_mol-1");
    write_file("RUN/running.HL_uc_mol-1", "");
    CommandResult r = run("HL", "../jobs/job_uc_mol-1.local");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(calls(), "g09 uc_mol-1.com\nformchk uc_mol-1.chk\n");
    EXPECT_FALSE(path_exists("RUN/running.HL_uc_mol-1"));
    EXPECT_FALSE(path_exists("RUN/ERROR-HL_uc_mol-1"));

    // A finished log is not computed again.
    run("HL", "../jobs/job_uc_mol-1.local");
    EXPECT_EQ(calls(), "g09 uc_mol-1.com\nformchk uc_mol-1.chk\nformchk uc_mol-1.chk\n");

    j.write_gaussian_HL_job("job_uc_mol-2", 1, 8, "uc_mol-2", "uc_mol-2", "RUN/running.HL_uc_mol-2");
    write_file("RUN/running.HL_uc_mol-2", "");
    run("HL", "../jobs/job_uc_mol-2.local", "STUB_FAIL=1");
    EXPECT_TRUE(path_exists("RUN/ERROR-HL_uc_mol-2"));
    EXPECT_FALSE(path_exists("RUN/running.HL_uc_mol-2"));
}

TEST_F(LocalRun, ArrayRunsOnlyTheListedMembers) {
    const std::vector<int> listed = {2, 5};
    j.write_gaussian_HL_job_array("job_uc_mol", 1, 8, "uc_mol", "uc_mol", "RUN/running.HL_uc_mol", 2, &listed);
    for (const char* m : {"RUN/running.HL_uc_mol-2", "RUN/running.HL_uc_mol-3", "RUN/running.HL_uc_mol-5"})
        write_file(m, "");
    const CommandResult r = run("HL", "../jobs/job_uc_mol.local");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(calls(), "g09 uc_mol-2.com\nformchk uc_mol-2.chk\ng09 uc_mol-5.com\nformchk uc_mol-5.chk\n");
    EXPECT_FALSE(path_exists("RUN/running.HL_uc_mol-2"));
    EXPECT_TRUE(path_exists("RUN/running.HL_uc_mol-3"));
    EXPECT_FALSE(path_exists("RUN/running.HL_uc_mol-5"));
    EXPECT_TRUE(path_exists("HL/uc_mol-5.log"));
}

TEST_F(LocalRun, OrcaAndQchemJobsLeaveTheirOutputInTheHLDirectory) {
    write_file("HL/nei_mol-1.inp", "input\n");
    j.qc_exe = "orca";
    j.write_orca_HL_job("job_nei_mol-1", 1, 8, "nei_mol-1", "nei_mol-1", "RUN/running.HL_nei_mol-1");
    write_file("RUN/running.HL_nei_mol-1", "");
    run("HL", "../jobs/job_nei_mol-1.local");
    EXPECT_NE(read_file("HL/nei_mol-1.out").find("Normal termination"), std::string::npos);
    EXPECT_TRUE(path_exists("HL/nei_mol-1.mkl"));
    // ORCA runs inside its own scratch directory, not in HL.
    EXPECT_EQ(read_file("orca_cwd.txt").rfind(w + "/scratch/krymo-HL-nei_mol-1-", 0), 0u) << read_file("orca_cwd.txt");
    EXPECT_FALSE(path_exists("RUN/running.HL_nei_mol-1"));
    EXPECT_FALSE(path_exists("RUN/ERROR-HL_nei_mol-1"));

    j.qc_exe = "qchem";
    j.write_qchem_HL_job("job_2mol-1", 1, 8, "2mol-1", "2mol-1", "RUN/running.HL_2mol-1");
    write_file("RUN/running.HL_2mol-1", "");
    run("HL", "../jobs/job_2mol-1.local");
    EXPECT_NE(calls().find("qchem -nt 8 2mol-1.inp\n"), std::string::npos) << calls();
    EXPECT_NE(read_file("HL/2mol-1.out").find("Normal termination"), std::string::npos);
    EXPECT_FALSE(path_exists("RUN/running.HL_2mol-1"));
    EXPECT_FALSE(path_exists("RUN/ERROR-HL_2mol-1"));
}

TEST_F(LocalRun, WorkflowJobsRunTheirToolInTheirDirectory) {
    j.write_RE_mps_job("job_re-mps", 1, 8, "", "mps", "RUN/running.re_mps",
                       "qcpost_log_multipoles.exe -inp re-mol1-neutral.log\n\n");
    j.write_calc_transint_job("jobs/job_transint", 1, 8, "transint", "RUN/running.run_transint",
                              "qcpost_coupling.exe -batch trans_int_files.dat\n", "data");
    j.write_MC_job("elec/run_mc", 1, 8, "hopsim_mc.exe -simu0 0 -nsimu 2000\n", "elec", "RUN/running.elec");
    for (const char* m : {"RUN/running.re_mps", "RUN/running.run_transint", "RUN/running.elec"}) write_file(m, "");
    run("RE", "../jobs/job_re-mps.local");
    run("", "jobs/job_transint.local");
    run("elec", "run_mc.local");
    EXPECT_EQ(calls(), "qcpost_log_multipoles.exe -inp re-mol1-neutral.log in " + w + "/RE\n" +
                           "qcpost_coupling.exe -batch trans_int_files.dat in " + w + "/data\n" +
                           "hopsim_mc_par.exe  in " + w + "/elec\n");
    for (const char* m : {"RUN/running.re_mps", "RUN/running.run_transint", "RUN/running.elec"})
        EXPECT_FALSE(path_exists(m)) << m;
}

}  // namespace
