// The induced-dipole polarization energy: closed forms of two atoms and one charge, the iteration's
// independence of its relaxation factor, and the damping that stops the polarization catastrophe.
#include <gtest/gtest.h>

#include <cmath>

#include "qcpost/polarization.h"
#include "qcpost/qcpost_tools.h"

using namespace krymo::qcpost;

namespace {

constexpr double kK = kCoulombEvAngstrom;

InductionSettings tight() {
    InductionSettings s;
    s.tol = 1e-10;
    return s;
}

}  // namespace

// Far apart (no damping left), two atoms in the field of one charge have a closed-form answer:
// in a line with the charge, each atom's dipole adds to the other's field (t = 2/r^3); side by side
// across the charge, the dipoles oppose each other's fields (t = -1/r^3 for the opposite dipole).
TEST(Polarization, TwoAtomsAndOneChargeMatchTheirClosedForm) {
    const double a1 = 1.75, a2 = 0.837;
    for (double q : {1.0, -1.0}) {
        // Collinear: charge at 0, atoms at x = 5 and x = 9.
        const double e1 = q / 25.0, e2 = q / 81.0, t = 2.0 / 64.0, det = 1.0 - a1 * a2 * t * t;
        const double m1 = a1 * (e1 + t * a2 * e2) / det, m2 = a2 * (e2 + t * a1 * e1) / det;
        const InductionResult line =
            induce_dipoles({{{5, 0, 0}, a1}, {{9, 0, 0}, a2}}, {{{0, 0, 0}, q, 1.75}}, tight());
        EXPECT_NEAR(line.dipoles[0], m1, 1e-9);
        EXPECT_NEAR(line.dipoles[3], m2, 1e-9);
        EXPECT_NEAR(line.energy_ev, -0.5 * kK * (m1 * e1 + m2 * e2), 1e-9);
        EXPECT_NEAR(line.dipoles[1], 0.0, 1e-12);

        // Opposite sides at z = +-5: the dipoles point apart and weaken each other, mu = a E / (1 + a t).
        const double e = q / 25.0, ts = 2.0 / 1000.0, mu = a1 * e / (1.0 + a1 * ts);
        const InductionResult pair =
            induce_dipoles({{{0, 0, 5}, a1}, {{0, 0, -5}, a1}}, {{{0, 0, 0}, q, 0.0}}, tight());
        EXPECT_NEAR(pair.dipoles[2], mu, 1e-9);
        EXPECT_NEAR(pair.dipoles[5], -mu, 1e-9);
        EXPECT_NEAR(pair.energy_ev, -kK * mu * e, 1e-9);
        EXPECT_LT(pair.energy_ev, 0.0);  // stabilises either charge
    }
}

// A cluster with close contacts (damping at work): every relaxation factor reaches the same dipoles;
// too few steps stop with a message naming the key to raise.
TEST(Polarization, TheIterationConvergesToOneAnswerWhateverItsRelaxation) {
    std::vector<PolarSite> sites;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j) sites.push_back({{1.4 * i, 1.2 * j + 0.3 * i, 3.0 + 0.5 * j}, j == 1 ? 0.696 : 1.75});
    const std::vector<PointCharge> ion = {{{0.5, 0.5, 0}, 0.6, 1.75}, {{2.0, 0.5, 0}, 0.4, 1.75}};
    InductionSettings s = tight();
    double first = 0.0;
    for (double omega : {0.5, 0.75, 1.0, 1.5}) {
        s.omega = omega;
        const InductionResult r = induce_dipoles(sites, ion, s);
        if (omega == 0.5) first = r.energy_ev;
        EXPECT_NEAR(r.energy_ev, first, 1e-8) << omega;
        EXPECT_LT(r.energy_ev, 0.0);
    }
    s.max_iter = 3;
    const std::string why = krymo_test::expect_fatal([&] { induce_dipoles(sites, ion, s); }).out_text;
    krymo_test::expect_messages(why, {"did not converge in 3 steps", "emultipole_maxIter"});
}

// Two atoms 0.8 A apart would polarize each other without bound (a t > 1); the damping keeps the
// answer finite and stabilising, and without it the iteration is refused.
TEST(Polarization, DampingStopsThePolarizationCatastrophe) {
    const std::vector<PolarSite> close = {{{4, 0, 0}, 1.75}, {{4.8, 0, 0}, 1.75}};
    const std::vector<PointCharge> q = {{{0, 0, 0}, 1.0, 1.75}};
    const InductionResult damped = induce_dipoles(close, q, tight());
    EXPECT_LT(damped.energy_ev, 0.0);
    // Bounded by the two atoms acting as one of twice the polarizability at the nearer distance.
    EXPECT_GT(damped.energy_ev, -0.5 * kK * 2 * 1.75 / std::pow(4.0, 4));
    InductionSettings undamped = tight();
    undamped.a_damp = 1e9;
    EXPECT_THROW(induce_dipoles(close, q, undamped), krymo::FatalError);
}
