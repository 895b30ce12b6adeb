// Static disorder on the supercell: without disorder the supercell is the unit cell again, kinetic
// Monte Carlo and the sparse master equation agree on one disordered supercell, the temperature
// dependence follows the Gaussian disorder model where it holds, the energies are fixed by their
// seed, and settings the tools cannot hold are refused naming their key.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "hopsim/disorder.h"
#include "hopsim/kmc.h"
#include "hopsim/master.h"
#include "hopsim/mobility.h"
#include "hopsim/sparse_master.h"
#include "hopsim/study.h"
#include "hopsim_support.h"
#include "test_support.h"
#include "util/fatal.h"

using namespace krymo::hopsim;
using namespace krymo_test;

namespace {

RatePair pair_to(int root, int nei, int na, int nb, int nc, const RateTable& t, double j_mev, double dg0) {
    RatePair p;
    p.key = {root, nei, {na, nb, nc}};
    const int cell[3] = {na, nb, nc};
    for (int d = 0; d < 3; ++d)
        for (int r = 0; r < 3; ++r) p.dr[d] += cell[r] * t.cell[r][d];
    p.j_mev = j_mev;
    p.lambda_in_mev = 200.0;
    p.dg0_mev = dg0;
    return p;
}

// One molecule per cubic cell of edge a, hopping to its six face neighbours.
RateTable cubic(double a, double j_mev) {
    RateTable t;
    t.carrier = 'h';
    t.temperature = 300.0;
    for (int d = 0; d < 3; ++d) t.cell[d][d] = a;
    t.nmols = 1;
    t.modes.resize(1);
    t.modes[0].lambda_mev = 200.0;
    for (int d = 0; d < 3; ++d)
        for (int s : {1, -1}) {
            int c[3] = {0, 0, 0};
            c[d] = s;
            t.pairs.push_back(pair_to(1, 1, c[0], c[1], c[2], t, j_mev, 0.0));
        }
    fill_rates(t);
    return t;
}

// Two molecules 25 meV apart in an oblique cell, with hops of different coupling within the cell and
// to the cells along a, b and a + c: an anisotropic tensor with off-diagonal terms.
RateTable oblique() {
    RateTable t;
    t.carrier = 'e';
    t.temperature = 300.0;
    const double cell[3][3] = {{7.0, 0.0, 0.0}, {1.2, 6.0, 0.0}, {-2.0, 0.5, 8.0}};
    std::copy(&cell[0][0], &cell[0][0] + 9, &t.cell[0][0]);
    t.nmols = 2;
    t.modes.resize(2);
    t.modes[0].lambda_mev = t.modes[1].lambda_mev = 200.0;
    const int steps[4][3] = {{0, 0, 0}, {-1, 0, 0}, {0, -1, 0}, {-1, 0, -1}};
    const double j[4] = {12.0, 7.0, 4.0, 2.5};
    for (int k = 0; k < 4; ++k) {
        RatePair up = pair_to(1, 2, steps[k][0], steps[k][1], steps[k][2], t, j[k], 25.0);
        RatePair down = pair_to(2, 1, -steps[k][0], -steps[k][1], -steps[k][2], t, j[k], -25.0);
        // Molecule 2 sits at (2.1, 1.5, 3.0) within the cell.
        const double offset[3] = {2.1, 1.5, 3.0};
        for (int d = 0; d < 3; ++d) {
            up.dr[d] += offset[d];
            down.dr[d] -= offset[d];
        }
        t.pairs.push_back(up);
        t.pairs.push_back(down);
    }
    t.pairs.push_back(pair_to(1, 1, 1, 0, 0, t, 6.0, 0.0));
    t.pairs.push_back(pair_to(1, 1, -1, 0, 0, t, 6.0, 0.0));
    fill_rates(t);
    return t;
}

// Mobility (cm^2/Vs) along x of a network at +-F along x, from the sparse steady states.
double mobility_x(const std::function<HopNetwork(double)>& network_at, double field) {
    const SteadyState plus = solve_steady_state_sparse(network_at(field), 50, 10, nullptr);
    const SteadyState minus = solve_steady_state_sparse(network_at(-field), 50, 10, nullptr);
    EXPECT_TRUE(plus.converged && minus.converged);
    return 0.5 * (plus.velocity[0] - minus.velocity[0]) / field * 1e-6;  // hole: charge +1
}

}  // namespace

TEST(Disorder, SupercellWithoutDisorderGivesTheUnitCellMobility) {
    // The sparse solver on 3 x 3 x 3 identical cells against the dense one on the cell, with probing
    // fields (the tensor of an oblique cell, off-diagonal terms included) and at an applied field.
    const double fields[2][3] = {{0, 0, 0}, {2e7, -1e7, 5e6}};
    for (const auto& f : fields) {
        RateTable t = oblique();
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
    const RateTable t = cubic(5.0, 10.0);
    const Disorder d{50.0, 4, 3};
    MasterSettings ms;
    ms.disorder = d;
    const MasterResult me = master_mobility(t, ms, nullptr);
    ASSERT_TRUE(me.converged);

    const SupercellLayout layout = supercell_layout(1, 4, -1, 0);
    const RateModel model(t);
    const double zero[3] = {0, 0, 0};
    const HopNetwork net = build_supercell_network(t, model, zero, layout, supercell_site_energies(t, layout, d));
    KmcSettings ks;
    ks.count = 1000;
    ks.tsimu_ns = time_for_hops(net, 2e4);
    ks.tsnap_ns = ks.tsimu_ns / 50;
    TrajectoryHeader h;
    h.carrier = t.carrier;
    h.temperature = t.temperature;
    std::copy(&t.cell[0][0], &t.cell[0][0] + 9, &h.cell[0][0]);
    h.tsnap_ns = ks.tsnap_ns;
    h.nsnap = snapshot_count(ks.tsimu_ns, ks.tsnap_ns);
    const MobilityAnalysis a = analyse_trajectories(h, run_trajectories(net, ks, true), true);
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
    const double a = 5.0, kT = units::kBoltzmann * 300.0;
    const RateTable t = cubic(a, 10.0);
    const SupercellLayout layout = supercell_layout(1, 16, -1, 0);
    std::vector<double> x, y;
    for (double ratio : {2.0, 2.5, 3.0, 3.5}) {
        double sum = 0.0;
        for (int seed = 1; seed <= 3; ++seed) {
            const SiteEnergies e = supercell_site_energies(t, layout, Disorder{ratio * kT * 1e3, 16, seed});
            auto network_at = [&](double field) {
                return build_supercell_network(t, layout, e, [&](std::size_t k, double extra) {
                    const double dg = extra - t.pairs[k].dr[0] * field * 1e-10;
                    return 1e12 * (dg > 0 ? std::exp(-dg / kT) : 1.0);
                });
            };
            sum += std::log(mobility_x(network_at, 1e-4 * kT / (a * 1e-10)));
        }
        x.push_back(ratio * ratio);
        y.push_back(sum / 3);
    }
    double mx = 0, my = 0, sxy = 0, sxx = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        mx += x[i] / x.size();
        my += y[i] / y.size();
    }
    for (size_t i = 0; i < x.size(); ++i) {
        sxy += (x[i] - mx) * (y[i] - my);
        sxx += (x[i] - mx) * (x[i] - mx);
    }
    EXPECT_NEAR(-sxy / sxx, 4.0 / 9.0, 0.1 * 4.0 / 9.0);
}

TEST(Disorder, EnergiesFollowTheirSeed) {
    const std::vector<double> a = gaussian_numbers(200000, 1);
    EXPECT_EQ(a, gaussian_numbers(200000, 1));
    const std::vector<double> b = gaussian_numbers(200000, 2);
    int same = 0;
    for (size_t i = 0; i < a.size(); ++i) same += a[i] == b[i];
    EXPECT_EQ(same, 0);
    for (const std::vector<double>* z : {&a, &b}) {
        double m1 = 0, m2 = 0, m4 = 0;
        for (double x : *z) {
            m1 += x;
            m2 += x * x;
            m4 += x * x * x * x;
        }
        m1 /= z->size();
        m2 /= z->size();
        m4 /= z->size();
        EXPECT_NEAR(m1, 0.0, 0.01);
        EXPECT_NEAR(m2, 1.0, 0.01);
        EXPECT_NEAR(m4, 3.0, 0.06);  // Gaussian tails, not merely the right width
    }
    // The first numbers of seed 1, as every machine must draw them.
    const double first[4] = {-0.43695029837839683, 0.31032705040024, -0.55664832389596841, 0.33371045263652349};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(a[i], first[i]) << i;
}

TEST(Disorder, SettingsTheToolsCannotHoldAreRefusedNamingTheKey) {
    const RateTable t = cubic(5.0, 10.0);
    struct Case {
        Disorder d;
        const char* key;
    };
    const Case cases[] = {{{-5.0, 4, 1}, "disorder_sigma = -5"},
                          {{20000.0, 4, 1}, "disorder_sigma = 20000"},
                          {{50.0, 0, 1}, "disorder_cells = 0"},
                          {{50.0, 4, -1}, "disorder_seed = -1"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        try {
            check_disorder(c.d);
            ADD_FAILURE() << "accepted";
        } catch (const krymo::FatalError& e) {
            EXPECT_EQ(e.status, 1);
            EXPECT_NE(e.out_text.find(c.key), std::string::npos) << e.out_text;
        }
    }
    // 300^3 cells of one molecule with six hops: 1.6e8 hops, beyond what either solver holds.
    try {
        check_supercell_size(t, supercell_layout(1, 300, -1, 0), limits::kNetworkSize, "the Monte Carlo network");
        ADD_FAILURE() << "accepted";
    } catch (const krymo::FatalError& e) {
        EXPECT_NE(e.out_text.find("disorder_cells = 300"), std::string::npos) << e.out_text;
        EXPECT_NE(e.out_text.find("162000000 hops"), std::string::npos) << e.out_text;
    }
    EXPECT_NO_THROW(check_supercell_size(t, supercell_layout(1, 100, -1, 0), limits::kNetworkSize, "x"));
}

TEST(Disorder, ToolsWriteTheSameBytesOnAnyThreadCountAndRefuseTooLargeSupercells) {
    ScopedStudyDir dir;
    write_file("naphthalene.cif", read_file(data_path("crystals/naphthalene.cif")));
    const std::string head = "&transport\n  crystal = naphthalene.cif\n  lattice_cutoff = 2.8\n  chargetype = h\n"
                             "  ratetype = marcus\n  nsimu = 200\n  tsimu = 2\n  tsnap = 0.1\n  mc_error = 0\n";
    write_file("krymo.inp", head + "/\n");
    RunFolder f;
    f.load();
    write_pair_values("VH.dat", f.pairs(), distance_couplings(f, 10.0), "transfer integral (meV)", false, 2);
    write_normal_modes("NM-h.dat", {stub_modes(), stub_modes()});
    const auto tool = [](const std::string& name, int threads) {
        return run_command("OMP_NUM_THREADS=" + std::to_string(threads) + " " + hopsim_exe(name));
    };
    ASSERT_EQ(tool("rates", 1).status, 0);
    write_file("krymo.inp", head + "  disorder_sigma = 60\n  disorder_cells = 5\n  disorder_seed = 11\n/\n");
    std::string bytes[2][2];
    for (int threads : {1, 2}) {
        const CommandResult me = tool("master", threads);
        ASSERT_EQ(me.status, 0) << me.output;
        EXPECT_NE(me.output.find("static disorder: sigma 60 meV on 5 x 5 x 5 cells (250 sites), seed 11"),
                  std::string::npos) << me.output;
        bytes[threads - 1][0] = read_file("master.dat");
        const CommandResult mc = tool(threads == 1 ? "mc" : "mc_par", threads);
        ASSERT_EQ(mc.status, 0) << mc.output;
        bytes[threads - 1][1] = read_file("traj-0-199.dat");
    }
    EXPECT_EQ(bytes[0][0], bytes[1][0]);
    EXPECT_EQ(bytes[0][1], bytes[1][1]);
    EXPECT_NE(bytes[0][1].find("\ndisorder 60 5 11\n"), std::string::npos);
    const CommandResult mob = tool("mobility", 2);
    ASSERT_EQ(mob.status, 0) << mob.output;
    EXPECT_NE(read_file("exp_data.dat").find("# static disorder: sigma 60 meV on 5 x 5 x 5 cells, seed 11"),
              std::string::npos);
    // Another seed is another run: its trajectories do not mix with these.
    write_file("krymo.inp", head + "  disorder_sigma = 60\n  disorder_cells = 5\n  disorder_seed = 12\n/\n");
    ASSERT_EQ(run_command(hopsim_exe("mc") + " -simu0 200 -nsimu 100").status, 0);
    EXPECT_EQ(tool("mobility", 1).status, 1);

    // 400^3 cells of two molecules: refused before anything is allocated, naming the key.
    write_file("krymo.inp", head + "  disorder_sigma = 60\n  disorder_cells = 400\n/\n");
    for (const char* name : {"master", "mc"}) {
        const CommandResult r = tool(name, 1);
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_NE(r.output.find("disorder_cells = 400"), std::string::npos) << r.output;
    }
}
