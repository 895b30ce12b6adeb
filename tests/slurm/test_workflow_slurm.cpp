// The generated Slurm scripts under a real Slurm: a private one-node cluster takes the jobs of a small
// study, which the stage driver submits stage after stage, with stub programs in place of the quantum
// chemistry and the simulators.
#include <cstdlib>

#include "test_support.h"
#include "util/text.h"
#include "workflow_stubs.h"

using namespace krymo_test;

namespace {

// The cluster of tests/slurm/slurm_cluster.sh for the life of the object; the destructor stops every
// process it started, whatever became of the test.
class SlurmCluster {
public:
    SlurmCluster() {
        char tmpl[] = "/tmp/krymo_slurm_XXXXXX";  // short: Slurm's socket paths below it must fit 107 bytes
        if (mkdtemp(tmpl) == nullptr) return;
        dir_ = tmpl;
        start_ = run_command(harness("start"));
    }
    ~SlurmCluster() {
        if (dir_.empty()) return;
        const CommandResult stop = run_command(harness("stop"));
        if (stop.status != 0)
            ADD_FAILURE() << "the Slurm cluster did not stop; its files are left in " << dir_ << "\n" << stop.output;
        else if (std::system(("rm -rf '" + dir_ + "'").c_str()) != 0) {}  // leave it
    }
    bool up() const { return start_.status == 0; }
    const CommandResult& start() const { return start_; }
    std::string conf() const { return dir_ + "/slurm.conf"; }

private:
    std::string harness(const char* what) const {
        return "bash '" + source_dir() + "/tests/slurm/slurm_cluster.sh' " + what + " '" + dir_ + "'";
    }
    std::string dir_;
    CommandResult start_;
};

std::string study_input(bool arrays) {
    std::string host = run_command("hostname -s").output;
    host.erase(host.find_last_not_of('\n') + 1);
    return krymo::format_string(
        "&transport\n  crystal = naphthalene.cif\n  sched_type = slurm\n  queue_name = workq\n  nodelist = %s\n"
        "  qc_exe = g16\n  qc_ppn = 1\n  sched_job_array = %d\n  job_slot_limit = %d\n  lattice_cutoff = 2.8\n"
        "  ratetype = marcus\n  do_transport_run_MC = 1\n  do_transport_run_ME = 1\n  do_transport_get_mob_ME = 1\n/\n",
        host.c_str(), arrays, arrays);
}

// Every input of the folders ran once under Slurm, each HL job (or array member) wrote its own stdout
// file to the end, and no job left a marker behind.
void expect_quantum_jobs_ran(const std::string& dir, std::vector<const char*> subs) {
    const std::map<std::string, int> g16 = calls_of(read_file(dir + "/calls.log"), "g16");
    size_t inputs = 0;
    for (const char* sub : subs)
        for (const std::string& f : list_dir(dir + sub)) {
            if (f.size() < 5 || f.substr(f.size() - 4) != ".com") continue;
            ++inputs;
            EXPECT_EQ(g16.count(f) ? g16.at(f) : 0, 1) << f;
            if (sub[1] == 'H') {
                const std::string out = read_file(dir + "/HL/stdout-" + f.substr(0, f.size() - 4));
                EXPECT_NE(out.find("Ending job run at"), std::string::npos) << f << ":\n" << out;
            }
        }
    EXPECT_EQ(g16.size(), inputs);
    EXPECT_EQ(list_dir(dir + "/RUN"), std::vector<std::string>{});
    // A job whose shell stumbled says so in its stdout file.
    const CommandResult stumbled =
        run_command("grep -rlE 'not found|No such file|rror' --include='stdout-*' '" + dir + "'");
    EXPECT_EQ(stumbled.output, "");
}

}  // namespace

TEST(WorkflowSlurm, EveryStageRunsUnderARealSlurmAndCleansUp) {
    const char* require = std::getenv("KRYMO_REQUIRE_SLURM");
    const bool required = require != nullptr && std::string(require) == "1";
    if (run_command(python3_exe() + " -c pass").status != 0) {
        if (required) FAIL() << "python3 is not installed";
        GTEST_SKIP() << "python3 is not installed";
    }
    ScopedStudyDir dir;
    SlurmCluster cluster;
    if (!cluster.up()) {
        if (required) FAIL() << "KRYMO_REQUIRE_SLURM=1 but no Slurm cluster started:\n" << cluster.start().output;
        GTEST_SKIP() << "no private Slurm cluster here (KRYMO_REQUIRE_SLURM=1 makes this a failure):\n"
                     << cluster.start().output;
    }
    const std::string w = dir.path();
    ASSERT_TRUE(install_stubs());
    auto env = [&](const std::string& study) {
        return "SLURM_CONF='" + cluster.conf() + "' KRYMO_STUB_LOG='" + study + "/calls.log' PATH='" + w +
               "/stubs':\"$PATH\" KRYMO_POLL_INTERVAL=0.3 timeout 300 " + python3_exe() + " '" + krymo_root() +
               "/bin/krymo.py' ";
    };

    // Job arrays with a listed index set and a slot limit, through every stage to the mobilities.
    write_file("naphthalene.cif", read_file(data_path("crystals/naphthalene.cif")));
    write_file("krymo.inp", study_input(true));
    const CommandResult prep = run_command(prepare_exe() + " -info false");
    ASSERT_EQ(prep.status, 0) << prep.output;
    ASSERT_NE(read_file("jobs/job_2mol.slurm").find("#SBATCH --array=1,5%1\n"), std::string::npos);
    const CommandResult all = run_command(env(w));
    ASSERT_EQ(all.status, 0) << all.output;
    EXPECT_EQ(all.output.find("sbatch:"), std::string::npos) << all.output;
    expect_quantum_jobs_ran(w, {"/HL", "/RE"});
    // The later jobs ran where their scripts say and handed their data on.
    EXPECT_EQ(read_file("data/VH.dat"), "coupling\n");
    EXPECT_EQ(read_file("evc/mol1/hole/NM.dat"), "modes of " + w + "/evc/mol1/hole\n");
    const std::string calls = read_file("calls.log");
    for (const std::string call : {"hopsim_mc_par.exe -simu0 0 -nsimu 20000", "hopsim_mobility_par.exe "})
        EXPECT_NE(calls.find(call + " @ " + w + "/MC-marcus/hole\n"), std::string::npos) << call << "\n" << calls;
    EXPECT_EQ(read_file("ME-marcus/mob_hole.dat").substr(0, 16), "mu_a = 1.25e-01\n");

    // One job per HL calculation (the RE jobs above are never arrays).
    ASSERT_EQ(std::system("mkdir single && cp naphthalene.cif single/"), 0);
    write_file("single/krymo.inp", study_input(false));
    const CommandResult prep1 = run_command("cd single && " + prepare_exe() + " -info false");
    ASSERT_EQ(prep1.status, 0) << prep1.output;
    ASSERT_EQ(read_file("single/jobs/job_2mol-5.slurm").find("--array"), std::string::npos);
    const CommandResult hl = run_command("cd single && " + env(w + "/single") + "--stage hl");
    ASSERT_EQ(hl.status, 0) << hl.output;
    EXPECT_EQ(hl.output.find("sbatch:"), std::string::npos) << hl.output;
    expect_quantum_jobs_ran(w + "/single", {"/HL"});
}
