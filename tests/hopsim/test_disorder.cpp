// Static disorder on the supercell: without disorder the supercell is the unit cell again, kinetic
// Monte Carlo and the sparse master equation agree on one disordered supercell, the temperature
// dependence follows the Gaussian disorder model where it holds, the energies are fixed by their
// seed, and settings the tools cannot hold are refused naming their key.
#include <gtest/gtest.h>

#include <cmath>

#include "hopsim/disorder.h"
#include "hopsim/kmc.h"
#include "hopsim/master.h"
#include "hopsim/mobility.h"
#include "hopsim/sparse_master.h"
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

TEST(Disorder, TemperatureDependenceFollowsTheGaussianDisorderModel) {
    // The model's ln mu = const - (2 sigma / 3 kT)^2 was found for Miller-Abrahams rates (uphill
    // exp(-dE/kT), downhill constant) between nearest neighbours of a simple cubic lattice, at low
    // field, for sigma / kT from about 2 to 5; below 2 the decay is steeper per unit of (sigma/kT)^2,
    // and far above 4 a supercell of some thousand sites no longer holds the deep sites that dominate.
    // Here: 16^3 sites, sigma / kT = 2 to 3.5, each point the mean of ln mu over three seeds; the
    // slope of the fit against (sigma/kT)^2 must be 4/9 within 10 %.
    const double a = 5.0, kT = units::kBoltzmann * 300.0, field = 1e-4 * kT / (a * 1e-10);
    const RateTable t = hand_table("cubic");
    const SupercellLayout layout = supercell_layout(1, 16, -1, 0);
    const double ratios[4] = {2.0, 2.5, 3.0, 3.5};
    double y[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4; ++i)
        for (int seed = 1; seed <= 3; ++seed) {
            const SiteEnergies e = supercell_site_energies(t, layout, Disorder{ratios[i] * kT * 1e3, 16, seed});
            double v[2];
            for (int sign : {1, -1}) {
                const HopNetwork net = build_supercell_network(t, layout, e, [&](std::size_t k, double extra) {
                    const double dg = extra - t.pairs[k].dr[0] * sign * field * 1e-10;
                    return 1e12 * (dg > 0 ? std::exp(-dg / kT) : 1.0);
                });
                const SteadyState st = solve_steady_state_sparse(net, 50, 10, nullptr);
                EXPECT_TRUE(st.converged);
                v[sign > 0 ? 0 : 1] = st.velocity[0];
            }
            y[i] += std::log(0.5 * (v[0] - v[1]) / field * 1e-6) / 3;  // hole: charge +1, cm^2/Vs
        }
    // Least-squares slope of y against x = ratio^2.
    double mx = 0, my = 0, sxy = 0, sxx = 0;
    for (int i = 0; i < 4; ++i) {
        mx += ratios[i] * ratios[i] / 4;
        my += y[i] / 4;
    }
    for (int i = 0; i < 4; ++i) {
        sxy += (ratios[i] * ratios[i] - mx) * (y[i] - my);
        sxx += (ratios[i] * ratios[i] - mx) * (ratios[i] * ratios[i] - mx);
    }
    EXPECT_NEAR(-sxy / sxx, 4.0 / 9.0, 0.1 * 4.0 / 9.0);
}

TEST(Disorder, EnergiesFollowTheirSeed) {
    const std::vector<double> z = gaussian_numbers(200000, 1);
    EXPECT_EQ(z, gaussian_numbers(200000, 1));
    const std::vector<double> other = gaussian_numbers(200000, 2);
    int same = 0;
    for (size_t i = 0; i < z.size(); ++i) same += z[i] == other[i];
    EXPECT_EQ(same, 0);
    double m1 = 0, m2 = 0, m4 = 0;
    for (double x : z) {
        m1 += x / z.size();
        m2 += x * x / z.size();
        m4 += x * x * x * x / z.size();
    }
    EXPECT_NEAR(m1, 0.0, 0.01);
    EXPECT_NEAR(m2, 1.0, 0.01);
    EXPECT_NEAR(m4, 3.0, 0.06);  // Gaussian tails, not merely the right width
    // The first numbers of seed 1, as every machine must draw them.
    const double first[4] = {-0.43695029837839683, 0.31032705040024, -0.55664832389596841, 0.33371045263652349};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(z[i], first[i]) << i;
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
         "disorder_cells = 300"},
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
