// Gather stage: the pair list with and without unique pairs, the submit scripts of the tools, the
// checkpoint copies, the four-point lists, and the lumping scripts, whose merging is run for real.
#include "golden.h"
#include "transport/transport_fixture.h"

using namespace krymo_test;

namespace {

// Two molecules with 2 and 1 neighbours (molecule 2, then 1; molecule 1).
void two_roots(TestTransport& t) {
    t.nmols_uc = 2;
    t.nnei = {2, 1};
    t.nei_mol_ids = {{1, 0}, {0}};
    t.compute_engine = 1;
    t.HL_unique_nei_mol = t.HL_unique_pair = false;
}

// Four molecules; with the unique flag molecule 1 stands for 2, and 3 for 4.
void four_molecules(TestTransport& t, char carrier, bool unique) {
    t.nmols_uc = 4;
    t.carrier_letter = carrier;
    t.RE_unique = unique;
    t.RE_uc_mol_index = {1, 1, 3, 3};
    t.RE_unique_mols = {1, 3};
}

}  // namespace

TEST(GatherScripts, PairListNamesEachPairOrItsRepresentative) {
    ScopedStudyDir dir;
    ASSERT_EQ(std::system("mkdir data scr jobs RUN"), 0);
    TestTransport t;
    two_roots(t);
    t.write_trans_int_files();
    EXPECT_EQ(read_file("data/trans_int_files.dat"),
              "2\n2\n../HL/2mol-1-1.log  ../HL/uc_mol-1.log  ../HL/nei_mol-1-1.log  1 2\n"
              "../HL/2mol-1-2.log  ../HL/uc_mol-1.log  ../HL/nei_mol-1-2.log  1 1\n"
              "1\n../HL/2mol-2-1.log  ../HL/uc_mol-2.log  ../HL/nei_mol-2-1.log  2 1\n");
    // Molecule 2's only pair stands for nothing new: pair 1 (flattened key 0) represents it. ORCA: ".out".
    t.HL_unique_nei_mol = t.HL_unique_pair = true;
    t.HL_pair_index = {0, 1, 0};
    t.compute_engine = 2;
    t.write_trans_int_files();
    EXPECT_EQ(read_file("data/trans_int_files.dat"),
              "2\n2\n../HL/2mol-1.out  ../HL/uc_mol-1.out  ../HL/nei_mol-1.out  1 2\n"
              "../HL/2mol-2.out  ../HL/uc_mol-1.out  ../HL/nei_mol-2.out  1 1\n"
              "1\n../HL/2mol-1.out  ../HL/uc_mol-1.out  ../HL/nei_mol-1.out  2 1\n");
    // A representative beyond the last entry cannot be mapped to a molecule.
    t.HL_pair_index = {0, 1, 3};
    expect_stop([&] { t.write_trans_int_files(); }, 255, "neighbor key mapping error!\n");
    EXPECT_EQ(t.neighbor_map_key_1d_to_uc_id(2), 1);
    EXPECT_EQ(t.neighbor_map_key_1d_to_uc_id(1), 0);
}

TEST(GatherScripts, TransferIntegralToolPerEngineAndMethod) {
    // Q-Chem first renames its checkpoints; the overlap method has its own tool.
    std::string all;
    for (const auto& c : {std::make_pair(1, false), {2, false}, {3, false}, {4, false}, {2, true}}) {
        ScopedStudyDir dir;
        ASSERT_EQ(std::system("mkdir data scr jobs RUN"), 0);
        TestTransport t;
        t.compute_engine = c.first;
        t.set_job_moo_flag(c.second);
        t.write_get_transint_py();
        all += replaced(read_file("scr/get_transint.py") + read_file("jobs/job_transint.pbs"), t.get_workdir(), "@W@");
    }
    expect_golden(all, "gather/transint_per_engine.txt");
}

TEST(GatherScripts, EveryScriptOfAUniqueStudyWithAllOptions) {
    ScopedStudyDir dir;
    ASSERT_EQ(std::system("mkdir data scr jobs RUN"), 0);
    TestTransport t;
    four_molecules(t, 'a', true);
    t.reorg_outer_type = 1;
    t.write_site_energy_scripts();
    t.write_copy_neutral_chk_files_py();
    t.write_copy_RE_lambda_4P_files_py();
    t.write_RE_lambda_4P_list(false);
    t.write_RE_lambda_4P_list(true);
    t.write_get_RE_lambda_4P_py();
    for (int k = 0; k < 4; ++k) t.write_lumping_script(static_cast<krymo::LumpKind>(k));
expect_golden(replaced(files_text("scr") + files_text("data") + files_text("jobs"), t.get_workdir(), "@W@"),
                  "gather/unique_study.txt");
}

TEST(GatherScripts, OuterSphereAndCarrierOptionsChooseTheirLines) {
    ScopedStudyDir dir;
    ASSERT_EQ(std::system("mkdir data scr jobs RUN"), 0);
    TestTransport t;
    four_molecules(t, 'e', false);
    // Without an outer-sphere model only the polarization runs.
    t.write_site_energy_scripts();
    const std::string outer = read_file("jobs/get_re_outer.pbs");
    EXPECT_EQ(outer.find("qcpost_outer_sphere.exe"), std::string::npos);
    EXPECT_NE(outer.find("qcpost_polarize.exe"), std::string::npos);
    EXPECT_NE(read_file("data/SE_einternal_files.dat").find("../RE/re-mol4-neutral.log\n"), std::string::npos);
    // Four-point runner: each selected carrier's list, electrons first (an electron-only study too).
    for (const char* carrier : {"e", "h", "a"}) {
        t.carrier_letter = carrier[0];
        t.write_get_RE_lambda_4P_py();
        const std::string py = read_file("scr/get_RE_lambda_4P.py");
        const size_t e = py.find("-batch re_lambda_4P_files-e.dat"), h = py.find("-batch re_lambda_4P_files-h.dat");
        EXPECT_EQ(e != std::string::npos, carrier[0] != 'h') << carrier;
        EXPECT_EQ(h != std::string::npos, carrier[0] != 'e') << carrier;
        if (carrier[0] == 'a') EXPECT_LT(e, h);
        // The checkpoint copies name only the charged state that is computed.
        t.write_copy_RE_lambda_4P_files_py();
        const std::string copy = read_file("scr/copy_RE_lambda_4P_files.py");
        EXPECT_EQ(copy.find("anion") != std::string::npos, carrier[0] != 'h') << carrier;
        EXPECT_EQ(copy.find("cation") != std::string::npos, carrier[0] != 'e') << carrier;
    }
}

TEST(GatherScripts, LumpingScriptsMergeThePiecesWhenRun) {
    if (run_command(python3_exe() + " -c pass").status != 0) GTEST_SKIP() << "python3 is not installed";
    for (bool unique : {false, true}) {
        SCOPED_TRACE(unique ? "unique" : "plain");
        ScopedStudyDir dir;
        ASSERT_EQ(std::system("mkdir data scr"), 0);
        TestTransport t;
        four_molecules(t, 'a', unique);
        for (int k = 0; k < 4; ++k) t.write_lumping_script(static_cast<krymo::LumpKind>(k));
        // Normal-mode pieces of the molecules whose jobs ran (all four, or the representatives 1 and 3);
        // the internal-energy tool writes a piece for every molecule of its list.
        for (int m = 1; m <= 4; ++m)
            for (const char* c : {"e", "h"}) {
                write_file(krymo::format_string("data/SE_einternal%d-%s.dat", m, c), krymo::format_string("se %d\n", m));
                if (unique && m % 2 == 0) continue;
                write_file(krymo::format_string("data/NM%d-%s.dat", m, c), krymo::format_string("nm %d %s\nmode\n", m, c));
                write_file(krymo::format_string("data/mol%d_lambda-%s.dat", m, c), krymo::format_string("%d.5 1 2\n# x\n", m));
            }
        const CommandResult r = run_command("for s in merge_evc_NM_output get_RE_lambda_evc merge_RE_int_ener_output "
                                            "merge_RE_outer_lambda_output; do " + python3_exe() + " scr/$s.py || echo FAIL $s; done");
        // A merger announces each carrier; one without its first piece (no outer-sphere data) writes
        // nothing. The merged files stay; the copies of the pieces are gone.
        expect_golden(r.output + files_text("data"), unique ? "gather/lumped_unique.txt" : "gather/lumped_plain.txt");
    }
}
