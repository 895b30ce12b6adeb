// The study record of a run (summary, data/study.json) against the files the run wrote, and
// krymo_status on a study whose jobs the test puts in every state.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>

#include "driver/status.h"
#include "golden.h"
#include "test_support.h"
#include "transport/study_record.h"
#include "util/text.h"

using namespace krymo_test;

namespace {

// The naphthalene example (two equivalent molecules, 28 pairs, 5 unique) with extra settings, run by
// the tool; returns its screen text.
std::string prepare_naphthalene(const std::string& settings) {
    const std::string src = source_dir() + "/examples/naphthalene/";
    write_file("naphthalene.cif", read_file(src + "naphthalene.cif"));
    write_file("krymo.inp", read_file(src + "krymo.inp") + "&transport\n" + settings + "/\n");
    const CommandResult r = run_command(prepare_exe() + " -info false");
    EXPECT_EQ(r.status, 0) << r.output;
    return r.output;
}

krymo::StudyRecord read_record() {
    krymo::StudyRecord s;
    std::string why;
    EXPECT_TRUE(krymo::parse_study_json(read_file("data/study.json"), s, why)) << why;
    return s;
}

int status(const std::vector<std::string>& args, std::string& out, std::string& err) {
    out.clear();
    err.clear();
    return krymo::run_status(args, out, err);
}

}  // namespace

TEST(StudyRecord, CountsMatchTheFilesTheRunWrote) {
    const struct {
        const char* settings;
        const char* counts;  // key inputs/scripts/jobs of every job set
        const char* mobility;
    } cases[] = {
        {"", "hl_uc_mol 1/1/1 hl_nei_mol 5/1/5 hl_dimer 5/1/5 re_neutral 1/1/1 re_charged 2/2/2 re_four_point 4/1/1 ",
         "MC-marcus/elec MC-marcus/hole "},
        {"HL_unique_mol = 0\nRE_unique_mol = 0\nsched_job_array = 0\n",
         "hl_uc_mol 2/2/2 hl_nei_mol 28/28/28 hl_dimer 28/28/28 re_neutral 2/2/2 re_charged 4/4/4 re_four_point 8/2/2 ",
         "MC-marcus/elec MC-marcus/hole "},
        {"qc_nodes = 2\nqc_ppn = 3\nchargetype = e\ndo_transport_run_ME = 1\n",
         "hl_uc_mol 1/1/1 hl_nei_mol 5/1/5 hl_dimer 5/1/5 re_neutral 1/1/1 re_charged 1/1/1 re_four_point 2/1/1 ",
         "MC-marcus/elec ME-marcus/elec "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settings);
        ScopedStudyDir dir;
        const std::string screen = prepare_naphthalene(c.settings);
        const krymo::StudyRecord s = read_record();
        std::string counts, mobility;
        for (const auto& j : s.job_sets)
            counts += krymo::format_string("%s %d/%d/%d ", j.key.c_str(), j.inputs, j.scripts, j.submissions);
        for (const auto& m : s.mobility) mobility += m.name + " ";
        EXPECT_EQ(counts, c.counts);
        EXPECT_EQ(mobility, c.mobility);
        EXPECT_EQ(krymo::format_string("%d %d %zu %s", s.molecules, s.pairs, s.structure_files.size(),
                                       s.structure_files.at(0).c_str()), "2 28 1 naphthalene.cif");
        // Every recorded job is real: its input exists and its runner marks it running under that name.
        for (const auto& set : s.job_sets) {
            const std::string runner = read_file(set.runner);
            EXPECT_EQ(set.jobs.size(), static_cast<size_t>(set.inputs)) << set.key;
            for (const auto& job : set.jobs) {
                EXPECT_TRUE(path_exists(job.input)) << job.input;
                EXPECT_NE(runner.find("touch " + dir.path() + "/" + job.running + "\")"), std::string::npos)
                    << job.running;
            }
        }
        // The summary follows the closing line and lists the runners in the order they must run.
        const size_t done = screen.find("****** KRYMO Transport Preparation Succsessfully Done.\n");
        ASSERT_NE(done, std::string::npos);
        if (*c.settings == '\0') expect_golden(screen.substr(done), "study/summary_naphthalene.txt");
        // Cores per job are nodes times ppn: the five dimer jobs on 2 x 3 cores take 30.
        if (c.settings[0] == 'q') EXPECT_NE(screen.find("     5          6      30  scr/"), std::string::npos) << screen;
    }
}

TEST(StudyStatus, CountsListsAndExitStatusFollowTheFilesTheJobsLeft) {
    ScopedStudyDir dir;
    prepare_naphthalene("");
    std::string out, err;
    const std::string path = std::getenv("PATH");
    setenv("PATH", (dir.path() + "/bin").c_str(), 1);
    ASSERT_EQ(mkdir("bin", 0755), 0);
    write_file("bin/g16", "");
    chmod("bin/g16", 0755);
    // Nothing started yet. Of the programs of the next stage, the study's g16 is on PATH, its formchk not.
    EXPECT_EQ(status({}, out, err), 2);
    expect_golden(replaced(out, dir.path(), "@W@", false), "driver/status_not_started.txt");
    write_file("data/driver.json", R"({"state": "stopped", "stage": "hl", "title": "transfer-integral jobs",
                                       "message": "job 2mol-5 did not end normally"})");

    const std::string normal = " Normal termination of Gaussian 16 at Sun Dec  6 12:00:00 2026.\n";
    write_file("HL/uc_mol-1.log", "SCF Done\r\n" + normal.substr(0, normal.size() - 1) + "\r\n");  // done
    write_file("HL/nei_mol-1.log", " Error termination via Lnk1e\n");                               // failed
    write_file("HL/nei_mol-5.log", " SCF Done\n");                                                  // running
    write_file("RUN/running.HL_nei_mol-5", "");
    write_file("RUN/ERROR-HL_nei_mol-7", "");                                                      // failed
    write_file("HL/2mol-1.log", normal);                      // done, although an earlier attempt failed
    write_file("RUN/ERROR-HL_2mol-1", "");
    write_file("HL/2mol-5.log", normal + " Link1: the next step\n");  // ended in a later step: failed
    write_file("RE/re-mol1-neutral.log", normal);
    const std::vector<std::string> before = list_dir("HL");
    // The counts, then the failed, running and pending jobs (these as JSON); the status is 3 for each.
    std::string all;
    for (const std::vector<std::string>& args : {std::vector<std::string>{dir.path()}, {"--list", "failed"},
                                                 {"--list", "running"}, {"--json", "--list", "pending"}}) {
        EXPECT_EQ(status(args, out, err), 3) << args.back();
        all += out;
    }
    expect_golden(replaced(all, dir.path(), "@W@", false), "driver/status_some_failed.txt");
    EXPECT_EQ(list_dir("HL"), before);  // it only reads

    // Every job done (and the transfer integrals gathered): status 0.
    for (const auto& set : read_record().job_sets)
        for (const auto& job : set.jobs) write_file(job.output, normal);
    write_file("data/VL.dat", "");
    write_file("data/VH.dat", "");
    for (const char* f : {"RUN/running.HL_nei_mol-5", "RUN/ERROR-HL_nei_mol-7"}) std::remove(f);
    EXPECT_EQ(status({}, out, err), 0) << out;
    expect_golden(replaced(out, dir.path(), "@W@", false), "driver/status_all_done.txt");
    setenv("PATH", path.c_str(), 1);
}

TEST(StudyStatus, JobsWithNoOutputToCheckDoNotHoldBackTheEnd) {
    // The multipole job leaves no output of its own: once every checked job is done, status 0.
    ScopedStudyDir dir;
    prepare_naphthalene("reorg_outer = dielectric 3 10\n");
    int unchecked = 0;
    for (const auto& set : read_record().job_sets)
        for (const auto& job : set.jobs) {
            if (job.output.empty()) ++unchecked;
            else write_file(job.output, " Normal termination of Gaussian 16 at Sun Dec  6 12:00:00 2026.\n");
        }
    ASSERT_GT(unchecked, 0);
    std::string out, err;
    EXPECT_EQ(status({}, out, err), 0) << out;
}

TEST(StudyStatus, EndRulesAndUnusableFoldersAndCommandLines) {
    const krymo::NormalEndRule gaussian{" Normal termination of Gaussian", true}, orca{"ORCA TERMINATED NORMALLY", false};
    EXPECT_TRUE(krymo::shows_normal_end("x\n Normal termination of Gaussian 16\n", gaussian));
    EXPECT_TRUE(krymo::shows_normal_end(" Normal termination of Gaussian 16", gaussian));  // no line end
    EXPECT_FALSE(krymo::shows_normal_end(" Normal termination of Gaussian 16\n\n", gaussian));
    EXPECT_FALSE(krymo::shows_normal_end("", gaussian));
    EXPECT_TRUE(krymo::shows_normal_end("****ORCA TERMINATED NORMALLY****\nTOTAL RUN TIME: 0 days\n", orca));
    EXPECT_FALSE(krymo::shows_normal_end("ORCA finished by error termination\n", orca));

    ScopedStudyDir dir;
    // Each case writes its record (none: nullptr), then runs with the arguments; what it says is in err or out.
    const struct { const char* record; std::vector<std::string> args; int status; const char* says; } cases[] = {
        {nullptr, {}, 1, "holds no study record (data/study.json).\n  krymo_prepare writes it: run"},
        {"{\"format\": 99}", {}, 1, "format 99"},
        {"{\"format\": 1, \"structure\": ", {}, 1, "is not a study record"},
        {nullptr, {"--list", "done"}, 1, ""},
        {nullptr, {"--bogus"}, 1, ""},
        {nullptr, {"-h"}, 0, "Usage: krymo_status"},
    };
    for (const auto& c : cases) {
        mkdir("data", 0750);  // a data folder without the record is no study either
        if (c.record) write_file("data/study.json", c.record);
        std::string out, err;
        EXPECT_EQ(status(c.args, out, err), c.status) << c.says;
        EXPECT_NE((err + out).find(c.says), std::string::npos) << err << out;
    }
}
