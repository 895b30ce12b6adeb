// The generated workflow of a study run locally with stub programs, stage after stage: every job runs
// once and cleans up, the data flows on, and a second pass skips what has finished.
#include <map>

#include "test_support.h"
#include "workflow_stubs.h"
#include "util/text.h"

using namespace krymo_test;

namespace {

struct Study { const char* name; const char* engine_lines; bool unique; bool array; };

std::string study_input(const Study& s) {
    return krymo::format_string(
        "&transport\n  crystal = naphthalene.cif\n  sched_type = local\n  sched_job_array = %d\n%s"
        "  HL_unique_mol = %d\n  RE_unique_mol = %d\n  lattice_cutoff = 2.8\n  chargetype = a\n  ratetype = marcus\n"
        "  do_transport_run_ME = 1\n  do_transport_run_ME_temp = 1\n  do_transport_run_MC_temp = 1\n"
        "  start_temp = 200\n  end_temp = 300\n  delta_temp = 100\n/\n",
        s.array, s.engine_lines, s.unique, s.unique);
}

}  // namespace

TEST(WorkflowLocal, EveryStageOfAStudyRunsOnceAndHandsItsDataOn) {
    if (run_command(python3_exe() + " -c pass").status != 0) GTEST_SKIP() << "python3 is not installed";
    const Study studies[] = {
        {"gaussian", "  compute_engine = 1\n  qc_exe = g09\n  qc_basis = b3lyp 6-31G\n", false, false},
        {"gaussian unique arrays", "  compute_engine = 1\n  qc_exe = g09\n", true, true},
        {"qchem arrays", "  compute_engine = 3\n  qc_exe = qchem\n  qc_method = b3lyp\n  qc_basis = 6-31G\n", false, true},
        {"qchem unique", "  compute_engine = 3\n  qc_exe = qchem\n", true, false},
    };
    for (const Study& s : studies) {
        SCOPED_TRACE(s.name);
        ScopedStudyDir dir;
        const std::string w = dir.path();
        write_file("naphthalene.cif", read_file(data_path("crystals/naphthalene.cif")));
        write_file("krymo.inp", study_input(s));
        const CommandResult prep = run_command(prepare_exe() + " -info false");
        ASSERT_EQ(prep.status, 0) << prep.output;

        ASSERT_TRUE(install_stubs());
        const std::string env = "KRYMO_STUB_LOG='" + w + "/calls.log' PATH='" + w + "/stubs':\"$PATH\" ";
        const CommandResult all = run_command(env + "python drive.py all");
        ASSERT_EQ(all.status, 0) << all.output;

        // Every quantum-chemistry input ran exactly once; no job left its marker or an error marker.
        const std::string log = read_file("calls.log");
        const bool gaussian = s.engine_lines[19] == '1';
        const std::map<std::string, int> qc = calls_of(log, gaussian ? "g09" : "qchem");
        size_t inputs = 0;
        for (const char* d : {"HL", "RE"})
            for (const std::string& f : list_dir(d))
                if (f.size() > 4 && f.substr(f.size() - 4) == (gaussian ? ".com" : ".inp") && f.rfind("evc-", 0) != 0) {
                    ++inputs;
                    EXPECT_EQ(qc.count(f) ? qc.at(f) : 0, 1) << f;
                }
        EXPECT_EQ(qc.size(), inputs);
        EXPECT_EQ(list_dir("RUN"), std::vector<std::string>{});

        // Transfer integrals, normal modes and reorganization energies reached the data folder.
        EXPECT_EQ(read_file("data/VL.dat"), "coupling\n");
        EXPECT_EQ(read_file("data/NM-e.dat"), "2\nmodes of " + w + "/evc/mol1/elec\nmodes of " + w + "/evc/mol" +
                                                  (s.unique ? "1" : "2") + "/elec\n");
        EXPECT_EQ(read_file("evc/mol1/hole/lambda.dat"),
                  "     37.19526000      12.39842000      24.79684000\n# reorganization energies: lam lam1 lam2 [meV]\n");
        EXPECT_EQ(read_file("data/mol_lambda_evc-h.dat").substr(0, 2), "2\n");
        // The mobility stages ran in their folders and the scan collector tabulated the stub mobilities.
        EXPECT_TRUE(path_exists("MC-marcus-temp/300/hole/charge.inp"));
        EXPECT_EQ(read_file("ME-marcus/mob_hole.dat").substr(0, 16), "mu_a = 1.25e-01\n");
        const std::string mob = read_file("ME-marcus-temp/mob_elec.dat");
        const std::string rows = "dir_a:\n200  1.250000e-01  cm^{2}/Vs\n300  1.250000e-01  cm^{2}/Vs\ndir_b:\n";
        EXPECT_EQ(mob.substr(0, rows.size()), rows);

        // A second pass: the checkers see the finished outputs and nothing is computed again.
        const CommandResult again = run_command(env + "python drive.py quantum");
        ASSERT_EQ(again.status, 0) << again.output;
        EXPECT_EQ(calls_of(read_file("calls.log"), gaussian ? "g09" : "qchem"), qc);
        EXPECT_EQ(list_dir("RUN"), std::vector<std::string>{});

        const CommandResult compiled = run_command("find . -name '*.py' ! -path './stubs/*' | xargs " + python3_exe() +
                                                   " -m py_compile");
        EXPECT_EQ(compiled.output, "");
    }
}
