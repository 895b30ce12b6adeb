// The mobility stages run locally with stub simulators: every prepare script finds its files from its
// depth in the tree, every job runs once and removes its marker, and the collectors tabulate.
#include "golden.h"
#include "transport/transport_fixture.h"

using namespace krymo_test;

namespace {

// A stub records its call; hopsim_master.exe and hopsim_mobility_par.exe also write exp_data.dat whose
// third field on the first four lines is 10 T + 1000 (electron) or 2000 (hole) + direction (1-4), T
// from temp.inp or 0; the Monte Carlo adds the error d / 10 after "+-".
void write_stubs(const std::string& w) {
    ASSERT_EQ(std::system("mkdir -p stubs"), 0);
    const std::string record = "#!/bin/sh\necho \"$(basename $0) $(pwd)\" >> " + w + "/calls.log\n";
    for (const char* tool : {"hopsim_rates.exe", "hopsim_mc_par.exe"}) write_file(std::string("stubs/") + tool, record);
    const std::string values = "t=0; [ -f temp.inp ] && t=$(cut -d' ' -f1 temp.inp)\n"
                               "k=1000; [ \"$(cat charge.inp)\" = h ] && k=2000\n"
                               "for d in 1 2 3 4; do echo \"mu_$d = $((t * 10 + k + d)) cm2/Vs";
    write_file("stubs/hopsim_master.exe",
               record + values + "\"; done > exp_data.dat\necho \"more output\" >> exp_data.dat\n");
    write_file("stubs/hopsim_mobility_par.exe", record + values + " +- 0.$d\"; done > exp_data.dat\n");
    ASSERT_EQ(std::system("chmod +x stubs/*"), 0);
}

// Everything the prepare scripts copy from the work directory and its data directory.
void write_study_inputs() {
    ASSERT_EQ(std::system("mkdir -p data RUN"), 0);
    for (const char* f : {"krymo.inp", "pen-a.mol", "pen-b.mol"}) write_file(f, "input\n");
    for (const char* f : {"VL.dat", "VH.dat", "VL1-dyn.dat", "VL2-dyn.dat", "VH1-dyn.dat", "LUMO-dyn.dat",
                          "HOMO-dyn.dat", "NM-e.dat", "NM-h.dat", "EL.dat", "EH.dat", "reorg_lambda_outer-e.dat",
                          "reorg_lambda_outer-h.dat", "neighbor.dat"})
        write_file(std::string("data/") + f, "data\n");
}

// Every run directory of a study with all four stages and both carriers, in the order a study runs them.
const char* const kRuns[] = {
    "MC-marcus/elec",          "MC-marcus/hole",          "MC-marcus-temp/200/elec", "MC-marcus-temp/200/hole",
    "MC-marcus-temp/250/elec", "MC-marcus-temp/250/hole", "MC-marcus-temp/300/elec", "MC-marcus-temp/300/hole",
    "ME-marcus/elec",          "ME-marcus/hole",          "ME-marcus-temp/elec/200", "ME-marcus-temp/elec/250",
    "ME-marcus-temp/elec/300", "ME-marcus-temp/hole/200", "ME-marcus-temp/hole/250", "ME-marcus-temp/hole/300"};

// One interpreter runs every script in its own directory (starting one per script is slow on a busy
// machine) and stops at the first script that fails or whose job leaves its running marker.
std::string driver_script() {
    std::string drive = "import os, runpy, sys\nw = os.getcwd()\nfor run, script in [\n";
    for (const std::string run : kRuns) {
        const bool mc = run[1] == 'C';
        for (const char* s : {mc ? "prepare-mc.py" : "prepare-me.py", mc ? "run_mc_batch.py" : "run_me_batch.py",
                              mc ? "get_mob.py" : nullptr})
            if (s) drive += "        ('" + run + "', '" + s + "'),\n";
    }
    return drive +
           "        ('ME-marcus', 'get_mob.py'), ('ME-marcus-temp', 'get_mob.py'), ('MC-marcus-temp', 'get_mob.py')]:\n"
           "    os.chdir(os.path.join(w, run))\n"
           "    runpy.run_path(script, run_name='__main__')\n"
           "    os.chdir(w)\n"
           "    if os.listdir('RUN'):\n"
           "        sys.exit('%s/%s left %s' % (run, script, os.listdir('RUN')))\n";
}

}  // namespace

TEST(MobilityRun, LocalStudyRunsEveryMobilityScriptWithStubTools) {
    if (run_command(python3_exe() + " -c pass").status != 0) GTEST_SKIP() << "python3 is not installed";
    ScopedStudyDir dir;
    TestTransport t;
    const std::string& w = t.get_workdir();
    t.use_scheduler("local");
    t.ratetype = "marcus";
    t.carrier_letter = 'a';
    t.nmols_uc = 2;
    t.mol_data_source = 1;
    t.mol_files = {"pen-a.mol", "pen-b.mol"};
    t.V_dynamic_disorder = t.HOMOLUMO_dynamic_disorder = t.read_neighbor_dat = true;
    t.lat_site_energy = 1;
    t.reorg_outer_type = 1;
    t.do_transport_run_MC = t.do_transport_run_MC_temp = t.do_transport_run_ME = t.do_transport_run_ME_temp = 1;
    t.write_mobility_dirs();
    write_stubs(w);
    write_study_inputs();
    write_file("drive.py", driver_script());
    const CommandResult r = run_command("PATH='" + w + "/stubs':\"$PATH\" " + python3_exe() + " drive.py");
    ASSERT_EQ(r.status, 0) << r.output;

    // What each prepare script copies is in the golden scripts; that it finds those files from its depth
    // shows in the driver's status.
    // Every tool ran once per run, in the run's directory.
    expect_golden(replaced(read_file("calls.log"), w, "@W@"), "mobility/run_calls.txt");
    EXPECT_EQ(read_file("ME-marcus/mob_elec.dat"), read_file("ME-marcus/elec/exp_data.dat"));
    EXPECT_EQ(read_file("ME-marcus/mob_hole.dat"), read_file("ME-marcus/hole/exp_data.dat"));
    expect_golden("==> mob_elec.dat\n" + read_file("ME-marcus-temp/mob_elec.dat") + "==> mob_hole.dat\n" +
                      read_file("ME-marcus-temp/mob_hole.dat"),
                  "mobility/mob_scan_tables.txt");
    expect_golden("==> mob_elec.dat\n" + read_file("MC-marcus-temp/mob_elec.dat") + "==> mob_hole.dat\n" +
                      read_file("MC-marcus-temp/mob_hole.dat"),
                  "mobility/mc_scan_tables.txt");
}
