// The run object: one instance holds the whole run; every stage is one of its methods. Each stage
// lives in its own source file of this directory.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "settings/krymo_inp.h"
#include "transport/jobsets/engines.h"
#include "transport/study_record.h"

namespace krymo {

class ImageSearch;

// A root molecule may hold at most NNEIMAX - 1 neighbours; the NNEIMAX-th stops the run.
constexpr int NNEIMAX = 300;

// The first pair (i < j, in index order) of fractional positions closer than the overlap tolerance.
bool find_overlapping_atoms(const std::vector<double>& x_s, int& first, int& second);

// The lumping scripts that merge per-molecule results into one file per carrier.
enum class LumpKind { NormalModes = 0, InternalEnergy, OuterLambda, LambdaEvc };

// Atoms of one quantum-chemistry calculation: element indices and Cartesian coordinates (3 per atom).
struct QcGeometry {
    std::vector<int> types;
    std::vector<double> x;
};

class Transport : public KrymoInp {
public:
    Transport() = default;
    ~Transport() override = default;

    // What the run wrote so far (study_record.cpp): the job sets and stages fill it as they write.
    const StudyRecord& get_study_record() const { return study; }
    // Completes the record with the structure analysed and writes data/study.json.
    void write_study_record();
    // Refuses (status 1) a study whose folders lead outside it through symbolic links; before any write.
    void check_study_folders() const;
    // The first write of a run: notes the fingerprints of the inputs of an earlier run (from its
    // data/study.json, else from the inputs as they are), then marks the study incomplete until
    // write_study_record has stored the new record and moved the outputs of changed inputs aside.
    void begin_study_run();

    void set_openmp_flag(bool on) { openmp_flag = on; }
    bool get_openmp_flag() const { return openmp_flag; }
    void set_trackdir(const std::string& dir) { trackdir = dir; }
    const std::string& get_trackdir() const { return trackdir; }
    bool get_unique_RE_calc_flag() const { return RE_unique; }
    // Any of the three unique-HL flags (unit-cell molecules, neighbour molecules, pairs).
    bool get_unique_HL_calc_flag() const { return HL_unique_uc_mol || HL_unique_nei_mol || HL_unique_pair; }

    // --- post-read treatment and frontier orbitals (post_read.cpp) ---
    void post_data_read_treatment(bool info);
    void calc_x_com();
    void calc_homo();
    void write_H_L_inp();

    // --- neighbour list (neighbor_list.cpp, neighbor_read.cpp) ---
    void build_neighbor_list(bool read_neighbor, bool info);
    // A list without a single pair is no study: stops the run (status 1) naming lattice_cutoff or neighbor.dat.
    void require_neighbor_pairs() const;
    // Refuses, before anything is written, a neighbour search or supercell file too large to finish
    // (about 1e9 molecule pairs or atoms), with the estimate in the message.
    void check_search_size() const;
    int check_if_molecule_within_rcut(int i, int j, const int* cell, double rcut2, double* r2_out) const;
    void allocate_mol_id_indexes_array();
    // The pruned search visits only images whose centre of mass can bring an atom within the cutoff;
    // the straightforward one tests every image. Both give the same list in the same order.
    void set_pruned_neighbor_search(bool on) { pruned_neighbor_search = on; }

    // --- neighbour files and minimum distances (neighbor_output.cpp, neighbor_min_distance.cpp) ---
    void output_neighbor_data();
    void find_neighbor_molecules_min_distance(bool info);
    double found_two_molecules_min_distance(int i, int j, const int* cell) const;

    // --- inertia frames and unique pairs (unique_pairs.cpp) ---
    void calc_uc_mol_moment_one(int n, const int* element, const double* x, int mol);
    void calc_2mol_moment_one(int n, const int* element, const double* x, int root, int entry);
    static void calc_moment_of_inertia(int n, const double* x, const double* mass, double* tensor);
    void calc_HL_uc_mol_eigval_eigvec();
    void calc_HL_2mol_eigval_eigvec_and_unique_pairs();
    int HL_check_unitcell_unique_mols(bool info);

    // --- unique molecules (unique_molecules.cpp) ---
    bool RE_mols_if_the_same(int i, int j) const;
    bool HL_mols_if_the_same(int i, int j) const;
    void RE_check_unitcell_same_mols(bool info);
    // index[j] := index[i] for every pair i < j that `same` calls equal (a later i overwrites).
    // `same` implies equal atom counts and `dims` values per molecule (mass, or the three moments)
    // each within the molecule tolerance.
    void group_same_mols(std::vector<int>& index, bool (Transport::*same)(int, int) const, int dims,
                         const double* values) const;
    // The two report lines of a check: per-molecule indexes, then the distinct representatives.
    static void print_mol_indexes(const std::vector<int>& index);
    static void print_unique_mols(const std::vector<int>& unique, const char* family);
    static std::vector<int> sorted_distinct(std::vector<int> v);

    // --- bond lists (bond_lists.cpp) ---
    void write_mol_bonds_files(bool flag);
    static void load_bonds_data(const std::string& path, std::vector<std::string>& lines);

    // --- ONIOM clusters and overlap-method site files (oniom.cpp, moo.cpp) ---
    void write_oniom_input(bool info);
    void output_moo_pos_data();
    void output_moo_map_xml();
    void write_map_xml_segment(TextWriter& out, const char* prefix, int mol, int natoms, const double* weights,
                               int homo) const;
    // Orientation of unit-cell molecule `mol` (0-based): the inertia eigenvectors as rows, 9 values.
    std::vector<double> moo_orientation(int mol) const;

    // --- quantum-chemistry job sets (jobsets/) ---
    // Every job set of engine `e` for this run: the unique writers where their flags say so.
    void write_qc_job_sets(Engine e);
    // Transfer-integral calculations of one kind, all or only the unique ones, with jobs and runner.
    void write_HL_job_set(Engine e, HlKind kind, bool unique);
    // Reorganization-energy calculations of all or the unique molecules, with jobs and runners.
    void write_RE_job_set(Engine e, bool unique);
    void format_RE_gaussian_job_string(std::string& out, int mol, const char* state, bool formchk) const;
    // With `geometry` (a four-point single point) the job takes the optimised geometry of that state.
    void format_RE_orca_job_string(std::string& out, int mol, const char* state, const char* geometry = nullptr) const;
    void format_RE_qchem_job_string(std::string& out, int mol, const char* state, const char* geometry = nullptr) const;
    void format_RE_psi4_job_string(std::string& out, int mol, const char* state) const;
    void write_RE_gaussian_lambda_4P_com(int mol, const std::string& state, const std::string& charge_mult);

    void write_HL_gaussian_mol_one_gjf_and_job_uc();
    void write_HL_gaussian_mol_one_gjf_and_job_uc_unique();
    void write_HL_gaussian_mol_one_gjf_and_job_nei();
    void write_HL_gaussian_mol_one_gjf_and_job_nei_unique();
    void write_HL_gaussian_2mol_gjf_and_job();
    void write_HL_gaussian_2mol_gif_and_job_unique();
    void write_HL_orca_mol_one_inp_and_job_uc();
    void write_HL_orca_mol_one_inp_and_job_uc_unique();
    void write_HL_orca_mol_one_inp_and_job_nei();
    void write_HL_orca_mol_one_inp_and_job_nei_unique();
    void write_HL_orca_2mol_inp_and_job();
    void write_HL_orca_2mol_inp_and_job_unique();
    void write_HL_qchem_mol_one_inp_and_job_uc();
    void write_HL_qchem_mol_one_inp_and_job_uc_unique();
    void write_HL_qchem_mol_one_inp_and_job_nei();
    void write_HL_qchem_mol_one_inp_and_job_nei_unique();
    void write_HL_qchem_2mol_inp_and_job();
    void write_HL_qchem_2mol_inp_and_job_unique();
    void write_RE_gaussian_mol_gjf_and_job_separated();
    void write_RE_gaussian_mol_gjf_and_job_unique_separated();
    void write_RE_orca_mol_inp_and_job_seperated();
    void write_RE_orca_mol_inp_and_job_unique_seperated();
    void write_RE_qchem_mol_inp_and_job_seperated();
    void write_RE_qchem_mol_inp_and_job_unique_seperated();

    // --- workflow tree and gather scripts (workflow/tree.cpp, workflow/gather_scripts.cpp) ---
    // Every list, script and run directory of the later stages; `verbose` prints a line per group.
    void write_scripts(bool verbose);
    // Molecules whose reorganization jobs run (the representatives with the unique flag), and the
    // molecule whose results stand for molecule m (1-based).
    std::vector<int> RE_molecules() const;
    int RE_representative(int m) const;
    // Extension of the quantum-chemistry outputs the gather tools read: "log", "out", or empty.
    const char* qc_output_ext() const;
    // Four-point single points are written and gathered (the engine has them and the switch is on).
    bool four_point_work() const;
    // Root molecule (0-based) owning the flattened neighbour entry `key`.
    int neighbor_map_key_1d_to_uc_id(int key) const;
    void write_trans_int_files();
    void write_get_transint_py();
    // get_site_ener.py, SE_einternal_files.dat, get_RE_int_ener.py, get_RE_outer_ener.py with their jobs.
    void write_site_energy_scripts();
    void write_copy_neutral_chk_files_py();
    void write_copy_RE_lambda_4P_files_py();
    void write_RE_lambda_4P_list(bool hole);
    void write_get_RE_lambda_4P_py();
    void write_lumping_script(LumpKind kind);
    void write_merge_evc_NM_output_py();
    void write_merge_RE_int_ener_output_py();
    void write_merge_RE_outer_lambda_output_py();
    void write_get_RE_lambda_evc_py();

    // --- workflow: output checker scripts (workflow/checker_scripts.cpp) ---
    // Fixed scripts in the scripts directory: the job scripts skip a run whose output already shows a
    // normal end, and Q-Chem's ".FChk" files are renamed to the ".fchk" the later tools read.
    void write_gaussian_log_check_py_file();
    void write_orca_out_check_py_file();
    void write_qchem_out_check_py_file();
    void write_qchem_fchk_ext_lowercase_py_file();
    void write_psi4_out_check_py_file();
    // Puts the optimised geometry of a Q-Chem output into a four-point input before its run.
    void write_qchem_opt_geometry_py_file();

    // --- workflow: normal-mode preparation (workflow/evc_scripts.cpp) ---
    // The named writers visit every molecule (plain) or the representatives of RE_unique_mols (unique).
    void write_evc_inp_files();
    void write_evc_inp_files_unique();
    // `name` (prepare_RE.py) and run_RE.py in the scripts directory, the work tree evc/mol<m>/<carrier>
    // and one normal-mode job script in each work directory.
    void write_prepare_evc_files(const char* name);
    void write_prepare_evc_files_unique(const char* name);
    // `name` (get_RE.py): reorganization energies and normal modes of each work directory, copied to data_dir.
    void write_get_re_py_file(const char* name);
    void write_get_re_py_file_unique(const char* name);
    // The writers behind the named ones: 1-based molecule numbers, in the order visited.
    void write_evc_inp_files_of(const std::vector<int>& mols);
    void write_prepare_evc_files_of(const char* name, const std::vector<int>& mols, bool unique);
    void write_get_re_py_file_of(const char* name, const std::vector<int>& mols);

    // --- workflow: mobility run scripts (workflow/mobility_scripts.cpp) ---
    // The MC and ME run directories that the eight mobility switches ask for, single and temperature
    // scan, each with its scripts and job scripts (steps 16 and 17 of the workflow tree). `verbose`
    // prints the progress lines "Writting MC files..." and "Writting ME files..." before each stage.
    void write_mobility_dirs(bool verbose = false);
    // One carrier (0 electron, 1 hole) of an MC run below `dir`; `root` leads from the carrier
    // directory back to the work directory; a non-zero `temp_flag` adds "temp.inp" with `temp`.
    void write_run_scripts_MC(const char* dir, const char* root, int carrier, int temp_flag, double temp);
    void write_run_scripts_ME(const char* dir, const char* root, int carrier);
    // One temperature directory `dir` of the ME scan (no carrier level below it).
    void write_run_scripts_ME_TD(const char* dir, const char* root, int carrier, int temp_flag, double temp);
    // "get_mob.py" in `dir`: copies each carrier's ME result, or tabulates the scan against temperature.
    void write_get_mob_py_ME(const char* dir);
    void write_get_mob_py_ME_TD(const char* dir);
    void write_get_mob_py_MC_TD(const char* dir);  // Monte Carlo scan: the mobility with its error
    void write_scan_collector(const char* dir, bool monte_carlo);
    // Temperatures of a scan: start_temp + k * delta_temp for k < scan_temperature_count().
    int scan_temperature_count() const;
    double scan_temperature(int k) const { return start_temp + k * delta_temp; }
    struct MobilityRun;  // what the MC, ME and ME-scan run directories differ in
    void write_mobility_run(const MobilityRun& run, const char* dir, const char* root, int carrier, int temp_flag,
                            double temp);


    // --- end of workflow ---

protected:
    bool openmp_flag = true;

    // --- workflow directories below the work directory ---
    std::string hl_dir = "HL";
    std::string re_dir = "RE";
    std::string scr_dir = "scr";
    std::string run_dir = "RUN";
    std::string check_dir = "check";
    std::string trackdir = "track";
    // Fingerprint of each quantum-chemistry input before this run rewrote it, by path (begin_study_run).
    std::map<std::string, std::string> previous_inputs;
    // Moves the outputs and error marker of `job`, whose input changed, below study.stale_dir.
    void move_stale_outputs(const StudyJob& job);

    // --- post-read state ---
    char carrier_letter = 'a';  // lower-cased first character of chargetype
    // Electron work for 'e' and 'a', hole work for 'h' and 'a'; electrons always come first.
    bool electron_work() const { return carrier_letter == 'e' || carrier_letter == 'a'; }
    bool hole_work() const { return carrier_letter == 'h' || carrier_letter == 'a'; }
    bool com_ready = false;     // mol_mass, mol_com_s, mol_com filled
    bool homo_ready = false;
    std::vector<int> homo_index;  // 1-based HOMO number per unit-cell molecule

    // --- neighbour list: per root molecule, entries in list order ---
    bool neighbor_built = false;
    bool pruned_neighbor_search = true;
    std::vector<int> nnei;
    std::vector<std::vector<int>> nei_mol_ids;   // neighbour molecule, 0-based
    std::vector<std::vector<int>> nei_cindex;    // cell index a, b, c per entry
    std::vector<std::vector<double>> nei_com_x;  // Cartesian centre of mass of the image, 3 per entry

    // --- inertia frames ---
    std::vector<double> mol_eigvec;                // 9 per unit-cell molecule, eigenvectors one after the other
    std::vector<std::vector<double>> pair_eigval;  // per root, 3 per entry
    std::vector<std::vector<double>> pair_eigvec;  // per root, 9 per entry

    // --- unique maps and lists ---
    std::vector<int> HL_pair_index;    // 0-based representative of each global pair
    std::vector<int> HL_unique_pairs;  // 1-based global pair numbers, ascending
    int HL_nunique_pairs = 0;
    std::vector<int> HL_uc_mol_index;  // 1-based representative molecule
    std::vector<int> HL_unique_mols;   // 1-based, ascending
    int HL_nunique = 0;
    std::vector<std::vector<int>> HL_nei_mol_index;  // per root, 1..nnei
    std::vector<int> RE_uc_mol_index;  // 1-based representative molecule
    std::vector<int> RE_unique_mols;   // 1-based, ascending
    int RE_nunique = 0;

    // Pairs counted root by root: pair_start[i] pairs belong to the roots before root i; the last of
    // the nmols_uc + 1 entries is the total. Filled with the neighbour list.
    std::vector<int> pair_start;
    // Global pair number (1-based) of entry k (1-based) of root i (0-based).
    int global_pair_number(int i, int k) const { return pair_start[i] + k; }
    // The root (0-based) whose entries hold global pair number gp (1-based).
    int pair_root(int gp) const;
    // Total number of pairs.
    int total_pairs() const { return pair_start.empty() ? 0 : pair_start.back(); }

private:
    StudyRecord study;
    // A new job set of the record, with the resources and array mode of this run.
    StudyJobSet& begin_study_job_set(const char* key, const char* title, const std::string& runner);
    void record_gather_stages();
    // A mobility run folder of the record: its scripts and the result that shows it done.
    void record_mobility_run(const std::string& dir, std::initializer_list<const char*> scripts, const char* result);

    // Atoms of molecule `mol` (0-based) shifted by `cell` (null: none), appended to `g`.
    void append_image(int mol, const int* cell, QcGeometry& g) const;
    void write_HL_input(Engine e, const std::string& name, const std::string& title, const QcGeometry& g) const;
    void write_RE_input(Engine e, int mol, const char* state, const char* charge_mult, bool geom_from_chk) const;
    // `geometry`: the state whose optimised geometry a four-point single point takes (else null).
    std::string RE_job_body(Engine e, int mol, const char* state, const char* geometry = nullptr) const;
    void write_RE_four_point_input(Engine e, int mol, const char* state, const char* charge_mult,
                                   const char* geometry);
    void write_chk_copy_script(bool four_point);

    void compute_neighbor_list();
    // check_if_molecule_within_rcut, skipping the root atoms that `search` (if any) shows out of reach.
    int atoms_within_rcut(int i, int j, const int* cell, double rcut2, double* r2_out,
                          const ImageSearch* search) const;
    // found_two_molecules_min_distance, exact when below the cutoff; above it, with a search, only
    // known to be above it.
    double min_distance(int i, int j, const int* cell, const ImageSearch* search) const;
    void read_neighbor_list();
    void finish_neighbor_list();
};

}  // namespace krymo
