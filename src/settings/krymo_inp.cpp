#include "settings/krymo_inp.h"

#include <utility>

#include "jobs/schedulers.h"
#include "util/fatal.h"
#include "util/text.h"

#include <cstdlib>

namespace krymo {

KrymoInp::KrymoInp() {
    set_varables_default();
    update_unique_flags();
}

void KrymoInp::set_varables_default() {
    sched_type = "pbs";
    queue_name = "workq";
    qc_nodes = 1;
    qc_ppn = 8;
    qc_memory = 4096;
    qc_method = qc_method_re = "b3lyp";
    qc_method_re_given = false;
    qc_exe_given = false;
    qc_basis = "b3lyp STO-3g";
    qc_basis_re = "b3lyp STO-3g";
    chargetype = "a";
    evc_type = "cart";
    start_temp = 200.0;
    end_temp = 300.0;
    delta_temp = 50.0;
    temp = 300.0;
    maxt = 10000.0;
    ratetype = "quantum";
    sta = 1;
    delta_angle = 10.0;
    nsimu = 20000;
    tsimu = 1000.0;
    mc_error = 0.02;
    mc_hops = 1e5;
    rate_broadening = 10.0;
    tsnap = 5.0;
    tstep = 1.0;
    iterlimit = 100;
    nevery_out = 10;
    super_cell[0] = super_cell[1] = super_cell[2] = 5;
    disorder_sigma = 0.0;
    disorder_cells = 20;
    disorder_seed = 1;
    output_level = 2;
    lat_site_energy = 0;
    eckart_mirror = 0;
    nmols_uc = 0;
    mol_files.clear();
    const double latt[3][3] = {{8.098, 0, 0}, {0, 5.953, 0}, {-4.888095, 0, 7.138882}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) latt_vectors[i][j] = latt[i][j];
    lattice_cutoff = 4.0;
    neighbor_scell[0] = neighbor_scell[1] = neighbor_scell[2] = 3;
    disorder_mode = DisorderMode::major;
    crystal_path.clear();
    cif_block.clear();
    allow_incomplete_symmetry = allow_formula_mismatch = allow_missing_hydrogens = false;
}

void KrymoInp::get_environment_variables() {
    if (const char* v = std::getenv("KRYMO_JOB_SCHED")) {
        if (find_scheduler(v) < 0)
            KRYMO_FATAL_OUT("krymo_inp", 1,
                            format_string("Invalid value of the environment variable KRYMO_JOB_SCHED: \"%s\"\n  "
                                          "expected pbs, slurm, lsf or local (in any case)\n", v));
        sched_type = v;
    }
    if (const char* v = std::getenv("KRYMO_JOB_QUEUE")) queue_name = v;
    if (const char* v = std::getenv("KRYMO_QC_EXE")) {
        qc_exe = v;
        qc_exe_given = true;
    }
    // A mistyped override must not silently become 0 nodes or processes.
    for (auto [name, field] : {std::pair<const char*, int*>{"KRYMO_QC_NODES", &qc_nodes}, {"KRYMO_QC_PPN", &qc_ppn}})
        if (const char* v = std::getenv(name)) {
            int x = 0;
            if (!parse_whole_int(v, x) || x < 1)
                KRYMO_FATAL_OUT("krymo_inp", 1,
                                format_string("Invalid value of the environment variable %s: \"%s\"\n  expected an "
                                              "integer of at least 1\n", name, v));
            *field = x;
        }
    if (const char* v = std::getenv("KRYMO_MODULE_QC")) {
        module_qc = v;
        module_qc_flag = true;
    }
}

void KrymoInp::update_unique_flags() {
    HL_unique_uc_mol = HL_unique_nei_mol = HL_unique_pair = (HL_unique_mol != 0);
    RE_unique = (RE_unique_mol != 0);
}

}  // namespace krymo
