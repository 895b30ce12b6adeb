// Crystal-structure half of the run object: the unit-cell molecules every later stage reads,
// the crystal file's contents, and the cell geometry.
#pragma once

#include <string>
#include <vector>

#include "structure/elements.h"
#include "structure/site_filter.h"

namespace krymo {

class TextWriter;

// Molecule-file names may carry directories; the copies of the molecules are kept below data/ with
// ".." and a leading "/" dropped, so that nothing is written outside the working directory.
std::string safe_relative_path(const std::string& name);
// True for a path below data/ that the run writes itself (cellvec.dat, config.inp, mol3_bonds.dat, ...).
bool is_own_data_file(const std::string& rel);

// Text columns of the crystal file's atom loop (asymmetric unit, file order).
struct CifAtomColumns {
    std::vector<std::string> label, type_symbol, fract_x, fract_y, fract_z;
    // Read to tell atoms from dummy sites and alternative positions; empty where the file has no column.
    std::vector<std::string> occupancy, calc_flag, disorder_assembly, disorder_group;
};

// Text columns of the crystal file's bond loop; kept for completeness, no stage reads them.
struct CifBondColumns {
    std::vector<std::string> label_1, label_2, distance, site_symmetry_2, bond_type;
};

class FileIO {
public:
    FileIO() = default;
    virtual ~FileIO() = default;

    // --- readers and assembly ---
    // Reads a CIF crystal (called by the settings reader when it meets the `crystal` key).
    void read_data_cif(const std::string& path, bool info);
    // Reads MOL file `path` (V2000 or V3000) into unit-cell molecule `index`.
    void read_data_mol(const std::string& path, int index, bool info);
    // Builds the unit-cell molecules from MOL files or the crystal, finalises the lattice and
    // writes data/cellvec.dat when `cellvec` is set.
    void read_crystal_strcuture_files(bool info, bool cellvec);
    void write_cellvec_file() const;
    // Repairs one molecule (fractional coordinates in place) into a whole one with its centre of
    // mass inside the cell; `id` is the 1-based number used in messages.
    void make_whole_molecule(int id, int natoms, const int* atypes, double* x_s, bool info);

    // --- writers ---
    // The structure files chosen by data_mol_output_level.
    void write_mol_files();
    void write_data_mol(const std::string& path, int natoms, const int* atypes, const double* x) const;
    void write_unitcell_cif(const std::string& path, int nmols, const std::vector<int>& natoms,
                            const std::vector<std::vector<int>>& atypes,
                            const std::vector<std::vector<double>>& x_s) const;
    void write_supercell_cif(const std::string& path, int nmols, const std::vector<int>& natoms,
                             const std::vector<std::vector<int>>& atypes, const std::vector<std::vector<double>>& x_s,
                             int na, int nb, int nc) const;
    // Appends the atom rows of one molecule: label = symbol + (start + j + 1), position
    // (x_s + shift + 1) / divisor per component.
    void write_cif_mol_one(TextWriter& file, int start, int natoms, const int* atypes, const double* x_s,
                           const double shift[3], double divisor, int description) const;

    // --- quantum-chemistry inputs: n atoms, element indices, Cartesian coordinates (3 per atom).
    // The append text is written last, as stored; nodes (and for Q-Chem memory and processes) are
    // not part of the text but kept so that every writer takes the resources of the job. ---
    void write_gau_mol_com_HL(const std::string& path, int n, const int* atypes, const double* x,
                              const std::string& title, const std::string& chk, const std::string& route, int memory,
                              int nodes, int nprocs, const std::string& append) const;
    // With `geom_from_chk` the geometry and guess come from the checkpoint: no atoms, no append text.
    void write_gau_mol_com_RE(const std::string& path, int n, const int* atypes, const double* x,
                              const std::string& title, const std::string& chk, const std::string& charge_mult,
                              const std::string& route, int memory, int nodes, int nprocs, const std::string& append,
                              bool geom_from_chk) const;
    void write_orca_mol_inp_HL(const std::string& path, int n, const int* atypes, const double* x, int memory,
                               int nprocs, const std::string& method, const std::string& basis,
                               const std::string& append) const;
    void write_orca_mol_inp_RE(const std::string& path, int n, const int* atypes, const double* x, int memory,
                               int nprocs, const std::string& charge_mult, const std::string& method,
                               const std::string& basis, const std::string& append) const;
    // Four-point single points of ORCA and Q-Chem: the state of `charge_mult` at another state's
    // optimised geometry. ORCA reads it from the xyz file that state's optimisation left; the Q-Chem
    // input holds the starting atoms, which its job replaces with the optimised ones before the run.
    void write_orca_four_point_inp(const std::string& path, const std::string& geometry_xyz, int memory, int nprocs,
                                   const std::string& charge_mult, const std::string& method,
                                   const std::string& basis, const std::string& append) const;
    void write_qchem_four_point_inp(const std::string& path, int n, const int* atypes, const double* x,
                                    const std::string& charge_mult, const std::string& method,
                                    const std::string& basis, const std::string& append) const;
    void write_qchem_mol_inp_HL(const std::string& path, int n, const int* atypes, const double* x, int memory,
                                int nprocs, const std::string& method, const std::string& basis,
                                const std::string& append) const;
    void write_qchem_mol_inp_RE(const std::string& path, int n, const int* atypes, const double* x, int memory,
                                int nprocs, const std::string& charge_mult, const std::string& method,
                                const std::string& basis, const std::string& append) const;
    // psi4 inputs keep the geometry as written and leave "<stem>.fchk" beside "<stem>.out" (stem: the
    // input's name without folder and extension). The append text goes before the calculation, where
    // psi4 takes its options. An RE input optimises, computes the Hessian and appends it to the fchk
    // file; a four-point input takes its geometry from the fchk file of another state's optimisation.
    void write_psi4_mol_inp_HL(const std::string& path, int n, const int* atypes, const double* x, int memory,
                               const std::string& method, const std::string& basis,
                               const std::string& append) const;
    void write_psi4_mol_inp_RE(const std::string& path, int n, const int* atypes, const double* x, int memory,
                               const std::string& charge_mult, const std::string& method, const std::string& basis,
                               const std::string& append) const;
    void write_psi4_four_point_inp(const std::string& path, const std::string& geometry_fchk, int memory,
                                   const std::string& charge_mult, const std::string& method,
                                   const std::string& basis, const std::string& append) const;

    // --- geometry ---
    // Lattice matrix of six cell parameters into `out`, also stored with its inverse.
    void convert_cell6_to_latt3x3(const double cell6[6], double out[3][3]);
    void coord_f2c(const double frac[3], double cart[3]) const;
    void coord_c2f(const double cart[3], double frac[3]) const;

    // --- accessors ---
    const double* get_cell_latt() const { return cell_latt; }
    void get_cif_lattice_vectors(double a[3], double b[3], double c[3]) const;
    int get_data_mol_output_level() const { return data_mol_output_level; }
    void set_data_mol_output_level(int level) { data_mol_output_level = level; }
    void set_bond_dis_scale(double scale) { bond_dis_scale = scale; }
    const std::string& get_identifier() const { return identifier; }

protected:
    // Drops the atom rows that are not atoms of the structure (dummy sites, occupancy 0, minor
    // disorder groups) and returns what to report about them.
    std::string select_atom_sites(const std::string& path, std::vector<int>& row_lines);
    // Stops the run on a cell that is missing, unreadable or impossible; `line` holds the line of
    // each of the six cell tags, 0 when the file gives none.
    void check_cell(const std::string& path, const int line[6]) const;
    // Listed operations used once each; a warning when they repeat or do not fit the named group.
    void use_distinct_operations(const std::string& path);
    // Stops the run on a cell whose atoms are no whole number of formula units (unless allowed);
    // a warning when the molecules found are not Z formula units.
    void check_formula_units(const std::string& path);
    // Stops the run on an organic cell without hydrogen atoms (unless allowed).
    void check_hydrogens(const std::string& path) const;
    // Operations of a crystal file that lists none: from its space group, else P1 (with a warning).
    void derive_spacegroup_operations(const std::string& path);
    // Cell matrices, unit-cell atoms by symmetry, Cartesian coordinates and molecules.
    void expand_crystal(bool info);
    // The unit-cell and supercell files: na x nb x nc cells, optionally only a thin film of them.
    void write_supercell_block(const std::string& path, int nmols, const std::vector<int>& natoms,
                               const std::vector<std::vector<int>>& atypes, const std::vector<std::vector<double>>& x_s,
                               int na, int nb, int nc, bool film_on, int film_dir, int film_ncell) const;
    // Symmetry operations (x' = R x + t) parsed from the operation texts.
    void ParseTransformString(const std::string& text, double R[3][3], double t[3]) const;
    // Expands the asymmetric unit by every operation and removes overlapping atoms.
    void make_spacegroup_P1(bool fractional);
    // Warnings about distinct sites closer than any bond; `pairs` index the expanded atoms `x_s`,
    // whose atom k * nrows + i is a copy of atom-loop row i.
    std::string close_sites_report(const std::vector<std::pair<int, int>>& pairs, const std::vector<double>& x_s,
                                   int nrows) const;
    // Splits the unit cell into bonded molecules (sep_mol_natoms, sep_mol_atoms).
    void separate_cif_molecules(bool info);

    // --- settings held by the structure part (input keys) ---
    double bond_dis_scale = 1.15;
    int data_mol_output_level = 1;
    DisorderMode disorder_mode = DisorderMode::major;  // which sites of a disordered crystal are atoms
    // Which data block of the crystal file to read (empty: the one holding atom sites), and the
    // checks of the crystal a user who knows better may overrule (each then only warns).
    std::string cif_block;
    bool allow_incomplete_symmetry = false;  // listed operations that do not form a group
    bool allow_formula_mismatch = false;     // a cell whose atoms are no whole number of formula units
    bool allow_missing_hydrogens = false;    // carbon without any hydrogen
    int mol_data_source = -1;          // 1 molecule files, 2 crystal file
    double latt_vectors[3][3] = {{8.098, 0, 0}, {0, 5.953, 0}, {-4.888095, 0, 7.138882}};  // rows a, b, c
    int neighbor_scell[3] = {3, 3, 3};  // -/+ cells of the neighbour search and of the supercell file
    int thinfilm_dir = 0;               // thin film: direction 0-2 and number of unit cells
    int thinfilm_ncell = 0;
    bool thinfilm_flag = false;

    // --- crystal file contents ---
    bool crystal_read = false;
    std::string crystal_file;
    std::string identifier = "krymo";
    std::string chemical_name;
    std::string spacegroup_name;
    std::string spacegroup_hall;   // Hall symbol, used only to derive missing operations
    int spacegroup_number = -1;
    int formula_units_z = 0;       // _cell_formula_units_Z, 0 when not given
    std::string formula_sum;       // _chemical_formula_sum, quotes removed
    std::string formula_moiety;    // _chemical_formula_moiety as written
    std::vector<std::string> spacegroup_ops;
    double cell_latt[6] = {0, 0, 0, 0, 0, 0};
    CifAtomColumns Atoms;
    CifBondColumns Bonds;

    // --- whole unit cell after symmetry expansion ---
    int natoms_cif = 0;
    std::vector<int> cif_atypes;
    std::vector<double> cif_x_s;
    std::vector<double> cif_x;
    std::vector<double> cif_radii;  // only while the crystal file is read
    std::vector<int> cif_rows;      // atom-loop row of each unit-cell atom
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
