// Runs of the krymo_prepare executable itself: exit statuses and screen text.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <sstream>

#include "test_support.h"

using namespace krymo_test;

TEST(PrepareBinary, HelpAndVersionEndWithZeroAMissingConfigWithOne) {
    ScopedStudyDir dir;
    auto v = run_command(prepare_exe() + " --version");
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.output.rfind("KRYMO version ", 0), 0u);
    auto h = run_command(prepare_exe() + " -h");
    EXPECT_EQ(h.status, 0);
    EXPECT_NE(h.output.find("Prepare Data and Directories for Transport Calculation\n\nUsage: krymo_prepare [opts]"),
              std::string::npos);
    auto m = run_command(prepare_exe() + " -config nothere.inp");
    EXPECT_EQ(m.status, 1);
    EXPECT_EQ(m.output, "ERROR: krymo_prepare input config file nothere.inp not found!\n");
}

TEST(PrepareBinary, ReaderErrorsBecomeExitStatuses) {
    ScopedStudyDir dir;
    auto none = run_command(prepare_exe());  // default krymo.inp absent: the reader reports it
    EXPECT_EQ(none.status, 255);
    EXPECT_NE(none.output.find("\nERROR  transport : krymo_inp : line "), std::string::npos);
    EXPECT_NE(none.output.find("Failed to open input file: krymo.inp\n"), std::string::npos);
    write_file("krymo.inp", "&transport\nunknown_key = 1\n/\n");
    auto unk = run_command(prepare_exe() + " -info false");
    EXPECT_EQ(unk.status, 255);
    EXPECT_NE(unk.output.find("Unknown parameter \"unknown_key\" in file krymo.inp!!!"), std::string::npos);
    auto last = run_command(prepare_exe() + " -trackdir");
    EXPECT_EQ(last.status, 1);
    EXPECT_NE(last.output.find("-trackdir"), std::string::npos);
    // A mistyped option is named on standard error; the run goes on (here to the unknown key).
    auto typo = run_command("(" + prepare_exe() + " --config krymo.inp -info false 2>typo.err)");
    EXPECT_EQ(typo.status, 255);
    EXPECT_EQ(read_file("typo.err"), "Ignoring unknown option --config\n");
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
        EXPECT_NE(r.output.find("****** KRYMO Transport Preparation Succsessfully Done.\n"), std::string::npos);
        for (const char* f : e.files) EXPECT_TRUE(path_exists(f)) << f;
        // Holes only: no electron work is written.
        if (std::string(e.name) == "tipge_pentacene") EXPECT_FALSE(path_exists("RE/re-mol1-anion.inp"));
    }
    // The echo shows the lattice actually used: the crystal's, with a along x and b in the xy plane.
    ScopedStudyDir dir;
    copy_example("naphthalene");
    ASSERT_EQ(run_command(prepare_exe() + " -info false").status, 0);
    const std::string echo = read_file("data/config.inp");
    EXPECT_NE(echo.find("  crystal            = naphthalene.cif\n/\n"), std::string::npos);
    EXPECT_NE(echo.find("  vector_a        =     8.034800     0.000000     0.000000\n"), std::string::npos) << echo;
    EXPECT_NE(echo.find("  vector_c        =    -4.738"), std::string::npos) << echo;
    EXPECT_NE(read_file("HL/uc_mol-1.com").find("#P b3lyp 6-31G(d) IOp(3/33=1,5/33=2)"), std::string::npos);
}

TEST(PrepareBinary, UnknownEngineStopsBeforeAnythingIsWritten) {
    ScopedStudyDir dir;
    copy_example("naphthalene");
    std::string inp = read_file("krymo.inp");
    inp.replace(inp.find("compute_engine  = 1"), 19, "compute_engine  = 5");
    write_file("krymo.inp", inp);
    auto r = run_command(prepare_exe() + " -info false");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("Invalid value of compute_engine in krymo.inp, line "), std::string::npos) << r.output;
    EXPECT_FALSE(path_exists("data"));
    EXPECT_FALSE(path_exists("HL"));
}

TEST(PrepareBinary, DeletedWorkingDirectoryIsReportedNotWrittenAsRootPaths) {
    ScopedStudyDir dir;
    auto r = run_command("mkdir gone && cd gone && rmdir ../gone && " + prepare_exe() + " -info false");
    EXPECT_EQ(r.status, 255);
    EXPECT_NE(r.output.find("Cannot determine the working directory"), std::string::npos) << r.output;
}

TEST(PrepareBinary, PolymericChainStopsBeforeAnyFileIsWritten) {
    // A Cu-Cl zigzag chain along a: each Cu bonds to the Cl of the next cell.
    ScopedStudyDir dir;
    write_file("chain.cif",
                           "data_chain\n_cell_length_a 7\n_cell_length_b 10\n_cell_length_c 10\n_cell_angle_alpha 90\n"
                           "_cell_angle_beta 90\n_cell_angle_gamma 90\nloop_\n_symmetry_equiv_pos_as_xyz\nx,y,z\n"
                           "x+1/2,y,z\nloop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n"
                           "_atom_site_fract_y\n_atom_site_fract_z\nCu1 Cu 0 0.5 0.5\nCl1 Cl 0.25 0.6 0.5\n");
    write_file("krymo.inp", "&transport\n  crystal = chain.cif\n/\n");
    auto r = run_command(prepare_exe() + " -info false");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("\nERROR  transport : fileio : line "), std::string::npos);
    EXPECT_NE(r.output.find("The crystal file \"chain.cif\" holds no discrete molecules: molecule 1 (Cl2Cu2, 4 atoms) "
                            "bonds to its own periodic image along the lattice direction [1 0 0]"),
              std::string::npos)
        << r.output;
    EXPECT_FALSE(path_exists("data"));
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
        EXPECT_NE(r.output.find("****** KRYMO Transport Preparation Succsessfully Done.\n"), std::string::npos);
        for (const char* f : {"data/trans_int_files.dat", "scr/mol_one_uc.py", "scr/mol_two.py", "scr/mol_RE_neutral.py",
                              "scr/get_transint.py", "scr/prepare_RE.py", "scr/run_RE.py", "scr/get_RE.py",
                              "scr/gaussian_log_check.py", "scr/krymo.sh", "jobs/job_transint.slurm", "HL/uc_mol-1.com",
                              "RE/re-mol1-neutral.com", "RE/evc-e-mol1.inp", "MC-quantum/hole/run_mc_batch.py"})
            EXPECT_TRUE(path_exists(f)) << f;
    }
}

TEST(PrepareBinary, OptionalClusterAndOverlapMethodFiles) {
    ScopedStudyDir dir;
    copy_example("naphthalene");
    krymo_test::write_file("krymo.inp", "&transport\n  crystal = naphthalene.cif\n  data_mol_output_level = 9\n"
                                        "  use_moo = 1\n  qc_basis = zindo ZINDOS\n/\n");
    auto r = run_command(prepare_exe() + " -info false");
    ASSERT_EQ(r.status, 0) << r.output;
    for (const char* f : {"data/mol1_oniom.com", "data/mol2_oniom.xyz", "data/moo_mol1_uc.pos", "data/moo_mol2_nei.pos",
                          "data/moo_map.xml", "HL/uc_mol-2.com"})
        EXPECT_TRUE(krymo_test::path_exists(f)) << f;
    // The overlap method needs no neighbour or pair calculations.
    EXPECT_FALSE(krymo_test::path_exists("HL/2mol-1.com"));
    EXPECT_FALSE(krymo_test::path_exists("scr/mol_two.py"));
}

TEST(PrepareBinary, TextsTheScriptsCannotCarryStopTheRunBeforeAnythingIsWritten) {
    ScopedStudyDir dir;
    // A folder name that would run a command on the cluster if spliced into a script.
    const std::string study = dir.file("my study;$(touch PWNED)");
    ASSERT_EQ(mkdir(study.c_str(), 0755), 0);
    ASSERT_EQ(chdir(study.c_str()), 0);
    copy_example("naphthalene");
    const std::string run = prepare_exe() + " -info false";
    auto r = run_command(run);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("holds a blank, ';', '$', which the generated job scripts cannot carry"),
              std::string::npos) << r.output;
    EXPECT_EQ(list_dir("."), (std::vector<std::string>{"krymo.inp", "naphthalene.cif"}));
    EXPECT_FALSE(path_exists(dir.file("PWNED")));

    const std::string safe = dir.file("safe");
    ASSERT_EQ(mkdir(safe.c_str(), 0755), 0);
    ASSERT_EQ(chdir(safe.c_str()), 0);
    copy_example("naphthalene");
    const std::string input = read_file("krymo.inp");
    const struct {
        const char* setting;
        const char* named;  // empty: accepted
    } cases[] = {
        {"scratch = /scratch/x;rm -rf ~", "scratch in krymo.inp, \"/scratch/x;rm -rf ~\", holds ';', a blank"},
        {"scratch = $(whoami)", "holds '$'"},
        {"queue_name = \"long q\"", "queue_name in krymo.inp, \"long q\", holds a blank"},
        {"nodelist = n1`id`", "holds '`'"},
        {"module_qc = gaussian/16|x", "holds '|'"},
        {"scratch = ${TMPDIR}/$USER", ""},  // expanded on the node, as meant
    };
    for (const auto& c : cases) {
        write_file("krymo.inp", input + "&transport\n" + c.setting + "\n/\n");
        auto res = run_command(run);
        if (*c.named == '\0') {
            EXPECT_EQ(res.status, 0) << c.setting << "\n" << res.output;
            continue;
        }
        EXPECT_EQ(res.status, 1) << c.setting;
        EXPECT_NE(res.output.find(c.named), std::string::npos) << res.output;
        EXPECT_EQ(list_dir("."), (std::vector<std::string>{"krymo.inp", "naphthalene.cif"})) << c.setting;
    }
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
