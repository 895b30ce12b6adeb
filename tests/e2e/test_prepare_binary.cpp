// Runs of the krymo_prepare executable itself: exit statuses and screen text.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <sstream>

#include "test_support.h"

using namespace krymo_test;

TEST(PrepareBinary, EachWayOfStoppingEndsWithItsStatusAndMessage) {
    ScopedStudyDir dir;
    // In order, in one folder: a row may rely on the files of the rows before it.
    const struct {
        const char* before;   // shell commands run first
        const char* options;  // of krymo_prepare, in a subshell
        int status;
        const char* says;
    } runs[] = {
        {"", " --version", 0, "KRYMO version "},
        {"", " -h", 0, "Usage: krymo_prepare [opts]"},
        {"", " -config nothere.inp", 1, "ERROR: krymo_prepare input config file nothere.inp not found!\n"},
        // the reader's errors end with 255, the run's with 1
        {"", "", 255, "\nERROR  transport : krymo_inp : line "},
        {"printf '&transport\\nunknown_key = 1\\n/\\n' > krymo.inp && ", " -info false", 255,
         "Unknown parameter \"unknown_key\" in file krymo.inp!!!"},
        {"", " -trackdir", 1, "-trackdir"},
        // a mistyped option is named on standard error and the run goes on (here to the unknown key)
        {"", " --config krymo.inp -info false 2>&1 >/dev/null", 255, "Ignoring unknown option --config\n"},
        {"mkdir gone && cd gone && rmdir ../gone && ", " -info false", 255, "Cannot determine the working directory"},
    };
    for (const auto& r : runs) {
        const CommandResult c = run_command(std::string(r.before) + "(" + prepare_exe() + r.options + ")");
        EXPECT_EQ(c.status, r.status) << r.options << "\n" << c.output;
        EXPECT_NE(c.output.find(r.says), std::string::npos) << r.options << "\n" << c.output;
    }
}

namespace {
// A study folder holding a bundled example: its input and its crystal (not its README).
void copy_example(const std::string& name) {
    const std::string src = source_dir() + "/examples/" + name + "/";
    for (const std::string& f : list_dir(src))
        if (f != "README.md") write_file(f, read_file(src + f));
}
}  // namespace

TEST(PrepareBinary, EveryExampleWritesTheStudyItsReadmeDescribes) {
    const struct {
        const char* name;
        std::vector<const char*> files;  // the engine's inputs, the scheduler's scripts, the run folders
    } examples[] = {
        {"naphthalene", {"HL/uc_mol-1.com", "HL/2mol-1.com", "RE/re-mol1-neutral_hN.com", "jobs/job_2mol.pbs",
                         "jobs/job_re-mol1-anion.pbs", "scr/mol_two.py", "MC-marcus/hole/run_mc.pbs"}},
        {"tipge_pentacene", {"HL/2mol-1.inp", "RE/re-mol1-cation.inp", "jobs/job_2mol-1.slurm",
                             "scr/orca_out_check.py", "ME-marcus/hole/run_me.slurm", "ME-marcus/get_mob.py"}},
        {"quinacridone", {"HL/2mol-1.inp", "RE/re-mol1-anion.inp", "jobs/job_2mol.local",
                          "MC-marcus-temp/250/elec/run_mc.local", "MC-marcus-temp/300/hole/prepare-mc.py"}},
        {"naphthalene_psi4", {"HL/2mol-1.inp", "RE/re-mol1-cation_nC.inp", "jobs/job_re-mol1_lambda_4P.local",
                              "scr/psi4_out_check.py", "ME-marcus/elec/prepare-me.py", "MC-marcus/hole/run_mc.local"}},
    };
    for (const auto& e : examples) {
        SCOPED_TRACE(e.name);
        EXPECT_TRUE(path_exists(source_dir() + "/examples/" + e.name + "/README.md"));
        ScopedStudyDir dir;
        copy_example(e.name);
        auto r = run_command(prepare_exe() + " -info false");
        ASSERT_EQ(r.status, 0) << r.output;
        for (const char* f : e.files) EXPECT_TRUE(path_exists(f)) << f;
        // Holes only: no electron work is written.
        if (std::string(e.name) == "tipge_pentacene") EXPECT_FALSE(path_exists("RE/re-mol1-anion.inp"));
        if (std::string(e.name) != "naphthalene") continue;
        // The echo shows the lattice actually used: the crystal's, with a along x and b in the xy plane.
        const std::string echo = read_file("data/config.inp");
        EXPECT_NE(echo.find("  vector_a        =     8.034800     0.000000     0.000000\n"), std::string::npos) << echo;
        EXPECT_NE(echo.find("  vector_c        =    -4.738"), std::string::npos) << echo;
    }
}

TEST(PrepareBinary, EveryRealCrystalGetsTheWholeTree) {
    for (const std::string& cif : list_dir(data_path("crystals"))) {
        if (cif.size() < 4 || cif.substr(cif.size() - 4) != ".cif") continue;
        SCOPED_TRACE(cif);
        ScopedStudyDir dir;
        write_file(cif, read_file(data_path("crystals/" + cif)));
        write_file("krymo.inp", "&transport\n  crystal = " + cif + "\n  sched_type = slurm\n/\n");
        auto r = run_command(prepare_exe() + " -info false");
        ASSERT_EQ(r.status, 0) << r.output;
        // One file of each part of the tree (the parts themselves are the workflow tests').
        for (const char* f : {"data/trans_int_files.dat", "scr/krymo.sh", "jobs/job_transint.slurm", "HL/uc_mol-1.com",
                              "RE/evc-e-mol1.inp", "MC-quantum/hole/run_mc_batch.py"})
            EXPECT_TRUE(path_exists(f)) << f;
    }
}

TEST(PrepareBinary, AStudyFolderTheScriptsCannotCarryStopsTheRunBeforeAnythingIsWritten) {
    ScopedStudyDir dir;
    // A folder name that would run a command on the cluster if spliced into a script.
    const std::string study = dir.file("my study;$(touch PWNED)");
    ASSERT_EQ(mkdir(study.c_str(), 0755), 0);
    ASSERT_EQ(chdir(study.c_str()), 0);
    copy_example("naphthalene");
    auto r = run_command(prepare_exe() + " -info false");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("holds a blank, ';', '$', which the generated job scripts cannot carry"),
              std::string::npos) << r.output;
    EXPECT_EQ(list_dir("."), (std::vector<std::string>{"krymo.inp", "naphthalene.cif"}));
    EXPECT_FALSE(path_exists(dir.file("PWNED")));
}

TEST(PrepareBinary, ARerunReplacesInputsAndScriptsButNeverTouchesResults) {
    // Gaussian and ORCA result files; a job script that carries the core count.
    for (auto [example, job] : {std::pair<const char*, const char*>{"naphthalene", "jobs/job_2mol.pbs"},
                                {"tipge_pentacene", "jobs/job_2mol-1.slurm"}}) {
        SCOPED_TRACE(example);
        ScopedStudyDir dir;
        copy_example(example);
        ASSERT_EQ(run_command(prepare_exe() + " -info false").status, 0);
        // What finished jobs and later stages leave behind: beside every input, in data/, RUN/ and the run folders.
        std::map<std::string, std::string> results;
        std::istringstream inputs(run_command("find HL RE -name '*.com' -o -name '*.inp'").output);
        for (std::string in; std::getline(inputs, in);)
            for (const char* ext : {".log", ".out", ".chk", ".fchk", ".mkl", ".hess"})
                results[in.substr(0, in.rfind('.')) + ext] = "result of " + in + ext + "\n";
        for (const char* f : {"data/VL.dat", "data/VH.dat", "data/NM-e.dat", "data/NM-h.dat", "data/EL.dat",
                              "data/mol_lambda_evc-h.dat", "data/reorg_lambda_outer-h.dat", "RUN/ERROR-HL-2mol-1",
                              "MC-marcus/hole/exp_data.dat", "MC-marcus/hole/VH.dat", "evc/mol1/hole/NM.dat"})
            results[f] = std::string("data of ") + f + "\n";
        ASSERT_EQ(run_command("mkdir -p evc/mol1/hole").status, 0);
        for (const auto& [path, text] : results) write_file(path, text);

        const std::string script = read_file(job);
        std::string inp = read_file("krymo.inp");
        inp.replace(inp.find("qc_ppn          = "), 20, "qc_ppn          = 2\n");
        write_file("krymo.inp", inp);
        ASSERT_EQ(run_command(prepare_exe() + " -info false").status, 0);

        for (const auto& [path, text] : results) EXPECT_EQ(read_file(path), text) << path;
        EXPECT_NE(read_file(job), script);  // the new setting reached the scripts
    }
}
