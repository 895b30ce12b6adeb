// Per-molecule data after reading: settings adjustments, centres of mass, HOMO numbers, the orbital
// files and the bond lists (distance rule with the element-table radii), read back.
#include "golden.h"
#include "transport/transport_fixture.h"

using namespace krymo_test;

namespace {

// Benzene (C-C 1.39 A, C-H 1.08 A, across the ring C...C 2.41 A or more) in a 10 A box, a copy
// shifted by 5 A in z, water (O-H 0.96 A, H-H 1.52 A) and a chlorine atom.
void four_molecule_cell(TestTransport& t) {
    t.set_cell(10, 10, 10);
    for (double z : {2.0, 7.0}) {
        std::vector<int> types(6, 6);
        types.resize(12, 1);
        std::vector<double> x;
        for (int k = 0; k < 12; ++k) {
            const double r = k < 6 ? 1.39 : 2.47, a = k * M_PI / 3;
            x.insert(x.end(), {5 + r * std::cos(a), 5 + r * std::sin(a), z});
        }
        t.add_molecule(types, x);
    }
    t.add_molecule({8, 1, 1}, {5, 5, 9, 5.96, 5, 9, 4.76, 5.93, 9});
    t.add_molecule({17}, {1, 1, 1});
}

}  // namespace

TEST(PostRead, HomoNumbersOrbitalFilesAndBondLists) {
    // Odd electron counts round down. A ZINDO basis with use_moo counts valence electrons only:
    // first-row atoms lose 2 core electrons, second-row ones 10 (benzene 30, water 8, chlorine 7).
    struct Case {  // uc_H, uc_L, H_adj, L_adj: the files' texts, empty for no file
        const char* basis; bool moo; std::vector<int> homo_adj, lumo_adj; std::string uc_H, uc_L, H_adj, L_adj;
    };
    const Case cases[] = {
        {"b3lyp", false, {}, {}, "21\n21\n5\n8\n", "22\n22\n6\n9\n", "", ""},
        {"b3lyp", false, {-1, 0, 0, 1}, {2, 1, 0, 0}, "20\n21\n5\n9\n", "24\n23\n6\n9\n", "4\n-1\n0\n0\n1\n",
         "4\n2\n1\n0\n0\n"},
        {"ZINDOS/S", true, {}, {}, "15\n15\n4\n3\n", "16\n16\n5\n4\n", "", ""},
        {"zindos", false, {}, {}, "21\n21\n5\n8\n", "22\n22\n6\n9\n", "", ""}};
    for (const Case& c : cases) {
        ScopedStudyDir dir;
        TestTransport t;
        four_molecule_cell(t);
        t.qc_basis = c.basis;
        t.use_moo = c.moo;
        t.homo_adjustment = c.homo_adj;
        t.lumo_adjustment = c.lumo_adj;
        t.post_data_read_treatment(false);
        EXPECT_EQ(t.get_job_moo_flag(), c.moo);
        EXPECT_NEAR(t.mol_mass[0], 6 * 12.011 + 6 * 1.00794, 1e-9);
        EXPECT_NEAR(t.mol_com[5], 7.0, 1e-9);
        t.write_H_L_inp();
        for (const auto& f : {std::make_pair("uc_H", c.uc_H), std::make_pair("uc_L", c.uc_L),
                              std::make_pair("H_adj", c.H_adj), std::make_pair("L_adj", c.L_adj)})
            EXPECT_EQ(read_file(std::string("data/") + f.first + ".inp"), f.second) << c.basis << f.first;
    }
    ScopedStudyDir dir;
    TestTransport t;
    four_molecule_cell(t);
    t.RE_unique = false;  // every molecule gets a file (representatives only: see the end-to-end run)
    t.write_mol_bonds_files(true);
    expect_golden(files_text("data"), "transport/bonds.txt");
    // Reading appends; a file cut short still gives the announced number of lines.
    write_file("short.dat", "3\n  1   2  0  0\n");
    std::vector<std::string> lines = {"kept"};
    for (const char* f : {"data/mol3_bonds.dat", "data/mol4_bonds.dat", "short.dat"})
        t.load_bonds_data(f, lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"kept", "  1   2  0  0", "  1   3  0  0", "  1   2  0  0", "", ""}));
    expect_stop([&] { t.load_bonds_data("none.dat", lines); }, 255, "Failed to open input file \"none.dat\"\n");
}

TEST(PostRead, SettingsAdjustments) {
    // The carrier letter; neutral checkpoints only with engine 1; a ZINDO basis_re replaced; for the
    // dielectric outer sphere (3) the population keywords appended for Gaussian only, once.
    const std::string pop = " Pop=MK IOp(6/33=2,6/42=6,7/33=1)", kept = "b3lyp Pop=MK IOp(6/33=2,6/42=6)";
    const std::string cases[][5] = {
        {"0", "g16", "ZINDOS", "b3lyp STO-3g", "\nINFO: QC_basis_re is adjusted to 'b3lyp STO-3g'\n\n"},
        {"3", "orca", "b3lyp/6-31g*", "b3lyp/6-31g*", ""},
        {"3", "/opt/g16/g16", "b3lyp/6-31g*", "b3lyp/6-31g*" + pop, "\nINFO: append basis_re with" + pop + "\n"},
        {"3", "g09", kept, kept, ""}};
    for (const auto& c : cases) {
        TestTransport t;
        four_molecule_cell(t);
        t.chargetype = "Hole";
        t.compute_engine = 2;
        t.RE_use_neutral_chk = true;
        t.reorg_outer_type = std::stoi(c[0]);
        t.qc_exe = c[1];
        t.qc_basis_re = c[2];
        EXPECT_EQ(capture_stdout([&] { t.post_data_read_treatment(true); }), c[4]);
        EXPECT_EQ(t.qc_basis_re, c[3]);
        EXPECT_EQ(t.carrier_letter, 'h');
        EXPECT_FALSE(t.RE_use_neutral_chk);
    }
}

TEST(PostRead, ListLengthFailures) {
    // Numbers of reorg_outer radii (with reorg_outer 2), homo and lumo adjustments; no message: accepted.
    struct Case { size_t radii, homo, lumo; std::string message; };
    const Case cases[] = {
        {3, 0, 0, "reorg_outer: Number of radiuses (3) is LESS than number of molecules (4)\n"},
        {5, 0, 0, ""},
        {0, 5, 0, "homo_adjustment: Number of input parameters (5) is NOT equal to nmols_uc (4)\n"},
        {0, 0, 1, "lumo_adjustment: Number of input parameters (1) is NOT equal to nmols_uc (4)\n"},
        {0, 1, 1, "homo_adjustment: Number of input parameters (1) is NOT equal to nmols_uc (4)\n"},
    };
    for (const Case& c : cases) {
        TestTransport t;
        four_molecule_cell(t);
        t.reorg_outer_type = c.radii == 0 ? 0 : 2;
        t.reorg_outer_radii.assign(c.radii, 1.0);
        t.homo_adjustment.assign(c.homo, 1);
        t.lumo_adjustment.assign(c.lumo, 1);
        if (c.message.empty()) t.post_data_read_treatment(false);
        else expect_stop([&] { t.post_data_read_treatment(false); }, 1, "", c.message);
    }
}
