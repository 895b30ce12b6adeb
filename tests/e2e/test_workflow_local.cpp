// The generated workflow of a study run locally by the stage driver (`sh scr/krymo.sh`): the
// quantum-chemistry programs and the coupling tools are stubs, the hopping tools are the real ones.
// Every job runs once and cleans up, the data flows on to the mobilities the collectors tabulate, a
// second start does nothing, and a failed job stops the driver with its name and log.
#include <map>

#include "hopsim/formats.h"
#include "hopsim/study.h"
#include "hopsim/hopsim_support.h"
#include "test_support.h"
#include "workflow_stubs.h"
#include "util/text.h"

using namespace krymo_test;

namespace {

struct Study { const char* name; const char* engine_lines; bool unique; bool array; const char* qc_tool = "g09"; };

// ORCA runs in `scratch`, an absolute path as on a cluster.
std::string study_input(const Study& s, const std::string& scratch = "/tmp") {
    return krymo::format_string(
        "&transport\n  crystal = naphthalene.cif\n  sched_type = local\n  scratch = %s\n  sched_job_array = %d\n%s"
        "  HL_unique_mol = %d\n  RE_unique_mol = %d\n  lattice_cutoff = 2.8\n  chargetype = a\n  ratetype = marcus\n"
        "  nsimu = 4\n  tsimu = 0.05\n  tsnap = 0.005\n"
        "  do_transport_run_ME = 1\n  do_transport_run_ME_temp = 1\n  do_transport_run_MC_temp = 1\n"
        "  do_transport_get_mob_ME = 1\n  do_transport_get_mob_ME_temp = 1\n  do_transport_get_mob_MC_temp = 1\n"
        "  start_temp = 200\n  end_temp = 300\n  delta_temp = 100\n/\n",
        scratch.c_str(), s.array, s.engine_lines, s.unique, s.unique);
}

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

}  // namespace

TEST(WorkflowLocal, EveryStageOfAStudyRunsOnceAndHandsItsDataOn) {
    if (run_command(python3_exe() + " -c pass").status != 0) GTEST_SKIP() << "python3 is not installed";
    const Study studies[] = {
        {"gaussian", "  compute_engine = 1\n  qc_exe = g09\n  qc_basis = b3lyp 6-31G\n", false, false},
        {"gaussian unique arrays", "  compute_engine = 1\n  qc_exe = g09\n", true, true},
        {"qchem arrays", "  compute_engine = 3\n  qc_exe = qchem\n  qc_method = b3lyp\n  qc_basis = 6-31G\n", false, true,
         "qchem"},
        {"qchem unique", "  compute_engine = 3\n  qc_exe = qchem\n", true, false, "qchem"},
        {"orca", "  compute_engine = 2\n  qc_exe = orca\n", false, false, "orca"},
    };
    for (const Study& s : studies) {
        SCOPED_TRACE(s.name);
        ScopedStudyDir dir;
        const std::string w = dir.path();
        write_file("naphthalene.cif", read_file(data_path("crystals/naphthalene.cif")));
        write_file("krymo.inp", study_input(s, w + "/scratch"));
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
        hop_tools.emplace_back("qcpost_lambda4p.exe", std::string(KRYMO_QCPOST_DIR) + "/qcpost_lambda4p.exe");
        ASSERT_TRUE(install_stubs(hop_tools));
        const std::string env = "KRYMO_STUB_LOG='" + w + "/calls.log' KRYMO_STUB_DATA='" + w + "/stubs/data' PATH='" + w +
                                "/stubs':\"$PATH\" ";
        const std::string first = run_krymo_sh(env);
        ASSERT_NE(first.find("  done: every stage asked for is done\n"), std::string::npos) << first;

        // Every quantum-chemistry input ran exactly once; no job left its marker or an error marker.
        const std::string log = read_file("calls.log");
        const bool gaussian = s.engine_lines[19] == '1';
        const std::map<std::string, int> qc = calls_of(log, s.qc_tool);
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
        // The four-point energies of each carrier pair the right outputs (the stubs' single points lie
        // 1, 2 and 3 mhartree above the optimised states: _nC, _eN, _hN).
        const double h = 27211.386245988;
        for (const auto& [carrier, above] : {std::make_pair('e', -99.998), std::make_pair('h', -99.997)}) {
            const double l1 = (-99.999 - -100.0) * h, l2 = (above - -100.0) * h;
            const std::string rows = read_file(krymo::format_string("data/lambda_4P-%c.dat", carrier));
            for (int mol : {1, 2})
                EXPECT_NE(rows.find(krymo::format_string("%5d %16.6f %16.6f %16.6f\n", mol, l1, l2, l1 + l2)),
                          std::string::npos)
                    << carrier << "\n" << rows;
        }
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

        // A second start finds every stage done and runs nothing at all.
        const std::string calls = read_file("calls.log");
        const std::string again = run_krymo_sh(env);
        EXPECT_NE(again.find("  done: every stage asked for is done\n"), std::string::npos) << again;
        EXPECT_EQ(again.find("running"), std::string::npos) << again;
        EXPECT_EQ(read_file("calls.log"), calls);
        EXPECT_EQ(list_dir("RUN"), std::vector<std::string>{});

        const CommandResult compiled = run_command("find . -name '*.py' ! -path './stubs/*' | xargs " + python3_exe() +
                                                   " -m py_compile");
        EXPECT_EQ(compiled.output, "");
    }
}

// A job that fails stops the driver at its stage, naming the job and its log; nothing after it runs.
// Started again once the cause is gone, the driver goes on from there. Every tool is a stub here.
TEST(WorkflowLocal, AFailureStopsTheDriverWhereItHappenedAndAStartAgainGoesOn) {
    if (run_command(python3_exe() + " -c pass").status != 0) GTEST_SKIP() << "python3 is not installed";
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
        write_file("naphthalene.cif", read_file(data_path("crystals/naphthalene.cif")));
        write_file("krymo.inp", study_input({"", "  compute_engine = 1\n  qc_exe = g09\n", true, true}));
        ASSERT_EQ(run_command(prepare_exe() + " -info false").status, 0);
        ASSERT_TRUE(install_stubs());
        const std::string env = "KRYMO_STUB_LOG='" + dir.path() + "/calls.log' PATH='" + dir.path() + "/stubs':\"$PATH\" ";

        const CommandResult failed = run_driver(env + "KRYMO_STUB_FAIL='" + c.fail + "' ");
        EXPECT_EQ(failed.status, 1) << failed.output;
        EXPECT_NE(failed.output.find(std::string("STOPPED: ") ), std::string::npos) << failed.output;
        EXPECT_NE(failed.output.find(c.report), std::string::npos) << failed.output;
        EXPECT_EQ(read_file("calls.log").find(c.not_after), std::string::npos);
        EXPECT_FALSE(path_exists("krymo.lock"));
        std::string out, err;
        // krymo_status names the stage where the driver stopped.
        const CommandResult st = run_command(krymo::format_string("%s/krymo_status", krymo_root().c_str()));
        EXPECT_NE(st.output.find("Driver: stopped at stage"), std::string::npos) << st.output;

        // A second driver is refused while the first holds the study; a lock of a driver that is gone is not.
        write_file("krymo.lock", krymo::format_string("%d %s now\n", getpid(), run_command("hostname").output.c_str()));
        const CommandResult refused = run_driver(env);
        EXPECT_EQ(refused.status, 3) << refused.output;
        EXPECT_NE(refused.output.find("another driver"), std::string::npos) << refused.output;
        write_file("krymo.lock", "999999999 " + run_command("hostname").output);
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
    if (run_command(python3_exe() + " -c pass").status != 0) GTEST_SKIP() << "python3 is not installed";
    ScopedStudyDir dir;
    write_file("naphthalene.cif", read_file(data_path("crystals/naphthalene.cif")));
    write_file("krymo.inp", "&transport\n  crystal = naphthalene.cif\n  sched_type = slurm\n  lattice_cutoff = 2.8\n/\n");
    ASSERT_EQ(run_command(prepare_exe() + " -info false").status, 0);
    ASSERT_TRUE(install_stubs());
    ASSERT_EQ(std::system("cd stubs && ln -s stub sbatch && ln -s stub squeue"), 0);  // takes nothing, lists nothing
    const std::string env = "KRYMO_STUB_LOG='" + dir.path() + "/calls.log' PATH='" + dir.path() + "/stubs':\"$PATH\" ";
    const CommandResult r = run_driver(env, "--interval 0.1");
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("HL monomers of the cell: no job of yours is in the slurm queue, but 1 running marker "
                            "remains in RUN/ (HL_uc_mol-1)"),
              std::string::npos)
        << r.output;
    EXPECT_NE(read_file("calls.log").find("sbatch "), std::string::npos);
}
