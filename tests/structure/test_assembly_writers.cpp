// Crystal assembly (both modes, whole-molecule repair, centre-of-mass wrap, cellvec.dat) and the
// structure files, checked as full text on a small hand-checked cell.
#include <gtest/gtest.h>

#include <cmath>

#include "golden.h"
#include "structure_probe.h"

using namespace krymo_test;

namespace {

// C1 (x 0.98) and C2 (x 0.10) bond across the face x = 1; O1-H1 is a second molecule.
std::string tiny_cell() { return read_file(data_path("structure/tiny_cell.cif")); }

// A written structure file with the creation date left out.
std::string written(const std::string& path) { return replaced(read_file(path), today_stamp(), "<today>"); }

}  // namespace

TEST(Assembly, CrystalModeRepairsWrapsAndWritesEveryFile) {
    ScopedStudyDir dir;
    StructureProbe p;
    read_cif(p, tiny_cell());
    p.mol_data_source = 2;
    // Molecule 1 is made whole across x = 1 and its centre wrapped back into the cell.
    expect_golden(capture_stdout([&] { p.read_crystal_strcuture_files(true, true); }), "structure/tiny_repair.txt");
    ASSERT_EQ(p.nmols_uc, 2);

    // Output levels choose the files: none; the unit cell and the first molecule; all.
    for (int level : {0, 1}) {
        p.set_data_mol_output_level(level);
        p.write_mol_files();
        EXPECT_EQ(path_exists("data/unitcell.cif") + path_exists("data/mol1.mol"), 2 * level) << level;
        EXPECT_FALSE(path_exists("data/mol2.mol") || path_exists("data/supercell.cif")) << level;
    }
    p.set_data_mol_output_level(7);
    p.neighbor_scell[0] = 2;
    p.neighbor_scell[1] = p.neighbor_scell[2] = 1;
    p.write_mol_files();
    expect_golden(written("data/unitcell.cif"), "structure/tiny_unitcell.cif");
    expect_golden(written("data/supercell.cif"), "structure/tiny_supercell_2x1x1.cif");
    expect_golden(read_file("data/mol1.mol"), "structure/tiny_mol1.mol");

    // A thin film of one layer along b keeps only the cells with kb = 0.
    p.neighbor_scell[0] = 1;
    p.neighbor_scell[1] = 3;
    p.thinfilm_flag = true;
    p.thinfilm_dir = 1;
    p.thinfilm_ncell = 1;
    p.write_mol_files();
    expect_golden(written("data/supercell.cif"), "structure/tiny_thinfilm_b1.cif");
}

TEST(Assembly, MoleculeModeKeepsCoordinatesAndDirectories) {
    ScopedStudyDir dir;
    StructureProbe p;
    for (const char* m : {"a", "b"})
        write_file(m + std::string(".mol"), read_file(data_path(std::string("structure/assembly_") + m + ".mol")));
    p.mol_data_source = 1;
    p.nmols_uc = 2;
    p.mol_files = {"a.mol", "b.mol"};
    for (int k = 0; k < 9; ++k) p.latt_vectors[k / 3][k % 3] = k % 4 == 0 ? 10 : 0;
    p.read_crystal_strcuture_files(false, true);
    EXPECT_DOUBLE_EQ(p.mol_x_s[0][0], 1.2);
    for (int k = 0; k < 6; ++k) EXPECT_NEAR(p.cell_latt[k], k < 3 ? 10.0 : 90.0, 1e-9);
    expect_golden(read_file("data/cellvec.dat"), "structure/cubic_cellvec.dat");

    // Molecule files keep their directories below data/ and their coordinates unwrapped (the text
    // itself is the crystal mode's golden file).
    p.mol_files = {"sub/../x/a.mol", "/abs/b.mol"};
    p.set_data_mol_output_level(2);
    p.write_mol_files();
    ASSERT_TRUE(path_exists("data/sub/x/a.mol") && path_exists("data/abs/b.mol"));
    EXPECT_NE(read_file("data/sub/x/a.mol").find("    1.5000   -0.2500   10.0000 C   0"), std::string::npos);
}

TEST(Assembly, RepairBondsWithTheSeparationRadii) {
    ScopedStudyDir dir;
    // Each cell separates into one molecule whose bonds are longer than the element-table radii
    // allow: an organic C-C of 1.70 A, a Be complex straddling the face x = 1 (Be-O 1.62 A), and an
    // Hg-Cl pair whose chlorine lies 2.90 A away in the cell but 2.40 A away through the image
    // (the element-table radius of Hg would keep the far copy).
    const std::pair<const char*, double> cases[] = {
        {"repair_long_cc.cif", 1.70},
        {"repair_be_complex.cif", std::sqrt(3.0) * 0.0935 * 10},  // every Be-O bond, offsets 0.0935 in a 10 A cell
        {"repair_hg_cl.cif", 0.453 * 5.3},
    };
    for (const auto& [file, bond] : cases) {
        StructureProbe p;
        read_cif(p, read_file(data_path(std::string("structure/") + file)));
        ASSERT_EQ(p.sep_mol_natoms.size(), 1u) << file;
        p.mol_data_source = 2;
        p.read_crystal_strcuture_files(false, false);
        const std::vector<double>& x = p.mol_x[0];
        for (int j = 1; j < p.mol_natoms[0]; ++j)
            EXPECT_NEAR(std::hypot(x[3 * j] - x[0], x[3 * j + 1] - x[1], x[3 * j + 2] - x[2]), bond, 1e-3)
                << file << " atom " << j;
    }

    // Atoms that bond in no image stop the repair.
    StructureProbe p;
    read_cif(p, tiny_cell());
    const int pair[2] = {6, 6};
    double far[6] = {0.1, 0.5, 0.5, 0.5, 0.5, 0.5};
    krymo::FatalError e = expect_fatal([&] { p.make_whole_molecule(1, 2, pair, far, false); });
    EXPECT_EQ(e.status, 1);
    EXPECT_EQ(e.out_text, "Not all atoms are bonded in the molecule!\nnat_bonded = 1, natoms = 2\n");
    StructureProbe none;
    e = expect_fatal([&] { none.read_crystal_strcuture_files(false, false); });
    EXPECT_EQ(std::tie(e.status, e.out_text), std::make_tuple(255, "No input molecular data is available. (-1)\n"));

    // The centre of mass wraps below 0 but not at 0.9999 or just above 1.
    const int atype[1] = {6};
    double x[3] = {-0.2, 0.9999, 1.0000000596046448};
    EXPECT_EQ(capture_stdout([&] { p.make_whole_molecule(3, 1, atype, x, true); }),
              "  molecule 3 COM = -0.200000  0.999900  1.000000\n"
              "  molecule 3 COM =  0.800000  0.999900  1.000000 (wrapped)\n");
    EXPECT_DOUBLE_EQ(x[0], 0.8);
    EXPECT_DOUBLE_EQ(x[1], 0.9999);
    EXPECT_DOUBLE_EQ(x[2], 1.0000000596046448);
}
