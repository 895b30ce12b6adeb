// Rate formulas against independent values: Marcus by hand, the quantum rate in its classical limit
// and against the closed form of one quantum mode.
#include <gtest/gtest.h>

#include <functional>

#include "hopsim_support.h"

using namespace krymo::hopsim;

namespace {

const double kT300 = units::kBoltzmann * 300.0;

// One mode of energy e and Huang-Rhys factor s, thermal at 300 K: a progression of peaks of shape
// `peak(dg + n e)` weighted by Bessel functions of the thermal mode, over (2 pi / hbar) J^2.
double progression(double e, double s, double dg, const std::function<double(double)>& peak) {
    const double nu = 1.0 / std::expm1(e / kT300);
    double sum = 0.0;
    for (int n = -20; n <= 40; ++n) {
        const double w = std::exp(-s * (2 * nu + 1)) * std::pow((nu + 1) / nu, 0.5 * n) *
                         std::cyl_bessel_i(std::abs(n), 2 * s * std::sqrt(nu * (nu + 1)));
        sum += w * peak(dg + n * e);
    }
    return sum;
}

double gaussian(double x, double var) { return std::exp(-x * x / (2 * var)) / std::sqrt(2 * units::kPi * var); }

}  // namespace

TEST(HopRates, MarcusMatchesValuesComputedByHand) {
    // J = 10 meV, lambda = 200 meV, 300 K: (2 pi / hbar) J^2 (4 pi lambda kT)^-1/2 exp(-(dG + lambda)^2 / 4 lambda kT).
    const LineShape marcus(RateKind::Marcus, kT300, 0.2, 0.0, {}, 10000.0);
    EXPECT_NEAR(hop_rate(1e-4, marcus, 0.0) / 541357388534.5141, 1.0, 1e-12);
    EXPECT_NEAR(hop_rate(1e-4, marcus, -0.05) / 1261734256618.221, 1.0, 1e-12);
    // Uphill by detailed balance, and modes folded into the classical energy.
    EXPECT_NEAR(hop_rate(1e-4, marcus, 0.05) / (1261734256618.221 * std::exp(-0.05 / kT300)), 1.0, 1e-12);
    const LineShape folded(RateKind::Marcus, kT300, 0.1, 0.0, {{0.1, 1.0}}, 10000.0);
    EXPECT_NEAR(folded.fcwd(-0.05) / marcus.fcwd(-0.05), 1.0, 1e-12);
}

TEST(HopRates, QuantumRateOfClassicalModesIsMarcus) {
    // Five soft modes (5-25 cm^-1, hbar w < kT / 8) carrying 200 meV together.
    std::vector<QuantumMode> modes;
    for (int k = 1; k <= 5; ++k) {
        const double e = 5.0 * k * units::kWavenumber;
        modes.push_back({e, 0.04 / e});
    }
    const LineShape marcus(RateKind::Marcus, kT300, 0.2, 0.0, {}, 1000.0);
    // maxt stays below the first recurrence of the modes (6.7 ps for the softest).
    const LineShape exact(RateKind::TimeDomain, kT300, 0.0, 0.0, modes, 1000.0);
    const LineShape sta(RateKind::ShortTime, kT300, 0.0, 0.0, modes, 1000.0);
    for (double dg : {0.0, -0.1, -0.2, -0.35, 0.08}) {
        SCOPED_TRACE(dg);
        EXPECT_NEAR(exact.fcwd(dg) / marcus.fcwd(dg), 1.0, 0.01);
        EXPECT_NEAR(sta.fcwd(dg) / marcus.fcwd(dg), 1.0, 0.01);
    }
}

TEST(HopRates, OneQuantumModeFollowsItsClosedForm) {
    // One mode of 0.15 eV with S = 1: a Poisson-like progression of peaks, k / ((2 pi / hbar) J^2) =
    // sum_n w_n G(dG + n hbar w), weights from Bessel functions of the thermal mode. In a classical
    // bath of 0.1 eV the peaks are Marcus'; with the mode carrying all of lambda and nothing else
    // widening the gap, the least width turns the sticks into Gaussians of that width, whatever the
    // time limit.
    const double e = 0.15, s = 1.0, lc = 0.1, width = 0.01;
    const LineShape bath(RateKind::TimeDomain, kT300, lc, 0.0, {{e, s}}, 10000.0);
    const LineShape short_limit(RateKind::TimeDomain, kT300, 0.0, 0.0, {{e, s}}, 2000.0, width);
    const LineShape long_limit(RateKind::TimeDomain, kT300, 0.0, 0.0, {{e, s}}, 50000.0, width);
    auto marcus_peaks = [&](double dg) {
        return progression(e, s, dg, [&](double x) { return gaussian(x + lc, 2 * lc * kT300); });
    };
    for (double dg : {0.0, -0.1, -0.25, -0.4, 0.1}) EXPECT_NEAR(bath.fcwd(dg) / marcus_peaks(dg), 1.0, 1e-6) << dg;
    for (double dg : {0.0, -0.02, -0.15, -0.3}) {
        const double sticks = progression(e, s, dg, [&](double x) { return gaussian(x, width * width); });
        EXPECT_NEAR(short_limit.fcwd(dg) / sticks, 1.0, 1e-6) << dg;
        EXPECT_EQ(long_limit.fcwd(dg), short_limit.fcwd(dg)) << dg;
    }
    // Beyond the cached grid's range the finer grid built on the spot agrees as well; so deep in the
    // tail (1e-13 of the peak) the cancellation of the sum leaves a few 1e-6.
    EXPECT_NEAR(bath.fcwd(-2.3) / marcus_peaks(-2.3), 1.0, 1e-5);
    // A classical part wider than the least width is left as it is.
    const LineShape wide(RateKind::TimeDomain, kT300, lc, 0.0, {{e, s}}, 10000.0, width);
    EXPECT_EQ(wide.fcwd(-0.1), bath.fcwd(-0.1));
}

TEST(HopRates, DisorderWidensTheGapDistributionAsAGaussianConvolution) {
    // A classical lambda with a gap variance s^2 is the Gaussian of variance 2 lambda kT + s^2.
    const double lambda = 0.15, s2 = 0.003, var = 2 * lambda * kT300 + s2;
    const LineShape exact(RateKind::TimeDomain, kT300, lambda, s2, {}, 10000.0);
    for (double dg : {0.0, -0.2}) EXPECT_NEAR(exact.fcwd(dg) / gaussian(dg + lambda, var), 1.0, 1e-9);
}

TEST(HopRates, RateFileEnergiesReachEveryRateKind) {
    // One pair of equal molecules whose modes carry all of their 185 meV, an outer-sphere energy and
    // a level disorder: Marcus and the short-time rate are Gaussians of known mean and variance, the
    // time integral the line shape of the outer energy as its classical bath.
    const double lambda_out = 0.1, sigma_e = 0.05;
    MoleculeModes m = krymo_test::stub_modes();
    m.lambda_mev = m.modes_lambda_mev();
    double mode_var = 0.0;
    std::vector<QuantumMode> halves;
    for (const Mode& x : m.modes) {
        const double w = x.freq_cm * units::kWavenumber;
        mode_var += x.huang_rhys * w * w * (1.0 + 2.0 / std::expm1(w / kT300));
        halves.push_back({w, 0.5 * x.huang_rhys});
    }
    for (const QuantumMode& q : std::vector<QuantumMode>(halves)) halves.push_back(q);
    const double lambda = m.lambda_mev * 1e-3 + lambda_out;
    const LineShape time_domain(RateKind::TimeDomain, kT300, lambda_out, sigma_e * sigma_e, halves, 10000.0, 0.01);
    const struct {
        const char* ratetype;
        int sta;
        std::function<double(double)> expected;
    } kinds[] = {
        {"marcus", 1, [&](double dg) { return gaussian(dg + lambda, 2 * lambda * kT300 + sigma_e * sigma_e); }},
        {"quantum", 1,
         [&](double dg) { return gaussian(dg + lambda, 2 * lambda_out * kT300 + sigma_e * sigma_e + mode_var); }},
        {"quantum", 0, [&](double dg) { return time_domain.direct(dg); }},
    };
    for (const auto& kind : kinds) {
        SCOPED_TRACE(std::string(kind.ratetype) + " sta " + std::to_string(kind.sta));
        RateTable t = krymo_test::hand_table("one_molecule_chain");
        t.ratetype = kind.ratetype;
        t.sta = kind.sta;
        t.modes = {m};
        for (RatePair& p : t.pairs) {
            p.lambda_in_mev = m.lambda_mev;
            p.lambda_out_mev = lambda_out * 1e3;
            p.sigma_e_mev = sigma_e * 1e3;
            p.dg0_mev = -60.0;
        }
        const RateModel model(t);
        EXPECT_NEAR(model.shape(0).fcwd(-0.06) / kind.expected(-0.06), 1.0, 1e-9);
    }
}
