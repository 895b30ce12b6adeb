// Reorganization-energy job sets: optimisation and frequencies of each molecule in its neutral and
// charged states, the job scripts (never arrays) and the runners that submit them. One writer serves
// the programs and the unique-molecule variant; the engine table holds the differences.
#include "transport/jobsets/runner_script.h"
#include "transport/transport.h"
#include "util/text.h"

namespace krymo {

namespace {

const OutputFailure kRunnerFailure = {"transport", 1, true, false};
// The multipole runner has always reported on standard output.
const OutputFailure kMpsRunnerFailure = {"transport", 1, false, false};
const OutputFailure kFourPointFailure = {"transport", 1, true, false};

struct ReState {
    const char* state;
    const char* charge_mult;
    const char* geometry;  // four-point single points: the state whose optimised geometry they take
};

const ReState kNeutral = {"neutral", "0 1", nullptr};
const ReState kCation = {"cation", "1 2", nullptr};
const ReState kAnion = {"anion", "-1 2", nullptr};
// Four-point single points: the charged state at the neutral's geometry, the neutral at the charged one's.
const ReState kFourPointHole[] = {{"neutral_hN", "1 2", "neutral"}, {"cation_nC", "0 1", "cation"}};
const ReState kFourPointElectron[] = {{"neutral_eN", "-1 2", "neutral"}, {"anion_nC", "0 1", "anion"}};

// The shell skeleton every RE run shares: skip a run that already ended normally, run, and leave an
// error marker for the gather stage when the output still does not show a normal end.
std::string re_job_body(const std::string& check, const char* skip_message, const std::string& run,
                        const std::string& workdir, const std::string& name) {
    std::string s = check + "\nstatus=$?\nif test $status -eq 0; then\n";
    s += format_string("    echo \"%s\"\n", skip_message);
    s += "else\n" + run + "fi\n\n";
    s += check + "\nstatus=$?\nif test $status -ne 0; then\n";
    s += format_string("    touch %s/RUN/ERROR-RE-%s\n", workdir.c_str(), name.c_str());
    s += "fi\n\n";
    return s;
}

std::string re_name(int mol, const char* state) { return format_string("re-mol%d-%s", mol, state); }

}  // namespace

void Transport::format_RE_gaussian_job_string(std::string& out, int mol, const char* state, bool formchk) const {
    const std::string name = re_name(mol, state);
    const char* w = workdir.c_str();
    const char* n = name.c_str();
    std::string run = format_string("    echo \"Run Gaussian job %s...\"\n    %s %s.com\n", n, shell_command(qc_exe).c_str(), n);
    if (formchk) run += format_string("    %s %s.chk\n", get_chk_converter().c_str(), n);
    out = re_job_body(format_string("python %s/scr/gaussian_log_check.py %s/RE/%s.%s", w, w, n, get_log_ext().c_str()),
                      "Normal termination of Gaussian detected, skip the current run.", run, workdir, name);
}

void Transport::format_RE_orca_job_string(std::string& out, int mol, const char* state, const char* geometry) const {
    const std::string name = re_name(mol, state);
    const char* w = workdir.c_str();
    const char* n = name.c_str();
    std::string run;
    // "-d": dash, the usual /bin/sh, rejects the unary "-a" test.
    run += "    if [ ! -d $SCRDIR ]; then\n";
    run += "        echo \"Scratch directory $SCRDIR created.\"\n";
    run += "        mkdir -p $SCRDIR\n";
    run += "    fi\n\n";
    run += format_string("    cp ${DataDir}/%s.inp $SCRDIR\n", n);
    // A four-point input reads the geometry file the other state's optimisation left.
    if (geometry != nullptr) run += format_string("    cp ${DataDir}/%s.xyz $SCRDIR\n", re_name(mol, geometry).c_str());
    run += "    cd ${SCRDIR}\n";
    run += "    echo \"Working directory is ${SCRDIR}\"\n\n";
    run += format_string("    %s %s.inp %s > %s.out\n", shell_command(qc_exe).c_str(), n, get_orca_extra_args().c_str(), n);
    run += format_string("    %s %s\n\n", get_orca_converter().c_str(), n);
    run += "    CurrDir=`pwd`\n";
    run += "    if [ $CurrDir != $DataDir ]; then\n";
    run += "        echo \"Copy data back to work directory...\"\n";
    // An optimisation also leaves the Hessian and, in the xyz file, the final geometry the four-point
    // jobs read; a single point leaves neither.
    const char* const results[] = {"out", "mkl", "hess", "xyz"};
    for (int r = 0; r < (geometry == nullptr ? 4 : 2); ++r)
        run += format_string("        mv $CurrDir/%s.%s $DataDir\n", n, results[r]);
    run += "    fi\n";
    out = re_job_body(format_string("python %s/scr/orca_out_check.py %s/RE/%s.out", w, w, n),
                      "Normal termination of ORCA detected, skip the current ORCA run.", run, workdir, name);
}

void Transport::format_RE_qchem_job_string(std::string& out, int mol, const char* state, const char* geometry) const {
    const std::string name = re_name(mol, state);
    const char* w = workdir.c_str();
    const char* n = name.c_str();
    // A four-point input first takes the optimised atoms of the other state's output; without them
    // Q-Chem does not run, and the missing output marks the job failed.
    const std::string geometry_step =
        geometry == nullptr ? ""
                            : format_string("python %s/scr/qchem_opt_geometry.py %s.out %s.inp && ", w,
                                            re_name(mol, geometry).c_str(), n);
    const std::string run = format_string("    echo \"Run Q-Chem job %s...\"\n    %s%s -nt %d %s.inp > %s.out\n", n,
                                          geometry_step.c_str(), shell_command(qc_exe).c_str(), get_run_ppn(), n, n);
    out = re_job_body(format_string("python %s/scr/qchem_out_check.py %s/RE/%s.out", w, w, n),
                      "Normal termination of Q-Chem detected, skip the current Q-Chem run.", run, workdir, name);
}

void Transport::format_RE_psi4_job_string(std::string& out, int mol, const char* state) const {
    const std::string name = re_name(mol, state);
    const char* w = workdir.c_str();
    const char* n = name.c_str();
    const std::string run = format_string("    echo \"Run psi4 job %s...\"\n    %s -n %d %s.inp %s.out\n", n,
                                          qc_exe.c_str(), get_run_ppn(), n, n);
    out = re_job_body(format_string("python %s/scr/psi4_out_check.py %s/RE/%s.out", w, w, n),
                      "Normal termination of psi4 detected, skip the current psi4 run.", run, workdir, name);
}

void Transport::write_RE_gaussian_lambda_4P_com(int mol, const std::string& state, const std::string& charge_mult) {
    const std::string path = format_string("%s/re-mol%d-%s.com", re_dir.c_str(), mol, state.c_str());
    TextWriter out;
    open_output(out, path, kFourPointFailure);
    out.printf("%%mem=%dMB\n", qc_memory);
    out.printf("%%nprocs=%d\n", get_run_ppn());
    out.printf("%%chk=re-mol%d-%s.chk\n", mol, state.c_str());
    out.printf("#P SP %s Pop=full nosymm\n", qc_basis_re.c_str());
    out.write("Geom=Check Guess=Read\n\n");
    out.printf("mol%d\n\n", mol);
    out.printf("%s\n\n", charge_mult.c_str());
    close_output(out, kFourPointFailure);
}

void Transport::write_RE_input(Engine e, int mol, const char* state, const char* charge_mult, bool geom_from_chk) const {
    const std::string path = format_string("%s/%s.%s", re_dir.c_str(), re_name(mol, state).c_str(),
                                           engine_row(e).input_ext);
    const int n = mol_natoms[mol - 1];
    const int* t = mol_atypes[mol - 1].data();
    const double* x = mol_x[mol - 1].data();
    switch (e) {
        case Engine::Gaussian:
            write_gau_mol_com_RE(path, n, t, x, format_string("mol%d", mol), re_name(mol, state), charge_mult,
                                 qc_basis_re, qc_memory, get_run_nodes(), get_run_ppn(), qc_inp_append, geom_from_chk);
            break;
        case Engine::Orca:
            write_orca_mol_inp_RE(path, n, t, x, qc_memory, get_run_ppn(), charge_mult, qc_method_re, qc_basis_re,
                                  qc_inp_append);
            break;
        case Engine::Qchem:
            write_qchem_mol_inp_RE(path, n, t, x, qc_memory, get_run_ppn(), charge_mult, qc_method_re, qc_basis_re,
                                   qc_inp_append);
            break;
        case Engine::Psi4:
            write_psi4_mol_inp_RE(path, n, t, x, qc_memory, charge_mult, qc_method_re, qc_basis_re, qc_inp_append);
            break;
    }
}

void Transport::write_RE_four_point_input(Engine e, int mol, const char* state, const char* charge_mult,
                                          const char* geometry) {
    const std::string path = format_string("%s/%s.%s", re_dir.c_str(), re_name(mol, state).c_str(),
                                           engine_row(e).input_ext);
    switch (e) {
        case Engine::Gaussian:
            // The geometry comes with the checkpoint copied to this state's name before the run.
            write_RE_gaussian_lambda_4P_com(mol, state, charge_mult);
            break;
        case Engine::Orca:
            write_orca_four_point_inp(path, re_name(mol, geometry) + ".xyz", qc_memory, get_run_ppn(), charge_mult,
                                      qc_method_re, qc_basis_re, qc_inp_append);
            break;
        case Engine::Qchem:
            write_qchem_four_point_inp(path, mol_natoms[mol - 1], mol_atypes[mol - 1].data(), mol_x[mol - 1].data(),
                                       charge_mult, qc_method_re, qc_basis_re, qc_inp_append);
            break;
        case Engine::Psi4:
            write_psi4_four_point_inp(path, re_name(mol, geometry) + ".fchk", qc_memory, charge_mult, qc_method_re,
                                      qc_basis_re, qc_inp_append);
            break;
    }
}

std::string Transport::RE_job_body(Engine e, int mol, const char* state, const char* geometry) const {
    std::string body;
    switch (e) {
        // A four-point Gaussian job leaves no checkpoint worth converting.
        case Engine::Gaussian: format_RE_gaussian_job_string(body, mol, state, geometry == nullptr); break;
        case Engine::Orca: format_RE_orca_job_string(body, mol, state, geometry); break;
        case Engine::Qchem: format_RE_qchem_job_string(body, mol, state, geometry); break;
        case Engine::Psi4: format_RE_psi4_job_string(body, mol, state); break;
    }
    return body;
}

void Transport::write_RE_job_set(Engine e, bool unique) {
    const EngineRow& E = engine_row(e);
    parse_scheduling_type();
    const int nodes = get_run_nodes(), ppn = get_run_ppn();
    const std::string submit = get_job_submit_command(), ext = get_job_script_ext();
    create_directory(scr_dir);
    create_directory(re_dir);

    std::vector<int> mols;
    if (unique) {
        mols = RE_unique_mols;
    } else {
        for (int m = 1; m <= nmols_uc; ++m) mols.push_back(m);
    }
    const bool electron = electron_work(), hole = hole_work();
    const bool four_point = E.re_four_point && RE_calc_lambda_4P;

    for (int m : mols) {
        write_RE_input(e, m, kNeutral.state, kNeutral.charge_mult, false);
        if (hole) write_RE_input(e, m, kCation.state, kCation.charge_mult, RE_use_neutral_chk);
        if (electron) write_RE_input(e, m, kAnion.state, kAnion.charge_mult, RE_use_neutral_chk);
    }
    if (four_point)
        for (int m : mols) {
            if (hole)
                for (const ReState& s : kFourPointHole) write_RE_four_point_input(e, m, s.state, s.charge_mult, s.geometry);
            if (electron)
                for (const ReState& s : kFourPointElectron)
                    write_RE_four_point_input(e, m, s.state, s.charge_mult, s.geometry);
        }

    RunnerHeader header;
    header.dir = re_dir;
    StudyJobSet* record = nullptr;
    auto record_calc = [&](int mol, const char* state, const std::string& marker) {
        const std::string name = re_name(mol, state);
        record->jobs.push_back({name, format_string("%s/%s.%s", re_dir.c_str(), name.c_str(), E.input_ext),
                                format_string("%s/%s.%s", re_dir.c_str(), name.c_str(), E.output_ext), marker,
                                format_string("%s/ERROR-RE-%s", run_dir.c_str(), name.c_str()), ""});
        ++record->inputs;
    };
    // One job: its script, then the runner's stanza that marks it running and submits it; `states` are
    // the calculations it runs.
    auto stanza = [&](RunnerScript& runner, int mol, const std::string& tag, const std::string& body,
                      const std::vector<const char*>& states) {
        const std::string job = format_string(E.re_job, tag.c_str());
        const std::string marker = format_string(E.re_marker, run_dir.c_str(), tag.c_str());
        for (const char* state : states) record_calc(mol, state, marker);
        ++record->scripts;
        ++record->submissions;
        write_RE_job_of_kind(E.re_kind, job, nodes, ppn, e == Engine::Gaussian ? "" : format_string("mol%d", mol), tag,
                             marker, body);
        if (E.re_separator) runner.separator();
        runner.touch(workdir, marker);
        runner.submit(submit, job_dir, job, ext);
    };
    auto state_jobs = [&](RunnerScript& runner, const char* state) {
        for (int m : mols) stanza(runner, m, format_string("mol%d-%s", m, state), RE_job_body(e, m, state), {state});
    };

    record = &begin_study_job_set("re_neutral", "RE neutral", scr_dir + "/mol_RE_neutral.py");
    RunnerScript neutral(scr_dir + "/mol_RE_neutral.py", header, kRunnerFailure);
    state_jobs(neutral, kNeutral.state);
    neutral.finish();

    record = &begin_study_job_set("re_charged", "RE charged", scr_dir + "/mol_RE_anion_cation.py");
    RunnerScript charged(scr_dir + "/mol_RE_anion_cation.py", header, kRunnerFailure);
    if (electron) state_jobs(charged, kAnion.state);
    if (hole) state_jobs(charged, kCation.state);
    charged.finish();

    if (E.re_multipoles && (reorg_outer_type == 3 || lat_site_energy != 0)) {
        // Multipoles of every state feed the dielectric outer-sphere model and the lattice site energies.
        std::string body;
        for (int m : mols)
            body += format_string("qcpost_log_multipoles.exe -inp re-mol%d-neutral.log\n"
                                  "qcpost_log_multipoles.exe -inp re-mol%d-cation.log\n"
                                  "qcpost_log_multipoles.exe -inp re-mol%d-anion.log\n\n", m, m, m);
        const std::string job = "job_re-mps", marker = run_dir + "/running.re_mps";
        write_RE_mps_job(job, nodes, ppn, body, "mps", marker, body);
        // The multipole files are read by no stage of this tool: only the marker tells about the job.
        StudyJobSet& mps_record = begin_study_job_set("re_multipoles", "RE multipoles", scr_dir + "/mol_RE_mps.py");
        mps_record.jobs.push_back({"re_mps", "", "", marker, "", ""});
        mps_record.scripts = mps_record.submissions = 1;
        mps_record.tools = {"qcpost_log_multipoles.exe"};
        RunnerScript mps(scr_dir + "/mol_RE_mps.py", header, kMpsRunnerFailure);
        mps.touch(workdir, marker);
        mps.submit(submit, job_dir, job, ext);
        mps.finish();
    }

    if (four_point) {
        record = &begin_study_job_set("re_four_point", "RE four-point", scr_dir + "/mol_RE_lambda_4P.py");
        RunnerScript runner(scr_dir + "/mol_RE_lambda_4P.py", header, kRunnerFailure);
        for (int m : mols) {
            std::string body;
            std::vector<const char*> states;
            auto add = [&](const ReState* pair) {
                for (int s = 0; s < 2; ++s) {
                    body += RE_job_body(e, m, pair[s].state, pair[s].geometry);
                    states.push_back(pair[s].state);
                }
            };
            if (electron) add(kFourPointElectron);
            if (hole) add(kFourPointHole);
            stanza(runner, m, format_string("mol%d_lambda_4P", m), body, states);
        }
        runner.finish();
    }
}

// --- the named job sets ---

void Transport::write_RE_gaussian_mol_gjf_and_job_separated() { write_RE_job_set(Engine::Gaussian, false); }
void Transport::write_RE_gaussian_mol_gjf_and_job_unique_separated() { write_RE_job_set(Engine::Gaussian, true); }
void Transport::write_RE_orca_mol_inp_and_job_seperated() { write_RE_job_set(Engine::Orca, false); }
void Transport::write_RE_orca_mol_inp_and_job_unique_seperated() { write_RE_job_set(Engine::Orca, true); }
void Transport::write_RE_qchem_mol_inp_and_job_seperated() { write_RE_job_set(Engine::Qchem, false); }
void Transport::write_RE_qchem_mol_inp_and_job_unique_seperated() { write_RE_job_set(Engine::Qchem, true); }

}  // namespace krymo
