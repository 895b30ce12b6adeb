// The workflow tree: after the quantum-chemistry job sets, every list, script and run directory that
// the later stages need, in a fixed order, each file complete before the next is opened.
#include <cstdio>

#include "transport/script_file.h"
#include "transport/transport.h"
#include "util/files.h"

namespace krymo {

void Transport::write_scripts(bool verbose) {
    auto progress = [&](const char* name) {
        if (verbose) std::printf("Writting %s...\n", name);
    };
    for (const std::string* d : {&run_dir, &scr_dir, &data_dir, &hl_dir}) create_directory(*d);
    // The workflow jobs live beside the quantum-chemistry jobs, which normally made the folder already.
    create_directory(job_dir);

    progress("trans_int_files.dat");
    write_trans_int_files();

    switch (compute_engine) {
        case 1: write_gaussian_log_check_py_file(); break;
        case 2: write_orca_out_check_py_file(); break;
        case 3:
            write_qchem_out_check_py_file();
            write_qchem_fchk_ext_lowercase_py_file();
            break;
        case 4: write_psi4_out_check_py_file(); break;
        default: break;
    }

    progress("get_transint.py");
    write_get_transint_py();
    progress("merge_evc_NM_output.py");
    write_merge_evc_NM_output_py();

    if (lat_site_energy != 0) {
        progress("SE_einternal_files.dat");
        write_site_energy_scripts();
    }
    if (RE_use_neutral_chk) write_copy_neutral_chk_files_py();
    if (four_point_work()) {
        // Only Gaussian's four-point jobs read copied checkpoints; Q-Chem's put in the optimised atoms
        // of the outputs first; ORCA's and psi4's inputs read the optimisations' files themselves.
        if (compute_engine == 1) write_copy_RE_lambda_4P_files_py();
        if (compute_engine == 3) write_qchem_opt_geometry_py_file();
        if (electron_work()) {
            progress("re_lambda_4P_files-e.dat");
            write_RE_lambda_4P_list(false);
        }
        if (hole_work()) {
            progress("re_lambda_4P_files-h.dat");
            write_RE_lambda_4P_list(true);
        }
        // An electron-only study runs its four-point list too.
        if (electron_work() || hole_work()) write_get_RE_lambda_4P_py();
    }
    if (lat_site_energy != 0) {
        progress("merge_RE_int_ener_output.py");
        write_merge_RE_int_ener_output_py();
    }
    if (reorg_outer_type != 0) {
        progress("merge_RE_outer_lambda_output.py");
        write_merge_RE_outer_lambda_output_py();
    }

    progress("evc inp files");
    const bool unique = get_unique_RE_calc_flag();
    if (unique) write_evc_inp_files_unique();
    else write_evc_inp_files();
    progress("evc get_RE.py");
    if (unique) {
        write_prepare_evc_files_unique("prepare_RE.py");
        write_get_re_py_file_unique("get_RE.py");
    } else {
        write_prepare_evc_files("prepare_RE.py");
        write_get_re_py_file("get_RE.py");
    }
    write_get_RE_lambda_evc_py();

    record_gather_stages();
    write_mobility_dirs(verbose);

    ScriptFile sh(scr_dir + "/krymo.sh");
    sh.write("#!/bin/sh\n\npython $KRYMO_ROOT/bin/krymo.py 1> log 2>&1 &\n\n");
    sh.finish();
}

void Transport::record_gather_stages() {
    // Each stage with the scripts that run it and the files that show it done, per carrier.
    auto results = [&](const char* electron, const char* hole) {
        std::vector<std::string> r;
        if (electron_work()) r.push_back(data_dir + "/" + electron);
        if (hole_work()) r.push_back(data_dir + "/" + hole);
        return r;
    };
    auto scripts = [&](std::initializer_list<const char*> names) {
        std::vector<std::string> r;
        for (const char* n : names) r.push_back(scr_dir + "/" + n);
        return r;
    };
    study.gather.clear();
    const char* coupling = get_job_moo_flag() ? "qcpost_dimer_overlap.exe" : "qcpost_coupling.exe";
    study.gather.push_back(
        {"transfer integrals", scripts({"get_transint.py"}), results("VL.dat", "VH.dat"), {coupling}});
    // The copies come before the four-point runner, whose inputs read them; the energies after its jobs.
    // Only Gaussian copies: the other engines' four-point jobs take the optimised geometries themselves.
    if (four_point_work())
        study.gather.push_back({"four-point reorganization energies",
                                compute_engine == 1
                                    ? scripts({"copy_RE_lambda_4P_files.py", "mol_RE_lambda_4P.py", "get_RE_lambda_4P.py"})
                                    : scripts({"mol_RE_lambda_4P.py", "get_RE_lambda_4P.py"}),
                                {},
                                {"qcpost_lambda4p.exe"}});
    study.gather.push_back({"normal-mode reorganization energies",
                            scripts({"prepare_RE.py", "run_RE.py", "get_RE.py", "merge_evc_NM_output.py",
                                     "get_RE_lambda_evc.py"}),
                            results("NM-e.dat", "NM-h.dat"),
                            {"qcpost_nmproj.exe", "qcpost_modes.exe"}});
    // The internal energies of every molecule, lumped, then the site energies made of them. The
    // crystal's polarization is folded in by get_RE_outer_ener.py: here when no outer-sphere stage runs it.
    if (lat_site_energy != 0)
        study.gather.push_back({"site energies",
                                reorg_outer_type == 0 ? scripts({"get_RE_int_ener.py", "merge_RE_int_ener_output.py",
                                                                 "get_site_ener.py", "get_RE_outer_ener.py"})
                                                      : scripts({"get_RE_int_ener.py", "merge_RE_int_ener_output.py",
                                                                 "get_site_ener.py"}),
                                // Without the outer stage the site energies exist before the polarization
                                // is in them: the polarization files show the stage done.
                                reorg_outer_type == 0 ? results("SE_polarization-e.dat", "SE_polarization-h.dat")
                                                      : results("EL.dat", "EH.dat"),
                                reorg_outer_type == 0 ? std::vector<std::string>{"qcpost_eint.exe", "qcpost_siteen.exe",
                                                                                 "qcpost_polarize.exe"}
                                                      : std::vector<std::string>{"qcpost_eint.exe", "qcpost_siteen.exe"}});
    if (reorg_outer_type != 0)
        study.gather.push_back({"outer-sphere reorganization energies",
                                scripts({"get_RE_outer_ener.py", "merge_RE_outer_lambda_output.py"}),
                                results("reorg_lambda_outer-e.dat", "reorg_lambda_outer-h.dat"),
                                {"qcpost_outer_sphere.exe", "qcpost_polarize.exe"}});
}

}  // namespace krymo
