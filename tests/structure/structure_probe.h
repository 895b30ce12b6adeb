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
    using FileIO::cif_atypes, FileIO::cif_x, FileIO::cif_x_s, FileIO::natoms_cif, FileIO::mol_atypes;
    using FileIO::mol_data_source, FileIO::mol_files, FileIO::mol_natoms, FileIO::mol_x, FileIO::mol_x_s;
    using FileIO::nmols_uc, FileIO::latt_vectors, FileIO::sep_mol_atoms, FileIO::sep_mol_natoms;
    using FileIO::spacegroup_number, FileIO::spacegroup_ops, FileIO::disorder_mode;
    using FileIO::neighbor_scell, FileIO::thinfilm_dir, FileIO::thinfilm_flag, FileIO::thinfilm_ncell;
    using FileIO::allow_formula_mismatch, FileIO::allow_incomplete_symmetry, FileIO::allow_missing_hydrogens;
    using FileIO::cif_block, FileIO::identifier;
    // The hand-written cells of a few atoms carry no hydrogens; the tests of that rule switch it back.
    StructureProbe() { allow_missing_hydrogens = true; }
};

// Writes `text` as t.cif in the current directory and reads it; returns the screen output.
inline std::string read_cif(StructureProbe& p, const std::string& text, bool info = false) {
    write_file("t.cif", text);
    return capture_stdout([&] { p.read_data_cif("t.cif", info); });
}

// The whole reading of a CIF text: the screen (or the error that stopped the read), the tags kept,
// the operations, the asymmetric unit, the cell's atoms (element, fractional, Cartesian) and molecules.
inline std::string described_cif(StructureProbe& p, const std::string& text) {
    using krymo::format_string;
    std::string out;
    try {
        out = read_cif(p, text, true);
    } catch (const krymo::FatalError& e) {
        return format_string("stopped (%s, status %d):\n", e.unit.c_str(), e.status) + e.out_text + e.err_text;
    }
    out += format_string("block '%s', name '%s', space group %d, cell", p.identifier.c_str(), p.chemical_name.c_str(),
                         p.spacegroup_number);
    for (double v : p.cell_latt) out += format_string(" %g", v);
    out += "\noperations:";
    for (const std::string& op : p.spacegroup_ops) out += " " + op;
    out += "\nbonds:";
    for (size_t i = 0; i < p.Bonds.label_1.size(); ++i)
        out += " " + p.Bonds.label_1[i] + "-" + p.Bonds.label_2[i] + " " + p.Bonds.site_symmetry_2[i];
    out += "\nsites:";
    for (const std::string& label : p.Atoms.label) out += " " + label;
    out += format_string("\n%d atoms:\n", p.natoms_cif);
    for (int i = 0; i < p.natoms_cif; ++i) {
        const double* s = &p.cif_x_s[3 * i];
        const double* c = &p.cif_x[3 * i];
        out += format_string("  %3d %9.6f %9.6f %9.6f  %10.6f %10.6f %10.6f\n", p.cif_atypes[i], s[0], s[1], s[2],
                             c[0], c[1], c[2]);
    }
    out += "molecules:";
    for (size_t m = 0, o = 0; m < p.sep_mol_natoms.size(); o += p.sep_mol_natoms[m++]) {
        out += " (";
        for (int j = 0; j < p.sep_mol_natoms[m]; ++j) out += format_string(j ? " %d" : "%d", p.sep_mol_atoms[o + j]);
        out += ")";
    }
    return out + "\n";
}

inline std::string today_stamp() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return krymo::format_string("%4d-%02d-%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
}

}  // namespace krymo_test
