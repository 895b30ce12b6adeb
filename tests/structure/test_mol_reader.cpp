// MOL files: third-party V2000/V3000 files, hand-written edge cases and every malformed case.
#include <gtest/gtest.h>

#include <cmath>

#include "structure_probe.h"
#include "test_support.h"

using krymo_test::StructureProbe;

namespace {

struct Mol {
    std::vector<int> atypes;
    std::vector<double> x;
};

Mol read_mol(const std::string& path, std::string* out = nullptr) {
    StructureProbe p;
    testing::internal::CaptureStdout();
    try {
        p.read_data_mol(path, 0, false);
    } catch (...) {
        testing::internal::GetCapturedStdout();
        throw;
    }
    const std::string text = testing::internal::GetCapturedStdout();
    if (out) *out = text;
    EXPECT_EQ(p.mol_natoms[0], static_cast<int>(p.mol_atypes[0].size()));
    return {p.mol_atypes[0], p.mol_x[0]};
}

const char* const kHeader = "name\n  program\n\n";

}  // namespace

TEST(MolReader, ThirdPartyFilesAgreeAcrossWritersAndFormats) {
    struct Set {
        const char* stem;
        int natoms, carbons, hydrogens, germaniums;
    };
    for (const Set& s : {Set{"benzene", 12, 6, 6, 0}, Set{"tipge_pentacene_hb", 100, 44, 54, 2}}) {
        std::vector<Mol> mols;
        for (const char* v : {"_ob_v2000", "_ob_v3000", "_rdkit_v2000", "_rdkit_v3000"})
            mols.push_back(read_mol(krymo_test::data_path(std::string("mol/single/") + s.stem + v + ".mol")));
        for (const Mol& m : mols) {
            ASSERT_EQ(static_cast<int>(m.atypes.size()), s.natoms) << s.stem;
            EXPECT_EQ(std::count(m.atypes.begin(), m.atypes.end(), 6), s.carbons);
            EXPECT_EQ(std::count(m.atypes.begin(), m.atypes.end(), 1), s.hydrogens);
            EXPECT_EQ(std::count(m.atypes.begin(), m.atypes.end(), 32), s.germaniums);
            EXPECT_EQ(m.atypes, mols[0].atypes);
            for (size_t k = 0; k < m.x.size(); ++k) EXPECT_NEAR(m.x[k], mols[0].x[k], 1.01e-4) << s.stem << " " << k;
        }
    }
    // First atom of the benzene files as written.
    const Mol b = read_mol(krymo_test::data_path("mol/single/benzene_ob_v3000.mol"));
    EXPECT_EQ(b.atypes[0], 6);
    EXPECT_DOUBLE_EQ(b.x[0], -0.391312);
}

TEST(MolReader, V2000Details) {
    krymo_test::ScopedStudyDir dir;
    const std::string atoms =
        "    1.0000    2.0000    3.0000 C   0  0  0  0  0  0  0  0  0  0  0  0\n"
        "   -1.5000    0.0000   10.0000 Cl  0  0\n"
        "    0.0000    0.0000    0.0000 CL  0  0\n"
        "  1  2  1  0\n  1  3  1  0\nM  END\n";
    krymo_test::write_file("ok.mol", std::string(kHeader) + "  3  2  0  0  0  0  0  0  0  0999 V2000\n" + atoms);
    const Mol m = read_mol("ok.mol");
    EXPECT_EQ(m.atypes, (std::vector<int>{6, 17, 17}));
    EXPECT_EQ(m.x, (std::vector<double>{1, 2, 3, -1.5, 0, 10, 0, 0, 0}));

    std::string out;
    krymo_test::write_file("chiral.mol", std::string(kHeader) + "  3  2  0  0  2  0  0  0  0  0999 V2000\n" + atoms);
    read_mol("chiral.mol", &out);
    EXPECT_EQ(out, "WARNING: The Chiral Flag should be either 0 or 1. The value of 2 will be ignored.\n");
}

TEST(MolReader, V3000Details) {
    krymo_test::ScopedStudyDir dir;
    krymo_test::write_file("ok.mol", std::string(kHeader) +
                                         "  0  0  0     0  0            999 V3000\n"
                                         "M  V30 BEGIN CTAB\nM  V30 COUNTS 3 1 0 0 0\nM  V30 BEGIN ATOM\n"
                                         "M  V30 1 C 1.0 2.0 3.0 0 CHG=-1\n"
                                         "M  V30 7 O 4.0 5.0 -\nM  V30 6.0 0 MASS=17\n"
                                         "M  V30 3 Br 0 0 0 0\n"
                                         "M  V30 END ATOM\nM  V30 BEGIN BOND\nM  V30 1 1 1 7\nM  V30 END BOND\n"
                                         "M  V30 BEGIN COLLECTION\nM  V30 MDLV30/STEABS ATOMS=(1 1)\nM  V30 END COLLECTION\n"
                                         "M  V30 END CTAB\nM  END\n");
    const Mol m = read_mol("ok.mol");
    EXPECT_EQ(m.atypes, (std::vector<int>{6, 8, 35}));
    EXPECT_EQ(m.x, (std::vector<double>{1, 2, 3, 4, 5, 6, 0, 0, 0}));
}

TEST(MolReader, MalformedFiles) {
    krymo_test::ScopedStudyDir dir;
    const std::string v3000_head = std::string(kHeader) + "  0  0  0     0  0            999 V3000\n"
                                                          "M  V30 BEGIN CTAB\nM  V30 COUNTS 1 0 0 0 0\nM  V30 BEGIN ATOM\n";
    struct Case {
        std::string text;
        const char* needle;
    };
    const Case cases[] = {
        {std::string(kHeader) + "  3\n",
         "WARNING: Problems reading a MDL file\n         Cannot read atom and bond count\n"
         "         Expected standard 6 character atom and bond count\n"},
        {std::string(kHeader) + "  1  0  1  0  0  0  0  0  0  0999 V2000\n",
         "WARNING: Problems reading the Count line of an MDL file\n         There may be erroneous addition spaces or\n"
         "         the file may contains Atom Lists, which are ignored\n"},
        {std::string(kHeader) + "  2  0  0  0  0  0  0  0  0  0999 V2000\n    0.0000    0.0000    0.0000 C   0\n",
         "WARNING: Problems reading a MDL file\n         Not enough atoms to match atom count (2) in counts line\n"},
        {std::string(kHeader) + "  1  0  0  0  0  0  0  0  0  0999 V2000\n    0.0000    0.0000    0.0000\n",
         "too short (30 characters)"},
        {std::string(kHeader) + "  1  0  0  0  0  0  0  0  0  0999 V2000\n    0.0000    0.0000    0.0000 D   0\n",
         "Unknown element symbol \"D\""},
        {v3000_head + "M  V30 1 R# 0 0 0 0\nM  V30 END ATOM\n", "R group"},
        {v3000_head + "M  V30 1 Xx 0 0 0 0\nM  V30 END ATOM\n", "Unknown element symbol \"Xx\""},
        {v3000_head + "M  V30 1 C 0 0 0 0\nM  V30 2 C 1 0 0 0\nM  V30 END ATOM\n", "more atoms than its COUNTS line (1)"},
        {v3000_head + "M  V30 1 C 0 0 0 0 CHG\nM  V30 END ATOM\n", "Malformed V3000 atom line"},
        {v3000_head + "M  V30 1 C 0 0 0 0\n", "ends before its END ATOM"},
        {std::string(kHeader) + "  0  0  0     0  0            999 V3000\nM  END\n", "No complete V3000 atom block"},
    };
    for (const Case& c : cases) {
        krymo_test::write_file("bad.mol", c.text);
        const krymo::FatalError e = krymo_test::expect_fatal([] { read_mol("bad.mol"); });
        EXPECT_EQ(e.status, 1) << c.text;
        EXPECT_NE(e.out_text.find(c.needle), std::string::npos) << e.out_text;
    }
    // Errors after the counts line name the file and the line.
    krymo_test::write_file("bad.mol", cases[4].text);
    EXPECT_NE(krymo_test::expect_fatal([] { read_mol("bad.mol"); }).out_text.find("(file \"bad.mol\", line 5)"),
              std::string::npos);
    const krymo::FatalError e = krymo_test::expect_fatal([] { read_mol("missing.mol"); });
    EXPECT_EQ(e.status, 255);
    EXPECT_EQ(e.err_text, "Failed to open input file \"missing.mol\"\n");
}
