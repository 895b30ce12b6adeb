// MOL files: third-party V2000/V3000 files and hand-written edge cases (malformed files: BadInput).
#include <gtest/gtest.h>

#include "golden.h"
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
    // Short V2000 atom lines and symbols in any case; a chiral flag other than 0 or 1 warns; V3000
    // continuation lines, property tokens, bond and collection blocks.
    std::string read;
    for (const char* file : {"v2000_short_atom_lines.mol", "v2000_chiral_2.mol", "v3000_continued_lines.mol"}) {
        const Mol m = read_mol(data_path(std::string("structure/") + file));
        read += std::string(file) + ":\n" + m.out;
        for (size_t i = 0; i < m.atypes.size(); ++i)
            read += krymo::format_string("  %d %.10g %.10g %.10g\n", m.atypes[i], m.x[3 * i], m.x[3 * i + 1],
                                         m.x[3 * i + 2]);
    }
    expect_golden(read, "structure/mol_details.txt");
}
