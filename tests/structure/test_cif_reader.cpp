// CIF reading on small hand-written files: tags, loops, operation texts, symmetry expansion,
// overlaps, separation order, elements, and every malformed case.
#include <gtest/gtest.h>

#include "structure/spacegroups.h"
#include "structure/symop.h"
#include "structure_probe.h"
#include "test_support.h"

using krymo_test::StructureProbe;

namespace {

const char* const kAtomLoop =
    "loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n";
const char* const kCell =
    "_cell_length_a 10\n_cell_length_b 10\n_cell_length_c 10\n"
    "_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\n";

// Reads `text` as a CIF file in a fresh study directory; returns the screen output.
std::string read_cif(StructureProbe& p, const std::string& text, bool info = false) {
    krymo_test::write_file("t.cif", text);
    testing::internal::CaptureStdout();
    try {
        p.read_data_cif("t.cif", info);
    } catch (...) {
        testing::internal::GetCapturedStdout();
        throw;
    }
    return testing::internal::GetCapturedStdout();
}

struct Op {
    double R[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
    double t[3] = {0, 0, 0};
    explicit Op(const std::string& s) { krymo::parse_transform_string(s, R, t); }
};

void expect_op(const std::string& text, const double (&R)[3][3], const double (&t)[3]) {
    Op op(text);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) EXPECT_EQ(op.R[r][c], R[r][c]) << text << " R" << r << c;
        EXPECT_NEAR(op.t[r], t[r], 1e-12) << text << " t" << r;
    }
}

}  // namespace

TEST(SymOp, EveryTextForm) {
    expect_op("-x,1/2+y,1/2-z", {{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}, {0, 0.5, 0.5});
    expect_op("x-1/2,y,z", {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0.5, 0, 0});
    expect_op("x,y,z+1", {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0});
    expect_op("1/2-X, 1/2+Y, 1/2-Z", {{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}, {0.5, 0.5, 0.5});
    expect_op("-x+0.5,y+.25,-z", {{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}, {0.5, 0.25, 0});
    expect_op("x-y,x,z+1/6", {{1, -1, 0}, {1, 0, 0}, {0, 0, 1}}, {0, 0, 1.0 / 6});
    expect_op("-x-1/2,-y,z+3/4", {{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}}, {0.5, 0, 0.75});
    expect_op("-1 0 0 0.5 0 1 0 0 0 0 -1 0.25", {{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}, {0.5, 0, 0.25});
    expect_op("garbage", {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, {0, 0, 0});
    // An id glued in front of the text shifts the translation: the reader never passes one.
    expect_op("3-x,-y,-z", {{-1, 0, 0}, {0, -1, 0}, {0, 0, -1}}, {2, 0, 0});
    // Written operations parse back to themselves.
    const int R[3][3] = {{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}};
    const double t[3] = {0.5, 0.5, 0.0};
    EXPECT_EQ(krymo::format_transform_string(R, t), "-x+1/2,y+1/2,-z");
    expect_op(krymo::format_transform_string(R, t), {{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}, {0.5, 0.5, 0});
}

TEST(CifReader, TagsSummaryAndSeparationOrder) {
    krymo_test::ScopedStudyDir dir;
    StructureProbe p;
    // C1 and C2 bond across the face x = 1; O1-H1 is a second molecule. The bond loop after the
    // atoms is never read; a tab separates one tag from its value.
    const std::string text = std::string("# comment\ndata_tiny\n_chemical_name_common   'tiny test'\n") +
                             "_space_group_IT_number 1\n_symmetry_space_group_name_H-M   'P 1'\n" +
                             "_cell_length_a 10.0000(12)\n_cell_length_b\t10\n_cell_length_c 10\n"
                             "_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\n"
                             "loop_\n_symmetry_equiv_pos_as_xyz\n'x, y, z'\n\n" +
                             kAtomLoop +
                             "C1 C 0.98 0.5 0.5\nO1 O 0.5 0.25 0.5\nC2 C .10(2) 0.5 0.5\nH1 H 0.5 0.34 0.5\n"
                             "loop_\n_geom_bond_atom_site_label_1\n_geom_bond_atom_site_label_2\n_geom_bond_distance\n"
                             "_geom_bond_site_symmetry_2\n_ccdc_geom_bond_type\nC1 C2 1.2 . S\n";
    const std::string out = read_cif(p, text, true);
    EXPECT_EQ(out,
              "Reading crystal file \"t.cif\"... \n"
              "  Identifier: tiny\n"
              "  Spacegroup name: 'P 1'\n"
              "  Spacegroup operations: \n"
              "    x,y,z\n"
              "  Cell lattice a = 10\n  Cell lattice b = 10\n  Cell lattice c = 10\n"
              "  Cell lattice alpha = 90\n  Cell lattice beta  = 90\n  Cell lattice gamma = 90\n"
              "  natoms_cif = 4\n"
              "  First atom: C1 C 0.98 0.5 0.5\n  ...\n  Last  atom: H1 H 0.5 0.34 0.5\n"
              "  Unit cell nmols  = 2\n  Unit cell natoms = 2 2\n"
              "Crystal file t.cif parsing done.\n");
    EXPECT_EQ(p.chemical_name, "tinytest");
    EXPECT_EQ(p.spacegroup_number, 1);
    EXPECT_DOUBLE_EQ(p.cell_latt[0], 10.0);
    EXPECT_TRUE(p.Bonds.label_1.empty());
    // Joining order: the second molecule's seed is atom 1, the first molecule holds atoms 0 and 2.
    EXPECT_EQ(p.sep_mol_atoms, (std::vector<int>{0, 2, 1, 3}));
    EXPECT_NEAR(p.cif_x[0], 9.8, 1e-12);
}

TEST(CifReader, BondLoopBeforeAtomsAndSymmetryIdColumns) {
    krymo_test::ScopedStudyDir dir;
    const std::string bonds =
        "loop_\n_geom_bond_atom_site_label_1\n_geom_bond_atom_site_label_2\n_geom_bond_distance\n"
        "_geom_bond_site_symmetry_2\n_ccdc_geom_bond_type\nC1 C1 1.4 2_555 A\n";
    const std::string atoms = std::string(kAtomLoop) + "C1 C 0.1 0.2 0.3\n";
    const std::string plain = "loop_\n_symmetry_equiv_pos_as_xyz\nx,y,z\n-x,-y,-z\n";
    const std::string old_id = "loop_\n_symmetry_equiv_pos_site_id\n_symmetry_equiv_pos_as_xyz\n1 x,y,z\n2 -x,-y,-z\n";
    const std::string new_id = "loop_\n_space_group_symop_id\n_space_group_symop_operation_xyz\n1 x,y,z\n2 -x,-y,-z\n";
    const std::string quoted = "loop_\n_space_group_symop_id\n_space_group_symop_operation_xyz\n1 'x, y, z'\n2 '-x, -y, -z'\n";
    for (const std::string& sym : {plain, old_id, new_id, quoted}) {
        StructureProbe p;
        read_cif(p, std::string(kCell) + sym + bonds + atoms);
        EXPECT_EQ(p.spacegroup_ops, (std::vector<std::string>{"x,y,z", "-x,-y,-z"})) << sym;
        ASSERT_EQ(p.natoms_cif, 2);
        EXPECT_NEAR(p.cif_x_s[3], 0.9, 1e-12);
        EXPECT_EQ(p.Bonds.site_symmetry_2, std::vector<std::string>{"2_555"});
    }
}

TEST(CifReader, SpecialPositionOverlapWarning) {
    krymo_test::ScopedStudyDir dir;
    StructureProbe p;
    const std::string out = read_cif(p, std::string(kCell) + "loop_\n_symmetry_equiv_pos_as_xyz\nx,y,z\n-x,-y,-z\n" +
                                            kAtomLoop + "Ne1 Ne 0 0 0\nNe2 Ne 0.5 0.5 0.5\nNe3 Ne 0.2 0.2 0.2\n");
    EXPECT_EQ(out,
              "WARNING: Overlapped atoms detected and to be removed\n"
              "         Number of overlapped atoms is 2\n"
              "         Number of remaining atoms is 4\n");
    EXPECT_EQ(p.natoms_cif, 4);
    // The first copy of each position survives, in order.
    EXPECT_NEAR(p.cif_x_s[3 * 2 + 0], 0.2, 1e-12);
    EXPECT_NEAR(p.cif_x_s[3 * 3 + 0], 0.8, 1e-12);
}

TEST(CifReader, TextFieldsHideLoops) {
    krymo_test::ScopedStudyDir dir;
    StructureProbe p;
    read_cif(p, std::string(kCell) + "_publ_section_comment\n;\nloop_\n_symmetry_equiv_pos_as_xyz\n1-x,1-y,1-z\n;\n" +
                    "loop_\n_symmetry_equiv_pos_as_xyz\nx,y,z\n" + kAtomLoop + "C1 C 0.1 0.2 0.3\n");
    EXPECT_EQ(p.spacegroup_ops, std::vector<std::string>{"x,y,z"});
}

TEST(CifReader, OperationsFromTheSpaceGroupName) {
    if (!krymo::spacegroup_database_available()) GTEST_SKIP() << "built without spglib";
    krymo_test::ScopedStudyDir dir;
    const std::string atoms = std::string(kAtomLoop) + "C1 C 0.1 0.2 0.3\n";
    std::vector<std::string> first_ops;
    for (const char* tag : {"_symmetry_space_group_name_H-M 'P 1 21/a 1'", "_symmetry_space_group_name_H-M P21/a",
                            "_space_group_name_H-M_alt P2(1)/a", "_symmetry_space_group_name_Hall '-P 2yab'"}) {
        StructureProbe p;
        const std::string out = read_cif(p, std::string(kCell) + tag + "\n" + atoms);
        EXPECT_NE(out.find("WARNING: No symmetry operations"), std::string::npos) << out;
        EXPECT_EQ(p.natoms_cif, 4) << tag;
        if (first_ops.empty()) first_ops = p.spacegroup_ops;
        EXPECT_EQ(p.spacegroup_ops, first_ops) << tag;
    }
    // -x+1/2,y+1/2,-z of P21/a is among them.
    EXPECT_NE(std::find(first_ops.begin(), first_ops.end(), "-x+1/2,y+1/2,-z"), first_ops.end());

    StructureProbe by_number;
    const std::string out = read_cif(by_number, std::string(kCell) + "_space_group_IT_number 14\n" + atoms);
    EXPECT_NE(out.find("space-group number"), std::string::npos) << out;
    EXPECT_EQ(by_number.natoms_cif, 4);

    StructureProbe p1;
    EXPECT_NE(read_cif(p1, std::string(kCell) + atoms).find("read as P1"), std::string::npos);
    EXPECT_EQ(p1.natoms_cif, 1);

    StructureProbe unknown;
    const krymo::FatalError e =
        krymo_test::expect_fatal([&] { read_cif(unknown, std::string(kCell) + "_symmetry_space_group_name_H-M 'Q 9'\n" + atoms); });
    EXPECT_NE(e.out_text.find("matches no known setting"), std::string::npos);
}

TEST(CifReader, ElementsFromLabels) {
    krymo_test::ScopedStudyDir dir;
    const std::string loop = "loop_\n_symmetry_equiv_pos_as_xyz\nx,y,z\n"
                             "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n";
    StructureProbe p;
    const std::string out =
        read_cif(p, std::string(kCell) + loop + "Cl1 0.1 0.1 0.1\nBr2 0.3 0.3 0.3\nC12 0.5 0.5 0.5\nO(1) 0.7 0.7 0.7\n"
                                                "H1A 0.9 0.9 0.9\nZN1 0.1 0.5 0.9\n");
    EXPECT_NE(out.find("WARNING: No _atom_site_type_symbol column"), std::string::npos);
    EXPECT_EQ(p.cif_atypes, (std::vector<int>{17, 35, 6, 8, 1, 30}));
    for (const char* bad : {"CL1", "CA1", "X1", "1C"}) {
        StructureProbe q;
        const krymo::FatalError e = krymo_test::expect_fatal(
            [&] { read_cif(q, std::string(kCell) + loop + bad + " 0.1 0.1 0.1\n"); });
        EXPECT_EQ(e.status, 1) << bad;
        EXPECT_NE(e.out_text.find(bad), std::string::npos) << e.out_text;
        EXPECT_NE(e.out_text.find("t.cif"), std::string::npos);
    }
}

TEST(CifReader, MalformedFiles) {
    krymo_test::ScopedStudyDir dir;
    const std::string sym = "loop_\n_symmetry_equiv_pos_as_xyz\nx,y,z\n";
    struct Case {
        std::string text;
        int status;
        const char* needle;
    };
    const Case cases[] = {
        {std::string(kCell) + sym + kAtomLoop + "C1 C 0.1 0.2 0.3\nQq1 Qq 0.1 0.1 0.1\n", 1, "Unknown element symbol \"Qq\" of atom Qq1"},
        {std::string(kCell) + sym + kAtomLoop + "C1 C 0.1 0.2\n", 255, "Not enough columns: C1 C 0.1 0.2\nAt least 5"},
        {std::string(kCell) + sym + kAtomLoop + "C1 C 0.1 0.2 ?\n", 255, "Bad fractional coordinate \"?\""},
        {std::string(kCell) + sym, 255, "No atoms read"},
        {std::string(kCell) + sym + "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n", 255, "No atoms read"},
        {sym + kAtomLoop + "C1 C 0.1 0.2 0.3\n", 255, "cell of the crystal file is missing"},
        {std::string(kCell) + "loop_\n_geom_bond_atom_site_label_1\n_geom_bond_atom_site_label_2\n_geom_bond_distance\n"
             "_geom_bond_site_symmetry_2\n_ccdc_geom_bond_type\nC1 C2\n" + sym + kAtomLoop + "C1 C 0.1 0.2 0.3\n",
         255, "Not enough columns: C1 C2"},
    };
    for (const Case& c : cases) {
        StructureProbe p;
        const krymo::FatalError e = krymo_test::expect_fatal([&] { read_cif(p, c.text); });
        EXPECT_EQ(e.status, c.status) << c.text;
        EXPECT_NE(e.out_text.find(c.needle), std::string::npos) << e.out_text;
        EXPECT_EQ(e.unit, "fileio");
    }
    // The line of a short row is named.
    StructureProbe p;
    const krymo::FatalError e =
        krymo_test::expect_fatal([&] { read_cif(p, std::string(kCell) + sym + kAtomLoop + "C1 C 0.1 0.2 0.3\nC2 C 1\n"); });
    EXPECT_NE(e.out_text.find("line 17"), std::string::npos) << e.out_text;

    StructureProbe missing;
    const krymo::FatalError m = krymo_test::expect_fatal([&] { missing.read_data_cif("nope.cif", false); });
    EXPECT_EQ(m.status, 255);
    EXPECT_EQ(m.err_text, "Failed to open input file \"nope.cif\"\n");
}

TEST(CifReader, MultiLineRowsAndPartialOccupancy) {
    krymo_test::ScopedStudyDir dir;
    StructureProbe p;
    const std::string out = read_cif(
        p, std::string(kCell) + "loop_\n_symmetry_equiv_pos_as_xyz\nx,y,z\n" +
               "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
               "_atom_site_occupancy\n_atom_site_type_symbol\nC1 0.1\n 0.2 0.3 0.5 C\nC2 0.6 0.6 0.6 1.0 C\n");
    EXPECT_EQ(p.Atoms.label, (std::vector<std::string>{"C1", "C2"}));
    EXPECT_EQ(p.Atoms.fract_y[0], "0.2");
    EXPECT_NE(out.find("WARNING: 1 atoms have an occupancy below 1"), std::string::npos) << out;
}
