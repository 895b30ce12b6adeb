// The workflow tree as one stage on a real crystal: its progress lines, the parts that depend on
// switches and carriers, the driver shell script, and a second run over a study that has results.
#include "transport/transport_fixture.h"

using namespace krymo_test;

namespace {

void naphthalene(TestTransport& t) {
    prepare_crystal(t, "naphthalene");
    capture_stdout([&] { t.write_mol_bonds_files(true); });
}

void no_mobility(TestTransport& t) {
    t.do_transport_run_MC = t.do_transport_get_mob_MC = t.do_transport_run_MC_temp = t.do_transport_get_mob_MC_temp = 0;
    t.do_transport_run_ME = t.do_transport_get_mob_ME = t.do_transport_run_ME_temp = t.do_transport_get_mob_ME_temp = 0;
}

}  // namespace

TEST(WorkflowTree, WithoutMobilitySwitchesNoRunFolderIsMadeAndAQuietRunSaysNothing) {
    ScopedStudyDir dir;
    TestTransport t;
    naphthalene(t);
    t.lat_site_energy = 1;
    t.reorg_outer_type = 1;
    no_mobility(t);
    EXPECT_NE(capture_stdout([&] { t.write_scripts(true); }), "");
    // Without mobility switches no run folder is made; the driver script is written all the same.
    for (const std::string& d : list_dir(".")) EXPECT_TRUE(d.rfind("MC-", 0) != 0 && d.rfind("ME-", 0) != 0) << d;
    EXPECT_TRUE(path_exists("scr/krymo.sh"));
    EXPECT_EQ(capture_stdout([&] { t.write_scripts(false); }), "");
}

TEST(WorkflowTree, CarrierLetterAndEngineChooseTheScripts) {
    struct Case { const char* chargetype; int engine; std::vector<std::string> present, absent; };
    const Case cases[] = {
        {"H", 1, {"data/re_lambda_4P_files-h.dat", "scr/get_RE_lambda_4P.py", "RE/evc-h-mol1.inp", "MC-quantum/hole",
                  "scr/gaussian_log_check.py"},
         {"data/re_lambda_4P_files-e.dat", "RE/evc-e-mol1.inp", "MC-quantum/elec", "scr/orca_out_check.py"}},
        // Only Gaussian copies checkpoints for its four-point jobs; Q-Chem's take the optimised atoms first.
        {"e", 2, {"RE/evc-e-mol1.inp", "MC-quantum/elec", "scr/orca_out_check.py", "data/re_lambda_4P_files-e.dat"},
         {"scr/copy_RE_lambda_4P_files.py", "scr/gaussian_log_check.py", "MC-quantum/hole", "scr/qchem_opt_geometry.py"}},
        {"a", 3, {"scr/qchem_out_check.py", "scr/qchem_fchk_ext_lowercase.py", "RE/evc-h-mol1.inp", "RE/evc-e-mol1.inp",
                  "scr/get_RE_lambda_4P.py", "scr/qchem_opt_geometry.py"},
         {"scr/copy_RE_lambda_4P_files.py", "scr/gaussian_log_check.py"}},
        {"a", 4, {"scr/psi4_out_check.py", "scr/get_RE_lambda_4P.py", "data/re_lambda_4P_files-e.dat"},
         {"scr/copy_RE_lambda_4P_files.py", "scr/qchem_fchk_ext_lowercase.py", "scr/gaussian_log_check.py"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chargetype);
        ScopedStudyDir dir;
        TestTransport t;
        t.chargetype = c.chargetype;
        t.compute_engine = c.engine;
        naphthalene(t);
        t.write_scripts(false);
        for (const std::string& f : c.present) EXPECT_TRUE(path_exists(f)) << f;
        for (const std::string& f : c.absent) EXPECT_FALSE(path_exists(f)) << f;
        // Every pair is listed with the engine's output files.
        const std::string list = read_file("data/trans_int_files.dat");
        EXPECT_NE(list.find(c.engine == 1 ? "../HL/2mol-1.log  ../HL/uc_mol-1.log" : "../HL/2mol-1.out  ../HL/uc_mol-1.out"),
                  std::string::npos);
        if (c.engine != 4) continue;
        EXPECT_NE(read_file("data/re_lambda_4P_files-e.dat")
                      .find("../RE/re-mol1-anion_nC.out ../RE/re-mol1-neutral.out ../RE/re-mol1-neutral_eN.out "
                            "../RE/re-mol1-anion.out\n"),
                  std::string::npos);
        EXPECT_NE(read_file("RE/evc-h-mol1.inp").find("  ffreq(2)  = \"re-mol1-cation.out\"\n"), std::string::npos);
        EXPECT_NE(read_file("scr/prepare_RE.py").find("re-mol1-cation.fchk"), std::string::npos);
    }
}

TEST(WorkflowTree, SecondRunReplacesScriptsAndKeepsResults) {
    ScopedStudyDir dir;
    TestTransport t;
    naphthalene(t);
    t.write_scripts(false);
    write_file("HL/uc_mol-1.log", "result\n");
    write_file("MC-quantum/elec/exp_data.dat", "mobility\n");
    write_file("scr/get_transint.py", "stale\n");
    t.write_scripts(false);
    EXPECT_EQ(read_file("HL/uc_mol-1.log"), "result\n");
    EXPECT_EQ(read_file("MC-quantum/elec/exp_data.dat"), "mobility\n");
    EXPECT_EQ(read_file("scr/get_transint.py").rfind("#!/usr/bin/env python\n", 0), 0u);
}
