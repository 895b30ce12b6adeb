// MOL files: third-party V2000/V3000 files and hand-written edge cases (malformed files: BadInput).
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
