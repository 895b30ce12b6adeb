// Quantum-chemistry job sets on a hand-made cell with known neighbour and unique lists: files, runners
// and job scripts per engine, plain and unique, single and arrays; reorganization states; failures.
#include "golden.h"
#include "transport/transport_fixture.h"

using namespace krymo_test;
using krymo::Engine;

namespace {

const char* const kEngineNames[] = {"gaussian", "orca", "qchem", "psi4"};
const Engine kEngines[] = {Engine::Gaussian, Engine::Orca, Engine::Qchem, Engine::Psi4};
constexpr int kEngineCount = 4;

// Three molecules in a 10 A cube: H2, a carbon atom, HF. Root 1 has three neighbours (global pairs
// 1-3), root 2 two (pairs 4-5), root 3 none. Unique pairs 2 and 4; unique molecules 1 and 3.
void small_cell(TestTransport& t) {
    t.set_cell(10, 10, 10);
    t.add_molecule({1, 1}, {0.1, 0.1, 0.1, 0.17, 0.1, 0.1}, true);
    t.add_molecule({6}, {0.5, 0.5, 0.5}, true);
    t.add_molecule({9, 1}, {0.8, 0.2, 0.3, 0.89, 0.2, 0.3}, true);
    t.nnei = {3, 2, 0};
    t.nei_mol_ids = {{1, 0, 2}, {0, 2}, {}};
    t.nei_cindex = {{0, 0, 0, 1, 0, 0, -1, 0, 0}, {0, 0, 0, 0, 1, 0}, {}};
    t.HL_unique_pairs = {2, 4};
    t.HL_unique_mols = {1, 3};
    t.RE_unique_mols = {1, 3};
    t.qc_exe = "qcexe";
}

void set_unique(TestTransport& t, bool unique) {
    t.HL_unique_uc_mol = t.HL_unique_nei_mol = t.HL_unique_pair = t.RE_unique = unique;
}

// The files of the study, every runner script, then the named files, with the work directory as @W@.
std::string study_picture(const std::string& workdir, const std::vector<std::string>& extra = {}) {
    std::string s;
    for (const char* d : {"HL", "RE", "jobs"}) {
        s += std::string("==> ") + d + "/\n";
        for (const std::string& f : list_dir(d)) s += f + "\n";
    }
    for (const std::string& f : list_dir("scr")) s += "==> scr/" + f + "\n" + read_file("scr/" + f);
    for (const std::string& f : extra)
        if (path_exists(f)) s += "==> " + f + "\n" + read_file(f);
    return replaced(s, workdir, "@W@", false);
}

}  // namespace

TEST(JobSets, EachEngineWritesItsFilesAndRunnersPlainAndUniqueSingleAndArray) {
    for (int e = 0; e < kEngineCount; ++e)
        for (bool unique : {false, true})
            for (bool array : {false, true}) {
                const std::string name = krymo::format_string("jobsets/%s_%s_%s.txt", kEngineNames[e],
                                                              unique ? "unique" : "plain", array ? "array" : "single");
                SCOPED_TRACE(name);
                ScopedStudyDir dir;
                TestTransport t;
                small_cell(t);
                set_unique(t, unique);
                t.sched_job_array = array;
                t.write_qc_job_sets(kEngines[e]);
                // Root 3 has no neighbours and so no arrays: a scheduler would refuse one without members.
                expect_golden(study_picture(t.get_workdir()), name);
                EXPECT_EQ(run_command(python3_exe() + " -m py_compile scr/*.py").output, "");  // the runners parse
            }
}

TEST(JobSets, GaussianInputsOfMonomersAndPairsPlainAndUnique) {
    // Pair 1-3 is the root's atoms, then HF shifted one cell along -a. Unique inputs carry the global
    // pair number (root 2's first entry is pair 4) and the title of the pair they stand for.
    for (bool unique : {false, true}) {
        ScopedStudyDir dir;
        TestTransport t;
        small_cell(t);
        set_unique(t, unique);
        t.write_qc_job_sets(Engine::Gaussian);
        expect_golden(files_text("HL"), unique ? "jobsets/gaussian_inputs_unique.txt" : "jobsets/gaussian_inputs_plain.txt");
    }
}

TEST(JobSets, SubmitCommandsAndEmptyUniqueLists) {
    ScopedStudyDir dir;
    TestTransport t;
    small_cell(t);
    set_unique(t, false);
    t.sched_job_array = false;
    t.use_scheduler("lsf");
    t.write_HL_gaussian_mol_one_gjf_and_job_uc();
    // "bsub < " keeps its blank: two blanks before the script.
    EXPECT_NE(read_file("scr/mol_one_uc.py").find("os.system(\"bsub <  ../jobs/job_uc_mol-1.lsf\")\n\n"),
              std::string::npos);

    // No unique pair: no input and no job; the runner only changes directory and back.
    t.HL_unique_pairs.clear();
    t.use_scheduler("slurm");
    for (bool array : {false, true}) {
        ScopedStudyDir empty;
        t.sched_job_array = array;
        t.write_HL_orca_2mol_inp_and_job_unique();
        EXPECT_EQ(read_file("scr/mol_two.py"),
                  "#!/usr/bin/env python\nimport os\nimport glob\nimport shutil\n\ncwd = os.getcwd()\n"
                  "os.chdir(\"HL\")\n\nos.chdir(cwd)\n\n");
        EXPECT_TRUE(list_dir("HL").empty());
        EXPECT_TRUE(list_dir("jobs").empty());
    }
}

TEST(JobSets, OverlapMethodWritesOnlyEveryUnitCellMoleculeWithGaussian) {
    for (int e = 0; e < kEngineCount; ++e) {
        ScopedStudyDir dir;
        TestTransport t;
        small_cell(t);
        set_unique(t, true);
        t.use_moo = true;
        t.set_job_moo_flag(true);
        t.write_qc_job_sets(kEngines[e]);
        const std::vector<std::string> runners = list_dir("scr");
        if (kEngines[e] == Engine::Gaussian) {
            EXPECT_EQ(runners, (std::vector<std::string>{"mol_RE_anion_cation.py", "mol_RE_lambda_4P.py",
                                                         "mol_RE_neutral.py", "mol_one_uc.py"}));
            EXPECT_EQ(list_dir("HL"), (std::vector<std::string>{"uc_mol-1.com", "uc_mol-2.com", "uc_mol-3.com"}));
        } else {
            EXPECT_EQ(runners.size(), 6u) << kEngineNames[e];
        }
    }
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
        expect_golden(study_picture(t.get_workdir(), {"RE/re-mol1-cation.com", "RE/re-mol3-cation_nC.com",
                                                      "jobs/job_re-mps.pbs", "jobs/job_re-mol3_lambda_4P.pbs"}),
                      std::string("jobsets/re_states_") + c.carrier + ".txt");
    }
}

TEST(JobSets, FourPointInputsCarryTheirChargeAndTakeTheOtherStatesGeometry) {
    // The charged state at the neutral's geometry and the neutral at the charged state's (hole: cation,
    // electron: anion). Per engine, the text of the input that gives charge and multiplicity, and the
    // text of the input or the job that names where the geometry comes from.
    struct Point { const char* state; int charge, mult; const char* geometry; };
    const Point points[] = {{"neutral_hN", 1, 2, "neutral"}, {"cation_nC", 0, 1, "cation"},
                            {"neutral_eN", -1, 2, "neutral"}, {"anion_nC", 0, 1, "anion"}};
    using Text = std::string (*)(const Point&);
    const struct { Engine engine; const char* job; Text charge; Text geometry; } engines[] = {
        // Gaussian's checkpoint of this name is the copy of the other state's (the copy script's test).
        {Engine::Gaussian, "jobs/job_re-mol1_lambda_4P.pbs",
         [](const Point& p) { return krymo::format_string("\n%d %d\n\n", p.charge, p.mult); },
         [](const Point& p) { return krymo::format_string("%%chk=re-mol1-%s.chk\n", p.state); }},
        {Engine::Orca, "jobs/job_re_mol1_lambda_4P.pbs",
         [](const Point& p) { return krymo::format_string("*xyzfile %d %d re-mol1-%s.xyz\n", p.charge, p.mult, p.geometry); },
         [](const Point& p) { return krymo::format_string("cp ${DataDir}/re-mol1-%s.xyz $SCRDIR\n", p.geometry); }},
        {Engine::Qchem, "jobs/job_re-mol1_lambda_4P.pbs",
         [](const Point& p) { return krymo::format_string("$molecule\n%d %d\nH ", p.charge, p.mult); },
         [](const Point& p) {
             return krymo::format_string("qchem_opt_geometry.py re-mol1-%s.out re-mol1-%s.inp && ", p.geometry, p.state);
         }},
        {Engine::Psi4, "jobs/job_re-mol1_lambda_4P.pbs",
         [](const Point& p) { return krymo::format_string("charge = %d\nmultiplicity = %d\n", p.charge, p.mult); },
         [](const Point& p) { return krymo::format_string("geometry_file = 're-mol1-%s.fchk'\n", p.geometry); }},
    };
    for (const auto& e : engines) {
        ScopedStudyDir dir;
        TestTransport t;
        small_cell(t);
        t.carrier_letter = 'a';
        t.RE_calc_lambda_4P = true;
        t.write_RE_job_set(e.engine, false);
        const std::string job = read_file(e.job);
        for (const Point& p : points) {
            const std::string input = read_file(krymo::format_string("RE/re-mol1-%s.%s", p.state,
                                                                     krymo::engine_row(e.engine).input_ext));
            SCOPED_TRACE(input);
            EXPECT_NE(input.find(e.charge(p)), std::string::npos) << e.charge(p);
            const std::string source = e.geometry(p);
            EXPECT_NE((input + job).find(source), std::string::npos) << source;
        }
    }
}

TEST(JobSets, ReorganizationJobScriptsOfEachEngine) {
    for (int e = 0; e < kEngineCount; ++e) {
        ScopedStudyDir dir;
        TestTransport t;
        small_cell(t);
        t.write_RE_job_set(kEngines[e], false);
        const char* job = kEngines[e] == Engine::Orca ? "jobs/job_re_mol2-cation.pbs" : "jobs/job_re-mol2-cation.pbs";
        expect_golden(replaced(read_file(job), t.get_workdir(), "@W@"),
                      std::string("jobsets/re_job_") + kEngineNames[e] + ".pbs");
    }
}

TEST(JobSets, ReorganizationJobsTakeTheirOwnMethodWhereTheEngineNamesOne) {
    // Gaussian carries method and basis together in qc_basis / qc_basis_re: qc_method_re is not its.
    for (int e = 1; e < kEngineCount; ++e) {
        SCOPED_TRACE(kEngineNames[e]);
        ScopedStudyDir dir;
        TestTransport t;
        small_cell(t);
        t.qc_method = "hlmethod";
        t.qc_method_re = "remethod";
        t.RE_calc_lambda_4P = true;
        t.write_qc_job_sets(kEngines[e]);
        for (const char* d : {"HL", "RE"})
            for (const std::string& f : list_dir(d)) {
                const std::string text = read_file(std::string(d) + "/" + f);
                EXPECT_EQ(text.find(d[0] == 'H' ? "remethod" : "hlmethod"), std::string::npos) << f;
                EXPECT_NE(text.find(d[0] == 'H' ? "hlmethod" : "remethod"), std::string::npos) << f;
            }
    }
}

TEST(JobSets, UnwritableRunnersAndInputsStopTheRun) {
    ScopedStudyDir dir;
    TestTransport t;
    small_cell(t);
    write_file("scr", "a file where the scripts directory belongs\n");
    expect_stop([&] { t.write_HL_qchem_mol_one_inp_and_job_uc(); }, 1, "",
                "Failed to open output file scr/mol_one_uc.py\n");
    ASSERT_EQ(std::system("rm scr && mkdir -p scr/mol_RE_mps.py/keep"), 0);
    t.reorg_outer_type = 3;
    // The multipole runner reports on standard output.
    expect_stop([&] { t.write_RE_gaussian_mol_gjf_and_job_separated(); }, 1,
                "Failed to open output file scr/mol_RE_mps.py\n");
    ASSERT_EQ(std::system("rm -rf HL"), 0);
    write_file("HL", "a file where the inputs belong\n");
    const krymo::FatalError e = expect_fatal([&] { t.write_HL_orca_2mol_inp_and_job(); });
    EXPECT_EQ(e.unit, "fileio");
    EXPECT_EQ(e.status, 255);
    EXPECT_EQ(e.err_text, "Failed to open output file HL/2mol-1-1.inp\n");
}
