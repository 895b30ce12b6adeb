// The local job scripts really run their job against stub programs on PATH.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "jobs/job_test_support.h"
#include "workflow_stubs.h"

using namespace krymo_test;

// Local scripts run with sh from their directory, as the runner scripts do. The whole-workflow tests
// run every engine; these are the cases they never meet.
TEST(LocalRun, EachJobRunsItsProgramOnceAndLeavesOnlyTheMarkersItShould) {
    ScopedStudyDir dir;
    TestJobs j;
    const std::string w = j.get_workdir();
    for (const char* d : {"HL", "RE", "RUN"}) mkdir(d, 0750);
    j.use("local");
    ASSERT_TRUE(install_stubs());
    // The output checkers live in the workflow's scr/ directory; this python stands in for all of them.
    ASSERT_EQ(std::remove("stubs/python"), 0);  // a link to the real one: never write through it
    write_file("stubs/python", "#!/bin/sh\ngrep -q \"Normal termination\" \"$2\" 2>/dev/null\n");
    chmod("stubs/python", 0755);
    // Creates the markers, runs the script and returns the stub calls it made.
    auto run = [&](const std::string& subdir, const std::string& script, const std::vector<std::string>& markers,
                   const std::string& env) {
        for (const std::string& m : markers) write_file("RUN/" + m, "");
        std::remove("calls.txt");
        const CommandResult r = run_command("cd '" + w + "/" + subdir + "' && " + env + " KRYMO_STUB_LOG='" + w +
                                            "/calls.txt' PATH='" + w + "/stubs':\"$PATH\" sh " + script);
        EXPECT_EQ(r.status, 0) << script << ": " << r.output;
        return replaced(path_exists("calls.txt") ? read_file("calls.txt") : "", " @ " + w + "/" + subdir, "", false);
    };
    const std::vector<int> listed = {2, 5};
    j.write_gaussian_HL_job("g", 1, 8, "uc-1", "t", "RUN/g");
    j.write_gaussian_HL_job("gf", 1, 8, "uc-9", "t", "RUN/gf");
    j.write_gaussian_HL_job_array("ga", 1, 8, "uc", "t", "RUN/ga", 2, &listed);
    // A command without a line end must still end its line before the marker removal.
    j.write_RE_mps_job("mps", 1, 8, "", "mps", "RUN/mps", "qcpost_log_multipoles.exe -inp re.log");
    const struct { const char *dir, *script; std::vector<std::string> markers; std::string calls, env; } cases[] = {
        {"HL", "../jobs/g.local", {"g"}, "g09 uc-1.com\nformchk uc-1.chk\n", ""},
        {"HL", "../jobs/g.local", {"g"}, "formchk uc-1.chk\n", ""},  // a finished run is not repeated
        {"HL", "../jobs/gf.local", {"gf"}, "g09 uc-9.com\n", "KRYMO_STUB_FAIL='g09 uc-9.com'"},
        {"HL", "../jobs/ga.local", {"ga-2", "ga-3", "ga-5"},  // member 3 is not listed
         "g09 uc-2.com\nformchk uc-2.chk\ng09 uc-5.com\nformchk uc-5.chk\n", ""},
        {"RE", "../jobs/mps.local", {"mps"}, "qcpost_log_multipoles.exe -inp re.log\n", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(run(c.dir, c.script, c.markers, c.env), c.calls) << c.script;
    // Every marker is gone but that of the member not listed; only the failed run left an ERROR marker.
    EXPECT_EQ(run_command("ls RUN").output, "ERROR-HL_uc-9\nga-3\n");
}
