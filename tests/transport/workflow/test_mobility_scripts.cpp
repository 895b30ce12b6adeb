// Mobility run directories: what each switch and carrier makes, the exact scripts of every run kind
// and of the collectors, the temperature scan, markers, optional copies, failures and syntax.
#include <functional>

#include "golden.h"
#include "transport/transport_fixture.h"

using namespace krymo_test;

namespace {

// Two molecules from a crystal file, marcus rates, 200 to 300 K by 50, PBS.
void mobility_study(TestTransport& t, char carrier = 'a') {
    t.ratetype = "marcus";
    t.carrier_letter = carrier;
    t.mol_data_source = 2;
    t.crystal_file = "cell.cif";
    t.nmols_uc = 2;
}

// Either switch of a pair makes the stage's directories: each stage is switched on by one of them.
void set_stages(TestTransport& t, bool mc, bool mc_temp, bool me, bool me_temp) {
    t.do_transport_run_MC = mc;
    t.do_transport_get_mob_MC = 0;
    t.do_transport_run_MC_temp = 0;
    t.do_transport_get_mob_MC_temp = mc_temp;
    t.do_transport_run_ME = me;
    t.do_transport_get_mob_ME = 0;
    t.do_transport_run_ME_temp = 0;
    t.do_transport_get_mob_ME_temp = me_temp;
}

// Every optional input of the rates: dynamic disorder, site energies, outer sphere, neighbour file,
// and molecules from molecule files.
void every_copy(TestTransport& t) {
    t.V_dynamic_disorder = t.HOMOLUMO_dynamic_disorder = t.read_neighbor_dat = true;
    t.lat_site_energy = 1;
    t.reorg_outer_type = 1;
    t.mol_data_source = 1;
    t.mol_files = {"pen-a.mol", "pen-b.mol"};
}

std::string tree_listing() {
    return run_command("LC_ALL=C find MC-* ME-* 2>/dev/null | LC_ALL=C sort").output;
}

std::vector<std::string> files_named(const std::string& pattern) {
    std::vector<std::string> out;
    std::istringstream in(run_command("LC_ALL=C find MC-* ME-* -type f -name '" + pattern + "' | LC_ALL=C sort").output);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

std::string text_between(const std::string& s, const std::string& open, const std::string& close) {
    const size_t a = s.find(open);
    if (a == std::string::npos) return "";
    const size_t b = s.find(close, a + open.size());
    return s.substr(a + open.size(), b - a - open.size());
}

}  // namespace

TEST(MobilityScripts, EachStageSwitchMakesItsDirectories) {
    {
        ScopedStudyDir dir;
        TestTransport t;
        mobility_study(t);
        set_stages(t, true, true, true, true);
        t.write_mobility_dirs();
        expect_golden(tree_listing(), "mobility/tree_both_carriers.txt");
    }
    {
        ScopedStudyDir dir;
        TestTransport t;
        mobility_study(t);
        set_stages(t, false, false, false, false);
        t.write_mobility_dirs();
        EXPECT_EQ(list_dir("."), std::vector<std::string>{});
        set_stages(t, false, false, true, false);  // one stage alone
        t.write_mobility_dirs();
        EXPECT_EQ(list_dir("."), std::vector<std::string>{"ME-marcus"});
    }
}

TEST(MobilityScripts, ElectronWorkOnlyMakesNoHoleDirectoriesOrCollectorLines) {
    ScopedStudyDir dir;
    TestTransport t;
    mobility_study(t, 'e');
    set_stages(t, true, true, true, true);
    t.write_mobility_dirs();
    const std::string tree = tree_listing();
    EXPECT_NE(tree.find("MC-marcus-temp/300/elec/run_mc_batch.py"), std::string::npos) << tree;
    EXPECT_EQ(tree.find("hole"), std::string::npos) << tree;
    EXPECT_EQ(read_file("ME-marcus/get_mob.py"),
              "#!/usr/bin/env python\nimport shutil\n\nshutil.copy(\"elec/exp_data.dat\", \"./mob_elec.dat\")\n\n");
    for (const char* collector : {"ME-marcus-temp/get_mob.py", "MC-marcus-temp/get_mob.py"}) {
        const std::string scan = read_file(collector);
        EXPECT_NE(scan.find("mob_elec.dat"), std::string::npos) << collector;
        EXPECT_EQ(scan.find("hole"), std::string::npos) << collector;
    }
}

TEST(MobilityScripts, ScriptsOfEveryRunKindAndTheCollectors) {
    ScopedStudyDir dir;
    TestTransport t;
    mobility_study(t);
    every_copy(t);
    set_stages(t, true, true, true, true);
    t.write_mobility_dirs();
    const std::string& w = t.get_workdir();
    expect_golden(replaced(files_text("MC-marcus-temp/250/elec"), w, "@W@"), "mobility/mc_temp_250_elec.txt");
    expect_golden(replaced(files_text("MC-marcus/hole"), w, "@W@"), "mobility/mc_hole.txt");
    expect_golden(replaced(files_text("ME-marcus/hole"), w, "@W@"), "mobility/me_hole.txt");
    expect_golden(replaced(files_text("ME-marcus-temp/elec/300"), w, "@W@"), "mobility/me_temp_elec_300.txt");
    expect_golden(read_file("ME-marcus/get_mob.py"), "mobility/get_mob_me.py.txt");
    expect_golden(read_file("ME-marcus-temp/get_mob.py"), "mobility/get_mob_me_temp.py.txt");
    expect_golden(read_file("MC-marcus-temp/get_mob.py"), "mobility/get_mob_mc_temp.py.txt");
}

TEST(MobilityScripts, TemperatureScanNamesItsDirectoriesByRoundedTemperature) {
    struct Case { double start, end, delta; std::vector<std::string> names; };
    const Case cases[] = {
        {200, 300, 50, {"200", "250", "300"}},
        {300, 300, 50, {"300"}},
        {300, 200, 50, {}},
        {200, 300, 40, {"200", "240", "280"}},  // the count truncates: 300 is not reached
        {249.75, 250.75, 0.5, {"250", "251"}},  // 249.75 and 250.25 K share "250"
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(krymo::format_string("%g to %g by %g", c.start, c.end, c.delta));
        ScopedStudyDir dir;
        TestTransport t;
        mobility_study(t);
        set_stages(t, false, true, false, true);
        t.start_temp = c.start;
        t.end_temp = c.end;
        t.delta_temp = c.delta;
        t.write_mobility_dirs();
        std::vector<std::string> mc_names = c.names;
        mc_names.push_back("get_mob.py");
        EXPECT_EQ(list_dir("MC-marcus-temp"), mc_names);
        EXPECT_EQ(list_dir("ME-marcus-temp/hole"), c.names);
        EXPECT_EQ(list_dir("ME-marcus-temp"), (std::vector<std::string>{"elec", "get_mob.py", "hole"}));
        const std::string collector = read_file("ME-marcus-temp/get_mob.py");
        const std::string mc_collector = read_file("MC-marcus-temp/get_mob.py");
        if (c.names.empty()) {
            EXPECT_EQ((collector + mc_collector).find("exp_data.dat"), std::string::npos) << collector;
            continue;
        }
        const std::string& last = c.names.back();
        const std::string prep = read_file("MC-marcus-temp/" + last + "/hole/prepare-mc.py");
        EXPECT_NE(prep.find("    f.write(\"" + last + " K\\n\")\n"), std::string::npos) << prep;
        EXPECT_NE(collector.find("    n.write(\"" + last + "  %12.6e"), std::string::npos) << collector;
        EXPECT_NE(mc_collector.find("open(\"" + last + "/hole/exp_data.dat\")"), std::string::npos) << mc_collector;
    }
}

TEST(MobilityScripts, OpenMPChoosesTheParallelOrTheSerialTools) {
    for (bool omp : {true, false}) {
        ScopedStudyDir dir;
        TestTransport t;
        mobility_study(t);
        t.set_openmp_flag(omp);
        t.nsimu = 64;
        t.write_run_scripts_MC("MC-marcus", "../..", 1, 0, 0.0);
        const std::string run = read_file("MC-marcus/hole/run_mc.pbs"), mob = read_file("MC-marcus/hole/get_mob.pbs");
        const std::string par = omp ? "_par" : "";
        EXPECT_NE(run.find("\nhopsim_mc" + par + ".exe -simu0 0 -nsimu 64\n"), std::string::npos) << run;
        EXPECT_NE(mob.find("\nhopsim_mobility" + par + ".exe\n"), std::string::npos) << mob;
        EXPECT_EQ((run + mob).find("_par") != std::string::npos, omp);
    }
}

TEST(MobilityScripts, EachOptionalCopyAddsOnlyItsOwnLines) {
    // Each option alone on; every run kind copies what its rates read: the outer-sphere energies only
    // where the mode makes them per pair. Molecule files replace the crystal file.
    struct Option {
        const char* name; std::function<void(TestTransport&)> on; std::vector<std::string> lines; bool in_me;
    };
    const Option options[] = {
        {"V_dynamic_disorder", [](TestTransport& t) { t.V_dynamic_disorder = true; },
         {"import glob\n",
          "files = glob.glob('../../data/VL*-dyn.dat')\nfor file in files:\n    shutil.copy(file, \"./\")\n"},
         true},
        {"HOMOLUMO_dynamic_disorder", [](TestTransport& t) { t.HOMOLUMO_dynamic_disorder = true; },
         {"shutil.copy(\"../../data/LUMO-dyn.dat\", \"./\")\n"}, true},
        {"lat_site_energy", [](TestTransport& t) { t.lat_site_energy = 2; },
         {"shutil.copy(\"../../data/EL.dat\", \"./\")\n"}, true},
        {"reorg_outer dielectric", [](TestTransport& t) { t.reorg_outer_type = 3; },
         {"shutil.copy(\"../../data/reorg_lambda_outer-e.dat\", \"./\")\n"}, true},
        {"reorg_outer constant", [](TestTransport& t) { t.reorg_outer_type = 1; }, {}, false},
        {"read_neighbor_dat", [](TestTransport& t) { t.read_neighbor_dat = true; },
         {"shutil.copy(\"../../data/neighbor.dat\", \"./\")\n"}, true},
    };
    auto prepare_scripts = [](const std::function<void(TestTransport&)>& on) {
        ScopedStudyDir dir;
        TestTransport t;
        mobility_study(t);
        if (on) on(t);
        t.write_run_scripts_MC("MC-marcus", "../..", 0, 0, 0.0);
        t.write_run_scripts_ME("ME-marcus", "../..", 0);
        return std::make_pair(read_file("MC-marcus/elec/prepare-mc.py"), read_file("ME-marcus/elec/prepare-me.py"));
    };
    const auto off = prepare_scripts(nullptr);
    ASSERT_NE(off.first.find("shutil.copy(\"../../cell.cif\", \"./\")\n"), std::string::npos) << off.first;
    for (const Option& o : options) {
        SCOPED_TRACE(o.name);
        auto on = prepare_scripts(o.on);
        EXPECT_EQ(on.second != off.second, o.in_me);
        for (const std::string& l : o.lines) {
            on.first = replaced(on.first, l, "");
            on.second = replaced(on.second, l, "", o.in_me);
        }
        EXPECT_EQ(on, off);
    }
    const auto files = prepare_scripts([](TestTransport& t) {
        t.mol_data_source = 1;
        t.mol_files = {"pen-a.mol", "pen-b.mol"};
    });
    const std::string mols = "shutil.copy(\"../../pen-a.mol\", \"./\")\nshutil.copy(\"../../pen-b.mol\", \"./\")\n";
    EXPECT_EQ(replaced(files.first, mols, "shutil.copy(\"../../cell.cif\", \"./\")\n"), off.first);
    EXPECT_EQ(replaced(files.second, mols, "shutil.copy(\"../../cell.cif\", \"./\")\n"), off.second);
}

TEST(MobilityScripts, UnwritableScriptsStopTheRun) {
    ScopedStudyDir dir;
    TestTransport t;
    mobility_study(t);
    ASSERT_EQ(std::system("mkdir -p MC-marcus/elec/prepare-mc.py/keep ME-marcus/hole/run_me_batch.py/keep "
                          "ME-t/run_me_batch.py/keep ME-marcus/get_mob.py/keep ME-marcus-temp/get_mob.py/keep"),
              0);
    expect_stop([&] { t.write_run_scripts_MC("MC-marcus", "../..", 0, 0, 0.0); }, 255, "",
                "Failed to open output file MC-marcus/elec/prepare-mc.py\n");
    // The ME batch script reports on standard output; the ME scan's on standard error.
    expect_stop([&] { t.write_run_scripts_ME("ME-marcus", "../..", 1); }, 255,
                "Failed to open output file ME-marcus/hole/run_me_batch.py\n");
    expect_stop([&] { t.write_run_scripts_ME_TD("ME-t", "../../..", 1, 1, 300.0); }, 255, "",
                "Failed to open output file ME-t/run_me_batch.py\n");
    expect_stop([&] { t.write_get_mob_py_ME("ME-marcus"); }, 255, "",
                "Failed to open output file ME-marcus/get_mob.py\n");
    expect_stop([&] { t.write_get_mob_py_ME_TD("ME-marcus-temp"); }, 255, "",
                "Failed to open output file ME-marcus-temp/get_mob.py\n");
}

TEST(MobilityScripts, ScriptsParseAndEveryMarkerTouchedIsRemovedByTheJobItSubmits) {
    if (run_command(python3_exe() + " -c pass").status != 0) GTEST_SKIP() << "python3 is not installed";
    for (const char* sched : {"pbs", "slurm", "lsf", "local"}) {
        SCOPED_TRACE(sched);
        ScopedStudyDir dir;
        TestTransport t;
        t.use_scheduler(sched);
        mobility_study(t);
        every_copy(t);
        set_stages(t, true, true, true, true);
        t.write_mobility_dirs();
        const std::string w = t.get_workdir();
        const std::vector<std::string> py = files_named("*.py");
        const std::vector<std::string> jobs = files_named(std::string("*.") + t.get_job_script_ext());
        ASSERT_EQ(py.size(), 2u * 3 * 4 + 2u * 2 * 4 + 3);  // three collectors
        ASSERT_EQ(jobs.size(), 2u * 2 * 4 + 2u * 4);
        std::string check = python3_exe() + " -m py_compile";
        for (const std::string& f : py) check += " '" + f + "'";
        check += " || echo python; status=0";
        for (const std::string& f : jobs)
            for (const char* shell : {"bash", "sh"})
                check += std::string("; ") + shell + " -n '" + f + "' || { echo " + shell + " " + f + "; status=1; }";
        const CommandResult r = run_command(check + "; exit $status");
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_EQ(r.output, "");
        // Every batch script and MC collector touches a marker of its own, which the job it submits removes.
        std::vector<std::string> markers;
        for (const std::string& path : py) {
            if (path.find("prepare-") != std::string::npos || std::count(path.begin(), path.end(), '/') < 2) continue;
            const std::string text = read_file(path);
            const std::string marker = text_between(text, "os.system(\"touch " + w + "/", "\")");
            const std::string submit = krymo::format_string("os.system(\"%s ", t.get_job_submit_command());
            const std::string job = text_between(text, submit, "\")");
            const std::string job_text = read_file(path.substr(0, path.rfind('/') + 1) + job);
            EXPECT_NE(job_text.find("rm -f " + w + "/" + marker + "\n"), std::string::npos) << path << job_text;
            markers.push_back(marker);
        }
        ASSERT_EQ(markers.size(), 2u * (1 + 3) * 2 + 2u * (1 + 3));
        std::sort(markers.begin(), markers.end());
        EXPECT_EQ(std::adjacent_find(markers.begin(), markers.end()), markers.end()) << "two runs share a marker";
        for (const char* m : {"RUN/running.MC-marcus-temp_250_elec", "RUN/running.MC-marcus-temp_250_elec_getmob",
                              "RUN/running.MC-marcus_hole", "RUN/running.me_e", "RUN/running.me_td_h_300_td"})
            EXPECT_TRUE(std::binary_search(markers.begin(), markers.end(), m)) << m;
    }
}
