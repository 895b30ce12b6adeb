// The generated workflow of a study run locally by the stage driver (`sh scr/krymo.sh`): the
// quantum-chemistry programs and the coupling tools are stubs, the hopping tools are the real ones.
// Every job runs once and cleans up, the data flows on to the mobilities the collectors tabulate, a
// second start does nothing, and a failed job stops the driver with its name and log.
#include <map>

#include "e2e_study.h"
#include "qcpost/site_tools.h"
#include "qcpost/study_folder.h"
#include "structure/elements.h"
#include "util/text.h"

using namespace krymo_test;

namespace {

const std::vector<std::string> kHopTools = {"hopsim_rates.exe", "hopsim_mc.exe", "hopsim_mc_par.exe",
                                            "hopsim_mobility.exe", "hopsim_mobility_par.exe", "hopsim_master.exe"};

// Starts the driver as a user does, in the background through scr/krymo.sh, and returns its log once
// it has ended (within 5 minutes).
std::string run_krymo_sh(const std::string& env) {
    std::remove("log");
    const CommandResult start = run_command(env + "KRYMO_ROOT='" + krymo_root() + "' sh scr/krymo.sh");
    if (start.status != 0) return "krymo.sh: " + start.output;
    for (int i = 0; i < 3000; ++i) {
        const std::string log = path_exists("log") ? read_file("log") : "";
        const bool ended = log.find("  done: ") != std::string::npos || log.find("STOPPED: ") != std::string::npos;
        if (ended && !path_exists("krymo.lock")) return log;
        usleep(100000);
    }
    return "the driver did not end within 5 minutes:\n" + (path_exists("log") ? read_file("log") : "");
}

CommandResult run_driver(const std::string& env, const std::string& args = "") {
    return run_command(env + python3_exe() + " '" + krymo_root() + "/bin/krymo.py' " + args);
}

const char* const kDone = "  done: every stage asked for is done\n";

// ORCA runs in `scratch`, an absolute path as on a cluster.
std::string study_settings(const char* engine_lines, bool unique, bool array, const std::string& scratch = "/tmp") {
    return krymo::format_string(
        "  sched_type = local\n  scratch = %s\n  sched_job_array = %d\n%s  HL_unique_mol = %d\n  RE_unique_mol = %d\n"
        "  lattice_cutoff = 2.8\n  chargetype = a\n  ratetype = marcus\n  nsimu = 4\n  tsimu = 0.05\n  tsnap = 0.005\n"
        "  do_transport_run_ME = 1\n  do_transport_run_ME_temp = 1\n  do_transport_run_MC_temp = 1\n"
        "  do_transport_get_mob_ME = 1\n  do_transport_get_mob_ME_temp = 1\n  do_transport_get_mob_MC_temp = 1\n"
        "  start_temp = 200\n  end_temp = 300\n  delta_temp = 100\n",
        scratch.c_str(), array, engine_lines, unique, unique);
}

}  // namespace

TEST(WorkflowLocal, EveryStageOfAStudyRunsOnceAndHandsItsDataOn) {
    KRYMO_NEED_PYTHON3();
    // Gaussian studies may add site energies (from the RE logs the stub hands on), with an outer sphere.
    const char* const site = "  lat_site_energy = 1\n  emultipole_cutoff = 1.0\n";
    const std::string outer = std::string(site) + "  reorg_outer = spheres 0.1 3.4 4.2\n";
    const struct {
        std::string engine_lines;
        bool unique, array;
        const char* qc_tool;
        const char* site_lines;
    } studies[] = {
        {"  compute_engine = 1\n  qc_exe = g09\n  qc_basis = b3lyp 6-31G\n", false, false, "g09", outer.c_str()},
        {"  compute_engine = 1\n  qc_exe = g09\n", true, true, "g09", site},
        {"  compute_engine = 3\n  qc_exe = qchem\n  qc_method = b3lyp\n  qc_basis = 6-31G\n", false, true, "qchem", ""},
        {"  compute_engine = 3\n  qc_exe = qchem\n", true, false, "qchem", ""},
        {"  compute_engine = 2\n  qc_exe = orca\n", false, false, "orca", ""},
    };
    for (const auto& s : studies) {
        SCOPED_TRACE(s.engine_lines + s.site_lines);
        ScopedStudyDir dir;
        const std::string w = dir.path();
        const std::string engine_lines = s.engine_lines + s.site_lines;
        const CommandResult prep =
            prepare_naphthalene(study_settings(engine_lines.c_str(), s.unique, s.array, w + "/scratch"));
        ASSERT_EQ(prep.status, 0) << prep.output;

        // What the coupling and normal-mode stubs hand on, through the library's writers.
        ASSERT_EQ(std::system("mkdir -p stubs/data"), 0);
        write_couplings("stubs/data/VL.dat");
        write_couplings("stubs/data/VH.dat", 5.0);
        const std::string modes = krymo::hopsim::mode_block_text(stub_modes());
        write_file("stubs/data/NM.dat", modes);
        // The optimised states' energies (hartree; anion, cation, neutral) of each molecule, with Mulliken
        // charges spread over its atoms; without site energies every state lies at -100.
        const double energy[2][3] = {{-100.0, -100.0, -100.0}, {-100.001, -100.002, -100.0}};
        const double charge[3] = {-1, 1, 0};
        const char* const state[3] = {"anion", "cation", "neutral"};
        const bool sites = *s.site_lines != '\0';
        krymo::qcpost::StudyFolder f;
        f.load_from("krymo.inp");
        for (int m = 0; sites && m < (s.unique ? 1 : 2); ++m)
            for (int k = 0; k < 3; ++k) {
                const std::vector<int>& z = f.atom_numbers(m);
                std::string log = krymo::format_string(" Entering Gaussian System\n SCF Done:  E(RB3LYP) =  %.6f  "
                                                       "A.U. after   12 cycles\n Mulliken charges:\n               1\n",
                                                       energy[m][k]);
                for (size_t a = 0; a < z.size(); ++a)
                    log += krymo::format_string("    %2zu  %-2s  %10.6f\n", a + 1, krymo::element_symbol(z[a]).c_str(),
                                                charge[k] / z.size());
                log += read_file(data_path("e2e/gaussian_log_tail.txt"));
                write_file(krymo::format_string("stubs/data/re-mol%d-%s.log", m + 1, state[k]), log);
            }
        std::vector<std::string> tools = kHopTools;
        for (const char* t : {"lambda4p", "eint", "siteen", "outer_sphere", "polarize", "log_multipoles"})
            tools.push_back(std::string("qcpost_") + t + ".exe");
        ASSERT_TRUE(install_stubs(real_tools(tools)));
        const std::string env = stub_env(w, true);
        const std::string first = run_krymo_sh(env);
        ASSERT_NE(first.find(kDone), std::string::npos) << first;

        // Every quantum-chemistry input ran exactly once; no job left its marker or an error marker.
        const std::map<std::string, int> qc = calls_of(read_file("calls.log"), s.qc_tool);
        const std::string ext = s.qc_tool[0] == 'g' ? ".com" : ".inp";
        size_t inputs = 0;
        for (const char* d : {"HL", "RE"})
            for (const std::string& f : list_dir(d))
                if (f.size() > 4 && f.substr(f.size() - 4) == ext && f.rfind("evc-", 0) != 0) {
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
        // The four-point energies of each carrier pair the right outputs (the stubs' single points lie at
        // -99.999, -99.998 and -99.997 hartree: _nC, _eN, _hN), each with its own molecule's charged state.
        const double h = 27211.386245988;
        for (const auto& [carrier, above] : {std::make_pair('e', -99.998), std::make_pair('h', -99.997)}) {
            const std::string rows = read_file(krymo::format_string("data/lambda_4P-%c.dat", carrier));
            for (int mol : {1, 2}) {
                const double charged = sites && !s.unique ? energy[mol - 1][carrier == 'e' ? 0 : 1] : -100.0;
                const double l1 = (-99.999 - -100.0) * h, l2 = (above - charged) * h;
                EXPECT_NE(rows.find(krymo::format_string("%5d %16.6f %16.6f %16.6f\n", mol, l1, l2, l1 + l2)),
                          std::string::npos)
                    << carrier << "\n" << rows;
            }
        }
        // The site energies hold the gas-phase energies and the crystal's polarization, relative to the
        // cell mean: the polarization stage ran after the gas-phase one, with or without the outer sphere.
        if (sites) {
            const std::vector<double> pe = krymo::qcpost::read_internal_energies("data/SE_polarization-e.dat");
            const std::vector<double> el = krymo::qcpost::read_internal_energies("data/EL.dat");
            ASSERT_EQ(pe.size(), 2u);
            EXPECT_LT(pe[0], 0.0);
            EXPECT_NEAR(el[0], 0.5 * ((s.unique ? 0.0 : 0.001 * h) + pe[0] - pe[1]), 2e-6);
        }
        for (const std::string c : {"e", "h"}) {
            const std::string mc = c == "e" ? "MC-marcus/elec/" : "MC-marcus/hole/";
            const std::string energies = c == "e" ? "EL.dat" : "EH.dat", lambda = "reorg_lambda_outer-" + c + ".dat";
            EXPECT_EQ(path_exists(mc + energies), sites) << mc;
            if (sites) EXPECT_EQ(read_file(mc + energies), read_file("data/" + energies));
            EXPECT_EQ(path_exists(mc + lambda), s.site_lines == outer.c_str()) << mc;
            if (path_exists(mc + lambda)) EXPECT_EQ(read_file(mc + lambda), read_file("data/" + lambda));
        }
        // The mobility stages ran in their folders: rates, trajectories and the mobility of every MC
        // folder, the master equation of every ME folder, and the collectors tabulated its results.
        for (const std::string mc : {"MC-marcus/elec", "MC-marcus/hole", "MC-marcus-temp/200/elec",
                                     "MC-marcus-temp/300/hole"}) {
            EXPECT_TRUE(path_exists(mc + "/traj-0-3.dat")) << mc;
            const krymo::hopsim::ExpData d = krymo::hopsim::read_exp_data(mc + "/exp_data.dat");
            EXPECT_TRUE(d.has_err && d.mu[3] > 0.0) << mc;
        }
        EXPECT_EQ(krymo::hopsim::read_rate_table("MC-marcus-temp/200/elec/krymo-marcus.dat").temperature, 200.0);
        EXPECT_EQ(read_file("ME-marcus/mob_hole.dat"), read_file("ME-marcus/hole/exp_data.dat"));
        // Each temperature of the scan got its own master equation.
        EXPECT_NE(read_file("ME-marcus-temp/elec/200/exp_data.dat"), read_file("ME-marcus-temp/elec/300/exp_data.dat"));

        // A second start finds every stage done and runs nothing at all.
        const std::string calls = read_file("calls.log");
        const std::string again = run_krymo_sh(env);
        EXPECT_NE(again.find(kDone), std::string::npos) << again;
        EXPECT_EQ(again.find("running"), std::string::npos) << again;
        EXPECT_EQ(read_file("calls.log"), calls);
        EXPECT_EQ(run_command("find . -name '*.py' ! -path './stubs/*' | xargs " + python3_exe() + " -m py_compile")
                      .output,
                  "");
    }
}

// A job that fails stops the driver at its stage, naming the job and its log; nothing after it runs.
// Started again once the cause is gone, the driver goes on from there. Every tool is a stub here.
TEST(WorkflowLocal, AFailureStopsTheDriverWhereItHappenedAndAStartAgainGoesOn) {
    KRYMO_NEED_PYTHON3();
    const struct {
        const char* fail;
        const char* report;     // in the driver's report
        const char* not_after;  // a tool of the following stages, never called
    } cases[] = {
        {"g09 2mol-5.com", "job 2mol-5 did not end normally; its log: HL/2mol-5.log", "qcpost_coupling.exe"},
        {"hopsim_rates.exe", "MC-marcus/elec: rates: prepare-mc.py in MC-marcus/elec ended with status 1",
         "hopsim_mc_par.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fail);
        ScopedStudyDir dir;
        ASSERT_EQ(prepare_naphthalene(study_settings("  compute_engine = 1\n  qc_exe = g09\n", true, true)).status, 0);
        ASSERT_TRUE(install_stubs());
        const std::string env = stub_env(dir.path());
        const CommandResult failed = run_driver(env + "KRYMO_STUB_FAIL='" + c.fail + "' ");
        EXPECT_EQ(failed.status, 1) << failed.output;
        EXPECT_NE(failed.output.find("STOPPED: "), std::string::npos) << failed.output;
        EXPECT_NE(failed.output.find(c.report), std::string::npos) << failed.output;
        EXPECT_EQ(read_file("calls.log").find(c.not_after), std::string::npos);
        EXPECT_FALSE(path_exists("krymo.lock"));
        // krymo_status names the stage where the driver stopped.
        const CommandResult st = run_command(krymo_root() + "/krymo_status");
        EXPECT_NE(st.output.find("Driver: stopped at stage"), std::string::npos) << st.output;

        // A second driver is refused while the first holds the study; a lock of a driver that is gone is not.
        const std::string host = run_command("hostname").output;
        write_file("krymo.lock", krymo::format_string("%d %s now\n", getpid(), host.c_str()));
        const CommandResult refused = run_driver(env);
        EXPECT_EQ(refused.status, 3) << refused.output;
        EXPECT_NE(refused.output.find("another driver"), std::string::npos) << refused.output;
        write_file("krymo.lock", "999999999 " + host);
        const CommandResult resumed = run_driver(env, "--until mobility");
        EXPECT_EQ(resumed.status, 0) << resumed.output;
        EXPECT_NE(resumed.output.find("removing the stale lock"), std::string::npos) << resumed.output;
        EXPECT_NE(read_file("calls.log").find(c.not_after), std::string::npos);
        EXPECT_FALSE(path_exists("krymo.lock"));
    }
}

// Under a batch system the driver waits for the markers of the submitted jobs; when the queue holds
// none of them while markers remain (the submission was refused, or the job was killed), it stops and
// says so instead of waiting for ever.
TEST(WorkflowLocal, MarkersLeftByJobsThatLeftTheQueueStopTheDriver) {
    KRYMO_NEED_PYTHON3();
    ScopedStudyDir dir;
    ASSERT_EQ(prepare_naphthalene("  sched_type = slurm\n  lattice_cutoff = 2.8\n").status, 0);
    ASSERT_TRUE(install_stubs());
    ASSERT_EQ(std::system("cd stubs && ln -s stub sbatch && ln -s stub squeue"), 0);  // takes nothing, lists nothing
    const CommandResult r = run_driver(stub_env(dir.path()), "--interval 0.1");
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("HL monomers of the cell: no job of yours is in the slurm queue, but 1 running marker "
                            "remains in RUN/ (HL_uc_mol-1)"),
              std::string::npos)
        << r.output;
    EXPECT_NE(read_file("calls.log").find("sbatch "), std::string::npos);
}
