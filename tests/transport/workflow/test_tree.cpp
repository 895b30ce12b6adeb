// The workflow tree as one stage on a real crystal: the parts that depend on carriers and engines, and a
// second run over a study that has results.
#include "golden.h"
#include "transport/transport_fixture.h"

using namespace krymo_test;

namespace {

void naphthalene(TestTransport& t) {
    prepare_crystal(t, "naphthalene");
    capture_stdout([&] { t.write_mol_bonds_files(true); });
}

}  // namespace

TEST(WorkflowTree, CarrierLetterAndEngineChooseTheScripts) {
    // Per case the files of the tree, then the lists of the pairs and the four-point points and an input
    // of the normal modes. Only Gaussian copies checkpoints for its four-point jobs; Q-Chem's take the
    // optimised atoms first.
    const std::pair<const char*, int> cases[] = {{"H", 1}, {"e", 2}, {"a", 3}, {"a", 4}};
    std::string all;
    for (const auto& c : cases) {
        ScopedStudyDir dir;
        TestTransport t;
        t.chargetype = c.first;
        t.compute_engine = c.second;
        naphthalene(t);
        t.write_scripts(false);
        all += krymo::format_string("#### %s, engine %d\n", c.first, c.second) +
               run_command("LC_ALL=C find . -type f | LC_ALL=C sort").output;
        for (const char* f : {"data/trans_int_files.dat", "data/re_lambda_4P_files-e.dat", "data/re_lambda_4P_files-h.dat",
                              "RE/evc-h-mol1.inp"})
            if (path_exists(f)) all += std::string("==> ") + f + "\n" + read_file(f);
    }
    expect_golden(all, "workflow/tree_per_carrier_and_engine.txt");
}

TEST(WorkflowTree, QuietSecondRunReplacesScriptsAndKeepsResults) {
    ScopedStudyDir dir;
    TestTransport t;
    naphthalene(t);
    t.write_scripts(false);
    write_file("HL/uc_mol-1.log", "result\n");
    write_file("MC-quantum/elec/exp_data.dat", "mobility\n");
    write_file("scr/get_transint.py", "stale\n");
    EXPECT_EQ(capture_stdout([&] { t.write_scripts(false); }), "");  // a quiet run says nothing
    EXPECT_EQ(read_file("HL/uc_mol-1.log"), "result\n");
    EXPECT_EQ(read_file("MC-quantum/elec/exp_data.dat"), "mobility\n");
    EXPECT_EQ(read_file("scr/get_transint.py").rfind("#!/usr/bin/env python\n", 0), 0u);
}
