// Post-read treatment: settings adjustments, centres of mass, HOMO numbers and the orbital files.
#include "transport/transport_fixture.h"

using krymo_test::TestTransport;

namespace {

// Benzene in a 10 A box; the second copy is shifted by 5 A in z.
void benzene_cell(TestTransport& t, int copies) {
    t.set_cell(10, 10, 10);
    for (int m = 0; m < copies; ++m) krymo_test::add_benzene(t, 5, 5, 2.0 + 5 * m);
}

}  // namespace

TEST(PostRead, BenzeneHomoAndOrbitalFiles) {
    // A ZINDO basis with use_moo counts valence electrons only: 42 - 6 x 2 core electrons = 30.
    struct Case {
        const char* basis;
        bool moo;
        std::vector<int> homo_adj, lumo_adj;
        std::string uc_H, uc_L, H_adj, L_adj;  // empty: no file
    };
    const Case cases[] = {{"b3lyp", false, {}, {}, "21\n21\n", "22\n22\n", "", ""},
                          {"b3lyp", false, {-1, 0}, {2, 1}, "20\n21\n", "24\n23\n", "2\n-1\n0\n", "2\n2\n1\n"},
                          {"ZINDOS/S", true, {}, {}, "15\n15\n", "16\n16\n", "", ""},
                          {"zindos", false, {}, {}, "21\n21\n", "22\n22\n", "", ""}};
    for (const Case& c : cases) {
        krymo_test::ScopedStudyDir dir;
        TestTransport t;
        benzene_cell(t, 2);
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
            EXPECT_EQ(krymo_test::read_file(std::string("data/") + f.first + ".inp"), f.second) << c.basis << f.first;
    }
    // Second-row atoms lose 10 core electrons: chlorine (17) keeps 7; an odd count rounds down.
    TestTransport c;
    c.set_cell(10, 10, 10);
    c.add_molecule({17}, {1, 1, 1});
    c.set_job_moo_flag(true);
    c.calc_homo();
    EXPECT_EQ(c.homo_index[0], 3);
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
        benzene_cell(t, 1);
        t.chargetype = "Hole";
        t.compute_engine = 2;
        t.RE_use_neutral_chk = true;
        t.reorg_outer_type = std::stoi(c[0]);
        t.qc_exe = c[1];
        t.qc_basis_re = c[2];
        EXPECT_EQ(krymo_test::capture_stdout([&] { t.post_data_read_treatment(true); }), c[4]);
        EXPECT_EQ(t.qc_basis_re, c[3]);
        EXPECT_EQ(t.carrier_letter, 'h');
        EXPECT_FALSE(t.RE_use_neutral_chk);
    }
}

TEST(PostRead, ListLengthFailures) {
    struct Case {
        std::vector<double> radii;  // with reorg_outer 2
        std::vector<int> homo_adj, lumo_adj;
        std::string message;  // empty: accepted
    };
    const Case cases[] = {
        {{0.4}, {}, {}, "reorg_outer: Number of radiuses (1) is LESS than number of molecules (2)\n"},
        {{0.4, 0.4, 0.5}, {}, {}, ""},  // extra radii are accepted
        {{}, {1, 2, 3}, {}, "homo_adjustment: Number of input parameters (3) is NOT equal to nmols_uc (2)\n"},
        {{}, {}, {1}, "lumo_adjustment: Number of input parameters (1) is NOT equal to nmols_uc (2)\n"},
        {{}, {1}, {1}, "homo_adjustment: Number of input parameters (1) is NOT equal to nmols_uc (2)\n"},
    };
    for (const Case& c : cases) {
        TestTransport t;
        benzene_cell(t, 2);
        t.reorg_outer_type = c.radii.empty() ? 0 : 2;
        t.reorg_outer_radii = c.radii;
        t.homo_adjustment = c.homo_adj;
        t.lumo_adjustment = c.lumo_adj;
        if (c.message.empty()) t.post_data_read_treatment(false);
        else krymo_test::expect_stop([&] { t.post_data_read_treatment(false); }, 1, "", c.message);
    }
}
