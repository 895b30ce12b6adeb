// Crystal-structure half of the run object: the unit-cell molecules every later stage reads,
// the crystal file's contents, and the cell geometry.
#pragma once

#include <string>
#include <vector>

namespace krymo {

class FileIO {
public:
    FileIO() = default;
    virtual ~FileIO() = default;

    // Reads a CIF crystal (called by the settings reader when it meets the `crystal` key).
    void read_data_cif(const std::string& path, bool info);

    int get_data_mol_output_level() const { return data_mol_output_level; }
    void set_data_mol_output_level(int level) { data_mol_output_level = level; }
    void set_bond_dis_scale(double scale) { bond_dis_scale = scale; }
    const std::string& get_identifier() const { return identifier; }

protected:
    // --- settings held by the structure part (input keys) ---
    double bond_dis_scale = 1.15;
    int data_mol_output_level = 1;
    int mol_data_source = -1;          // 1 molecule files, 2 crystal file
    double latt_vectors[3][3] = {{8.098, 0, 0}, {0, 5.953, 0}, {-4.888095, 0, 7.138882}};  // rows a, b, c

    // --- crystal file contents ---
    bool crystal_read = false;
    std::string crystal_file;
    std::string identifier = "krymo";
    std::string chemical_name;
    std::string spacegroup_name;
    int spacegroup_number = -1;
    std::vector<std::string> spacegroup_ops;
    double cell_latt[6] = {0, 0, 0, 0, 0, 0};

    // --- whole unit cell after symmetry expansion ---
    int natoms_cif = 0;
    std::vector<int> cif_atypes;
    std::vector<double> cif_x_s;
    std::vector<double> cif_x;
    std::vector<int> sep_mol_natoms;
    std::vector<int> sep_mol_atoms;

    // --- cell geometry ---
    double cif_lattice_vectors[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};  // columns a, b, c
    double latt_matrix_inv[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
    double latt_lengths[3] = {0, 0, 0};

    // --- unit-cell molecules ---
    std::string data_dir = "data";
    int nmols_uc = 0;
    std::vector<std::string> mol_files;
    std::vector<int> mol_natoms;
    std::vector<std::vector<int>> mol_atypes;
    std::vector<std::vector<double>> mol_x;
    std::vector<std::vector<double>> mol_x_s;
    std::vector<int> mol_ids;
    std::vector<double> mol_com;    // 3 per molecule
    std::vector<double> mol_com_s;  // 3 per molecule
    std::vector<double> mol_mass;
    std::vector<double> mol_moments;  // 3 per molecule
};

}  // namespace krymo
