// CIF reading on small hand-written files: tags, loops, operation texts, symmetry expansion,
// overlaps, separation order, elements; malformed files beyond BadInput's table.
#include <gtest/gtest.h>

#include <functional>

#include "structure/spacegroups.h"
#include "structure/symop.h"
#include "golden.h"
#include "structure_probe.h"

using namespace krymo_test;

namespace {

struct OpCase {
    std::string text;
    double R[9], t[3];
};

// Both entry points give R and t from zero on entry.
void expect_ops(const std::vector<OpCase>& cases) {
    for (const OpCase& c : cases)
        for (bool member : {false, true}) {
            double R[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, t[3] = {0, 0, 0};
            if (member)
                StructureProbe().ParseTransformString(c.text, R, t);
            else
                krymo::parse_transform_string(c.text, R, t);
            for (int k = 0; k < 9; ++k) EXPECT_EQ(R[k / 3][k % 3], c.R[k]) << c.text << " R" << k;
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(t[k], c.t[k], 1e-12) << c.text << " t" << k;
        }
}

}  // namespace

TEST(SymOp, EveryTextForm) {
    const int flip[3][3] = {{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}};
    const double half[3] = {0.5, 0.5, 0.0};
    // Written operations parse back to themselves.
    EXPECT_EQ(krymo::format_transform_string(flip, half), "-x+1/2,y+1/2,-z");
    expect_ops({
        {"-x,1/2+y,1/2-z", {-1, 0, 0, 0, 1, 0, 0, 0, -1}, {0, 0.5, 0.5}},
        {"x,y,z+1", {1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 0, 0}},
        {"1/2-X, 1/2+Y, 1/2-Z", {-1, 0, 0, 0, 1, 0, 0, 0, -1}, {0.5, 0.5, 0.5}},
        {"-x+0.5,y+.25,-z", {-1, 0, 0, 0, 1, 0, 0, 0, -1}, {0.5, 0.25, 0}},
        {"x-y,x,z+1/6", {1, -1, 0, 1, 0, 0, 0, 0, 1}, {0, 0, 1.0 / 6}},
        {"-1 0 0 0.5 0 1 0 0 0 0 -1 0.25", {-1, 0, 0, 0, 1, 0, 0, 0, -1}, {0.5, 0, 0.25}},
        {"+X, -Y+X, 1/4+z_", {1, 0, 0, 1, -1, 0, 0, 0, 1}, {0, 0, 0.25}},
        {"x+2*y,y,-z", {1, 2, 0, 0, 1, 0, 0, 0, -1}, {0, 0, 0}},
        // An id glued in front of the text shifts the translation: the reader never passes one.
        {"3-x,-y,-z", {-1, 0, 0, 0, -1, 0, 0, 0, -1}, {2, 0, 0}},
        {krymo::format_transform_string(flip, half), {-1, 0, 0, 0, 1, 0, 0, 0, -1}, {0.5, 0.5, 0}},
    });
}

TEST(SymOp, TextsThatAreNoOperationAreRefused) {
    const std::pair<const char*, const char*> cases[] = {
        {"x y z", "three comma-separated components"},  {"garbage", "three comma-separated components"},
        {"1 0 0 0 0 1 0 0 0 0 1", "three comma-separated"}, {"x,y", "it has 2 comma-separated components"},
        {"x,y,z,x", "it has 4"},                         {"x,y,w", "component 3 (\"w\")"},
        {"x,y+,z", "component 2 (\"y+\")"},              {"x,y,z+1/0", "component 3"},
        {"x1,y,z", "component 1"},                       {"x,x,z", "determinant 0"},
        {"2x,y,z", "determinant 2"},                     {"0.5x,y,z", "rotation entry 0.5 is not an integer"},
        {"1 0 0 0 0 1 0 0 0 0 0.5 0", "rotation entry 0.5"}};
    for (const auto& [text, why] : cases) {
        double R[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, t[3] = {0, 0, 0};
        std::string reason;
        EXPECT_FALSE(krymo::parse_transform_string(text, R, t, &reason)) << text;
        EXPECT_NE(reason.find(why), std::string::npos) << text << ": " << reason;
        for (int k = 0; k < 9; ++k) EXPECT_EQ(R[k / 3][k % 3], 0.0) << text;
    }
}

TEST(SymOp, SubtractedTranslationsKeepTheirSign) {
    // A subtracted translation is negative and wraps into [0, 1): z-1/4 is z+3/4. Halves cannot
    // tell the sign, so quarters and thirds, after the variable and before it, as fractions and decimals.
    expect_ops({
        {"x,y,z-1/4", {1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 0, 0.75}},
        {"x-1/3,-y+1/4,z-0.25", {1, 0, 0, 0, -1, 0, 0, 0, 1}, {2.0 / 3, 0.25, 0.75}},
        {"1/4-x,-3/4+y,-0.25-z", {-1, 0, 0, 0, 1, 0, 0, 0, -1}, {0.25, 0.25, 0.75}},
        {"-x-1/2,-y,z+3/4", {-1, 0, 0, 0, -1, 0, 0, 0, 1}, {0.5, 0, 0.75}},
    });
}

TEST(CifReader, TagsSummaryAndSeparationOrder) {
    ScopedStudyDir dir;
    StructureProbe p;
    // C1 and C2 bond across the face x = 1; O1-H1 is a second molecule. The bond loop after the
    // atoms is read too; a tab separates one tag from its value.
    const std::string out = read_cif(
        p,
        "# comment\ndata_tiny\n_chemical_name_common   'tiny test'\n_space_group_IT_number 1\n"
        "_symmetry_space_group_name_H-M   'P 1'\n_cell_length_a 10.0000(12)\n_cell_length_b\t10\n_cell_length_c 10\n"
        "_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\nloop_\n_symmetry_equiv_pos_as_xyz\n'x, y, z'\n\n" +
            kAtomLoop + "C1 C 0.98 0.5 0.5\nO1 O 0.5 0.25 0.5\nC2 C .10(2) 0.5 0.5\nH1 H 0.5 0.34 0.5\n" +
            "loop_\n_geom_bond_atom_site_label_1\n_geom_bond_atom_site_label_2\n_geom_bond_distance\n"
            "_geom_bond_site_symmetry_2\n_ccdc_geom_bond_type\nC1 C2 1.2 . S\n",
        true);
    expect_golden(out, "structure/tiny_cif_summary.txt");
    EXPECT_EQ(p.chemical_name, "tinytest");
    EXPECT_EQ(p.spacegroup_number, 1);
    EXPECT_DOUBLE_EQ(p.cell_latt[0], 10.0);
    EXPECT_EQ(p.Bonds.label_1, std::vector<std::string>{"C1"});
    // Joining order: the second molecule's seed is atom 1, the first molecule holds atoms 0 and 2.
    EXPECT_EQ(p.sep_mol_atoms, (std::vector<int>{0, 2, 1, 3}));
    EXPECT_NEAR(p.cif_x[0], 9.8, 1e-12);
}

TEST(CifReader, SymmetryLoopFormsOverlapsBondsFirstAndContinuedRows) {
    ScopedStudyDir dir;
    const std::string xyz = "loop_\n_symmetry_equiv_pos_as_xyz\n";
    const std::string ids = "loop_\n_space_group_symop_id\n_space_group_symop_operation_xyz\n";
    const std::string forms[] = {
        xyz + "x,y,z\n-x,-y,-z\n",
        "loop_\n_symmetry_equiv_pos_site_id\n_symmetry_equiv_pos_as_xyz\n1 x,y,z\n2 -x,-y,-z\n",
        ids + "1 x,y,z\n2 -x,-y,-z\n",
        ids + "1 'x, y, z'\n2 '-x, -y, -z'\n",
        // A loop inside a text field is text.
        "_publ_section_comment\n;\n" + xyz + "1-x,1-y,1-z\n;\n" + xyz + "x,y,z\n-x,-y,-z\n",
    };
    // A bond loop before the atoms is read; an atom row goes on over the next line; one partial
    // occupancy warns; the copies of the atoms on special positions go, the first copy staying.
    const std::string rest =
        "loop_\n_geom_bond_atom_site_label_1\n_geom_bond_atom_site_label_2\n_geom_bond_distance\n"
        "_geom_bond_site_symmetry_2\n_ccdc_geom_bond_type\nC1 C1 1.4 2_555 A\n"
        "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
        "_atom_site_occupancy\n_atom_site_type_symbol\nC1 0.1\n 0.2 0.3 0.5 C\nC2 0.6 0.6 0.6 1.0 C\n"
        "Ne1 0 0 0 1.0 Ne\nNe2 0.5 0.5 0.5 1 Ne\n";
    for (const std::string& sym : forms) {
        StructureProbe p;
        expect_golden(read_cif(p, kCell + sym + rest), "structure/partial_and_overlapped_sites.txt");
        EXPECT_EQ(p.spacegroup_ops, (std::vector<std::string>{"x,y,z", "-x,-y,-z"})) << sym;
        EXPECT_EQ(p.Atoms.label, (std::vector<std::string>{"C1", "C2", "Ne1", "Ne2"}));
        EXPECT_EQ(p.cif_x_s,
                  (std::vector<double>{0.1, 0.2, 0.3, 0.6, 0.6, 0.6, 0, 0, 0, 0.5, 0.5, 0.5, 0.9, 0.8, 0.7, 0.4, 0.4, 0.4}));
        EXPECT_EQ(p.Bonds.site_symmetry_2, std::vector<std::string>{"2_555"});
    }
}

TEST(CifReader, OperationsFromTheSpaceGroup) {
    if (!krymo::spacegroup_database_available()) GTEST_SKIP() << "built without spglib";
    ScopedStudyDir dir;
    const std::string atoms = kAtomLoop + "C1 C 0.1 0.2 0.3\n";
    const std::vector<std::string> p21a = {"x,y,z", "-x,-y,-z", "-x+1/2,y+1/2,-z", "x+1/2,-y+1/2,z"};
    const struct {
        const char* tag;
        const char* how;  // the source the screen names
        std::vector<std::string> ops;
    } cases[] = {
        {"_symmetry_space_group_name_H-M 'P 1 21/a 1'", "space-group name", p21a},
        {"_symmetry_space_group_name_H-M P21/a", "space-group name", p21a},
        {"_space_group_name_H-M_alt P2(1)/a", "space-group name", p21a},
        {"_symmetry_space_group_name_Hall '-P 2yab'", "Hall symbol", p21a},
        // A number gives the default setting P21/c; a lower-case tag; a centred setting no table lists.
        {"_space_group_IT_number 14", "space-group number", {"x,y,z", "-x,-y,-z", "-x,y+1/2,-z+1/2", "x,-y+1/2,z+1/2"}},
        {"_symmetry_space_group_name_h-m 'P 1 21/c 1'", "space-group name",
         {"x,y,z", "-x,-y,-z", "-x,y+1/2,-z+1/2", "x,-y+1/2,z+1/2"}},
        {"_SYMMETRY_SPACE_GROUP_NAME_H-M 'A -1'", "centring letter and primitive part",
         {"x,y,z", "-x,-y,-z", "x,y+1/2,z+1/2", "-x,-y+1/2,-z+1/2"}},
        {"_space_group_name_H-M_alt 'I 1 2/a 1'", "space-group name",
         {"x,y,z", "-x,-y,-z", "-x+1/2,y,-z", "x+1/2,-y,z", "x+1/2,y+1/2,z+1/2", "-x+1/2,-y+1/2,-z+1/2",
          "-x,y+1/2,-z+1/2", "x,-y+1/2,z+1/2"}},
    };
    for (const auto& c : cases) {
        StructureProbe p;
        EXPECT_NE(read_cif(p, kCell + c.tag + "\n" + atoms).find(std::string("operations taken from the ") + c.how),
                  std::string::npos) << c.tag;
        EXPECT_EQ(p.spacegroup_ops, c.ops) << c.tag;
        EXPECT_EQ(p.natoms_cif, static_cast<int>(c.ops.size())) << c.tag;
    }

    // Hall symbols whose blanks or '"' tell groups apart: P321 (150), P312 (149), P622 (177) are not
    // P3_2 (145) or P6_2 (171), which have half as many operations. F -1 expands to 8 sites.
    const std::pair<const char*, int> hall[] = {{"_symmetry_space_group_name_Hall 'P 3 2\"'", 6},
                                                {"_symmetry_space_group_name_Hall 'P 3 2'", 6},
                                                {"_symmetry_space_group_name_Hall 'P 6 2'", 12},
                                                {"_symmetry_space_group_name_Hall 'P 32'", 3},
                                                {"_symmetry_space_group_name_H-M 'F -1'", 8}};
    for (const auto& [tag, nops] : hall) {
        StructureProbe q;
        read_cif(q, kCell + tag + "\n" + atoms);
        EXPECT_EQ(static_cast<int>(q.spacegroup_ops.size()), nops) << tag;
    }
}

TEST(CifReader, ElementsFromLabelsAndMalformedFiles) {
    ScopedStudyDir dir;
    const std::string labels = kCell + "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n"
                                             "_atom_site_fract_z\n";
    // Neither operations nor a space group: P1.
    StructureProbe p;
    EXPECT_EQ(read_cif(p, labels + "Cl1 0.1 0.1 0.1\nBr2 0.3 0.3 0.3\nC12 0.5 0.5 0.5\nO(1) 0.7 0.7 0.7\nH1A 0.9 0.9 0.9\n"
                                   "ZN1 0.1 0.5 0.9\n"),
              "WARNING: No symmetry operations and no space group in \"t.cif\": read as P1.\n"
              "WARNING: No _atom_site_type_symbol column in \"t.cif\": elements are taken from the atom labels.\n");
    EXPECT_EQ(p.cif_atypes, (std::vector<int>{17, 35, 6, 8, 1, 30}));
    const struct {
        std::string text;
        int status;
        std::string needle;
    } cases[] = {
        {kCell + kP1 + kAtomLoop, 255,
         "No atoms read from crystal file \"t.cif\": the loop of _atom_site_label, _atom_site_type_symbol, "
         "_atom_site_fract_x, ... at line 10 holds no rows."},
        {kP1 + kAtomLoop + "C1 C 0.1 0.2 0.3\n", 255, "cell of the crystal file is missing"},
        {kCell + "_symmetry_space_group_name_H-M 'Q 9'\n" + kAtomLoop + "C1 C 0 0 0\n", 255, "lists no symmetry operations"},
        // Labels read both ways or naming no element.
        {labels + "CL1 0.1 0.1 0.1\n", 1, "atom CL1 in crystal file \"t.cif\" (line 12)"},
        {labels + "CA1 0.1 0.1 0.1\n", 1, "atom CA1 in"},
        {labels + "X1 0.1 0.1 0.1\n", 1, "atom X1 in"},
        {labels + "1C 0.1 0.1 0.1\n", 1, "atom 1C in"},
    };
    for (const auto& c : cases) {
        StructureProbe q;
        const krymo::FatalError e = expect_fatal([&] { read_cif(q, c.text); });
        EXPECT_EQ(e.status, c.status) << c.text;
        EXPECT_NE(e.out_text.find(c.needle), std::string::npos) << e.out_text;
        EXPECT_EQ(e.unit, "fileio");
    }
}

TEST(CifReader, PlaceholderAndEmptySitesAreNotAtomsChargedSymbolsAre) {
    // A dummy H far outside the cell with occupancy 3, a difference peak, a lone-pair site and an
    // empty site would each become a one-atom "molecule". O2- takes oxygen's bonding radius, not
    // the "no element" radius that joins everything.
    ScopedStudyDir dir;
    StructureProbe p;
    const std::string out = read_cif(
        p, kCell + kP1 +
               "loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n_atom_site_fract_y\n"
               "_atom_site_fract_z\n_atom_site_occupancy\n_atom_site_calc_flag\n"
               "C1 C 0.10 0.1 0.1 1 d\nO1 O2- 0.22 0.1 0.1 1 d\nH9 H -1 -1 -1 3 dum\nQ1 Q 0.5 0.5 0.5 1 .\n"
               "Lp1 ? 0.7 0.7 0.7 1 .\nN1 N 0.3 0.8 0.3 0 d\nC2 C 0.6 0.6 0.6 1 d\n");
    EXPECT_EQ(out,
              "WARNING: 3 dummy or placeholder sites (calc flag dum; Q, Du, Lp or Xx) in \"t.cif\" are not atoms: "
              "skipped.\nWARNING: 1 sites of occupancy 0 in \"t.cif\" are not atoms: dropped.\n");
    EXPECT_EQ(p.Atoms.label, (std::vector<std::string>{"C1", "O1", "C2"}));
    EXPECT_EQ(p.cif_atypes, (std::vector<int>{6, 8, 6}));
    EXPECT_EQ(p.sep_mol_natoms, (std::vector<int>{2, 1}));
}

TEST(CifReader, SymmetryThatContradictsItselfIsReported) {
    // C2/c: four operations and the C-centring; one C-O molecule on a general position, Z = 8.
    const std::string ops4 = "x,y,z\n-x,y,-z+1/2\n-x,-y,-z\nx,-y,z+1/2\n";
    // The same four again, each shifted by a lattice vector: still repeats.
    const std::string ops4_shifted = "x+1,y,z\n-x,y-1,-z+1/2\n-x,-y,-z+2\nx,-y,z-1/2\n";
    const std::string centred = "x+1/2,y+1/2,z\n-x+1/2,y+1/2,-z+1/2\n-x+1/2,-y+1/2,-z\nx+1/2,-y+1/2,z+1/2\n";
    const std::string head = kCell + "_symmetry_space_group_name_H-M 'C 1 2/c 1'\n_cell_formula_units_Z 8\n";
    const std::string loop = "loop_\n_symmetry_equiv_pos_as_xyz\n";
    const std::string atoms = kAtomLoop + "C1 C 0.1 0.2 0.3\nO1 O 0.213 0.2 0.3\n";
    const std::string repeated = "WARNING: 4 of the 8 symmetry operations of \"t.cif\" repeat an earlier one; each is "
                                 "used once.\n";
    const std::string order = "WARNING: \"t.cif\" lists 4 distinct symmetry operations, but its space group "
                              "'C 1 2/c 1' has 8 (operations or a centring translation missing?); the listed "
                              "operations are used.\n";
    const std::string by_formula = "WARNING: The cell of \"t.cif\" holds 4 molecules (8 atoms), but Z = 8 formula "
                                   "units of CO make 16 atoms. Check the symmetry operations.\n";
    const std::string by_count = "WARNING: The cell of \"t.cif\" holds 4 molecules of CO, but Z = 8. Check the "
                                 "symmetry operations.\n";
    const bool named = krymo::spacegroup_database_available();
    const struct {
        std::string text, out;
        int natoms;
    } cases[] = {
        // Every operation twice and the centring left out: half the cell.
        {head + "_chemical_formula_sum 'C O'\n" + loop + ops4 + ops4_shifted + atoms,
         repeated + (named ? order : "") + by_formula, 8},
        {head + loop + ops4 + atoms, (named ? order : "") + by_count, 8},
        // The consistent file, with the formula on the line after its tag.
        {head + "_chemical_formula_sum\n 'C O'\n" + loop + ops4 + centred + atoms, "", 16},
    };
    for (const auto& c : cases) {
        ScopedStudyDir dir;
        StructureProbe p;
        EXPECT_EQ(read_cif(p, c.text), c.out) << c.text;
        EXPECT_EQ(p.natoms_cif, c.natoms);
    }
}

TEST(CifReader, DialectDetailsOfRealFiles) {
    ScopedStudyDir dir;
    const std::string atoms = kAtomLoop + "C1 C 0.1 0.2 0.3\n";
    const bool spglib = krymo::spacegroup_database_available();
    // A loop ends at the next data block; '?' and '.' type symbols leave the element to the label;
    // the formula settles labels that read two ways.
    StructureProbe b;
    b.allow_formula_mismatch = true;
    read_cif(b, "data_one\n" + kCell + "_chemical_formula_sum 'H N Co'\n" + kP1 + kAtomLoop +
                    "C1 ? 0.1 0.1 0.1\nN1 . 0.3 0.3 0.3\nCO1 ? 0.5 0.5 0.5\nHO1 ? 0.7 0.7 0.7\n"
                    "data_two\n_cell_length_a 5\nloop_\n_atom_site_aniso_label\n_atom_site_aniso_U_11\nO9 0\n");
    EXPECT_EQ(b.cif_atypes, (std::vector<int>{6, 7, 27, 1}));
    EXPECT_DOUBLE_EQ(b.cell_latt[0], 10.0);

    // A mixed site keeps its first element; sites closer than 0.5 A are named with their distance.
    StructureProbe m;
    expect_golden(read_cif(m, kCell + kP1 + kAtomLoop +
                              "Fe1 Fe 0.1 0.1 0.1\nNi1 Ni 0.1 0.1 0.1\nC1 C 0.5 0.5 0.5\nC1' C 0.53 0.5 0.5\n"),
                  "structure/mixed_and_close_sites.txt");
    EXPECT_EQ(m.cif_atypes, (std::vector<int>{26, 6, 6}));

    // A name that is given but not understood is an error, even next to a number.
    const std::string unknown = kCell + "_symmetry_space_group_name_H-M 'X 9'\n_space_group_IT_number 2\n" + atoms;
    const krymo::FatalError e = expect_fatal([&] { StructureProbe q; read_cif(q, unknown); });
    EXPECT_EQ(e.status, 255);
    EXPECT_NE(e.out_text.find(spglib ? "space-group name 'X 9' is not understood" : "no space-group database"),
              std::string::npos)
        << e.out_text;
}

namespace {

// The line-based view of a text, for the edits below.
std::vector<std::string> text_lines(const std::string& text) {
    std::vector<std::string> out;
    size_t from = 0;
    for (size_t nl; (nl = text.find('\n', from)) != std::string::npos; from = nl + 1)
        out.push_back(text.substr(from, nl - from));
    return out;
}

// The value lines of the loop whose tags include `tag`: from after its last tag to the next loop,
// tag or data block. The edit turns the line ends inside them into `separator`.
std::string rejoin_rows(const std::string& text, const std::string& tag, const std::string& separator,
                        bool split_values = false) {
    std::vector<std::string> lines = text_lines(text);
    size_t first = 0;
    while (first < lines.size() && lines[first].find(tag) == std::string::npos) ++first;
    while (first < lines.size() && lines[first].find_first_not_of(' ') != std::string::npos &&
           lines[first][lines[first].find_first_not_of(' ')] == '_')
        ++first;
    size_t last = first;
    while (last < lines.size() && lines[last].compare(0, 5, "loop_") != 0 && lines[last].compare(0, 1, "_") != 0 &&
           lines[last].compare(0, 5, "data_") != 0)
        ++last;
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string l = lines[i];
        if (split_values && i >= first && i < last) l = krymo_test::replaced(l, " ", "\n", false);
        out += l + (i >= first && i + 1 < last ? separator : "\n");
    }
    return out;
}

}  // namespace

TEST(CifSyntax, WhiteSpaceLineBreaksAndQuotingNeverChangeARealCrystal) {
    // Each edit of a real file says the same thing in other white space or quoting: the cell must
    // come out the same, atom for atom.
    const struct {
        const char* name;
        std::function<std::string(const std::string&)> edit;
    } edits[] = {
        {"blank lines everywhere", [](const std::string& t) { return replaced(t, "\n", "\n\n"); }},
        {"CRLF", [](const std::string& t) { return replaced(t, "\n", "\r\n"); }},
        {"every atom row on one line", [](const std::string& t) { return rejoin_rows(t, "_atom_site_fract_z", "  "); }},
        {"one value per line", [](const std::string& t) { return rejoin_rows(t, "_atom_site_fract_z", "\n", true); }},
        {"operations on one line", [](const std::string& t) { return rejoin_rows(t, "_pos_as_xyz", " "); }},
        {"a text field holding a loop",
         [](const std::string& t) {
             return replaced(t, "\nloop_\n_symmetry_equiv_pos_as_xyz",
                             "\n_publ_section_comment\n;\nloop_\n_atom_site_label\n_atom_site_fract_x\n"
                             "_atom_site_fract_y\n_atom_site_fract_z\nC9 0 0 0\n;\nloop_\n_symmetry_equiv_pos_as_xyz");
         }},
        {"a data block without atoms first",
         [](const std::string& t) { return "data_global\n_journal_name_full 'Acta Cryst.'\nloop_\n_a\n_b\n1\n" + t; }},
    };
    for (const char* file : {"naphthalene.cif", "benzene.cif", "iodo_tamoxifen_analogue.cif"}) {
        const std::string original = read_file(data_path(std::string("crystals/") + file));
        ScopedStudyDir dir;
        StructureProbe want;
        want.allow_missing_hydrogens = false;
        read_cif(want, original);
        for (const auto& e : edits) {
            StructureProbe got;
            got.allow_missing_hydrogens = false;
            const std::string edited = e.edit(original);
            ASSERT_TRUE(edited != original) << file << ": " << e.name;
            read_cif(got, edited);
            EXPECT_EQ(got.identifier, want.identifier) << file << ": " << e.name;
            EXPECT_EQ(got.spacegroup_ops, want.spacegroup_ops) << file << ": " << e.name;
            EXPECT_EQ(got.Atoms.label, want.Atoms.label) << file << ": " << e.name;
            EXPECT_EQ(got.cif_x_s, want.cif_x_s) << file << ": " << e.name;
            EXPECT_EQ(got.sep_mol_natoms, want.sep_mol_natoms) << file << ": " << e.name;
        }
    }
}

TEST(CifSyntax, BlocksAndBrokenLoops) {
    ScopedStudyDir dir;
    const std::string real = read_file(data_path("crystals/naphthalene.cif"));
    // Of two blocks with atoms the setting picks one, in any case.
    const std::string two = real + replaced(real, "data_2100603", "data_Copy");
    StructureProbe chosen;
    chosen.cif_block = "copy";
    read_cif(chosen, two);
    EXPECT_EQ(chosen.identifier, "Copy");
    EXPECT_EQ(chosen.natoms_cif, 36);

    // A malformed loop the run does not need is named and skipped; a quote inside a word is no quote.
    StructureProbe warned;
    const std::string out = read_cif(
        warned, replaced(real, "C C 0.0033 0.0016 'International", "C C 0.0033 'International") +
                    "loop_\n_atom_multipole_label\n_atom_multipole_kappa\nC1 1.0\nO'Brien\n");
    EXPECT_NE(out.find("WARNING: the loop of _atom_type_symbol, _atom_type_description, _atom_type_scat_dispersion_real, "
                       "... at line 178 in \"t.cif\" holds 9 values, not a whole number of rows of its 5 tags; the "
                       "loop is not needed and is skipped.\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("the loop of _atom_multipole_label, _atom_multipole_kappa at line 223"), std::string::npos) << out;
    EXPECT_EQ(warned.natoms_cif, 36);
}

TEST(CrystalTrust, EachCheckStopsTheRunUnlessItsSettingAllowsIt) {
    // A deleted operation, a deleted atom row, the hydrogens left out: each an error, each overruled
    // by its setting. The real crystals themselves pass every check (RealCrystal).
    ScopedStudyDir dir;
    const std::string real = read_file(data_path("crystals/naphthalene.cif"));
    std::string no_h;
    for (const std::string& l : text_lines(real))
        if (l.compare(0, 3, "H H") != 0) no_h += l + "\n";
    const struct {
        std::string text;
        std::vector<bool StructureProbe::*> allow;  // the settings that let it through
        const char* error;
        int natoms;  // once allowed
    } cases[] = {
        // Three operations of four make no whole number of formula units either.
        {replaced(real, "'-x, -y, -z'\n", ""),
         {&StructureProbe::allow_incomplete_symmetry, &StructureProbe::allow_formula_mismatch},
         "The 3 symmetry operations of \"t.cif\" do not form a group", 27},
        {replaced(real, "H H1 0.1314 0.0596 0.4537 0.067 Uiso calc R 1\n", ""), {&StructureProbe::allow_formula_mismatch},
         "The atoms of the cell of \"t.cif\" (C20H12) are no whole number of formula units C10H8", 32},
        {no_h, {&StructureProbe::allow_missing_hydrogens}, "holds carbon but no hydrogen atoms", 20},
        // Operations that still form a group (P-1 of P21/a) only warn by Z.
        {replaced(replaced(real, "'x-1/2, -y-1/2, z'\n", ""), "'-x+1/2, y+1/2, -z'\n", ""), {}, "", 18},
    };
    for (const auto& c : cases) {
        StructureProbe p;
        p.allow_missing_hydrogens = false;
        if (c.allow.empty()) {
            EXPECT_NE(read_cif(p, c.text), "") << c.error;
            EXPECT_EQ(p.natoms_cif, c.natoms);
            continue;
        }
        const krymo::FatalError e = expect_fatal([&] { read_cif(p, c.text); });
        EXPECT_EQ(e.status, 1);
        EXPECT_NE(e.out_text.find(c.error), std::string::npos) << e.out_text;
        StructureProbe q;
        q.allow_missing_hydrogens = false;
        for (bool StructureProbe::*allow : c.allow) q.*allow = true;
        read_cif(q, c.text);
        EXPECT_EQ(q.natoms_cif, c.natoms) << c.error;
    }
}
