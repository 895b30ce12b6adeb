// qcpost_polarize.exe as the site-energy job runs it: in the data folder of a naphthalene study, after
// the gas-phase site energies, with Gaussian logs of each molecule's three states.
#include <gtest/gtest.h>

#include <functional>

#include "qcpost/qcpost_tools.h"
#include "qcpost/site_tools.h"
#include "util/text.h"

using namespace krymo::qcpost;
using namespace krymo_test;
using krymo::format_string;

namespace {

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
    expect_messages(read_file("data/EL.dat"), {"+ P-"});

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
        {"",
         [] {
             const std::string log = read_file("data/re-mol1-neutral.log");
             const size_t row = log.find("    18  ");
             write_file("data/re-mol1-neutral.log", log.substr(0, row) + log.substr(log.find('\n', row) + 1));
         },
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
