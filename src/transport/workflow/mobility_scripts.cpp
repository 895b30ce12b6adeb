// Run directories of the mobility stages: kinetic Monte Carlo ("MC") and master equation ("ME"), once
// or over a temperature scan. Each carrier directory gets a prepare script (copies the study's inputs
// and computes the hopping rates), a batch script that submits the simulation, and for MC a script
// that submits the mobility evaluation; ME results are collected by one get_mob.py per stage.
// The three kinds of run directory share one writer; the table below holds what they differ in.
#include <climits>
#include <cmath>
#include <cstdio>

#include "transport/script_file.h"
#include "transport/transport.h"
#include "util/text.h"

namespace krymo {

namespace {

// The ME batch script has always reported an open failure on standard output.
const OutputFailure kMeBatchFailure = {"transport", 255, false, false};

// Per carrier: directory, charge letter and the data files that carrier's rates are computed from.
struct CarrierFiles {
    const char* dir;
    const char* letter;
    const char* couplings;          // transfer integrals
    const char* couplings_dynamic;  // glob of the dynamic-disorder couplings
    const char* levels_dynamic;     // frontier-level fluctuations
    const char* modes;              // normal modes
    const char* site_energies;
    const char* outer_lambda;
};

const CarrierFiles kCarriers[2] = {
    {"elec", "e", "VL.dat", "VL*-dyn.dat", "LUMO-dyn.dat", "NM-e.dat", "EL.dat", "reorg_lambda_outer-e.dat"},
    {"hole", "h", "VH.dat", "VH*-dyn.dat", "HOMO-dyn.dat", "NM-h.dat", "EH.dat", "reorg_lambda_outer-h.dat"},
};

const char* const kPrepareHead[] = {
    "#!/usr/bin/env python",
    "",
    "# Prepares one mobility run in this directory: copies the study's inputs",
    "# and computes the hopping rates.",
    "",
    "import os",
    "import shutil",
    "import sys",
};

enum class Marker {
    RunDir,         // "<dir>_<carrier dir>", slashes turned into underscores
    Charge,         // "me_<letter>"
    ChargeAndTemp,  // "me_td_<letter>_<temperature>_td"
};

using JobWriter = void (Jobscript::*)(const std::string&, int, int, const std::string&, const std::string&,
                                      const std::string&);

}  // namespace

struct Transport::MobilityRun {
    const char* prepare;      // prepare script name
    const char* glob_import;  // import line of the dynamic-disorder glob
    bool carrier_level;       // files in "<dir>/elec" or "<dir>/hole"; else in dir itself
    bool temp_file;           // writes "temp.inp" when asked
    const char* batch;        // batch script name
    const OutputFailure* batch_failure;
    const char* job_script;  // job script stem, beside the batch script
    const char* job_name;    // null: the carrier directory name
    const char* serial_tool;
    const char* parallel_tool;  // chosen when OpenMP is on
    bool simulation_range;      // the simulator is told which simulations to run
    Marker marker;
    JobWriter write_job;
    bool mobility_script;  // an MC run evaluates its own mobility
};

namespace {

// Rows: prepare script, glob import, carrier level, temperature file;
// batch script, its failure report, job script, job name; tools and range; marker; job writer;
// mobility script. The ME scan keeps an empty line after its glob import.
const Transport::MobilityRun kMC = {"prepare-mc.py", "import glob\n", true, true,
                                    "run_mc_batch.py", &kWorkflowScriptFailure, "run_mc", nullptr,
                                    "hopsim_mc.exe", "hopsim_mc_par.exe", true,
                                    Marker::RunDir, &Jobscript::write_MC_job, true};
const Transport::MobilityRun kME = {"prepare-me.py", "import glob\n", true, false,
                                    "run_me_batch.py", &kMeBatchFailure, "run_me", nullptr,
                                    "hopsim_master.exe", "hopsim_master.exe", false,
                                    Marker::Charge, &Jobscript::write_ME_job, false};
const Transport::MobilityRun kMETD = {"prepare-me.py", "import glob\n\n", false, true,
                                      "run_me_batch.py", &kWorkflowScriptFailure, "run_me", "td",
                                      "hopsim_master.exe", "hopsim_master.exe", false,
                                      Marker::ChargeAndTemp, &Jobscript::write_ME_job, false};

std::string run_dir_marker_name(const std::string& dir, const char* carrier_dir, const char* suffix) {
    std::string name = dir + "_" + carrier_dir + suffix;
    ReplaceSlashWithUnderscore(name);
    return name;
}

}  // namespace

int Transport::scan_temperature_count() const {
    const double n = (end_temp - start_temp) / delta_temp + 1.0;
    // The reader refuses a scan without a finite, non-zero step; a direct caller gets no temperatures.
    if (!std::isfinite(n) || n < 1.0) return 0;
    return n >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(n);
}

void Transport::write_mobility_run(const MobilityRun& run, const char* dir, const char* root, int carrier,
                                   int temp_flag, double temp) {
    const CarrierFiles& c = kCarriers[carrier == 0 ? 0 : 1];
    const int ppn = qc_ppn;
    create_directory(dir);
    const std::string here = run.carrier_level ? format_string("%s/%s", dir, c.dir) : std::string(dir);
    if (run.carrier_level) create_directory(here);
    const char* data = data_dir.c_str();

    ScriptFile prep(here + "/" + run.prepare);
    prep.lines(kPrepareHead, sizeof kPrepareHead / sizeof kPrepareHead[0]);
    if (V_dynamic_disorder) prep.write(run.glob_import);
    prep.write("\n");
    prep.printf("shutil.copy(\"%s/krymo.inp\", \"./\")\n", root);
    // A structure file named in the input: relative to the study folder, or absolute as it stands.
    auto copy_input = [&](const std::string& name) {
        const std::string from = !name.empty() && name[0] == '/' ? name : std::string(root) + "/" + name;
        prep.printf("shutil.copy(%s, \"./\")\n", python_literal(from).c_str());
    };
    if (mol_data_source == 2) {
        copy_input(crystal_file);
    } else {
        // The rate tool opens the molecule files that the copied krymo.inp names.
        for (int m = 0; m < nmols_uc; ++m)
            copy_input(m < static_cast<int>(mol_files.size()) ? mol_files[m] : format_string("mol%d.mol", m + 1));
    }
    prep.printf("shutil.copy(\"%s/%s/%s\", \"./\")\n", root, data, c.couplings);
    if (V_dynamic_disorder) {
        prep.printf("files = glob.glob('%s/%s/%s')\n", root, data, c.couplings_dynamic);
        prep.write("for file in files:\n    shutil.copy(file, \"./\")\n");
    }
    if (HOMOLUMO_dynamic_disorder) prep.printf("shutil.copy(\"%s/%s/%s\", \"./\")\n", root, data, c.levels_dynamic);
    prep.printf("shutil.copy(\"%s/%s/%s\", \"./\")\n", root, data, c.modes);
    if (lat_site_energy != 0) prep.printf("shutil.copy(\"%s/%s/%s\", \"./\")\n", root, data, c.site_energies);
    // Every run kind computes its rates from the same files: the per-pair outer-sphere energies
    // where the mode makes them (a constant needs none), and the neighbour list the pair rows follow.
    if (reorg_outer_type >= 2) prep.printf("shutil.copy(\"%s/%s/%s\", \"./\")\n", root, data, c.outer_lambda);
    if (read_neighbor_dat)
        prep.printf("shutil.copy(\"%s/%s/neighbor.dat\", \"./\")\n", root, data);
    prep.printf("\nwith open(\"charge.inp\", \"w\") as f:\n    f.write(\"%s\\n\")\n\n", c.letter);
    if (run.temp_file && temp_flag != 0)
        prep.printf("with open(\"temp.inp\", \"w\") as f:\n    f.write(\"%.0f K\\n\")\n\n", temp);
    // The status of the rate tool is the script's: a failed rate calculation stops the driver here
    // instead of leaving the simulation to run on a missing or old rate file.
    prep.write("if os.system(\"hopsim_rates.exe\") != 0:\n"
               "    sys.exit(\"hopsim_rates.exe failed in \" + os.getcwd())\n\n");
    prep.finish();

    std::string marker_name;
    switch (run.marker) {
        case Marker::RunDir: marker_name = run_dir_marker_name(dir, c.dir, ""); break;
        case Marker::Charge: marker_name = format_string("me_%s", c.letter); break;
        case Marker::ChargeAndTemp: marker_name = format_string("me_td_%s_%.0f_td", c.letter, temp); break;
    }
    const std::string marker = format_string("%s/running.%s", run_dir.c_str(), marker_name.c_str());
    std::string command = get_openmp_flag() ? run.parallel_tool : run.serial_tool;
    if (run.simulation_range) command += format_string(" -simu0 %d -nsimu %d", 0, nsimu);
    command += "\n";
    const char* ext = get_job_script_ext();
    const char* submit = get_job_submit_command();

    // The job scripts are named relative to the run directory: the batch scripts are started there.
    ScriptFile batch(here + "/" + run.batch, *run.batch_failure);
    batch.write("#!/usr/bin/env python\nimport os\n\n");
    (this->*run.write_job)(format_string("%s/%s", here.c_str(), run.job_script), 1, ppn, command,
                           run.job_name ? run.job_name : c.dir, marker);
    batch.touch(workdir, marker);
    batch.printf("os.system(\"%s %s.%s\")\n\n", submit, run.job_script, ext);
    batch.finish();

    if (!run.mobility_script) return;
    const std::string mob_marker =
        format_string("%s/running.%s", run_dir.c_str(), run_dir_marker_name(dir, c.dir, "_getmob").c_str());
    ScriptFile mob(here + "/get_mob.py");
    mob.write("#!/usr/bin/env python\nimport os\n\n");
    write_calc_mob_job(here + "/get_mob", 1, ppn, "mob", mob_marker,
                       get_openmp_flag() ? "hopsim_mobility_par.exe" : "hopsim_mobility.exe");
    mob.touch(workdir, mob_marker);
    mob.printf("os.system(\"%s get_mob.%s\")\n\n", submit, ext);
    mob.finish();
}

void Transport::write_run_scripts_MC(const char* dir, const char* root, int carrier, int temp_flag, double temp) {
    write_mobility_run(kMC, dir, root, carrier, temp_flag, temp);
}

void Transport::write_run_scripts_ME(const char* dir, const char* root, int carrier) {
    write_mobility_run(kME, dir, root, carrier, 0, 0.0);
}

void Transport::write_run_scripts_ME_TD(const char* dir, const char* root, int carrier, int temp_flag, double temp) {
    write_mobility_run(kMETD, dir, root, carrier, temp_flag, temp);
}

void Transport::write_get_mob_py_ME(const char* dir) {
    ScriptFile py(format_string("%s/get_mob.py", dir));
    py.write("#!/usr/bin/env python\nimport shutil\n\n");
    for (int carrier = 0; carrier < 2; ++carrier) {
        if (!(carrier == 0 ? electron_work() : hole_work())) continue;
        const char* label = kCarriers[carrier].dir;
        py.printf("shutil.copy(\"%s/exp_data.dat\", \"./mob_%s.dat\")\n", label, label);
    }
    py.write("\n");
    py.finish();
}

void Transport::write_get_mob_py_ME_TD(const char* dir) { write_scan_collector(dir, false); }

void Transport::write_get_mob_py_MC_TD(const char* dir) { write_scan_collector(dir, true); }

// One table per carrier of the mobility over the scan's temperatures. The ME scan has its folders
// as <carrier>/<T>, the MC scan as <T>/<carrier>; MC results carry their error in field 6.
void Transport::write_scan_collector(const char* dir, bool mc) {
    static const char* const kDirections[] = {"a", "b", "c", "av"};
    const int n = scan_temperature_count();
    ScriptFile py(format_string("%s/get_mob.py", dir));
    py.write("#!/usr/bin/env python\nimport os, sys\n\n");
    for (int carrier = 0; carrier < 2; ++carrier) {
        if (!(carrier == 0 ? electron_work() : hole_work())) continue;
        const char* label = kCarriers[carrier].dir;
        py.write(mc ? "mu = []\nerr = []\n" : "mu = []\n");
        // The first four lines of exp_data.dat carry the mobility along a, b, c and the average in field 3.
        for (int k = 0; k < n; ++k) {
            py.write(mc ? "mu.append([])\nerr.append([])\n" : "mu.append([])\n");
            if (mc)
                py.printf("with open(\"%.0f/%s/exp_data.dat\") as f:\n", scan_temperature(k), label);
            else
                py.printf("with open(\"%s/%.0f/exp_data.dat\") as f:\n", label, scan_temperature(k));
            py.write("    for i in range(4):\n        line = f.readline()\n        items = line.split()\n");
            py.printf("        mu[%d].append(float(items[%d]))\n", k, 2);
            if (mc) py.printf("        err[%d].append(float(items[%d]))\n", k, 5);
            py.write("\n");
        }
        py.printf("sys.stdout.write(\"  Writing file mob_%s.dat...\\n\")\n\n", label);
        py.printf("with open(\"mob_%s.dat\", \"w\") as n:\n", label);
        for (int d = 0; d < 4; ++d) {
            py.printf("    n.write(\"dir_%s:\\n\")\n", kDirections[d]);
            for (int k = 0; k < n; ++k) {
                if (mc)
                    py.printf("    n.write(\"%.0f  %%12.6e  +- %%9.2e  cm^{2}/Vs\\n\" %% (mu[%d][%d], err[%d][%d]))\n",
                              scan_temperature(k), k, d, k, d);
                else
                    py.printf("    n.write(\"%.0f  %%12.6e  cm^{2}/Vs\\n\" %% (mu[%d][%d]))\n", scan_temperature(k), k,
                              d);
            }
        }
        py.write("\n");
    }
    py.finish();
}

void Transport::record_mobility_run(const std::string& dir, std::initializer_list<const char*> scripts,
                                    const char* result) {
    StudyStage stage;
    stage.name = dir;
    for (const char* s : scripts) stage.scripts.push_back(dir + "/" + s);
    stage.results.push_back(dir + "/" + result);
    const bool mc = dir.rfind("MC-", 0) == 0, omp = get_openmp_flag() != 0;
    stage.tools = {"hopsim_rates.exe"};
    if (mc) stage.tools.push_back(omp ? "hopsim_mc_par.exe" : "hopsim_mc.exe");
    stage.tools.push_back(!mc ? "hopsim_master.exe" : omp ? "hopsim_mobility_par.exe" : "hopsim_mobility.exe");
    study.mobility.push_back(std::move(stage));
}

void Transport::write_mobility_dirs(bool verbose) {
    study.mobility.clear();
    const auto mc = {"prepare-mc.py", "run_mc_batch.py", "get_mob.py"};
    const auto me = {"prepare-me.py", "run_me_batch.py"};
    const char* rate = ratetype.c_str();
    const bool carriers[2] = {electron_work(), hole_work()};
    const int ntemp = scan_temperature_count();

    // The Monte Carlo folders of every selected carrier under `dir`, in the record too.
    auto mc_runs = [&](const std::string& dir, const char* root, int temperature_flag, double t) {
        for (int c = 0; c < 2; ++c)
            if (carriers[c]) {
                write_run_scripts_MC(dir.c_str(), root, c, temperature_flag, t);
                record_mobility_run(dir + "/" + kCarriers[c].dir, mc, "exp_data.dat");
            }
    };

    if (verbose) std::printf("Writting MC files...\n");
    if (do_transport_run_MC != 0 || do_transport_get_mob_MC != 0) {
        const std::string dir = format_string("MC-%s", rate);
        create_directory(dir);
        mc_runs(dir, "../..", 0, 0.0);
    }
    if (do_transport_run_MC_temp != 0 || do_transport_get_mob_MC_temp != 0) {
        const std::string base = format_string("MC-%s-temp", rate);
        create_directory(base);
        for (int k = 0; k < ntemp; ++k) {
            const double t = scan_temperature(k);
            const std::string dir = format_string("%s/%.0f", base.c_str(), t);
            create_directory(dir);
            mc_runs(dir, "../../..", 1, t);
        }
        write_get_mob_py_MC_TD(base.c_str());
    }
    if (verbose) std::printf("Writting ME files...\n");
    if (do_transport_run_ME != 0 || do_transport_get_mob_ME != 0) {
        const std::string dir = format_string("ME-%s", rate);
        create_directory(dir);
        for (int c = 0; c < 2; ++c)
            if (carriers[c]) {
                write_run_scripts_ME(dir.c_str(), "../..", c);
                record_mobility_run(dir + "/" + kCarriers[c].dir, me, "exp_data.dat");
            }
        write_get_mob_py_ME(dir.c_str());
    }
    if (do_transport_run_ME_temp != 0 || do_transport_get_mob_ME_temp != 0) {
        const std::string base = format_string("ME-%s-temp", rate);
        create_directory(base);
        for (int c = 0; c < 2; ++c) {
            if (!carriers[c]) continue;
            const std::string carrier_dir = base + "/" + kCarriers[c].dir;
            create_directory(carrier_dir);
            for (int k = 0; k < ntemp; ++k) {
                const double t = scan_temperature(k);
                const std::string dir = format_string("%s/%.0f", carrier_dir.c_str(), t);
                create_directory(dir);
                write_run_scripts_ME_TD(dir.c_str(), "../../..", c, 1, t);
                record_mobility_run(dir, me, "exp_data.dat");
            }
        }
        write_get_mob_py_ME_TD(base.c_str());
    }
}

}  // namespace krymo
