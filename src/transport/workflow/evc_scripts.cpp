// The normal-mode stage: a projection input per molecule and carrier in re_dir, the script that
// builds the work tree evc/mol<m>/<carrier> and copies the frequency outputs there, the runner that
// submits one job per work directory, and the gather script that turns each job's result into the
// per-molecule pieces the lumping scripts merge in data_dir. The plain and unique forms differ only
// in the molecules they visit and in a few lines that existing studies know.
#include <iterator>

#include "transport/script_file.h"
#include "transport/transport.h"
#include "util/files.h"
#include "util/text.h"

namespace krymo {

namespace {

// The frequency outputs one engine leaves in re_dir for the projection tool.
struct EvcEngineFiles {
    const char* freq_ext;     // the two outputs named in the projection input
    const char* copies[2];    // extensions copied into the work directory per state (null: none)
    bool copies_named;        // copied under their own names ("elec/re-mol1-anion.fchk") rather than into "elec/"
};

// By compute_engine 1 to 4. Gaussian's checkpoint is copied in its formatted form; psi4's fchk file
// carries the Hessian its RE job appended.
const EvcEngineFiles kEvcEngines[] = {
    {"log", {"fchk", "log"}, true},
    {"hess", {"hess", nullptr}, false},
    {"out", {"fchk", "out"}, false},
    {"out", {"fchk", "out"}, false},
};

const EvcEngineFiles* evc_engine_files(int compute_engine) {
    return compute_engine >= 1 && compute_engine <= 4 ? &kEvcEngines[compute_engine - 1] : nullptr;
}

const char* const exp_re_py_head[] = {
    "#!/usr/bin/env python",
    "",
    "# Reorganization energies and normal modes of every molecule and carrier, from the work",
    "# directories of evc/, copied to the data directory for the lumping scripts.",
    "",
    "import os",
    "import sys",
    "import shutil",
    "",
    "sys.stdout.write(\"Calculating NM data ...\\n\")",
    "",
    "lamda_line = \"Total reorganization energy\"",
    "",
    "# cm-1 to meV",
    "ener_scale = 0.1239842",
    "",
    "cwd = os.getcwd()",
    "",
    "access_rights = 493",
    "",
    "if not os.path.isdir(\"evc\"):",
    "    os.mkdir(\"evc\", access_rights)",
    "os.chdir(\"evc\")",
    "cwd2 = os.getcwd()",
    "",
};

// The last two fields of the first "Total reorganization energy" line (cm-1), in meV, and their sum.
// @L@ is the carrier's Python name (e_lam, h_lam) and @SUM@ its sum line.
const char* const exp_re_py_read_lambda[] = {
    "@L@1 = 0",
    "@L@2 = 0",
    "@L@  = 0",
    "",
    "with open(\"evc.cart.dat\", \"r\") as f:",
    "    lines = f.readlines()",
    "    for line in lines:",
    "        if lamda_line in line:",
    "            lams = line.split()",
    "            @L@1 = float(lams[-2]) * ener_scale",
    "            @L@2 = float(lams[-1]) * ener_scale",
    "            @SUM@",
    "            break",
    "",
};

// A projection whose output lacks the summary line did not finish: stop before its zeros are taken
// for a reorganization energy (a zero energy would pass silently into every hopping rate).
const char* const exp_re_py_require_lambda[] = {
    "if not [line for line in lines if lamda_line in line]:",
    "    sys.exit(\"No '%s' line in %s\" % (lamda_line, os.path.join(os.getcwd(), \"evc.cart.dat\")))",
    "",
};


struct EvcCarrier {
    const char* dir;    // work directory and the block name of the combined lambda.dat
    const char* state;  // the charged state compared with the neutral one
    const char* letter; // file letter
    const char* lam;    // Python name of the total energy; "<lam>1", "<lam>2" are its two parts
    const char* sum;    // the line that adds them (its spacing differs between the carriers)
};

const EvcCarrier kElectron = {"elec", "anion", "e", "e_lam", "e_lam=e_lam1 + e_lam2"};
const EvcCarrier kHole = {"hole", "cation", "h", "h_lam", "h_lam = h_lam1 + h_lam2"};

// The three energies of a carrier as one line of 16.8f columns.
std::string lambda_value_line(const EvcCarrier& c) {
    return format_string("    n.write(\"%%16.8f %%16.8f %%16.8f\\n\" %% (%s, %s1, %s2))\n", c.lam, c.lam, c.lam);
}

// Electron work before hole work.
std::vector<const EvcCarrier*> evc_carriers(bool electron, bool hole) {
    std::vector<const EvcCarrier*> carriers;
    if (electron) carriers.push_back(&kElectron);
    if (hole) carriers.push_back(&kHole);
    return carriers;
}

std::vector<int> first_molecules(int n) {
    std::vector<int> mols;
    for (int m = 1; m <= n; ++m) mols.push_back(m);
    return mols;
}

}  // namespace

void Transport::write_evc_inp_files() { write_evc_inp_files_of(first_molecules(nmols_uc)); }
void Transport::write_evc_inp_files_unique() { write_evc_inp_files_of(RE_unique_mols); }
void Transport::write_prepare_evc_files(const char* name) {
    write_prepare_evc_files_of(name, first_molecules(nmols_uc), false);
}
void Transport::write_prepare_evc_files_unique(const char* name) {
    write_prepare_evc_files_of(name, RE_unique_mols, true);
}
void Transport::write_get_re_py_file(const char* name) { write_get_re_py_file_of(name, first_molecules(nmols_uc)); }
void Transport::write_get_re_py_file_unique(const char* name) { write_get_re_py_file_of(name, RE_unique_mols); }

void Transport::write_evc_inp_files_of(const std::vector<int>& mols) {
    create_directory(re_dir);
    const EvcEngineFiles* files = evc_engine_files(compute_engine);
    const std::vector<const EvcCarrier*> carriers = evc_carriers(electron_work(), hole_work());
    std::vector<std::string> bonds;
    for (int m : mols) {
        bonds.clear();
        load_bonds_data(format_string("%s/mol%d_bonds.dat", data_dir.c_str(), m), bonds);
        for (const EvcCarrier* c : carriers) {
            ScriptFile out(format_string("%s/evc-%s-mol%d.inp", re_dir.c_str(), c->letter, m));
            out.write("&evc\n");
            if (files != nullptr) {
                out.printf("  ffreq(1)  = \"re-mol%d-neutral.%s\"\n", m, files->freq_ext);
                out.printf("  ffreq(2)  = \"re-mol%d-%s.%s\"\n", m, c->state, files->freq_ext);
            }
            out.write("  sort_mode = 1\n");
            out.write("  proj_reorg = .t.\n");
            if (eckart_mirror != 0) out.write("  eckart_mirror = .t.\n");
            out.write("  if_add_int_coord = .t.\n");
            out.write("  def_add_int_coord = \n");
            for (const std::string& b : bonds) out.printf("        %s\n", b.c_str());
            out.write("/\n");
            out.finish();
        }
    }
}

void Transport::write_prepare_evc_files_of(const char* name, const std::vector<int>& mols, bool unique) {
    parse_scheduling_type();
    const std::string submit = get_job_submit_command(), ext = get_job_script_ext();
    const std::string command = use_evc_dint ? "qcpost_nmproj.exe evc.inp\nqcpost_modes.exe evc.dint.dat NM.dat\n"
                                             : "qcpost_nmproj.exe evc.inp\nqcpost_modes.exe evc.cart.dat NM.dat\n";
    const EvcEngineFiles* files = evc_engine_files(compute_engine);
    const std::vector<const EvcCarrier*> carriers = evc_carriers(electron_work(), hole_work());

    ScriptFile run(scr_dir + "/run_RE.py");
    run.write(unique ? "#!/usr/bin/env python\nimport os\n\n" : "#!/usr/bin/env python\nimport os\nimport sys\n\n");

    ScriptFile prep(scr_dir + "/" + name);
    prep.write("#!/usr/bin/env python\n\nimport os\nimport sys\nimport shutil\n\n");
    // Q-Chem writes ".FChk"; the projection tool reads ".fchk".
    if (compute_engine == 3)
        prep.printf("os.system(\"python %s/qchem_fchk_ext_lowercase.py %s\")\n\n", scr_dir.c_str(), re_dir.c_str());
    prep.write("sys.stdout.write(\"Prepare for evc calculations...\\n\")\n\n"
               "rootdir = os.getcwd()\n\n"
               "access_rights = 493\n\n"
               "if not os.path.isdir(\"evc\"):\n"
               "    os.mkdir(\"evc\", access_rights)\n\n"
               "os.chdir(\"evc\")\n"
               "evcdir = os.getcwd()\n\n");
    // The job scripts live in the work directories, so the tree exists from now on.
    const std::string evc = workdir + "/evc";
    create_directory(evc);

    for (int m : mols) {
        const std::string mol = format_string("mol%d", m);
        const char* N = mol.c_str();
        prep.printf("sys.stdout.write(\"  Treating mol%d...\\n\")\n", m);
        if (unique) prep.write("\n");
        prep.printf("os.chdir(evcdir)\n\nif not os.path.isdir(\"%s\"):\n    os.mkdir(\"%s\", access_rights)\n\n"
                    "os.chdir(\"%s\")\n\n", N, N, N);
        create_directory(evc + "/" + mol);

        for (const EvcCarrier* c : carriers) {
            const char* D = c->dir;
            prep.printf("if not os.path.isdir(\"%s\"):\n    os.mkdir(\"%s\", access_rights)\n\n", D, D);
            const std::string work = evc + "/" + mol + "/" + D;
            create_directory(work);
            if (files != nullptr)
                for (const char* state : {c->state, "neutral"})
                    for (const char* x : files->copies) {
                        if (x == nullptr) continue;
                        if (files->copies_named)
                            prep.printf("shutil.copy(\"../../RE/re-%s-%s.%s\", \"%s/re-%s-%s.%s\")\n", N, state, x, D,
                                        N, state, x);
                        else
                            prep.printf("shutil.copy(\"../../RE/re-%s-%s.%s\", \"%s/\")\n", N, state, x, D);
                    }
            prep.printf("shutil.copy(\"../../RE/evc-%s-%s.inp\", \"%s/evc.inp\")\n", c->letter, N, D);
            if (!unique && c == &kHole) prep.write("os.chdir(\"hole\")\n");
            prep.write("\n\n");

            const std::string job = format_string("evc_%s_%s", N, D);
            const std::string marker = format_string("%s/running.run_%s", run_dir.c_str(), job.c_str());
            write_calc_getRE_job(work + "/job_get_NM", 1, get_run_ppn(), job, marker, command);
            run.touch(workdir, marker);
            run.printf("os.chdir(\"%s\")\n", work.c_str());
            run.printf("os.system(\"%s %s.%s\")\n", submit.c_str(), "job_get_NM", ext.c_str());
            run.write(c == &kHole ? "\n\n" : "\n");
        }
    }
    prep.finish();
    run.finish();
}

void Transport::write_get_re_py_file_of(const char* name, const std::vector<int>& mols) {
    const std::vector<const EvcCarrier*> carriers = evc_carriers(electron_work(), hole_work());
    const char* data = data_dir.c_str();

    ScriptFile out(scr_dir + "/" + name);
    out.lines(exp_re_py_head, std::size(exp_re_py_head));
    for (int m : mols) {
        out.printf("sys.stdout.write(\"  Treating mol%d...\\n\")\nos.chdir(cwd2)\nos.chdir(\"mol%d\")\n", m, m);
        for (const EvcCarrier* c : carriers) {
            out.printf("os.chdir(\"%s\")\n", c->dir);
            out.lines(exp_re_py_read_lambda, static_cast<int>(std::size(exp_re_py_read_lambda)),
                      {{"@L@", c->lam}, {"@SUM@", c->sum}});
            out.lines(exp_re_py_require_lambda, std::size(exp_re_py_require_lambda));
            out.write("with open(\"lambda.dat\", \"w\") as n:\n");
            out.write(lambda_value_line(*c));
            out.write("    n.write(\"# reorganization energies: lam lam1 lam2 [meV]\\n\")\n\n");
            out.write("os.chdir(\"..\")\n");
        }
        out.write("with open(\"lambda.dat\", \"w\") as n:\n");
        for (const EvcCarrier* c : carriers) {
            out.printf("    n.write(\"%s:\\n\")\n", c->dir);
            out.write("    n.write(\"lam lam1 lam2 [meV]\\n\")\n");
            out.write(lambda_value_line(*c));
        }
        out.write("\n");
        for (const EvcCarrier* c : carriers) {
            const char* D = c->dir;
            const char* x = c->letter;
            out.printf("shutil.copy(\"%s/NM.dat\", \"../mol%d_NM-%s.dat\")\n", D, m, x);
            out.printf("shutil.copy(\"%s/NM.dat\", \"../../%s/NM%d-%s.dat\")\n", D, data, m, x);
            out.printf("shutil.copy(\"%s/lambda.dat\", \"../../%s/mol%d_lambda-%s.dat\")\n\n", D, data, m, x);
        }
    }
    out.finish();
}

}  // namespace krymo
