// Test access to the structure part of the run object, and the helpers its tests share.
#pragma once

#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "structure/fileio.h"
#include "test_support.h"
#include "util/text.h"

namespace krymo_test {

struct StructureProbe : krymo::FileIO {
    using FileIO::Atoms, FileIO::Bonds, FileIO::bond_dis_scale, FileIO::cell_latt, FileIO::chemical_name;
    using FileIO::cif_atypes, FileIO::cif_lattice_vectors, FileIO::cif_x, FileIO::cif_x_s, FileIO::natoms_cif;
    using FileIO::mol_atypes, FileIO::mol_data_source, FileIO::mol_files, FileIO::mol_ids, FileIO::mol_natoms;
    using FileIO::mol_x, FileIO::mol_x_s, FileIO::nmols_uc, FileIO::latt_vectors, FileIO::sep_mol_atoms;
    using FileIO::sep_mol_natoms, FileIO::spacegroup_number, FileIO::spacegroup_ops;
    using FileIO::ParseTransformString;
    using FileIO::disorder_mode, FileIO::neighbor_scell, FileIO::thinfilm_dir, FileIO::thinfilm_flag, FileIO::thinfilm_ncell;
    using FileIO::allow_formula_mismatch, FileIO::allow_incomplete_symmetry, FileIO::allow_missing_hydrogens;
    using FileIO::cif_block, FileIO::identifier;
    // The hand-written cells of a few atoms carry no hydrogens; the tests of that rule switch it back.
    StructureProbe() { allow_missing_hydrogens = true; }
};

// Pieces of the hand-written CIF files: a cubic 10 A cell, the identity operation, an atom loop.
inline const std::string kCell =
    "_cell_length_a 10\n_cell_length_b 10\n_cell_length_c 10\n"
    "_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\n";
inline const std::string kP1 = "loop_\n_symmetry_equiv_pos_as_xyz\nx,y,z\n";
inline const std::string kAtomLoop =
    "loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n";

// Writes `text` as t.cif in the current directory and reads it; returns the screen output.
inline std::string read_cif(StructureProbe& p, const std::string& text, bool info = false) {
    write_file("t.cif", text);
    return capture_stdout([&] { p.read_data_cif("t.cif", info); });
}

inline std::string today_stamp() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return krymo::format_string("%4d-%02d-%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
}

}  // namespace krymo_test
