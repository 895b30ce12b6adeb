// Post-read treatment: settings adjustments, centres of mass, HOMO numbers and the orbital files.
#include <cmath>

#include "transport/transport_fixture.h"

using krymo_test::TestTransport;

namespace {

// Benzene (C6H6) as a flat hexagon in a 10 A box; the optional second copy is shifted by 5 A in z.
void benzene_cell(TestTransport& t, int copies = 1) {
    t.set_box(10, 10, 10);
    const double rc = 1.39, rh = 2.47;
    for (int m = 0; m < copies; ++m) {
        std::vector<int> types;
        std::vector<double> x;
        for (int k = 0; k < 6; ++k) {
            const double a = k * 3.14159265358979 / 3;
            types.push_back(6);
            x.insert(x.end(), {5 + rc * std::cos(a), 5 + rc * std::sin(a), 2.0 + 5 * m});
        }
        for (int k = 0; k < 6; ++k) {
            const double a = k * 3.14159265358979 / 3;
            types.push_back(1);
            x.insert(x.end(), {5 + rh * std::cos(a), 5 + rh * std::sin(a), 2.0 + 5 * m});
        }
        t.add_molecule_cart(types, x);
    }
}

}  // namespace

TEST(PostRead, BenzeneHomoAndOrbitalFiles) {
    krymo_test::ScopedStudyDir dir;
    TestTransport t;
    benzene_cell(t, 2);
    t.post_data_read_treatment(false);
    EXPECT_EQ(t.homo_index, (std::vector<int>{21, 21}));
    EXPECT_NEAR(t.mol_mass[0], 6 * 12.011 + 6 * 1.00794, 1e-9);
    EXPECT_NEAR(t.mol_com[0], 5.0, 1e-9);
    EXPECT_NEAR(t.mol_com[5], 7.0, 1e-9);
    EXPECT_NEAR(t.mol_com_s[5], 0.7, 1e-12);
    t.write_H_L_inp();
    EXPECT_EQ(krymo_test::read_file("data/uc_H.inp"), "21\n21\n");
    EXPECT_EQ(krymo_test::read_file("data/uc_L.inp"), "22\n22\n");
    EXPECT_FALSE(krymo_test::path_exists("data/H_adj.inp"));
    EXPECT_FALSE(krymo_test::path_exists("data/L_adj.inp"));
}

TEST(PostRead, AdjustmentsShiftTheOrbitalFiles) {
    krymo_test::ScopedStudyDir dir;
    TestTransport t;
    benzene_cell(t, 2);
    t.homo_adjustment = {-1, 0};
    t.lumo_adjustment = {2, 1};
    t.post_data_read_treatment(false);
    t.write_H_L_inp();
    EXPECT_EQ(krymo_test::read_file("data/uc_H.inp"), "20\n21\n");
    EXPECT_EQ(krymo_test::read_file("data/uc_L.inp"), "24\n23\n");
    EXPECT_EQ(krymo_test::read_file("data/H_adj.inp"), "2\n-1\n0\n");
    EXPECT_EQ(krymo_test::read_file("data/L_adj.inp"), "2\n2\n1\n");
}

TEST(PostRead, MooModeCountsValenceElectronsOnly) {
    TestTransport t;
    benzene_cell(t);
    t.qc_basis = "ZINDOS/S";
    t.use_moo = true;
    t.post_data_read_treatment(false);
    EXPECT_TRUE(t.get_job_moo_flag());
    EXPECT_EQ(t.homo_index[0], 15);  // 42 - 6 x 2 core electrons = 30

    TestTransport u;
    benzene_cell(u);
    u.qc_basis = "zindos";
    u.use_moo = false;
    u.post_data_read_treatment(false);
    EXPECT_FALSE(u.get_job_moo_flag());
    EXPECT_EQ(u.homo_index[0], 21);

    // Second-row atoms lose 10 core electrons: chlorine (17) keeps 7; an odd count rounds down.
    TestTransport c;
    c.set_box(10, 10, 10);
    c.add_molecule_cart({17}, {1, 1, 1});
    c.set_job_moo_flag(true);
    c.calc_homo();
    EXPECT_EQ(c.homo_index[0], 3);
}

TEST(PostRead, SettingsAdjustments) {
    {
        TestTransport t;
        benzene_cell(t);
        t.chargetype = "Hole";
        t.compute_engine = 2;
        t.RE_use_neutral_chk = true;
        t.qc_basis_re = "ZINDOS";
        const std::string out = krymo_test::capture_stdout([&] { t.post_data_read_treatment(true); });
        EXPECT_EQ(t.carrier_letter, 'h');
        EXPECT_FALSE(t.RE_use_neutral_chk);
        EXPECT_EQ(t.qc_basis_re, "b3lyp STO-3g");
        EXPECT_EQ(out, "\nINFO: QC_basis_re is adjusted to 'b3lyp STO-3g'\n\n");
    }
    // Dielectric outer sphere: the population keywords are appended for Gaussian only, once.
    struct Case {
        std::string exe, basis, expected;
    };
    const Case cases[] = {
        {"orca", "b3lyp/6-31g*", "b3lyp/6-31g*"},
        {"/opt/g16/g16", "b3lyp/6-31g*", "b3lyp/6-31g* Pop=MK IOp(6/33=2,6/42=6,7/33=1)"},
        {"g09", "b3lyp Pop=MK IOp(6/33=2,6/42=6)", "b3lyp Pop=MK IOp(6/33=2,6/42=6)"},
    };
    for (const Case& c : cases) {
        TestTransport t;
        benzene_cell(t);
        t.reorg_outer_type = 3;
        t.qc_exe = c.exe;
        t.qc_basis_re = c.basis;
        const std::string out = krymo_test::capture_stdout([&] { t.post_data_read_treatment(true); });
        EXPECT_EQ(t.qc_basis_re, c.expected);
        EXPECT_EQ(out.empty(), c.basis == c.expected) << out;
        if (!out.empty()) EXPECT_EQ(out, "\nINFO: append basis_re with Pop=MK IOp(6/33=2,6/42=6,7/33=1)\n");
    }
}

TEST(PostRead, ListLengthFailures) {
    struct Case {
        std::function<void(TestTransport&)> set;
        std::string message;
    };
    const Case cases[] = {
        {[](TestTransport& t) {
             t.reorg_outer_type = 2;
             t.reorg_outer_radii = {0.4};
         },
         "reorg_outer: Number of radiuses (1) is LESS than number of molecules (2)\n"},
        {[](TestTransport& t) { t.homo_adjustment = {1, 2, 3}; },
         "homo_adjustment: Number of input parameters (3) is NOT equal to nmols_uc (2)\n"},
        {[](TestTransport& t) { t.lumo_adjustment = {1}; },
         "lumo_adjustment: Number of input parameters (1) is NOT equal to nmols_uc (2)\n"},
        {[](TestTransport& t) {
             t.homo_adjustment = {1};
             t.lumo_adjustment = {1};
         },
         "homo_adjustment: Number of input parameters (1) is NOT equal to nmols_uc (2)\n"},
    };
    for (const Case& c : cases) {
        TestTransport t;
        benzene_cell(t, 2);
        c.set(t);
        const krymo::FatalError e = krymo_test::expect_fatal([&] { t.post_data_read_treatment(false); });
        EXPECT_EQ(e.status, 1);
        EXPECT_EQ(e.unit, "transport");
        EXPECT_EQ(e.err_text, c.message);
    }
    TestTransport t;
    benzene_cell(t, 2);
    t.reorg_outer_type = 2;
    t.reorg_outer_radii = {0.4, 0.4, 0.5};  // extra radii are accepted
    t.post_data_read_treatment(false);
}
