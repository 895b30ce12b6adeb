// The settings record of a run: every input key, its default, the environment overrides, the
// reader of the input file and the echo of the settings in force.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "jobs/job_scripts.h"
#include "structure/fileio.h"

namespace krymo {

class KrymoInp : public FileIO, public Jobscript {
public:
    KrymoInp();
    ~KrymoInp() override = default;

    // Defaults of the fields that every read resets.
    void set_varables_default();
    // KRYMO_JOB_SCHED, KRYMO_JOB_QUEUE, KRYMO_QC_EXE, KRYMO_QC_NODES, KRYMO_QC_PPN, KRYMO_MODULE_QC.
    void get_environment_variables();
    // Reads the input file; returns 1 or stops the program through FatalError.
    int read_krymo_inp(const std::string& path, bool info);
    // Writes the settings in force in input syntax; false when the file cannot be opened.
    bool write_krymo_inp(const std::string& name, bool in_data_dir, bool info);

    int get_compute_engine() const { return compute_engine; }
    bool get_read_neighbor_flag() const { return read_neighbor_dat; }
    bool get_moo_flag() const { return use_moo; }
    bool get_input_read() const { return input_read; }
    // A run needs a crystal or molecule files from the input file (status 1 otherwise).
    void require_structure() const;

    // Every input key in reading order, each with its aliases after it.
    static std::vector<std::vector<std::string>> input_keys();

protected:
    struct KeyRule {
        std::vector<const char*> names;  // key first, then its aliases
        std::function<void(const std::string& value)> apply;
    };
    // Hands every key rule in reading order to `visit` until it returns true; the setters name `key`
    // in their messages.
    void visit_key_rules(const std::string& key, bool info, const std::function<bool(const KeyRule&)>& visit);

    void update_unique_flags();
    void load_krymo_inp_file(const std::string& path, std::vector<std::string>& lines);
    // Applies one `key = value` line; returns the key's canonical name.
    std::string apply_setting(const std::string& key, const std::string& value, bool info);
    // Reads the lines of one &transport section from lines[i] up to its closing "/".
    void read_transport_section(const std::vector<std::string>& lines, size_t& i, bool info);
    // Checks that need every setting: products, names and settings that must differ.
    void check_settings_together();
    void read_molecule_list(const std::string& value);
    void read_reorg_outer(const std::string& value);
    void read_thinfilm(const std::string& value);
    // A requested temperature scan needs finite temperatures and a non-zero step (status 1 otherwise).
    void check_temperature_scan();
    // Molecule input: the lattice vectors must span a cell (status 1 otherwise).
    void check_lattice_vectors() const;
    void validate_choice(const std::string& key, const std::string& value, const std::vector<const char*>& allowed,
                         const char* listed);
    [[noreturn]] void reject_value(int line, const std::string& key, const std::string& value,
                                   const std::string& expected);

    std::string input_path = "krymo.inp";  // the file being read, named in messages
    int input_line = 0;                    // line of the setting being read (0: after the read)
    std::string crystal_path;              // the `crystal` key, read once every setting is known
    std::map<std::string, int> setting_lines;  // canonical key -> line that set it last
    // Where a key's value comes from, for messages: "krymo.inp, line 5" or "the default; ... does not set it".
    std::string setting_place(const std::string& key) const;

    // --- workflow stage switches ---
    int do_transport_prepare = 1;
    int do_transport_submit_HL_job = 1;
    int do_transport_get_transferintegral = 1;
    int do_transport_submit_RE_job = 1;
    int do_transport_get_re_evc = 1;
    int do_transport_run_MC = 1;
    int do_transport_get_mob_MC = 1;
    int do_transport_run_MC_temp = 0;
    int do_transport_get_mob_MC_temp = 0;
    int do_transport_run_ME = 0;
    int do_transport_get_mob_ME = 0;
    int do_transport_run_ME_temp = 0;
    int do_transport_get_mob_ME_temp = 0;
    int do_transport_gather_krymo_data = 1;

    // --- quantum chemistry ---
    std::string mater_name;
    int qc_memory = 4096;
    int compute_engine = 1;
    std::string qc_method = "b3lyp";
    std::string qc_method_re = "b3lyp";  // method of the RE jobs (ORCA, Q-Chem, psi4); qc_method unless given
    bool qc_method_re_given = false;
    bool qc_exe_given = false;          // by the key or the environment
    std::string qc_basis = "b3lyp STO-3g";
    std::string qc_basis_re = "b3lyp STO-3g";
    std::string qc_inp_append;  // raw lines of "&gaussian.append" / "&qc_inp_append"

    // --- carriers, temperatures, rates, simulation ---
    std::string chargetype = "a";
    std::string evc_type = "cart";
    bool use_evc_dint = false;
    double start_temp = 200.0, end_temp = 300.0, delta_temp = 50.0;
    double temp = 300.0;
    double maxt = 10000.0;
    std::string ratetype = "quantum";
    int sta = 1;
    double delta_angle = 10.0;
    int nsimu = 20000;  // a limit: the error target mc_error stops earlier
    double tsimu = 1000.0;
    double mc_error = 0.02;        // relative error at which kinetic Monte Carlo stops (0: run nsimu)
    double mc_hops = 1e5;          // hops per trajectory: a trajectory runs that long when shorter than tsimu
    double rate_broadening = 10.0; // meV: least Gaussian width of the quantum rate's energy gap
    double tsnap = 5.0;
    double tstep = 1.0;
    int iterlimit = 100;
    int nevery_out = 10;
    int super_cell[3] = {5, 5, 5};
    double disorder_sigma = 0.0;  // meV: Gaussian static disorder of the site energies (0: none)
    int disorder_cells = 20;      // the disordered supercell holds N x N x N unit cells
    int disorder_seed = 1;        // seed of the site energies
    std::string krymo_dat_file;
    int output_level = 2;
    int output_eigval = 0;
    int lat_site_energy = 0;
    int eckart_mirror = 0;
    std::vector<int> homo_adjustment;
    std::vector<int> lumo_adjustment;
    double app_elec_F[3] = {0, 0, 0};
    bool app_elec_F_flag = false;
    std::vector<double> field_scan;  // V/m along app_elec_F: the master equation's mobility-field table
    bool V_dynamic_disorder = false;
    bool HOMOLUMO_dynamic_disorder = false;

    // --- neighbours and uniqueness ---
    double lattice_cutoff = 4.0;
    bool read_neighbor_dat = false;
    int HL_unique_mol = 1;
    int RE_unique_mol = 1;
    double HL_unique_ctrl_ratio = 0.05;
    bool use_moo = false;
    bool RE_use_neutral_chk = false;
    bool RE_calc_lambda_4P = true;

    // --- outer-sphere reorganization and induced multipoles ---
    std::string reorg_outer_method;
    int reorg_outer_type = 0;  // 0 none, 1 constant, 2 spheres, 3 dielectric
    double reorg_outer_const = 0.0;     // "constant": eV
    double reorg_outer_epsilon = 0.0;   // "spheres" e and "dielectric" e1
    double reorg_outer_cutoff = 0.0;    // "dielectric" e2 x 0.1
    std::vector<double> reorg_outer_radii;  // "spheres" r x 0.1
    int emultipole_induce = 1;
    double emultipole_cutoff = 4.0;
    double emultipole_aDamp = 0.39;
    std::vector<double> emultipole_scale1;
    double emultipole_wSOR_N = 0.75, emultipole_wSOR_C = 0.75;
    int emultipole_maxIter = 512;
    double emultipole_epsTol = 0.001;

    // --- derived ---
    bool HL_unique_uc_mol = true;
    bool HL_unique_nei_mol = true;
    bool HL_unique_pair = true;
    bool RE_unique = true;
    bool input_read = false;
};

}  // namespace krymo
