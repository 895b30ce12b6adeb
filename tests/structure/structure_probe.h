// Test access to the structure part of the run object.
#pragma once

#include <ctime>
#include <string>

#include "structure/fileio.h"
#include "util/text.h"

namespace krymo_test {

struct StructureProbe : krymo::FileIO {
    using FileIO::Atoms;
    using FileIO::Bonds;
    using FileIO::bond_dis_scale;
    using FileIO::cell_latt;
    using FileIO::chemical_name;
    using FileIO::cif_atypes;
    using FileIO::cif_lattice_vectors;
    using FileIO::cif_x;
    using FileIO::cif_x_s;
    using FileIO::identifier;
    using FileIO::latt_matrix_inv;
    using FileIO::latt_vectors;
    using FileIO::mol_atypes;
    using FileIO::mol_data_source;
    using FileIO::mol_files;
    using FileIO::mol_ids;
    using FileIO::mol_natoms;
    using FileIO::mol_x;
    using FileIO::mol_x_s;
    using FileIO::natoms_cif;
    using FileIO::nmols_uc;
    using FileIO::ParseTransformString;
    using FileIO::sep_mol_atoms;
    using FileIO::sep_mol_natoms;
    using FileIO::spacegroup_name;
    using FileIO::spacegroup_number;
    using FileIO::spacegroup_ops;

    // Supercell layout as the settings would give it.
    int scell[3] = {3, 3, 3};
    bool film_on = false;
    int film_dir = 0, film_ncell = 0;
    void supercell_layout(int n[3], int& dir, int& ncell, bool& on) const override {
        for (int k = 0; k < 3; ++k) n[k] = scell[k];
        dir = film_dir;
        ncell = film_ncell;
        on = film_on;
    }
};

inline std::string today_stamp() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return krymo::format_string("%4d-%02d-%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
}

}  // namespace krymo_test
