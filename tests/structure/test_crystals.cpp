// Every real crystal of the test data: counts from independent tools, whole molecules, centres in
// the cell, and the fast searches equal to the straightforward ones.
#include <gtest/gtest.h>

#include <cstdlib>
#include <numeric>

#include "structure/cell_search.h"
#include "structure/fileio.h"
#include "structure/spacegroups.h"
#include "structure/symop.h"
#include "structure_reference.h"
#include "test_support.h"

using namespace krymo;

namespace {

struct Crystal : FileIO {
    using FileIO::Atoms;
    using FileIO::bond_dis_scale;
    using FileIO::cif_atypes;
    using FileIO::cif_lattice_vectors;
    using FileIO::cif_x_s;
    using FileIO::mol_atypes;
    using FileIO::mol_data_source;
    using FileIO::mol_natoms;
    using FileIO::mol_x;
    using FileIO::mol_x_s;
    using FileIO::natoms_cif;
    using FileIO::nmols_uc;
    using FileIO::sep_mol_atoms;
    using FileIO::sep_mol_natoms;
    using FileIO::spacegroup_ops;
};

struct Expected {
    const char* file;
    int natoms_cell, nmols, atoms_per_mol;
};

const Expected kCrystals[] = {
    {"benzene.cif", 48, 4, 12},
    {"naphthalene.cif", 36, 2, 18},
    {"quinacridone_beta.cif", 72, 2, 36},
    {"thioquinacridone.cif", 72, 2, 36},
    {"tipge_pentacene_hb.cif", 400, 4, 100},
    {"tipge_pentacene_ss.cif", 100, 1, 100},
    {"cl4_tips_pentacene.cif", 200, 2, 100},
    {"ibuprofen.cif", 132, 4, 33},
    {"paracetamol_form1.cif", 80, 4, 20},
    {"androstenetrione_diester_zprime2.cif", 496, 8, 62},
    {"iodo_tamoxifen_analogue.cif", 488, 8, 61},
};

class RealCrystal : public ::testing::TestWithParam<Expected> {
protected:
    // Without the space-group database a file that only names its space group stops clearly.
    bool needs_database_and_lacks_it() {
        if (spacegroup_database_available() || std::string(GetParam().file) != "thioquinacridone.cif") return false;
        Crystal c;
        const FatalError e = krymo_test::expect_fatal(
            [&] { c.read_data_cif(krymo_test::data_path("crystals/thioquinacridone.cif"), false); });
        EXPECT_NE(e.out_text.find("no space-group database"), std::string::npos);
        return true;
    }
};

// Connected by plain Cartesian bonds (no periodic images) with the repair's radii.
bool whole(const std::vector<int>& at, const std::vector<double>& x, double scale) {
    const int n = static_cast<int>(at.size());
    std::vector<char> seen(n, 0);
    std::vector<int> stack{0};
    seen[0] = 1;
    int count = 1;
    while (!stack.empty()) {
        const int i = stack.back();
        stack.pop_back();
        for (int j = 0; j < n; ++j) {
            if (seen[j]) continue;
            double d2 = 0;
            for (int k = 0; k < 3; ++k) d2 += (x[3 * i + k] - x[3 * j + k]) * (x[3 * i + k] - x[3 * j + k]);
            const double s = (find_element_radius_from_index(at[i]) + find_element_radius_from_index(at[j])) * scale;
            if (s * s > d2) {
                seen[j] = 1;
                ++count;
                stack.push_back(j);
            }
        }
    }
    return count == n;
}

}  // namespace

TEST_P(RealCrystal, WholeMoleculesWithIndependentCounts) {
    const Expected e = GetParam();
    if (needs_database_and_lacks_it()) return;
    krymo_test::ScopedStudyDir dir;
    Crystal c;
    c.read_data_cif(krymo_test::data_path(std::string("crystals/") + e.file), false);
    EXPECT_EQ(c.natoms_cif, e.natoms_cell);
    ASSERT_EQ(static_cast<int>(c.sep_mol_natoms.size()), e.nmols);

    // The fast separation equals the plain scan on the expanded cell.
    std::vector<double> radii;
    for (int a : c.cif_atypes) radii.push_back(find_element_radius_from_index_nw(a));
    std::vector<int> ref_counts, ref_atoms;
    krymo_ref::separate(c.cif_x_s, radii, c.bond_dis_scale, c.cif_lattice_vectors, ref_counts, ref_atoms);
    EXPECT_EQ(ref_counts, c.sep_mol_natoms);
    EXPECT_EQ(ref_atoms, c.sep_mol_atoms);

    // The fast repair equals the plain one, molecule by molecule.
    std::vector<std::vector<double>> ref_whole;
    size_t o = 0;
    for (int n : c.sep_mol_natoms) {
        std::vector<double> x, r;
        for (int j = 0; j < n; ++j) {
            const int k = c.sep_mol_atoms[o + j];
            r.push_back(find_element_radius_from_index(c.cif_atypes[k]));
            for (int q = 0; q < 3; ++q) x.push_back(c.cif_x_s[3 * k + q]);
        }
        std::vector<double> fast = x;
        EXPECT_EQ(krymo_ref::grow_whole(n, r.data(), c.bond_dis_scale, c.cif_lattice_vectors, x.data()), n);
        EXPECT_EQ(grow_whole_molecule(n, r.data(), c.bond_dis_scale, c.cif_lattice_vectors, fast.data()), n);
        EXPECT_EQ(x, fast);
        o += n;
    }

    c.mol_data_source = 2;
    c.read_crystal_strcuture_files(false, true);
    ASSERT_EQ(c.nmols_uc, e.nmols);
    for (int i = 0; i < c.nmols_uc; ++i) {
        EXPECT_EQ(c.mol_natoms[i], e.atoms_per_mol) << "molecule " << i + 1;
        EXPECT_TRUE(whole(c.mol_atypes[i], c.mol_x[i], c.bond_dis_scale)) << "molecule " << i + 1;
        double com[3] = {0, 0, 0}, mass = 0;
        for (int j = 0; j < c.mol_natoms[i]; ++j) {
            const double m = find_element_mass_from_index(c.mol_atypes[i][j]);
            mass += m;
            for (int k = 0; k < 3; ++k) com[k] += m * c.mol_x_s[i][3 * j + k];
        }
        for (int k = 0; k < 3; ++k) {
            EXPECT_GE(com[k] / mass, -1e-6) << "molecule " << i + 1;
            EXPECT_LE(com[k] / mass, 1.0 + 1e-6) << "molecule " << i + 1;
        }
    }
    EXPECT_TRUE(krymo_test::path_exists("data/cellvec.dat"));
}

TEST_P(RealCrystal, OverlapRemovalEqualsPlainScan) {
    const Expected e = GetParam();
    if (needs_database_and_lacks_it()) return;
    Crystal c;
    c.read_data_cif(krymo_test::data_path(std::string("crystals/") + e.file), false);
    // The expanded cell before overlap removal, rebuilt from the atom rows and operations.
    std::vector<double> x;
    for (const std::string& op : c.spacegroup_ops) {
        double R[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, t[3] = {0, 0, 0};
        parse_transform_string(op, R, t);
        for (size_t i = 0; i < c.Atoms.label.size(); ++i) {
            const double f[3] = {std::strtod(c.Atoms.fract_x[i].c_str(), nullptr),
                                 std::strtod(c.Atoms.fract_y[i].c_str(), nullptr),
                                 std::strtod(c.Atoms.fract_z[i].c_str(), nullptr)};
            for (int r = 0; r < 3; ++r)
                x.push_back(wrap_position_once(R[r][0] * f[0] + R[r][1] * f[1] + R[r][2] * f[2] + t[r]));
        }
    }
    const std::vector<char> fast = find_overlapped_atoms(x);
    EXPECT_EQ(fast, krymo_ref::overlapped_atoms(x));
    EXPECT_EQ(static_cast<int>(fast.size()) - std::accumulate(fast.begin(), fast.end(), 0), c.natoms_cif);
}

INSTANTIATE_TEST_SUITE_P(Data, RealCrystal, ::testing::ValuesIn(kCrystals),
                         [](const ::testing::TestParamInfo<Expected>& p) {
                             std::string n = p.param.file;
                             return n.substr(0, n.find('.'));
                         });
