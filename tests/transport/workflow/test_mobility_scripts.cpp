// Mobility run directories: the whole tree of two studies that differ in every switch (carrier, scheduler,
// OpenMP, optional copies, temperatures), the temperature scan's names, and failures.
#include <functional>

#include "golden.h"
#include "transport/transport_fixture.h"

using namespace krymo_test;

namespace {

// Two molecules from a crystal file, marcus rates, PBS, no stage. Either switch of a pair makes the
// stage's directories: the two tree studies switch each stage by a different one.
void mobility_study(TestTransport& t, char carrier = 'a') {
    t.ratetype = "marcus";
    t.carrier_letter = carrier;
    t.mol_data_source = 2;
    t.crystal_file = "cell.cif";
    t.nmols_uc = 2;
    t.do_transport_run_MC = t.do_transport_get_mob_MC = t.do_transport_run_MC_temp = t.do_transport_get_mob_MC_temp = 0;
    t.do_transport_run_ME = t.do_transport_get_mob_ME = t.do_transport_run_ME_temp = t.do_transport_get_mob_ME_temp = 0;
}

// Every file under MC-* and ME-* after its "==> path" line, the work directory as @W@.
std::string tree_text(const std::string& workdir) {
    std::istringstream in(run_command("LC_ALL=C find MC-* ME-* -type f 2>/dev/null | LC_ALL=C sort").output);
    std::string s;
    for (std::string f; std::getline(in, f);) s += "==> " + f + "\n" + read_file(f);
    return replaced(s, workdir, "@W@", false);
}

}  // namespace

TEST(MobilityScripts, WholeTreeOfTwoStudiesThatDifferInEverySwitch) {
    // A: both carriers, PBS, parallel tools, dynamic couplings, site energies, the neighbour file and
    // molecule files; a constant outer sphere copies nothing. B: electrons only (no hole directory or
    // collector line), Slurm, serial tools, dynamic levels, the dielectric outer sphere's energies.
    const struct {
        const char* golden; char carrier; const char* scheduler; std::function<void(TestTransport&)> on;
    } cases[] = {
        {"mobility/tree_a_pbs.txt", 'a', "pbs", [](TestTransport& t) {
             t.V_dynamic_disorder = t.read_neighbor_dat = true;
             t.lat_site_energy = 2;
             t.reorg_outer_type = 1;
             t.mol_data_source = 1;
             t.mol_files = {"pen-a.mol", "pen-b.mol"};
             t.do_transport_run_MC = t.do_transport_get_mob_MC_temp = t.do_transport_run_ME = 1;
             t.do_transport_get_mob_ME_temp = 1;
             t.start_temp = 200;
             t.end_temp = 300;
             t.delta_temp = 50;
         }},
        {"mobility/tree_e_slurm.txt", 'e', "slurm", [](TestTransport& t) {
             t.set_openmp_flag(false);
             t.HOMOLUMO_dynamic_disorder = true;
             t.reorg_outer_type = 3;
             t.do_transport_get_mob_MC = t.do_transport_run_MC_temp = t.do_transport_get_mob_ME = 1;
             t.do_transport_run_ME_temp = 1;
             t.start_temp = t.end_temp = 300;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.golden);
        ScopedStudyDir dir;
        TestTransport t;
        t.use_scheduler(c.scheduler);
        mobility_study(t, c.carrier);
        c.on(t);
        t.write_mobility_dirs();
        expect_golden(tree_text(t.get_workdir()), c.golden);
    }
    // Without a switch no directory; one switch alone makes its stage only.
    ScopedStudyDir dir;
    TestTransport t;
    mobility_study(t);
    t.write_mobility_dirs();
    EXPECT_EQ(list_dir("."), std::vector<std::string>{});
    t.do_transport_run_ME = 1;
    t.write_mobility_dirs();
    EXPECT_EQ(list_dir("."), std::vector<std::string>{"ME-marcus"});
}

TEST(MobilityScripts, TemperatureScanNamesItsDirectoriesByRoundedTemperature) {
    struct Case { double start, end, delta; std::vector<std::string> names; };
    const Case cases[] = {
        {300, 200, 50, {}},
        {200, 300, 40, {"200", "240", "280"}},  // the count truncates: 300 is not reached
        {249.75, 250.75, 0.5, {"250", "251"}},  // 249.75 and 250.25 K share "250"
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(krymo::format_string("%g to %g by %g", c.start, c.end, c.delta));
        ScopedStudyDir dir;
        TestTransport t;
        mobility_study(t);
        t.do_transport_get_mob_MC_temp = t.do_transport_get_mob_ME_temp = 1;
        t.start_temp = c.start;
        t.end_temp = c.end;
        t.delta_temp = c.delta;
        t.write_mobility_dirs();
        std::vector<std::string> mc_names = c.names;
        mc_names.push_back("get_mob.py");
        EXPECT_EQ(list_dir("MC-marcus-temp"), mc_names);
        EXPECT_EQ(list_dir("ME-marcus-temp/hole"), c.names);
    }
}

TEST(MobilityScripts, UnwritableBatchScriptStopsTheRun) {
    ScopedStudyDir dir;
    TestTransport t;
    mobility_study(t);
    ASSERT_EQ(std::system("mkdir -p ME-marcus/hole/run_me_batch.py/keep"), 0);
    // The ME batch script reports on standard output.
    expect_stop([&] { t.write_run_scripts_ME("ME-marcus", "../..", 1); }, 255,
                "Failed to open output file ME-marcus/hole/run_me_batch.py\n");
}
