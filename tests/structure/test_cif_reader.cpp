// CIF reading: operation texts, hand-written files read in full against their expected readings
// (tags, loops, symmetry expansion, overlaps, separation order, elements, malformed files beyond
// BadInput's table), and real files edited without changing their meaning.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "structure/spacegroups.h"
#include "structure/symop.h"
#include "golden.h"
#include "structure_probe.h"

using namespace krymo_test;

TEST(SymOp, EveryTextFormAndRefusal) {
    // Each text of the list with R and t as parsed (from zero on entry), and the text written back
    // from them (translations wrapped); or why it is refused.
    std::string read;
    std::istringstream lines(read_file(data_path("structure/symop_texts.txt")));
    for (std::string text; std::getline(lines, text);) {
        read += text + "\n";
        if (text[0] == '#') continue;
        double R[3][3] = {}, t[3] = {};
        std::string why;
        const bool ok = krymo::parse_transform_string(text, R, t, &why);
        int iR[3][3];
        for (int k = 0; k < 9; ++k) iR[k / 3][k % 3] = static_cast<int>(R[k / 3][k % 3]);
        const std::string written = krymo::format_transform_string(iR, t);
        for (int k = 0; k < 9; ++k)
            read += krymo::format_string(k % 3 ? " %g" : k ? " / %g" : "  R = %g", R[k / 3][k % 3]);
        read += krymo::format_string(", t = %.6f %.6f %.6f\n", t[0], t[1], t[2]);
        read += ok ? "  written " + written + "\n" : "  refused: " + why + "\n";
    }
    expect_golden(read, "structure/symop_texts.txt");
    // Parsed translations arrive wrapped; composed operations may carry any, and are written wrapped.
    const int one[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const double t[3] = {-0.25, 1.5, -2};
    EXPECT_EQ(krymo::format_transform_string(one, t), "x+3/4,y+1/2,z");
}

TEST(CifReader, HandWrittenFilesReadInFull) {
    const bool spglib = krymo::spacegroup_database_available();
    const struct {
        const char* input;             // tests/data/structure/<input>.cif
        const char* golden = nullptr;  // tests/data/expected/structure/<golden or input>.txt
        std::function<void(StructureProbe&)> set = nullptr;
        bool needs_spglib = false;  // the reading names the space group's operation count
    } cases[] = {
        {"tiny_tags"},
        // The same after a block without atoms, rows joined or split, blank lines, CRLF line ends.
        {"tiny_tags_reflowed", "tiny_tags"},
        // Six ways to list two operations (a loop inside a text field is text). A bond loop before the
        // atoms, a row going on over the next line; copies on special positions go, the first staying.
        {"sym_xyz", "partial_and_overlapped_sites"},
        {"sym_site_id", "partial_and_overlapped_sites"},
        {"sym_op_id", "partial_and_overlapped_sites"},
        {"sym_op_id_quoted", "partial_and_overlapped_sites"},
        {"sym_after_text_field", "partial_and_overlapped_sites"},
        {"sym_on_one_line", "partial_and_overlapped_sites"},
        // Neither operations nor a space group: P1, elements from the labels.
        {"labels_no_symmetry"},
        {"no_atom_rows"},
        {"no_cell"},
        {"unknown_name_no_operations"},
        // Labels read both ways or naming no element.
        {"label_reads_two_ways"},
        {"label_no_element"},
        {"label_digit_first"},
        {"placeholder_sites"},
        // Operations repeated or the centring missing: half the cell; a group of 4 of 8 only warns.
        {"c2c_repeated_operations", nullptr, nullptr, true},
        {"c2c_centring_missing", nullptr, nullptr, true},
        // The consistent file, with the formula on the line after its tag.
        {"c2c_consistent"},
        {"two_blocks_unknown_types", nullptr, [](StructureProbe& p) { p.allow_formula_mismatch = true; }},
        // A mixed site keeps its first element; sites closer than 0.5 A are named with their distance.
        {"mixed_and_close_sites"},
        // A name that is given but not understood is an error, even next to a number.
        {"unknown_name_with_number", nullptr, nullptr, true},
        {"broken_loops_second_block", nullptr, [](StructureProbe& p) { p.cif_block = "copy"; }},
        // Each check of the crystal stops the read unless its setting allows it.
        {"operations_no_group"},
        {"operations_no_group", "operations_no_group_allowed",
         [](StructureProbe& p) { p.allow_incomplete_symmetry = true; }},
        {"formula_mismatch"},
        {"formula_mismatch", "formula_mismatch_allowed", [](StructureProbe& p) { p.allow_formula_mismatch = true; }},
        {"no_hydrogens", nullptr, [](StructureProbe& p) { p.allow_missing_hydrogens = false; }},
        {"no_hydrogens", "no_hydrogens_allowed"},
    };
    for (const auto& c : cases) {
        if (c.needs_spglib && !spglib) continue;
        SCOPED_TRACE(c.input);
        ScopedStudyDir dir;
        StructureProbe p;
        if (c.set) c.set(p);
        const std::string text = read_file(data_path(std::string("structure/") + c.input + ".cif"));
        expect_golden(described_cif(p, text), std::string("structure/") + (c.golden ? c.golden : c.input) + ".txt");
    }
}

TEST(CifReader, OperationsFromTheSpaceGroup) {
    if (!krymo::spacegroup_database_available()) GTEST_SKIP() << "built without spglib";
    ScopedStudyDir dir;
    // Names in several spellings and tag cases, a Hall symbol and a number (the default setting
    // P21/c) give P21/a's or P21/c's operations; 'A -1' and 'I 1 2/a 1' are centred settings no
    // table lists. Hall symbols whose blanks or '"' tell groups apart: P321 (150), P312 (149),
    // P622 (177) are not P3_2 (145) or P6_2 (171), which have half as many operations, and their
    // sites tell a transposed rotation apart.
    const std::string one_site = read_file(data_path("structure/one_site_cubic.cif"));  // @TAG@ names the group
    std::string read;
    for (const char* tag :
         {"_symmetry_space_group_name_H-M 'P 1 21/a 1'", "_symmetry_space_group_name_H-M P21/a",
          "_space_group_name_H-M_alt P2(1)/a", "_symmetry_space_group_name_Hall '-P 2yab'", "_space_group_IT_number 14",
          "_symmetry_space_group_name_h-m 'P 1 21/c 1'", "_SYMMETRY_SPACE_GROUP_NAME_H-M 'A -1'",
          "_space_group_name_H-M_alt 'I 1 2/a 1'", "_symmetry_space_group_name_Hall 'P 3 2\"'",
          "_symmetry_space_group_name_Hall 'P 3 2'", "_symmetry_space_group_name_Hall 'P 6 2'",
          "_symmetry_space_group_name_Hall 'P 32'", "_symmetry_space_group_name_H-M 'F -1'"}) {
        StructureProbe p;
        read += std::string(tag) + "\n" + read_cif(p, replaced(one_site, "@TAG@", tag));
        for (const std::string& op : p.spacegroup_ops) read += " " + op;
        read += "\n";
        for (size_t k = 0; k < p.cif_x_s.size(); k += 3)
            read += krymo::format_string("  %.4f %.4f %.4f\n", p.cif_x_s[k], p.cif_x_s[k + 1], p.cif_x_s[k + 2]);
    }
    expect_golden(read, "structure/spacegroup_tags.txt");
}
