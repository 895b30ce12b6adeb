// Every real crystal of the test data: counts from independent tools (which also check the overlap
// removal and the separation), whole molecules and centres in the cell. The fast searches are
// checked against the plain scans on random cells.
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
    {"tipge_pentacene_bw.cif", 100, 1, 100},  // the major disorder group (the default)
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
    if (!spacegroup_database_available() && std::string(e.file) == "thioquinacridone.cif") {
        // Without the space-group database a file that only names its space group stops clearly.
        const FatalError f = krymo_test::expect_fatal([&] { c.read_data_cif(path, false); });
        EXPECT_NE(f.out_text.find("no space-group database"), std::string::npos);
        return;
    }
    c.read_data_cif(path, false);
    EXPECT_EQ(c.natoms_cif, e.natoms_cell);
    ASSERT_EQ(static_cast<int>(c.sep_mol_natoms.size()), e.nmols);

    c.mol_data_source = 2;
    c.read_crystal_strcuture_files(false, true);
    ASSERT_EQ(c.nmols_uc, e.nmols);
    for (int i = 0; i < c.nmols_uc; ++i) {
        EXPECT_EQ(c.mol_natoms[i], e.atoms_per_mol) << "molecule " << i + 1;
        EXPECT_TRUE(whole(c.mol_atypes[i], c.mol_x[i], c.bond_dis_scale)) << "molecule " << i + 1;
        double com[3] = {0, 0, 0}, mass = 0;
        for (int j = 0; j < c.mol_natoms[i]; ++j) {
            const double w = find_element_mass_from_index(c.mol_atypes[i][j]);
            mass += w;
            for (int k = 0; k < 3; ++k) com[k] += w * c.mol_x_s[i][3 * j + k];
        }
        for (double v : com) EXPECT_TRUE(v / mass >= -1e-6 && v / mass <= 1 + 1e-6) << "molecule " << i + 1;
    }
    EXPECT_TRUE(krymo_test::path_exists("data/cellvec.dat"));

    // The naphthalene MOL files of an independent tool are molecules of the crystal, up to lattice
    // translations and atom order.
    if (std::string(e.file) != "naphthalene.cif") return;
    for (const char* f : {"mol/naphthalene_cell/v2000/mol1.mol", "mol/naphthalene_cell/v3000/mol2.mol"}) {
        StructureProbe m;
        m.read_data_mol(krymo_test::data_path(f), 0, false);
        auto has_atom = [&](int i, int a) {  // atom a of the file is an atom of molecule i
            double fa[3];
            c.coord_c2f(&m.mol_x[0][3 * a], fa);
            for (int b = 0; b < c.mol_natoms[i]; ++b) {
                double d2 = 0;
                for (int k = 0; k < 3; ++k) d2 += std::pow(std::remainder(fa[k] - c.mol_x_s[i][3 * b + k], 1.0), 2);
                if (d2 < 1e-8 && c.mol_atypes[i][b] == m.mol_atypes[0][a]) return true;
            }
            return false;
        };
        bool matched = false;
        for (int i = 0; i < c.nmols_uc && !matched; ++i) {
            matched = c.mol_natoms[i] == m.mol_natoms[0];
            for (int a = 0; a < m.mol_natoms[0] && matched; ++a) matched = has_atom(i, a);
        }
        EXPECT_TRUE(matched) << f;
    }
}

INSTANTIATE_TEST_SUITE_P(Data, RealCrystal, ::testing::ValuesIn(kCrystals),
                         [](const ::testing::TestParamInfo<Expected>& p) {
                             std::string n = p.param.file;
                             return n.substr(0, n.find('.'));
                         });

TEST(DisorderedCrystal, MajorGroupIsTheRealMoleculeAllKeepsEverySite) {
    const std::string path = krymo_test::data_path("crystals/tipge_pentacene_bw.cif");
    krymo_test::ScopedStudyDir dir;
    const struct {
        DisorderMode mode;
        int natoms;
        const char* formula;
        const char* report;  // a line of the run output
        bool apart;          // no two atoms closer than 0.8 A
    } cases[] = {
        {DisorderMode::major, 100, "C44H54Ge2",
         "(disorder = major): 10 sites of minor groups dropped.\n"
         "  assembly A: group 1 kept (mean occupancy 0.520), group 2 dropped (10 sites)\n",
         true},
        {DisorderMode::all, 120, "C50H68Ge2",
         "WARNING: 20 atoms have an occupancy below 1 (disordered sites may overlap); all sites are kept.\n", false},
    };
    for (const auto& c : cases) {
        StructureProbe p;
        p.disorder_mode = c.mode;
        const std::string out = krymo_test::capture_stdout([&] { p.read_data_cif(path, false); });
        EXPECT_NE(out.find(c.report), std::string::npos) << out;
        p.mol_data_source = 2;
        p.read_crystal_strcuture_files(false, false);
        ASSERT_EQ(p.nmols_uc, 1);
        ASSERT_EQ(p.mol_natoms[0], c.natoms);
        EXPECT_EQ(hill_formula(p.mol_atypes[0].data(), p.mol_natoms[0]), c.formula);
        double closest = 1e9;
        const std::vector<double>& x = p.mol_x[0];
        for (int i = 0; i < c.natoms; ++i)
            for (int j = i + 1; j < c.natoms; ++j)
                closest = std::min(closest, std::hypot(x[3 * i] - x[3 * j], x[3 * i + 1] - x[3 * j + 1],
                                                       x[3 * i + 2] - x[3 * j + 2]));
        EXPECT_EQ(closest > 0.8, c.apart) << closest;
    }
}
