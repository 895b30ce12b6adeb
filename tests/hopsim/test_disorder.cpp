// Static disorder on the supercell: without disorder the supercell is the unit cell again, kinetic
// Monte Carlo and the sparse master equation agree on one disordered supercell, the energies are fixed
// by their seed, and settings the tools cannot hold are refused naming the key.
#include <gtest/gtest.h>

#include "hopsim/disorder.h"
#include "hopsim/master.h"
#include "hopsim/mobility.h"
#include "hopsim_support.h"
#include "util/fatal.h"

using namespace krymo::hopsim;
using namespace krymo_test;

TEST(Disorder, SupercellWithoutDisorderGivesTheUnitCellMobility) {
    // The sparse solver on 3 x 3 x 3 identical cells against the dense one on the cell, with probing
    // fields (the tensor of an oblique cell of two molecules, off-diagonal terms included) and at an
    // applied field.
    const double fields[2][3] = {{0, 0, 0}, {2e7, -1e7, 5e6}};
    for (const auto& f : fields) {
        RateTable t = hand_table("oblique_two_molecules");
        std::copy(f, f + 3, t.field);
        fill_rates(t);
        const MasterResult unit = master_mobility(t, MasterSettings(), nullptr);
        MasterSettings s;
        s.disorder = Disorder{0.0, 3, 1};
        const MasterResult super = master_mobility(t, s, nullptr);
        ASSERT_TRUE(unit.converged && super.converged);
        EXPECT_EQ(super.at_field.p.size(), 54u);
        double scale = 0.0;
        for (int i = 0; i < 4; ++i) scale = std::max(scale, std::fabs(unit.mu[i]));
        for (int i = 0; i < 4; ++i) EXPECT_NEAR(super.mu[i], unit.mu[i], 1e-8 * scale) << i;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) EXPECT_NEAR(super.tensor[i][j], unit.tensor[i][j], 1e-8 * scale) << i << j;
        if (unit.linear) EXPECT_GT(std::fabs(unit.tensor[0][1]), 1e-3 * scale);  // the check sees off-diagonals
    }
}

TEST(Disorder, MonteCarloAndMasterEquationAgreeOnOneDisorderedSupercell) {
    // 4 x 4 x 4 cubic cells, sigma = 50 meV (about 2 kT): the master equation's mobility of this one
    // supercell, and D/kT of trajectories started in equilibrium on the same energies.
    const RateTable t = hand_table("cubic");
    const Disorder d{50.0, 4, 3};
    MasterSettings ms;
    ms.disorder = d;
    const MasterResult me = master_mobility(t, ms, nullptr);
    ASSERT_TRUE(me.converged);

    const SupercellLayout layout = supercell_layout(1, 4, -1, 0);
    const double zero[3] = {0, 0, 0};
    const HopNetwork net =
        build_supercell_network(t, RateModel(t), zero, layout, supercell_site_energies(t, layout, d));
    KmcSettings ks;
    ks.count = 1000;
    ks.tsimu_ns = time_for_hops(net, 2e4);
    ks.tsnap_ns = ks.tsimu_ns / 50;
    const MobilityAnalysis a = analyse_trajectories(trajectory_header(t, ks), run_trajectories(net, ks, true), true);
    EXPECT_LT(a.err[3], 0.05 * a.mu[3]);
    EXPECT_NEAR(a.mu[3], me.mu[3], 3.0 * a.err[3]);
    // The disorder matters at this width: the ordered crystal is clearly faster.
    EXPECT_GT(master_mobility(t, MasterSettings(), nullptr).mu[3], 1.5 * me.mu[3]);
}

TEST(Disorder, EnergiesFollowTheirSeed) {
    const std::vector<double> z = gaussian_numbers(16, 1);
    const std::vector<double> other = gaussian_numbers(16, 2);
    for (size_t i = 0; i < z.size(); ++i) EXPECT_NE(z[i], other[i]) << i;
    // The first numbers of seed 1, as every machine must draw them.
    const double first[4] = {-0.43695029837839683, 0.31032705040024, -0.55664832389596841, 0.33371045263652349};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(z[i], first[i]) << i;
    // A site's energy is its molecule's, rebuilt from the pairs' dG0, plus sigma times its number.
    const RateTable t = hand_table("oblique_two_molecules");
    const SiteEnergies e = supercell_site_energies(t, supercell_layout(2, 2, -1, 0), Disorder{40.0, 2, 1});
    ASSERT_EQ(e.disorder.size(), 16u);
    EXPECT_EQ(e.molecule, (std::vector<double>{0.0, 0.025}));
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(e.total(i), 0.025 * (i % 2) + 0.040 * z[i], 1e-15) << i;
}

TEST(Disorder, SettingsTheToolsCannotHoldAreRefusedNamingTheKey) {
    const RateTable t = hand_table("cubic");
    const struct {
        std::function<void()> check;
        const char* message;
    } cases[] = {
        {[] { check_disorder({-5.0, 4, 1}); }, "disorder_sigma = -5"},
        {[] { check_disorder({20000.0, 4, 1}); }, "disorder_sigma = 20000"},
        {[] { check_disorder({50.0, 0, 1}); }, "disorder_cells = 0"},
        {[] { check_disorder({50.0, 4, -1}); }, "disorder_seed = -1"},
        // 300^3 cells of one molecule with six hops: 1.6e8 hops, beyond what either solver holds.
        {[&] { check_supercell_size(t, supercell_layout(1, 300, -1, 0), limits::kNetworkSize, "x"); },
         "162000000 hops"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const krymo::FatalError e = expect_fatal(c.check);
        EXPECT_EQ(e.status, 1);
        EXPECT_NE(e.out_text.find(c.message), std::string::npos) << e.out_text;
    }
    EXPECT_NO_THROW(check_supercell_size(t, supercell_layout(1, 100, -1, 0), limits::kNetworkSize, "x"));
}
