// The run object: one instance holds the whole run; every stage is one of its methods. Each stage
// lives in its own source file of this directory.
#pragma once

#include <string>
#include <vector>

#include "settings/krymo_inp.h"

namespace krymo {

class ImageSearch;

// A root molecule may hold at most NNEIMAX - 1 neighbours; the NNEIMAX-th stops the run.
constexpr int NNEIMAX = 300;

class Transport : public KrymoInp {
public:
    Transport() = default;
    ~Transport() override = default;

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
    void calc_uc_mol_moment_and_rotate_x_one(int n, const int* element, const double* x, double* x_out, int mol);
    void calc_2mol_moment_and_rotate_x_one(int n, const int* element, const double* x, double* x_out, int root,
                                           int entry);
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

protected:
    bool openmp_flag = true;
    std::string trackdir = "track";

    // --- post-read state ---
    char carrier_letter = 'a';  // lower-cased first character of chargetype
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
