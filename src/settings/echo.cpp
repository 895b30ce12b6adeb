// The echo file: the settings in force, written in the input syntax so it can be read back.
#include <cstdio>

#include "settings/krymo_inp.h"
#include "util/files.h"
#include "util/text.h"

namespace krymo {

namespace {
std::string R(double v) { return stream_real(v); }
std::string I(int v) { return format_string("%d", v); }
std::string F(bool v) { return v ? "1" : "0"; }

template <typename T>
std::string list_text(const std::vector<T>& list) {
    std::string s;
    for (const T& v : list) {
        s += ' ';
        if constexpr (std::is_same<T, int>::value)
            s += I(v);
        else
            s += R(v);
    }
    return s;
}
}  // namespace

bool KrymoInp::write_krymo_inp(const std::string& name, bool in_data_dir, bool info) {
    std::string path = name;
    if (in_data_dir) {
        create_directory(data_dir);
        path = format_string("%s/%s", data_dir.c_str(), name.c_str());
    }
    if (info) std::printf("Writing config file \"%s\"... \n", path.c_str());
    TextWriter w(path);
    if (!w.is_open()) return false;

    w.line("&transport");
    const std::pair<const char*, int> switches[] = {
        {"do_transport_prepare", do_transport_prepare},
        {"do_transport_submit_HL_job", do_transport_submit_HL_job},
        {"do_transport_get_transferintegral", do_transport_get_transferintegral},
        {"do_transport_submit_RE_job", do_transport_submit_RE_job},
        {"do_transport_get_re_evc", do_transport_get_re_evc},
        {"do_transport_run_MC", do_transport_run_MC},
        {"do_transport_get_mob_MC", do_transport_get_mob_MC},
        {"do_transport_run_MC_temp", do_transport_run_MC_temp},
        {"do_transport_get_mob_MC_temp", do_transport_get_mob_MC_temp},
        {"do_transport_run_ME", do_transport_run_ME},
        {"do_transport_get_mob_ME", do_transport_get_mob_ME},
        {"do_transport_run_ME_temp", do_transport_run_ME_temp},
        {"do_transport_get_mob_ME_temp", do_transport_get_mob_ME_temp},
        {"do_transport_gather_krymo_data", do_transport_gather_krymo_data},
    };
    for (const auto& s : switches) w.line(format_string("  %-34s= %d", s.first, s.second));
    w.line();
    w.line("  # Job Scheduling");
    w.line("  sched_type      = " + sched_type + "    ! pbs, slurm, lsf, or local");
    w.line("  queue_name      = " + queue_name);
    w.line("  nodelist        = \"" + nodelist + "\"");
    w.line("  sched_job_array = " + F(sched_job_array));
    w.line("  job_slot_limit  = " + I(job_slot_limit) + "     ! 0 means no limit");
    w.line("  job_walltime    = " + I(job_walltime) + "  ! hours");
    w.line();
    w.line("  qc_method       = " + qc_method);
    w.line("  qc_method_re    = " + qc_method_re);
    w.line("  qc_basis        = " + qc_basis);
    w.line("  qc_basis_re     = " + qc_basis_re);
    w.line("  qc_memory       = " + I(qc_memory) + "  ! MB");
    w.line("  qc_nodes        = " + I(qc_nodes));
    w.line("  qc_ppn          = " + I(qc_ppn));
    w.line();
    w.line("  compute_engine  = " + I(compute_engine) + "     ! 1 = Gaussian, 2 = ORCA, 3 = QCHEM, 4 = psi4");
    w.line("  qc_exe          = " + qc_exe);
    w.line();
    w.line("  scratch         = " + scratch + "    ! use local disk for performance");
    w.line();
    if (module_qc_flag) {
        w.line("  module_qc       = " + module_qc + "    ! module load gaussian/g09.e01");
        if (!module_mpich2_flag) w.line();
    }
    w.line("  # Temperature Dependence");
    w.line("  start_temp      = " + R(start_temp));
    w.line("  end_temp        = " + R(end_temp));
    w.line("  delta_temp      = " + R(delta_temp));
    w.line();
    w.line("  chargetype      = " + chargetype + "     ! e:electron, h:hole or a:all");
    w.line("  evc_type        = " + evc_type + "  ! cart or int");
    w.line("  use_evc_dint    = " + F(use_evc_dint) + "     ! default 0 to use evc.cart.dat");
    w.line();
    const char* vec_keys[3] = {"  vector_a        = ", "  vector_b        = ", "  vector_c        = "};
    for (int i = 0; i < 3; ++i)
        w.line(vec_keys[i] +
               format_string("%12.6f %12.6f %12.6f", latt_vectors[i][0], latt_vectors[i][1], latt_vectors[i][2]));
    w.line();
    w.line("  lattice_cutoff  = " + R(lattice_cutoff) + "  ! for neighbor list construction");
    w.line("  neighbor_scell  = " + format_string("%d %d %d  ! -/+ this value for neighbor search cells",
                                                  neighbor_scell[0], neighbor_scell[1], neighbor_scell[2]));
    w.line();
    w.line("  super_cell      = " + format_string("%d %d %d", super_cell[0], super_cell[1], super_cell[2]));
    w.line();
    switch (reorg_outer_type) {
        case 1: w.line("  reorg_outer     = constant " + R(reorg_outer_const) + "    !  in eV"); break;
        case 2: {
            std::string s = "  reorg_outer     = spheres " + R(reorg_outer_epsilon);
            for (double r : reorg_outer_radii) s += " " + R(r * 10);
            w.line(s + "    ! radius in Angstroms");
            break;
        }
        case 3:
            w.line("  reorg_outer     = dielectric " + R(reorg_outer_epsilon) + " " + R(reorg_outer_cutoff * 10) +
                   "    ! cutoff in Angstroms");
            break;
        default: w.line("  # reorg_outer     = spheres 0.1 3.4 4.2"); break;
    }
    w.line();
    // Without lattice site energies the whole block is written as comments; the two forms differ
    // only in the "# " and in the padding before each remark.
    const bool active = lat_site_energy != 0;
    const std::string lead = active ? "  " : "  # ";
    w.line(lead + "lat_site_energy = " + I(lat_site_energy) + "  ! if calculate lattice site energy");
    w.line();
    struct MultipoleLine {
        const char* key;  // key with its padding
        std::string value;
        const char* active_remark;
        const char* commented_remark;
    };
    const MultipoleLine multipole[] = {
        {"emultipole_induce  = ", I(emultipole_induce), "      ! default to 1 (true)", "  ! default to 1"},
        {"emultipole_cutoff  = ", R(emultipole_cutoff), "      ! default to 4.0", "  ! default to 4.0"},
        {"emultipole_aDamp   = ", R(emultipole_aDamp), "   ! default to 0.39", "  ! default to 0.39"},
        {"emultipole_scale1 =", list_text(emultipole_scale1), "", ""},
        {"emultipole_wSOR_N  = ", R(emultipole_wSOR_N), "   ! default to 0.75", "  ! default to 0.75"},
        {"emultipole_wSOR_C  = ", R(emultipole_wSOR_C), "   ! default to 0.75", "  ! default to 0.75"},
        {"emultipole_maxIter = ", I(emultipole_maxIter), "    ! default to 512", "   ! default to 512"},
        {"emultipole_epsTol  = ", R(emultipole_epsTol), "  ! default to 0.001", "  ! default to 0.001"},
    };
    for (const MultipoleLine& m : multipole) {
        if (m.value.empty()) continue;  // the scale list is written only when given
        w.line(lead + m.key + m.value + (active ? m.active_remark : m.commented_remark));
    }
    w.line();
    w.line("  krymo_dat_file  = " + krymo_dat_file + "  ! default to krymo-ratetype.dat");
    w.line("  output_level    = " + I(output_level) + "          ! bit-wise setting: 0-base, 2-mob_all");
    w.line();
    w.line("  eckart_mirror   = " + I(eckart_mirror));
    w.line();
    w.line("  delta_angle     = " + R(delta_angle));
    w.line();
    w.line("  # Femi Golden Rule");
    w.line("  temp            = " + R(temp));
    w.line("  maxt            = " + R(maxt));
    w.line("  ratetype        = " + ratetype + "  ! marcus, quantum");
    w.line("  sta             = " + I(sta) + "  ! short-time approximation");
    w.line("  rate_broadening = " + R(rate_broadening) + "  ! meV, least gap width of the time integral");
    w.line();
    w.line("  # MC");
    w.line("  nsimu           = " + I(nsimu));
    w.line("  tsimu           = " + R(tsimu) + "  ! in ns");
    w.line("  tsnap           = " + R(tsnap));
    w.line("  mc_error        = " + R(mc_error) + "  ! relative error at which trajectories stop");
    w.line("  mc_hops         = " + R(mc_hops) + "  ! hops per trajectory, when shorter than tsimu");
    w.line();
    w.line("  # ME");
    w.line("  iterlimit       = " + I(iterlimit));
    w.line("  nevery_out      = " + I(nevery_out));
    w.line();
    w.line("  # static disorder (MC and ME)");
    w.line("  disorder_sigma  = " + R(disorder_sigma) + "  ! meV, Gaussian site energies; 0: none");
    w.line("  disorder_cells  = " + I(disorder_cells) + "  ! supercell of N x N x N cells");
    w.line("  disorder_seed   = " + I(disorder_seed));
    w.line();
    w.line("  bond_dis_scale       = " + R(bond_dis_scale) + "  ! distance scale for separating molecules");
    w.line("  HL_unique_ctrl_ratio = " + R(HL_unique_ctrl_ratio) + "  ! eigenvalue diff ratio for judging unique dipoles");
    w.line("  read_neighbor_dat    = " + F(read_neighbor_dat) + "     ! readin neighbor.dat");
    w.line();
    if (!homo_adjustment.empty())
        w.line("  homo_adjustment =" + list_text(homo_adjustment));
    else
        w.line("  # homo_adjustment = 0 0...   ! nmols_uc values");
    if (!lumo_adjustment.empty())
        w.line("  lumo_adjustment =" + list_text(lumo_adjustment));
    else
        w.line("  # lumo_adjustment = 0 0...   ! nmols_uc values");
    w.line();
    w.line("  # applied electric field (Fx, Fy, FZ) along vector a, b, and c.");
    if (app_elec_F_flag)
        w.line("  app_elec_F      = " + format_string("%10.3g %10.3g %10.3g    ! in eV/m", app_elec_F[0], app_elec_F[1],
                                                      app_elec_F[2]));
    else
        w.line("  # app_elec_F      = 1e7 0.0 0.0    ! in eV/m");
    if (!field_scan.empty()) w.line("  field_scan      =" + list_text(field_scan) + "  ! V/m along app_elec_F");
    w.line();
    if (thinfilm_flag)
        w.line("  thinfilm          = " + format_string("%d %d", thinfilm_dir, thinfilm_ncell));
    else
        w.line("  # thinfilm        = 0 1      ! dir nUnitcell");
    w.line();
    w.line("  # unique mol flags");
    w.line("  HL_unique_mol      = " + I(HL_unique_mol));
    w.line("  use_moo            = " + F(use_moo));
    w.line();
    w.line("  RE_unique_mol      = " + I(RE_unique_mol));
    w.line("  RE_use_neutral_chk = " + F(RE_use_neutral_chk));
    w.line("  RE_calc_lambda_4P  = " + F(RE_calc_lambda_4P));
    w.line();
    w.line("  V_dynamic_disorder = " + F(V_dynamic_disorder));
    w.line("  HOMOLUMO_dynamic_disorder = " + F(HOMOLUMO_dynamic_disorder));
    w.line();
    w.line("  data_mol_output_level = " + I(data_mol_output_level));
    w.line("  output_eigval         = " + I(output_eigval));
    w.line();
    if (mol_data_source == 1) {
        std::string s = "  molecule           = " + I(static_cast<int>(mol_files.size()));
        for (const std::string& f : mol_files) s += " " + f;
        w.line(s);
    } else if (mol_data_source == 2) {
        w.line(std::string("  disorder           = ") + disorder_mode_name(disorder_mode) +
               "    ! major or all sites of disordered parts");
        // Only when given: the echo of a study that needs none of them stays as it was.
        if (!cif_block.empty()) w.line("  cif_block          = " + cif_block);
        const std::pair<const char*, bool> allowed[] = {{"allow_incomplete_symmetry", allow_incomplete_symmetry},
                                                        {"allow_formula_mismatch", allow_formula_mismatch},
                                                        {"allow_missing_hydrogens", allow_missing_hydrogens}};
        for (const auto& [key, on] : allowed)
            if (on) w.line(format_string("  %-18s = 1", key));
        w.line("  crystal            = " + crystal_file);
    }
    w.line("/");
    return w.close();
}

}  // namespace krymo
