// Master equation and kinetic Monte Carlo on chains whose diffusion and mobility are known in closed
// form: one molecule per cell (D = k a^2) and two molecules of different energy per cell, where the
// bonds add up like resistors in series, D = a^2 / sum_b 1 / (p_b k_b) with p_b the Boltzmann
// occupation of the bond's lower end.
#include <gtest/gtest.h>

#include "hopsim/master.h"
#include "hopsim/mobility.h"
#include "hopsim_support.h"

using namespace krymo::hopsim;
using namespace krymo_test;

TEST(MasterEquation, TwoSiteChainGivesItsClosedFormMobility) {
    const RateTable t = hand_table("two_molecule_chain");
    const MasterResult r = master_mobility(t, MasterSettings(), nullptr);
    const double kT = units::kBoltzmann * t.temperature;
    const double p1 = 1.0 / (1.0 + std::exp(-0.020 / kT));
    const double d = 25.0 / (1.0 / (p1 * t.pairs[0].rate) + 1.0 / (p1 * t.pairs[1].rate));
    EXPECT_TRUE(r.converged);
    EXPECT_NEAR(r.mu[0] / einstein_mobility(d, t.temperature), 1.0, 1e-6);
    // Zero-field occupations are Boltzmann's.
    ASSERT_EQ(r.at_field.p.size(), 2u);
    EXPECT_NEAR(r.at_field.p[1] / r.at_field.p[0], std::exp(-0.020 / kT), 1e-12);
}

TEST(MasterEquation, ObliqueLatticeFollowsItsClosedFormAtAnyField) {
    // With one site per cell the velocity is sum_k k_k dr_k at any field, the linear response
    // sum_k k_k dr_k dr_k / 2kT; projected on the unit lattice vectors u, the average its trace / 3.
    const double len_b = std::sqrt(2.0 * 2.0 + 4.5 * 4.5);
    const double u[3][3] = {{1, 0, 0}, {2.0 / len_b, 4.5 / len_b, 0}, {0, 0, 1}};
    {
        SCOPED_TRACE("linear response");
        const RateTable t = hand_table("oblique_lattice");
        const MasterResult r = master_mobility(t, MasterSettings(), nullptr);
        double trace = 0.0;
        for (int d = 0; d < 3; ++d) {
            double m = 0.0;  // Angstrom^2/s over kT/e, then 1e-16 cm^2/Vs
            for (const RatePair& p : t.pairs) {
                const double proj = p.dr[0] * u[d][0] + p.dr[1] * u[d][1] + p.dr[2] * u[d][2];
                m += 0.5 * p.rate * proj * proj * 1e-16 / (units::kBoltzmann * t.temperature);
                trace += 0.5 * p.rate * p.dr[d] * p.dr[d] * 1e-16 / (units::kBoltzmann * t.temperature);
            }
            EXPECT_NEAR(r.mu[d], m, 1e-6 * std::fabs(m) + 1e-12) << d;
        }
        EXPECT_NEAR(r.mu[3], trace / 3, 1e-6 * trace);
    }
    // A field along b of 5e7 V/m, 25 meV over a hop: the hole drifts along it, the electron against
    // it, and both have a positive mobility.
    for (char carrier : {'h', 'e'}) {
        SCOPED_TRACE(carrier);
        RateTable t = hand_table("oblique_lattice", carrier);
        t.field[1] = 5e7;
        fill_rates(t);
        const MasterResult r = master_mobility(t, MasterSettings(), nullptr);
        EXPECT_FALSE(r.linear);
        double v[3] = {0, 0, 0};
        for (const RatePair& p : t.pairs)
            for (int c = 0; c < 3; ++c) v[c] += p.rate * p.dr[c];
        const double q = carrier == 'h' ? 1.0 : -1.0;
        for (int d = 0; d < 3; ++d) {
            // Angstrom/s over V/m is 1e-6 cm^2/Vs.
            const double m = q * (v[0] * u[d][0] + v[1] * u[d][1] + v[2] * u[d][2]) / 5e7 * 1e-6;
            EXPECT_NEAR(r.mu[d], m, 1e-9 * std::fabs(m) + 1e-12) << d;
        }
        EXPECT_NEAR(r.mu[3], r.mu[1], 1e-12);
    }
}

TEST(MasterEquation, AThinFilmBlocksTheDriftAcrossIt) {
    // The one-molecule chain as a film three cells thick along a: no steady current crosses it.
    MasterSettings s;
    s.film_dir = 0;
    s.film_ncell = 3;
    const MasterResult r = master_mobility(hand_table("one_molecule_chain"), s, nullptr);
    EXPECT_EQ(r.at_field.p.size(), 3u);
    EXPECT_NEAR(r.mu[0], 0.0, 1e-9);
}

TEST(KineticMonteCarlo, StopsWhenTheErrorReachesItsTarget) {
    // The one-molecule chain, whose mobility is known: whole batches until the error is 5 %, on any
    // number of threads; a target of 0 runs every trajectory. A trajectory depends on its number only:
    // threads, job splits and the order of the calls do not change it.
    const RateTable t = hand_table("one_molecule_chain");
    std::vector<double> rates;  // as the Monte Carlo reads them from the rate file
    for (const RatePair& p : t.pairs) rates.push_back(p.rate);
    const HopNetwork net = build_network(t, rates, -1, 0);
    KmcSettings s;
    s.tsimu_ns = 2.0;
    s.tsnap_ns = 0.1;
    s.count = 5000;
    const TrajectoryHeader h = trajectory_header(t, s);
    const KmcOutcome parallel = run_to_target(net, s, h, 0.05, true);
    const KmcOutcome serial = run_to_target(net, s, h, 0.05, false);
    ASSERT_TRUE(parallel.target_reached);
    const size_t n = parallel.trajectories.size();
    EXPECT_LT(n, 5000u);
    EXPECT_EQ(n % kStopBatch, 0u);
    ASSERT_EQ(serial.trajectories.size(), n);
    EXPECT_EQ(serial.trajectories.back().r, parallel.trajectories.back().r);
    const MobilityAnalysis a = analyse_trajectories(h, parallel.trajectories, true);
    EXPECT_LE(relative_error(a), 0.05);
    EXPECT_EQ(relative_error(a), parallel.relative_error);
    // Stopped at the first batch that reached it.
    const std::vector<Trajectory> fewer(parallel.trajectories.begin(), parallel.trajectories.end() - kStopBatch);
    if (fewer.size() >= 2 * kStopBatch) EXPECT_GT(relative_error(analyse_trajectories(h, fewer, true)), 0.05);
    const double mu = einstein_mobility(t.pairs[0].rate * 25.0, t.temperature) / 3.0;
    EXPECT_NEAR(a.mu[3], mu, 3 * a.err[3]);
    s.count = 250;
    EXPECT_EQ(run_to_target(net, s, h, 0.0, true).trajectories.size(), 250u);
    s.first = 7;
    s.count = 5;
    const std::vector<Trajectory> tail = run_trajectories(net, s, true);
    for (size_t k = 0; k < tail.size(); ++k) EXPECT_EQ(tail[k].r, parallel.trajectories[7 + k].r);
    // Snapshots at 0, 0.1, ..., 2.0 ns; the first is the start.
    EXPECT_EQ(tail[0].r.size(), 63u);
    EXPECT_EQ(tail[0].r[0], 0.0);
    // xoshiro256** seeded by splitmix64(0): values of an independent implementation fix the stream.
    Rng rng(0);
    EXPECT_EQ(rng.next(), 0x99ec5f36cb75f2b4ULL);
    EXPECT_EQ(rng.next(), 0xbf6e1f784956452aULL);
}

TEST(KineticMonteCarlo, NegativeOrUnresolvedValuesAreFlagged) {
    const double mu[4] = {1.0, -0.5, 0.2, 0.0}, err[4] = {0.1, 0.1, 0.3, 0.0};
    const std::vector<std::string> w = mobility_warnings(mu, err, true, false);
    ASSERT_EQ(w.size(), 2u);
    EXPECT_NE(w[0].find("mu_b"), std::string::npos);
    EXPECT_NE(w[0].find("negative"), std::string::npos);
    EXPECT_NE(w[1].find("mu_c"), std::string::npos);
    EXPECT_EQ(mobility_warnings(mu, err, false, false).size(), 1u);
    // Under a field the value along it counts.
    EXPECT_TRUE(mobility_warnings(mu, err, true, true).empty());
    const double along[4] = {1.0, 0.0, 0.0, -0.1};
    EXPECT_EQ(mobility_warnings(along, err, true, true).size(), 1u);
}

TEST(KineticMonteCarlo, AnalysisOfKnownDisplacementsGivesTheirDriftAndSpread) {
    // Two trajectories x = q v t +- sqrt(c t) in a field of 1e7 V/m along a: the mean moves at q v, the
    // spread about it grows as 2 c t, so D = c exactly, whatever the drift, and mu = v / F for either
    // carrier.
    const double v = 2.0, c = 3.0;  // Angstrom/ns, Angstrom^2/ns
    for (char carrier : {'h', 'e'}) {
        SCOPED_TRACE(carrier);
        const RateTable t = hand_table("one_molecule_chain", carrier);
        KmcSettings s;
        s.tsimu_ns = 10.0;
        s.tsnap_ns = 1.0;
        TrajectoryHeader h = trajectory_header(t, s);
        h.field[0] = 1e7;
        const double q = carrier == 'h' ? 1.0 : -1.0;
        std::vector<Trajectory> trajs(2);
        for (int k = 0; k < 2; ++k) {
            trajs[k].id = k;
            for (int i = 0; i < h.nsnap; ++i) {
                const double time = i * s.tsnap_ns;
                trajs[k].r.insert(trajs[k].r.end(), {q * v * time + (k == 0 ? 1 : -1) * std::sqrt(c * time), 0, 0});
            }
        }
        const MobilityAnalysis a = analyse_trajectories(h, trajs, false);
        // Angstrom/ns over V/m is 1e3 cm^2/Vs; Angstrom^2/ns is 1e-7 cm^2/s.
        EXPECT_NEAR(a.mu[0] / (v / 1e7 * 1e3), 1.0, 1e-12);
        EXPECT_NEAR(a.mu[3] / (v / 1e7 * 1e3), 1.0, 1e-12);
        EXPECT_NEAR(a.diffusion[0][0] / (c * 1e-7), 1.0, 1e-12);
        EXPECT_NEAR(a.d_kt[0] / (c * 1e-7 / (units::kBoltzmann * t.temperature)), 1.0, 1e-12);
        EXPECT_NEAR(a.drift[0], q * v * 10.0, 1e-12);
    }
}
