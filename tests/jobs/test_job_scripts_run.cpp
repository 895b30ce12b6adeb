// The local job scripts really run their job against stub programs on PATH.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "jobs/job_test_support.h"

using namespace krymo_test;

namespace {

// Local scripts run with sh from their directory, as the runner scripts do, against stub programs
// on PATH that record their calls in calls.txt and behave like a successful run.
TEST(LocalRun, EachJobRunsItsProgramInItsDirectoryAndRemovesItsMarker) {
    ScopedStudyDir dir;
    TestJobs j;
    const std::string w = j.get_workdir();
    for (const char* d : {"HL", "RE", "RUN", "bin", "scratch", "data"}) mkdir(d, 0750);
    j.use("local").scratch = w + "/scratch";
    auto stub = [&](const std::string& name, const std::string& body) {
        write_file("bin/" + name, "#!/bin/sh\n" + body);
        chmod(("bin/" + name).c_str(), 0755);
    };
    const std::string rec = "echo \"$(basename $0) $*\" >> " + w + "/calls.txt\n";
    // The output checkers live in the workflow's scr/ directory; this stands in for all of them.
    stub("python", "grep -q \"Normal termination\" \"$2\" 2>/dev/null\n");
    stub("g09", rec + "[ -n \"$STUB_FAIL\" ] && exit 1\necho \"Normal termination\" > \"${1%.com}.log\"\n");
    stub("formchk", rec);
    stub("orca", rec + "pwd > " + w + "/orca_cwd.txt\necho \"Normal termination\"\n");
    stub("orca_2mkl", rec + "touch \"$1.mkl\"\n");
    stub("qchem", rec + "echo \"Normal termination\"\n");
    for (const char* tool : {"qcpost_log_multipoles.exe", "qcpost_coupling.exe"})
        stub(tool, "echo \"$(basename $0) $* in $(pwd)\" >> " + w + "/calls.txt\n");
    // Creates the markers, runs the script and returns the stub calls it made.
    auto run = [&](const std::string& subdir, const std::string& script, const std::vector<std::string>& markers,
                   const std::string& env) {
        for (const std::string& m : markers) write_file("RUN/" + m, "");
        std::remove("calls.txt");
        const CommandResult r =
            run_command("cd '" + w + "/" + subdir + "' && " + env + " PATH='" + w + "/bin':\"$PATH\" sh " + script);
        EXPECT_EQ(r.status, 0) << script << ": " << r.output;
        return read_file("calls.txt");
    };
    write_file("HL/nei-1.inp", "input\n");
    const std::vector<int> listed = {2, 5};
    j.write_gaussian_HL_job("g", 1, 8, "uc-1", "t", "RUN/g");
    j.write_gaussian_HL_job("gf", 1, 8, "uc-9", "t", "RUN/gf");
    j.write_gaussian_HL_job_array("ga", 1, 8, "uc", "t", "RUN/ga", 2, &listed);
    j.qc_exe = "orca";
    j.write_orca_HL_job("o", 1, 8, "nei-1", "t", "RUN/o");
    j.qc_exe = "qchem";
    j.write_qchem_HL_job("q", 1, 8, "2mol-1", "t", "RUN/q");
    // A command without a line end must still end its line before the marker removal.
    j.write_RE_mps_job("mps", 1, 8, "", "mps", "RUN/mps", "qcpost_log_multipoles.exe -inp re.log");
    j.write_calc_transint_job("jobs/ti", 1, 8, "ti", "RUN/ti", "qcpost_coupling.exe -batch t.dat\n", "data");
    const struct { const char *dir, *script; std::vector<std::string> markers; std::string calls, env; } cases[] = {
        {"HL", "../jobs/g.local", {"g"}, "g09 uc-1.com\nformchk uc-1.chk\n", ""},
        {"HL", "../jobs/g.local", {"g"}, "formchk uc-1.chk\n", ""},  // a finished run is not repeated
        {"HL", "../jobs/gf.local", {"gf"}, "g09 uc-9.com\n", "STUB_FAIL=1"},
        {"HL", "../jobs/ga.local", {"ga-2", "ga-3", "ga-5"},  // member 3 is not listed
         "g09 uc-2.com\nformchk uc-2.chk\ng09 uc-5.com\nformchk uc-5.chk\n", ""},
        {"HL", "../jobs/o.local", {"o"}, "orca nei-1.inp\norca_2mkl nei-1\n", ""},
        {"HL", "../jobs/q.local", {"q"}, "qchem -nt 8 2mol-1.inp\n", ""},
        {"RE", "../jobs/mps.local", {"mps"}, "qcpost_log_multipoles.exe -inp re.log in " + w + "/RE\n", ""},
        {"", "jobs/ti.local", {"ti"}, "qcpost_coupling.exe -batch t.dat in " + w + "/data\n", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(run(c.dir, c.script, c.markers, c.env), c.calls) << c.script;
    // Every marker is gone but that of the member not listed; only the failed run left an ERROR marker.
    EXPECT_EQ(run_command("ls RUN").output, "ERROR-HL_uc-9\nga-3\n");
    // ORCA runs inside its own scratch directory and moves its results back to HL.
    EXPECT_TRUE(path_exists("HL/nei-1.out") && path_exists("HL/nei-1.mkl"));
    EXPECT_EQ(read_file("orca_cwd.txt").rfind(w + "/scratch/krymo-HL-nei-1-", 0), 0u) << read_file("orca_cwd.txt");
}

}  // namespace
