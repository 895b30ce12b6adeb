// The generated workflow of a study run locally, stage after stage: the quantum-chemistry programs and
// the coupling tools are stubs, the hopping tools are the real ones. Every job runs once and cleans
// up, the data flows on to the mobilities the collectors tabulate, and a second pass skips what has
// finished.
#include <map>

#include "hopsim/formats.h"
#include "hopsim/study.h"
#include "hopsim/hopsim_support.h"
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
        "  nsimu = 4\n  tsimu = 0.05\n  tsnap = 0.005\n"
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

        // What the coupling and normal-mode stubs hand on, through the library's writers.
        ASSERT_EQ(std::system("mkdir -p stubs/data"), 0);
        {
            krymo::hopsim::RunFolder f;
            f.load();
            const std::vector<double> j = distance_couplings(f, 10.0);
            krymo::hopsim::write_pair_values("stubs/data/VL.dat", f.pairs(), j, "transfer integral (meV)", false, 2);
            std::vector<double> half;
            for (double x : j) half.push_back(0.5 * x);
            krymo::hopsim::write_pair_values("stubs/data/VH.dat", f.pairs(), half, "transfer integral (meV)", false, 2);
        }
        const std::string modes = krymo::hopsim::mode_block_text(stub_modes());
        write_file("stubs/data/NM.dat", modes);
        std::vector<std::pair<std::string, std::string>> hop_tools;
        for (const char* t : {"rates", "mc", "mc_par", "mobility", "mobility_par", "master"})
            hop_tools.emplace_back(std::string("hopsim_") + t + ".exe", hopsim_exe(t));
        ASSERT_TRUE(install_stubs(hop_tools));
        const std::string env = "KRYMO_STUB_LOG='" + w + "/calls.log' KRYMO_STUB_DATA='" + w + "/stubs/data' PATH='" + w +
                                "/stubs':\"$PATH\" ";
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
        EXPECT_EQ(read_file("data/VL.dat"), read_file("stubs/data/VL.dat"));
        EXPECT_EQ(read_file("data/NM-e.dat"), "2\n# modes of " + w + "/evc/mol1/elec\n" + modes + "# modes of " + w +
                                                  "/evc/mol" + (s.unique ? "1" : "2") + "/elec\n" + modes);
        EXPECT_EQ(read_file("evc/mol1/hole/lambda.dat"),
                  "     37.19526000      12.39842000      24.79684000\n# reorganization energies: lam lam1 lam2 [meV]\n");
        EXPECT_EQ(read_file("data/mol_lambda_evc-h.dat").substr(0, 2), "2\n");
        // The mobility stages ran in their folders: rates, trajectories and the mobility of every MC
        // folder, the master equation of every ME folder, and the collectors tabulated its results.
        for (const char* mc : {"MC-marcus/elec", "MC-marcus/hole", "MC-marcus-temp/200/elec", "MC-marcus-temp/300/hole"}) {
            SCOPED_TRACE(mc);
            EXPECT_TRUE(path_exists(std::string(mc) + "/krymo-marcus.dat"));
            EXPECT_TRUE(path_exists(std::string(mc) + "/traj-0-3.dat"));
            const krymo::hopsim::ExpData d = krymo::hopsim::read_exp_data(std::string(mc) + "/exp_data.dat");
            EXPECT_TRUE(d.has_err);
            EXPECT_GT(d.mu[3], 0.0);
        }
        EXPECT_EQ(krymo::hopsim::read_rate_table("MC-marcus-temp/200/elec/krymo-marcus.dat").temperature, 200.0);
        EXPECT_EQ(read_file("ME-marcus/mob_hole.dat"), read_file("ME-marcus/hole/exp_data.dat"));
        EXPECT_GT(krymo::hopsim::read_exp_data("ME-marcus/mob_hole.dat").mu[0], 0.0);
        std::string rows;
        for (int d = 0; d < 4; ++d) {
            rows += krymo::format_string("dir_%s:\n", d == 3 ? "av" : std::string(1, "abc"[d]).c_str());
            for (int t : {200, 300}) {
                const std::string path = krymo::format_string("ME-marcus-temp/elec/%d/exp_data.dat", t);
                rows += krymo::format_string("%d  %12.6e  cm^{2}/Vs\n", t, krymo::hopsim::read_exp_data(path).mu[d]);
            }
        }
        EXPECT_EQ(read_file("ME-marcus-temp/mob_elec.dat"), rows);
        EXPECT_NE(read_file("ME-marcus-temp/elec/200/exp_data.dat"), read_file("ME-marcus-temp/elec/300/exp_data.dat"));

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
