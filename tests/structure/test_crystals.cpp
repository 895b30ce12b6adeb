// Every real crystal of the test data: counts from independent tools (which also check the overlap
// removal and the separation), whole molecules without overlapping atoms, centres in the cell.
#include <gtest/gtest.h>

#include <cmath>

#include "structure/spacegroups.h"
#include "structure_probe.h"
#include "structure_reference.h"

using namespace krymo;
using krymo_test::StructureProbe;

namespace {

struct Expected {
    const char* file;
    int natoms_cell, nmols, atoms_per_mol;
    DisorderMode disorder = DisorderMode::major;
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
    // The major disorder group is the real molecule; `all` keeps both positions of the disordered arm.
    {"tipge_pentacene_bw.cif", 100, 1, 100},
    {"tipge_pentacene_bw.cif", 120, 1, 120, DisorderMode::all},
};

void PrintTo(const Expected& e, std::ostream* os) { *os << e.file; }

class RealCrystal : public ::testing::TestWithParam<Expected> {};

// Connected by plain Cartesian bonds (no periodic images) with the radii of the separation and repair.
bool whole(const std::vector<int>& at, const std::vector<double>& x, double scale) {
    std::vector<char> available(at.size(), 1);
    return krymo_ref::grow(0, available, [&](int m, int i) {
               const double d[3] = {x[3 * m] - x[3 * i], x[3 * m + 1] - x[3 * i + 1], x[3 * m + 2] - x[3 * i + 2]};
               const double s = find_element_radius_from_index_nw(at[m]) + find_element_radius_from_index_nw(at[i]);
               return s * scale > get_magnitude(d);
           }).size() == at.size();
}

}  // namespace

TEST_P(RealCrystal, CountsWholeMoleculesAndCentresInTheCell) {
    const Expected e = GetParam();
    const std::string path = krymo_test::data_path(std::string("crystals/") + e.file);
    krymo_test::ScopedStudyDir dir;
    StructureProbe c;
    c.disorder_mode = e.disorder;
    if (!spacegroup_database_available() && std::string(e.file) == "thioquinacridone.cif")
        GTEST_SKIP() << "the file only names its space group";
    krymo_test::capture_stdout([&] { c.read_data_cif(path, false); });
    EXPECT_EQ(c.natoms_cif, e.natoms_cell);
    c.mol_data_source = 2;
    c.read_crystal_strcuture_files(false, true);
    ASSERT_EQ(c.nmols_uc, e.nmols);
    for (int i = 0; i < c.nmols_uc; ++i) {
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(c.mol_natoms[i], e.atoms_per_mol);
        EXPECT_TRUE(whole(c.mol_atypes[i], c.mol_x[i], c.bond_dis_scale));
        double com[3] = {0, 0, 0}, mass = 0, closest = 1e9;
        for (int j = 0; j < c.mol_natoms[i]; ++j) {
            const double w = find_element_mass_from_index(c.mol_atypes[i][j]);
            mass += w;
            for (int k = 0; k < 3; ++k) com[k] += w * c.mol_x_s[i][3 * j + k];
            const double* a = &c.mol_x[i][3 * j];
            for (int l = 0; l < j; ++l) {
                const double* b = &c.mol_x[i][3 * l];
                closest = std::min(closest, std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]));
            }
        }
        for (double v : com) EXPECT_TRUE(v / mass >= -1e-6 && v / mass <= 1 + 1e-6);
        // Only `all` keeps alternative positions that lie on top of each other.
        EXPECT_EQ(closest > 0.8, e.disorder == DisorderMode::major) << closest;
    }
}

INSTANTIATE_TEST_SUITE_P(Data, RealCrystal, ::testing::ValuesIn(kCrystals),
                         [](const ::testing::TestParamInfo<Expected>& p) {
                             const std::string n = p.param.file;
                             return n.substr(0, n.find('.')) + (p.param.disorder == DisorderMode::all ? "_all" : "");
                         });
