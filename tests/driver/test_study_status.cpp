// The study record of a run (summary, data/study.json) against the files the run wrote, and
// krymo_status on a study whose jobs the test puts in every state.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <nlohmann/json.hpp>

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
        {"HL_unique_mol = 0\nRE_unique_mol = 0\n",
         "hl_uc_mol 2/1/2 hl_nei_mol 28/2/28 hl_dimer 28/2/28 re_neutral 2/2/2 re_charged 4/4/4 re_four_point 8/2/2 ",
         "MC-marcus/elec MC-marcus/hole "},
        {"sched_job_array = 0\n",
         "hl_uc_mol 1/1/1 hl_nei_mol 5/5/5 hl_dimer 5/5/5 re_neutral 1/1/1 re_charged 2/2/2 re_four_point 4/1/1 ",
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
        EXPECT_EQ(s.molecules, 2);
        EXPECT_EQ(s.pairs, 28);
        EXPECT_EQ(s.structure_files, std::vector<std::string>{"naphthalene.cif"});
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
        // The summary follows the closing line and lists the scripts in the order they must run.
        const size_t done = screen.find("****** KRYMO Transport Preparation Succsessfully Done.\n");
        ASSERT_NE(done, std::string::npos);
        if (*c.settings == '\0') expect_golden(screen.substr(done), "study/summary_naphthalene.txt");
        // Cores per job are nodes times ppn: the five dimer jobs on 2 x 3 cores take 30.
        if (c.settings[0] == 'q') EXPECT_NE(screen.find("     5          6      30  scr/"), std::string::npos) << screen;
        const size_t order = screen.find("  Run: sh scr/krymo.sh", done), copies = screen.find("copy_RE_lambda_4P", order);
        EXPECT_LT(screen.find("scr/mol_RE_anion_cation.py\n", order), copies);
        EXPECT_LT(copies, screen.find("scr/mol_RE_lambda_4P.py, ", order));
        EXPECT_LT(screen.find("scr/mol_RE_lambda_4P.py, ", order), screen.find("scr/prepare_RE.py", order));
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
    EXPECT_EQ(status({}, out, err), 2);  // nothing started yet
    EXPECT_NE(out.find("all                            18      0        0       0       18\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Driver: not started"), std::string::npos) << out;
    // The programs of the next stage that PATH lacks: the study's g16 is there, its formchk not.
    EXPECT_NE(out.find("Not on PATH, needed by the next stage (HL monomers of the cell): formchk\n"),
              std::string::npos) << out;
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
    EXPECT_EQ(status({dir.path()}, out, err), 3);
    EXPECT_NE(out.find("HL neighbour monomers           5      0        1       2        2\n"), std::string::npos) << out;
    EXPECT_NE(out.find("HL dimers                       5      1        0       1        3\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Failed jobs: krymo_status --list failed"), std::string::npos);
    EXPECT_EQ(list_dir("HL"), before);  // it only reads

    EXPECT_EQ(status({"--list", "failed"}, out, err), 3);
    EXPECT_EQ(out, "nei_mol-1                HL/nei_mol-1.com                 HL/nei_mol-1.log\n"
                   "nei_mol-7                HL/nei_mol-7.com                 HL/nei_mol-7.log\n"
                   "2mol-5                   HL/2mol-5.com                    HL/2mol-5.log\n");
    EXPECT_EQ(status({"--list", "running"}, out, err), 3);
    EXPECT_EQ(out, "nei_mol-5                HL/nei_mol-5.com                 HL/nei_mol-5.log\n");
    EXPECT_EQ(status({"--json", "--list", "pending"}, out, err), 3);
    const auto j = nlohmann::json::parse(out);
    EXPECT_EQ(j["job_sets"][1]["failed"], 2);
    EXPECT_EQ(j["list"]["jobs"].size(), 18u - 3 - 3 - 1);  // all but done, failed, running
    EXPECT_EQ(j["stages"][0]["name"], "transfer integrals");
    EXPECT_EQ(j["stages"][0]["state"], "pending");

    // Every job done (and the transfer integrals gathered): status 0.
    for (const auto& set : read_record().job_sets)
        for (const auto& job : set.jobs) write_file(job.output, normal);
    write_file("data/VL.dat", "");
    write_file("data/VH.dat", "");
    for (const char* f : {"RUN/running.HL_nei_mol-5", "RUN/ERROR-HL_nei_mol-7"}) std::remove(f);
    EXPECT_EQ(status({}, out, err), 0) << out;
    EXPECT_NE(out.find("transfer integrals                         done\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Driver: stopped at stage hl (transfer-integral jobs): job 2mol-5 did not end normally\n"),
              std::string::npos) << out;
    EXPECT_NE(out.find("needed by the next stage (normal-mode reorganization energies): qcpost_nmproj.exe, "
                       "qcpost_modes.exe\n"), std::string::npos) << out;
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
    std::string out, err;
    EXPECT_EQ(status({}, out, err), 1);
    EXPECT_NE(err.find("holds no study record (data/study.json)"), std::string::npos) << err;
    EXPECT_NE(err.find("run krymo_prepare in the study folder first"), std::string::npos);
    ASSERT_EQ(run_command("mkdir data").status, 0);
    write_file("data/study.json", "{\"format\": 99}");
    EXPECT_EQ(status({}, out, err), 1);
    EXPECT_NE(err.find("format 99"), std::string::npos) << err;
    write_file("data/study.json", "{\"format\": 1, \"structure\": ");
    EXPECT_EQ(status({}, out, err), 1);
    EXPECT_NE(err.find("is not a study record"), std::string::npos) << err;
    EXPECT_EQ(status({"--list", "done"}, out, err), 1);
    EXPECT_EQ(status({"--bogus"}, out, err), 1);
    EXPECT_EQ(status({"-h"}, out, err), 0);
    EXPECT_NE(out.find("Usage: krymo_status"), std::string::npos);
}
