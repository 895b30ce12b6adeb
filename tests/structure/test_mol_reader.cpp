// MOL files: third-party V2000/V3000 files, hand-written edge cases and every malformed case.
#include <gtest/gtest.h>

#include "structure/elements.h"
#include "structure_probe.h"

using namespace krymo_test;

namespace {

struct Mol {
    std::vector<int> atypes;
    std::vector<double> x;
    std::string out;  // screen output
};

Mol read_mol(const std::string& path) {
    StructureProbe p;
    const std::string out = capture_stdout([&] { p.read_data_mol(path, 0, false); });
    EXPECT_EQ(p.mol_natoms[0], static_cast<int>(p.mol_atypes[0].size()));
    return {p.mol_atypes[0], p.mol_x[0], out};
}

const std::string kHeader = "name\n  program\n\n";
const std::string kV3000 = kHeader + "  0  0  0     0  0            999 V3000\nM  V30 BEGIN CTAB\n";

}  // namespace

TEST(MolReader, ThirdPartyFilesAgreeAcrossWritersAndFormats) {
    for (const auto& [stem, formula] : {std::pair<std::string, const char*>{"benzene", "C6H6"},
                                        {"tipge_pentacene_hb", "C44H54Ge2"}}) {
        std::vector<Mol> mols;
        for (const char* v : {"_ob_v2000", "_ob_v3000", "_rdkit_v2000", "_rdkit_v3000"})
            mols.push_back(read_mol(data_path("mol/single/" + stem + v + ".mol")));
        for (const Mol& m : mols) {
            EXPECT_EQ(krymo::hill_formula(m.atypes.data(), static_cast<int>(m.atypes.size())), formula) << stem;
            EXPECT_EQ(m.atypes, mols[0].atypes);
            ASSERT_EQ(m.x.size(), mols[0].x.size());
            for (size_t k = 0; k < m.x.size(); ++k) EXPECT_NEAR(m.x[k], mols[0].x[k], 1.01e-4) << stem << " " << k;
        }
        if (stem == "benzene") EXPECT_DOUBLE_EQ(mols[1].x[0], -0.391312);  // the first atom as written
    }
}

TEST(MolReader, V2000AndV3000Details) {
    ScopedStudyDir dir;
    const std::string atoms =
        "    1.0000    2.0000    3.0000 C   0  0  0  0  0  0  0  0  0  0  0  0\n"
        "   -1.5000    0.0000   10.0000 Cl  0  0\n    0.0000    0.0000    0.0000 CL  0  0\n"
        "  1  2  1  0\n  1  3  1  0\nM  END\n";
    const struct {
        std::string text, out;
        std::vector<int> atypes;
        std::vector<double> x;
    } cases[] = {
        {kHeader + "  3  2  0  0  0  0  0  0  0  0999 V2000\n" + atoms, "", {6, 17, 17}, {1, 2, 3, -1.5, 0, 10, 0, 0, 0}},
        {kHeader + "  3  2  0  0  2  0  0  0  0  0999 V2000\n" + atoms,
         "WARNING: The Chiral Flag should be either 0 or 1. The value of 2 will be ignored.\n", {6, 17, 17},
         {1, 2, 3, -1.5, 0, 10, 0, 0, 0}},
        // Continuation lines, property tokens, bond and collection blocks.
        {kV3000 + "M  V30 COUNTS 3 1 0 0 0\nM  V30 BEGIN ATOM\nM  V30 1 C 1.0 2.0 3.0 0 CHG=-1\n"
                  "M  V30 7 O 4.0 5.0 -\nM  V30 6.0 0 MASS=17\nM  V30 3 Br 0 0 0 0\nM  V30 END ATOM\n"
                  "M  V30 BEGIN BOND\nM  V30 1 1 1 7\nM  V30 END BOND\nM  V30 BEGIN COLLECTION\n"
                  "M  V30 MDLV30/STEABS ATOMS=(1 1)\nM  V30 END COLLECTION\nM  V30 END CTAB\nM  END\n",
         "", {6, 8, 35}, {1, 2, 3, 4, 5, 6, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        write_file("ok.mol", c.text);
        const Mol m = read_mol("ok.mol");
        EXPECT_EQ(m.atypes, c.atypes);
        EXPECT_EQ(m.x, c.x);
        EXPECT_EQ(m.out, c.out);
    }
}

TEST(MolReader, MalformedFiles) {
    ScopedStudyDir dir;
    const std::string v2000 = kHeader + "  1  0  0  0  0  0  0  0  0  0999 V2000\n";
    const std::string v3000 = kV3000 + "M  V30 COUNTS 1 0 0 0 0\nM  V30 BEGIN ATOM\n";
    const std::pair<std::string, const char*> cases[] = {
        {kHeader + "  3\n",
         "WARNING: Problems reading a MDL file\n         Cannot read atom and bond count\n"
         "         Expected standard 6 character atom and bond count\n"},
        {kHeader + "  1  0  1  0  0  0  0  0  0  0999 V2000\n",
         "WARNING: Problems reading the Count line of an MDL file\n         There may be erroneous addition spaces or\n"
         "         the file may contains Atom Lists, which are ignored\n"},
        {kHeader + "  2  0  0  0  0  0  0  0  0  0999 V2000\n    0.0000    0.0000    0.0000 C   0\n",
         "WARNING: Problems reading a MDL file\n         Not enough atoms to match atom count (2) in counts line\n"},
        {v2000 + "    0.0000    0.0000    0.0000\n", "too short (30 characters)"},
        {kHeader + " -1  0  0  0  0  0  0  0  0  0999 V2000\n", "Negative atom count (-1)"},
        {v2000 + "    0.0000    0.0000    0.0000 D   0\n",
         "Unknown element symbol \"D\" in MOL file \"bad.mol\"\n         (file \"bad.mol\", line 5)\n"},
        {v3000 + "M  V30 1 R# 0 0 0 0\nM  V30 END ATOM\n", "R group"},
        {v3000 + "M  V30 1 Xx 0 0 0 0\nM  V30 END ATOM\n", "Unknown element symbol \"Xx\""},
        {v3000 + "M  V30 1 C 0 0 0 0\nM  V30 2 C 1 0 0 0\nM  V30 END ATOM\n", "more atoms than its COUNTS line (1)"},
        {v3000 + "M  V30 1 C 0 0 0 0 CHG\nM  V30 END ATOM\n", "Malformed V3000 atom line"},
        {v3000 + "M  V30 1 C 0 0 0 0\n", "ends before its END ATOM"},
        {kV3000 + "M  V30 COUNTS 2000000000 0 0 0 0\nM  V30 BEGIN ATOM\n", "but only 1 lines follow it"},
        {kHeader + "  0  0  0     0  0            999 V3000\nM  END\n", "No complete V3000 atom block"},
    };
    for (const auto& [text, needle] : cases) {
        write_file("bad.mol", text);
        const krymo::FatalError e = expect_fatal([] { read_mol("bad.mol"); });
        EXPECT_EQ(e.status, 1) << text;
        EXPECT_NE(e.out_text.find(needle), std::string::npos) << e.out_text;
    }
    const krymo::FatalError e = expect_fatal([] { read_mol("missing.mol"); });
    EXPECT_EQ(e.status, 255);
    EXPECT_EQ(e.err_text, "Failed to open input file \"missing.mol\"\n");
}
