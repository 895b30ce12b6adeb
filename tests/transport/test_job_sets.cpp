// Quantum-chemistry job sets on a hand-made cell with known neighbour and unique lists: files, runners
// and job scripts per engine, plain and unique, single and arrays; reorganization states; failures.
#include "golden.h"
#include "transport/transport_fixture.h"

using namespace krymo_test;
using krymo::Engine;

namespace {

const std::pair<const char*, Engine> kEngines[] = {
    {"gaussian", Engine::Gaussian}, {"orca", Engine::Orca}, {"qchem", Engine::Qchem}, {"psi4", Engine::Psi4}};

// Three molecules in a 10 A cube: H2, a carbon atom, HF. Root 1 has three neighbours (global pairs
// 1-3), root 2 two (pairs 4-5), root 3 none. Unique pairs 2 and 5; unique molecules 1 and 3.
void small_cell(TestTransport& t) {
    t.set_cell(10, 10, 10);
    t.add_molecule({1, 1}, {0.1, 0.1, 0.1, 0.17, 0.1, 0.1}, true);
    t.add_molecule({6}, {0.5, 0.5, 0.5}, true);
    t.add_molecule({9, 1}, {0.8, 0.2, 0.3, 0.89, 0.2, 0.3}, true);
    t.nnei = {3, 2, 0};
    t.nei_mol_ids = {{1, 0, 2}, {0, 2}, {}};
    t.nei_cindex = {{0, 0, 0, 1, 0, 0, -1, 0, 0}, {0, 0, 0, 0, 1, 0}, {}};
    t.HL_unique_pairs = {2, 5};
    t.HL_unique_mols = {1, 3};
    t.RE_unique_mols = {1, 3};
    t.qc_exe = "qcexe";
}

void set_unique(TestTransport& t, bool unique) {
    t.HL_unique_uc_mol = t.HL_unique_nei_mol = t.HL_unique_pair = t.RE_unique = unique;
}

// The files of the study and every runner script, with the work directory as @W@.
std::string study_picture(const std::string& workdir) {
    std::string s;
    for (const char* d : {"HL", "RE", "jobs"}) {
        s += std::string("==> ") + d + "/\n";
        for (const std::string& f : list_dir(d)) s += f + "\n";
    }
    for (const std::string& f : list_dir("scr")) s += "==> scr/" + f + "\n" + read_file("scr/" + f);
    return replaced(s, workdir, "@W@", false);
}

}  // namespace

TEST(JobSets, EachEngineWritesItsFilesRunnersAndInputsPlainAndUniqueSingleAndArray) {
    // Both carriers with the four-point jobs, and a method of the reorganization jobs of their own.
    // Pair 1-3 is the root's atoms, then HF shifted one cell along -a. Unique inputs carry the global
    // pair number (root 2's last entry is pair 5) and the title of the pair they stand for. The
    // four-point points: the cation at the neutral's geometry (1 2), the neutral at the cation's (0 1),
    // the anion at the neutral's (-1 2), the neutral at the anion's (0 1).
    for (const auto& e : kEngines)
        for (bool unique : {false, true})
            for (bool array : {false, true}) {
                const std::string name = krymo::format_string("jobsets/%s_%s_%s.txt", e.first,
                                                              unique ? "unique" : "plain", array ? "array" : "single");
                SCOPED_TRACE(name);
                ScopedStudyDir dir;
                TestTransport t;
                small_cell(t);
                set_unique(t, unique);
                t.sched_job_array = array;
                t.carrier_letter = 'a';
                t.RE_calc_lambda_4P = true;
                t.qc_method = "hlmethod";
                t.qc_method_re = "remethod";
                t.write_qc_job_sets(e.second);
                // Root 3 has no neighbours and so no arrays: a scheduler would refuse one without members.
                // Inputs once per engine and kind; job scripts where they differ (array members, unique names).
                std::string picture = study_picture(t.get_workdir()) + (array ? "" : files_text("HL") + files_text("RE"));
                if (array || unique) picture += files_text("jobs");
                expect_golden(replaced(picture, t.get_workdir(), "@W@", false), name);
                EXPECT_EQ(run_command(python3_exe() + " -m py_compile scr/*.py").output, "");  // the runners parse
            }
}

TEST(JobSets, NoUniquePairWritesNoInputAndNoJob) {
    TestTransport t;
    small_cell(t);
    set_unique(t, true);
    t.HL_unique_pairs.clear();
    t.use_scheduler("slurm");
    for (bool array : {false, true}) {
        ScopedStudyDir empty;
        t.sched_job_array = array;
        t.write_HL_orca_2mol_inp_and_job_unique();
        EXPECT_EQ(read_file("scr/mol_two.py").find("os.system"), std::string::npos);  // submits nothing
        EXPECT_TRUE(list_dir("HL").empty());
        EXPECT_TRUE(list_dir("jobs").empty());
    }
}

TEST(JobSets, OverlapMethodWritesOnlyEveryUnitCellMoleculeWithGaussian) {
    // Gaussian: the monomers of every molecule and no pair runner; the other engines have no such method.
    std::string all;
    for (const auto& e : kEngines) {
        ScopedStudyDir dir;
        TestTransport t;
        small_cell(t);
        set_unique(t, true);
        t.use_moo = true;
        t.set_job_moo_flag(true);
        t.write_qc_job_sets(e.second);
        all += std::string("#### ") + e.first + "\n" + study_picture(t.get_workdir());
    }
    expect_golden(all, "jobsets/overlap_method.txt");
}

TEST(JobSets, ReorganizationStatesFollowTheCarrierAndTheOptions) {
    // The charged states of the carrier only; started from the neutral checkpoint a charged state has no
    // coordinates of its own; the multipole job gathers every state whatever the carrier; the four-point
    // job of a molecule runs the electron pair first and converts no checkpoint.
    struct Case { const char* carrier; bool four_point, neutral_chk, dielectric; };
    const Case cases[] = {{"e", false, false, false}, {"h", false, true, true}, {"a", true, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.carrier);
        ScopedStudyDir dir;
        TestTransport t;
        small_cell(t);
        t.carrier_letter = c.carrier[0];
        t.RE_calc_lambda_4P = c.four_point;
        t.RE_use_neutral_chk = c.neutral_chk;
        t.reorg_outer_type = c.dielectric ? 3 : 0;
        t.write_RE_gaussian_mol_gjf_and_job_unique_separated();
        const std::string inputs = replaced(files_text("RE") + files_text("jobs"), t.get_workdir(), "@W@");
        expect_golden(study_picture(t.get_workdir()) + inputs, std::string("jobsets/re_states_") + c.carrier + ".txt");
    }
}

TEST(JobSets, UnwritableRunnersAndInputsStopTheRun) {
    ScopedStudyDir dir;
    TestTransport t;
    small_cell(t);
    write_file("scr", "a file where the scripts directory belongs\n");
    expect_stop([&] { t.write_HL_qchem_mol_one_inp_and_job_uc(); }, 1, "",
                "Failed to open output file scr/mol_one_uc.py\n");
    ASSERT_EQ(std::system("rm scr HL -rf && mkdir scr"), 0);
    write_file("HL", "a file where the inputs belong\n");
    const krymo::FatalError e = expect_fatal([&] { t.write_HL_orca_2mol_inp_and_job(); });
    EXPECT_EQ(e.unit, "fileio");
    EXPECT_EQ(e.status, 255);
    EXPECT_EQ(e.err_text, "Failed to open output file HL/2mol-1-1.inp\n");
}
