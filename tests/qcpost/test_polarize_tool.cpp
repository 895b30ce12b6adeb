// The induced-dipole polarization energy (closed forms of two atoms and one charge, the iteration's
// independence of its relaxation factor, the damping that stops the polarization catastrophe), and
// qcpost_polarize.exe as the site-energy job runs it: in the data folder of a naphthalene study, after
// the gas-phase site energies, with Gaussian logs of each molecule's three states.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "qcpost/polarization.h"
#include "qcpost/qcpost_tools.h"
#include "qcpost/site_tools.h"
#include "util/text.h"

using namespace krymo::qcpost;
using namespace krymo_test;
using krymo::format_string;

namespace {

constexpr double kK = kCoulombEvAngstrom;

InductionSettings tight() {
    InductionSettings s;
    s.tol = 1e-10;
    return s;
}

// The study folder: krymo.inp and the crystal; data/ with the gas-phase energies, the list of outputs and
// Gaussian logs of both molecules whose Mulliken charges put -1, +1 and 0 evenly on their atoms (the
// same for both: the two are symmetry images).
void write_study(const char* extra, double cutoff_nm = 1.0) {
    write_file("naphthalene.cif", read_file(data_path("crystals/naphthalene.cif")));
    write_file("krymo.inp", std::string("&transport\n  crystal = naphthalene.cif\n  lattice_cutoff = 2.8\n"
                                        "  chargetype = a\n  lat_site_energy = 1\n  emultipole_epsTol = 1e-5\n") +
                                format_string("  emultipole_cutoff = %g\n", cutoff_nm) + extra + "/\n");
    ASSERT_EQ(std::system(("mkdir -p data && cp '" + data_path("qcpost/polarize") + "'/* data/").c_str()), 0);
}

}  // namespace

// Both molecules are images of each other and carry charges of the same size: one polarization energy,
// negative, for both molecules and both carriers. The site energies are the gas-phase ones plus P,
// relative to the cell mean.
TEST(PolarizeTool, PolarizationIsFoldedIntoTheSiteEnergies) {
    ScopedStudyDir dir;
    write_study("");
    const CommandResult r = run_tool("data", "polarize");
    ASSERT_EQ(r.status, 0) << r.output;
    const std::vector<double> pe = read_internal_energies("data/SE_polarization-e.dat");
    const std::vector<double> ph = read_internal_energies("data/SE_polarization-h.dat");
    ASSERT_EQ(pe.size(), 2u);
    EXPECT_LT(pe[0], -50.0);  // hundreds of meV in a molecular crystal, even within 1 nm
    EXPECT_NEAR(pe[1], pe[0], 2e-3);
    EXPECT_NEAR(ph[0], pe[0], 2e-3);  // the response is linear: the sign of the charge does not matter
    const std::vector<double> el = read_internal_energies("data/EL.dat"), eh = read_internal_energies("data/EH.dat");
    EXPECT_NEAR(el[0], 0.5 * ((-1000.0 + pe[0]) - (-1100.0 + pe[1])), 2e-6);
    EXPECT_NEAR(eh[1], 0.5 * ((7100.0 + ph[1]) - (7000.0 + ph[0])), 2e-6);

    // A larger cluster holds more of the crystal's response: more stabilisation.
    write_study("", 1.5);
    ASSERT_EQ(run_tool("data", "polarize").status, 0);
    EXPECT_LT(read_internal_energies("data/SE_polarization-e.dat")[0], pe[0] - 10.0);
}

// Outputs that cannot be the charged and neutral molecule stop the tool, naming the file; the
// gas-phase site energies stay; emultipole_induce = 0 leaves them alone on purpose.
TEST(PolarizeTool, BadChargesStopWithTheSiteEnergiesUntouched) {
    ScopedStudyDir dir;
    struct Case {
        const char* extra;  // settings
        std::function<void()> damage;
        const char* message;
    } cases[] = {
        {"", [] { edit_file("data/SE_einternal_files.dat", "re-mol2-cation.log", "re-mol2-neutral.log"); },
         "re-mol2-neutral.log: its charges minus those of re-mol2-neutral.log sum to 0.0000 e; "
         "the cation should carry +1"},
        {"", [] { write_file("data/re-mol1-neutral.log", read_file(data_path("qcpost/polarize_cut/mol1.log"))); },
         "re-mol1-neutral.log: 17 atoms, but molecule 1 of the crystal has 18"},
        {"", [] { edit_file("data/re-mol1-anion.log", "     1  C ", "     1  O "); },
         "re-mol1-anion.log: atom 1 is O,"},
        {"  emultipole_aDamp = 0\n", [] {}, "krymo.inp: expected emultipole_cutoff > 0, emultipole_aDamp > 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        write_study(c.extra);
        c.damage();
        expect_stop(run_tool("data", "polarize"), {c.message});
        EXPECT_EQ(read_file("data/EL.dat"), "gas phase\n");
        EXPECT_FALSE(path_exists("data/SE_polarization-e.dat"));
    }
    write_study("  emultipole_induce = 0\n");
    const CommandResult off = run_tool("data", "polarize");
    EXPECT_EQ(off.status, 0) << off.output;
    EXPECT_EQ(read_file("data/EL.dat"), "gas phase\n");
    EXPECT_EQ(read_internal_energies("data/SE_polarization-h.dat"), std::vector<double>(2, 0.0));
}

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

        // Opposite sides at z = +-5: the dipoles point apart and weaken each other, mu = a E / (1 + a t).
        const double e = q / 25.0, ts = 2.0 / 1000.0, mu = a1 * e / (1.0 + a1 * ts);
        const InductionResult pair =
            induce_dipoles({{{0, 0, 5}, a1}, {{0, 0, -5}, a1}}, {{{0, 0, 0}, q, 0.0}}, tight());
        EXPECT_NEAR(pair.dipoles[2], mu, 1e-9);
        EXPECT_NEAR(pair.dipoles[5], -mu, 1e-9);
        EXPECT_NEAR(pair.energy_ev, -kK * mu * e, 1e-9);
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
    }
    s.max_iter = 3;
    const std::string why = expect_fatal([&] { induce_dipoles(sites, ion, s); }).out_text;
    expect_messages(why, {"did not converge in 3 steps", "emultipole_maxIter"});
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
