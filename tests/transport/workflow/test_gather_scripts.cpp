// Gather stage: the pair list with and without unique pairs, the submit scripts of the tools, the
// checkpoint copies, the four-point lists, and the lumping scripts, whose merging is run for real.
#include "golden.h"
#include "transport/transport_fixture.h"

using namespace krymo_test;

TEST(GatherScripts, PairListNamesEachPairOrItsRepresentative) {
    ScopedStudyDir dir;
    ASSERT_EQ(std::system("mkdir data scr jobs RUN"), 0);
    TestTransport t;  // two molecules with 2 and 1 neighbours (molecule 2, then 1; molecule 1)
    t.nmols_uc = 2;
    t.nnei = {2, 1};
    t.nei_mol_ids = {{1, 0}, {0}};
    t.compute_engine = 1;
    t.HL_unique_nei_mol = t.HL_unique_pair = false;
    t.write_trans_int_files();
    std::string lists = read_file("data/trans_int_files.dat");
    // Molecule 2's only pair stands for nothing new: pair 1 (flattened key 0) represents it. ORCA: ".out".
    t.HL_unique_nei_mol = t.HL_unique_pair = true;
    t.HL_pair_index = {0, 1, 0};
    t.compute_engine = 2;
    t.write_trans_int_files();
    expect_golden(lists + read_file("data/trans_int_files.dat"), "gather/pair_lists.txt");
    // A representative beyond the last entry cannot be mapped to a molecule.
    t.HL_pair_index = {0, 1, 3};
    expect_stop([&] { t.write_trans_int_files(); }, 255, "neighbor key mapping error!\n");
}

TEST(GatherScripts, EveryScriptPerCarrierOuterSphereAndUniqueMolecules) {
    // Without an outer-sphere model only the polarization runs; the four-point runner takes each selected
    // carrier's list, electrons first; the checkpoint copies name only the charged state computed. The
    // transfer integrals: Q-Chem first renames its checkpoints; the overlap method has its own tool.
    const struct { const char* golden; char carrier; bool unique; int outer, engine; bool moo; } cases[] = {
        {"gather/unique_study.txt", 'a', true, 1, 1, false}, {"gather/electrons.txt", 'e', false, 0, 3, false},
        {"gather/holes_dielectric.txt", 'h', false, 3, 4, false}, {"gather/overlap_method.txt", 'a', false, 0, 2, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.golden);
        ScopedStudyDir dir;
        ASSERT_EQ(std::system("mkdir data scr jobs RUN"), 0);
        TestTransport t;  // four molecules; with the unique flag molecule 1 stands for 2, and 3 for 4
        t.nmols_uc = 4;
        t.carrier_letter = c.carrier;
        t.RE_unique = c.unique;
        t.RE_uc_mol_index = {1, 1, 3, 3};
        t.RE_unique_mols = {1, 3};
        t.reorg_outer_type = c.outer;
        t.compute_engine = c.engine;
        t.set_job_moo_flag(c.moo);
        t.write_get_transint_py();
        t.write_site_energy_scripts();
        t.write_copy_neutral_chk_files_py();
        t.write_copy_RE_lambda_4P_files_py();
        t.write_RE_lambda_4P_list(false);
        t.write_RE_lambda_4P_list(true);
        t.write_get_RE_lambda_4P_py();
        for (int k = 0; k < 4; ++k) t.write_lumping_script(static_cast<krymo::LumpKind>(k));
        expect_golden(replaced(files_text("scr") + files_text("data") + files_text("jobs"), t.get_workdir(), "@W@"),
                      c.golden);
    }
}
