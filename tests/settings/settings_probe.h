// Test access to the settings record.
#pragma once

#include "settings/krymo_inp.h"

struct SettingsProbe : krymo::KrymoInp {
    using KrymoInp::app_elec_F_flag;
    using KrymoInp::chargetype;
    using KrymoInp::compute_engine;
    using KrymoInp::crystal_file;
    using KrymoInp::disorder_mode;
    using KrymoInp::emultipole_scale1;
    using KrymoInp::HL_unique_pair;
    using KrymoInp::HL_unique_uc_mol;
    using KrymoInp::homo_adjustment;
    using KrymoInp::krymo_dat_file;
    using KrymoInp::latt_vectors;
    using KrymoInp::mater_name;
    using KrymoInp::module_mpich2;
    using KrymoInp::module_mpich2_flag;
    using KrymoInp::module_qc;
    using KrymoInp::module_qc_flag;
    using KrymoInp::mol_data_source;
    using KrymoInp::mol_files;
    using KrymoInp::natoms_cif;
    using KrymoInp::nmols_uc;
    using KrymoInp::nodelist;
    using KrymoInp::qc_basis;
    using KrymoInp::qc_basis_re;
    using KrymoInp::qc_exe;
    using KrymoInp::qc_inp_append;
    using KrymoInp::qc_nodes;
    using KrymoInp::qc_ppn;
    using KrymoInp::queue_name;
    using KrymoInp::ratetype;
    using KrymoInp::RE_calc_lambda_4P;
    using KrymoInp::RE_unique;
    using KrymoInp::RE_use_neutral_chk;
    using KrymoInp::read_neighbor_dat;
    using KrymoInp::reorg_outer_cutoff;
    using KrymoInp::reorg_outer_epsilon;
    using KrymoInp::reorg_outer_radii;
    using KrymoInp::reorg_outer_type;
    using KrymoInp::sched_type;
    using KrymoInp::scratch;
    using KrymoInp::thinfilm_dir;
    using KrymoInp::thinfilm_flag;
    using KrymoInp::thinfilm_ncell;
};
