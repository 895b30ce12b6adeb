// Site energies, outer-sphere energies and multipoles as the site-energy and RE_mps jobs run them.
#include <gtest/gtest.h>

#include <cmath>

#include "qcpost/site_tools.h"
#include "qcpost/qcpost_tools.h"
#include "test_support.h"
#include "util/fatal.h"
#include "util/text.h"

using namespace krymo::qcpost;
using krymo::format_string;
using krymo_test::data_path;
using krymo_test::path_exists;
using krymo_test::read_file;
using krymo_test::run_command;
using krymo_test::ScopedStudyDir;
using krymo_test::write_file;

namespace {

std::string tool(const char* name) { return krymo_test::qcpost_tool(name); }
std::string qc(const std::string& rel) { return krymo_test::qc_output(rel); }

constexpr double kH = 27211.386245988;
// The final energies of four outputs of different engines (hartree).
const double kGaussian = -382.081392720, kOrca = -382.055108392562, kPsi4 = -382.31092249769881,
             kQchem = -382.0653088345;
std::string gaussian() { return qc("gaussian/g16_dvb_un_sp.log"); }
std::string orca() { return qc("orca/orca6_dvb_sp_dft.out"); }
std::string psi4() { return qc("psi4/psi4_121_dvb_sp_rks.out"); }
std::string qchem() { return qc("qchem/qchem54_dvb_sp_un.out"); }

// A Gaussian log with two population analyses (the last one counts), ESP charges and the dipole.
const char kPopulationLog[] =
    " Entering Gaussian System\n"
    " Mulliken charges:\n"
    "               1\n"
    "     1  O   -0.900000\n"
    "     2  H    0.450000\n"
    "     3  H    0.450000\n"
    " Sum of Mulliken charges =   0.00000\n"
    " Mulliken charges and spin densities:\n"
    "               1          2\n"
    "     1  O   -0.612345   0.800000\n"
    "     2  H    0.306172   0.100000\n"
    "     3  H    0.306173   0.100000\n"
    " Sum of Mulliken charges =   0.00000   1.00000\n"
    " Mulliken charges with hydrogens summed into heavy atoms:\n"
    "               1\n"
    "     1  O    0.000000\n"
    " Sum of Mulliken charges =   0.00000\n"
    " ESP charges:\n"
    "               1\n"
    "     1  O   -0.701000\n"
    "     2  H    0.350500\n"
    "     3  H    0.350500\n"
    " Sum of ESP charges =   0.00000\n"
    " Dipole moment (field-independent basis, Debye):\n"
    "    X=              0.0000    Y=              0.0000    Z=             -2.1512  Tot=              2.1512\n"
    " Normal termination of Gaussian 16 at Sun Dec  6 12:00:00 2026.\n";

}  // namespace

TEST(SiteTools, FormulasByHand) {
    // e^2/(4 pi eps0) = 1.43996454784 eV nm; c (1/(2a) + 1/(2b) - 1/R) in nm^-1.
    struct Case {
        double c, a, b, r, mev;
    };
    const Case cases[] = {
        {0.1, 0.5, 0.5, 1.0, 143.996454784},                            // 1/1 + 1/1 - 1/1 = 1 nm^-1
        {0.1, 0.4, 0.6, 0.8, 143.996454784 * (1.25 + 5.0 / 6.0 - 1.25)},  // unequal spheres
        {0.2, 0.3, 0.3, 1.0, 287.992909568 * (10.0 / 3.0 - 1.0)},         // the Pekar factor scales it
    };
    for (const Case& c : cases) EXPECT_NEAR(two_sphere_lambda_mev(c.c, c.a, c.b, c.r), c.mev, 1e-9);
    const std::vector<double> rel = relative_to_mean({-1000.0, -1200.0, -1100.0});
    EXPECT_DOUBLE_EQ(rel[0], 100.0);
    EXPECT_DOUBLE_EQ(rel[1], -100.0);
    EXPECT_DOUBLE_EQ(rel[2], 0.0);
}

TEST(SiteTools, EnergiesOfEveryEngineBecomeSiteEnergiesAroundTheMean) {
    ScopedStudyDir dir;
    // Per line: anion, cation, neutral; one engine per column so that each energy line is read.
    write_file("SE_einternal_files.dat", "2\n" + orca() + " " + qchem() + " " + psi4() + "\n" + gaussian() + "\t" +
                                             psi4() + " " + orca() + "\n");
    const krymo_test::CommandResult r = run_command(tool("eint") + " -batch SE_einternal_files.dat -neighbor -qcflag 4");
    ASSERT_EQ(r.status, 0) << r.output;
    const double e1 = (kOrca - kPsi4) * kH, e2 = (kGaussian - kOrca) * kH;
    const double h1 = (kQchem - kPsi4) * kH, h2 = (kPsi4 - kOrca) * kH;
    EXPECT_EQ(read_file("SE_einternal1-e.dat"), format_string("%5d %18.6f\n", 1, e1));
    EXPECT_EQ(read_file("SE_einternal2-h.dat"), format_string("%5d %18.6f\n", 2, h2));
    // What merge_RE_int_ener_output.py makes of the pieces: the count, then the pieces whole.
    for (const char* c : {"e", "h"})
        write_file(format_string("SE_einternal-%s.dat", c),
                   "2\n" + read_file(format_string("SE_einternal1-%s.dat", c)) +
                       read_file(format_string("SE_einternal2-%s.dat", c)));
    const krymo_test::CommandResult s = run_command(tool("siteen"));
    ASSERT_EQ(s.status, 0) << s.output;
    const double el = std::round((e1 - e2) / 2 * 1e6) / 1e6, eh = std::round((h1 - h2) / 2 * 1e6) / 1e6;
    EXPECT_NE(read_file("EL.dat").find(format_string("2\n   1  %14.6f\n   2  %14.6f\n", el, -el)), std::string::npos)
        << read_file("EL.dat");
    EXPECT_NE(read_file("EH.dat").find(format_string("2\n   1  %14.6f\n   2  %14.6f\n", eh, -eh)), std::string::npos)
        << read_file("EH.dat");
}

TEST(SiteTools, TwoSphereEnergiesOfTheNeighbourPairs) {
    ScopedStudyDir dir;
    write_file("naphthalene.cif", read_file(data_path("crystals/naphthalene.cif")));
    write_file("krymo.inp", "&transport\n  crystal = naphthalene.cif\n  lattice_cutoff = 2.8\n  chargetype = a\n"
                            "  reorg_outer = spheres 0.1 3.4 4.2\n/\n");
    ASSERT_EQ(std::system("mkdir data"), 0);
    // As the job runs it: in the data folder, the study's krymo.inp one folder up.
    const krymo_test::CommandResult r = run_command("cd data && " + tool("outer_sphere"));
    ASSERT_EQ(r.status, 0) << r.output;
    const std::string e1 = read_file("data/reorg_lambda_outer1-e.dat");
    EXPECT_EQ(e1, read_file("data/reorg_lambda_outer1-h.dat"));
    // Molecule 1 and its own image one cell along c: R = c = 8.565 A, both radii 3.4 A.
    const double lambda = 143.996454784 * (0.5 / 0.34 + 0.5 / 0.34 - 1 / 0.8565);
    EXPECT_NE(e1.find(format_string("    1    1   0   0   1  %14.6f\n", lambda)), std::string::npos) << e1;
    const std::string e2 = read_file("data/reorg_lambda_outer2-e.dat");
    EXPECT_TRUE(!e2.empty() && e2.find("\n    1 ") == std::string::npos && e2.compare(0, 6, "    2 ") == 0)
        << e2;  // the rows of root 2 only
}

TEST(SiteTools, ChargesAndDipoleOfTheLastPopulationAnalysis) {
    const Multipoles m = read_multipoles("pop.log", kPopulationLog);
    ASSERT_EQ(m.mulliken.size(), 3u);
    EXPECT_EQ(m.symbol[0], "O");
    EXPECT_DOUBLE_EQ(m.mulliken[0], -0.612345);  // the open-shell block, not the first nor the summed one
    EXPECT_DOUBLE_EQ(m.esp[2], 0.3505);
    EXPECT_DOUBLE_EQ(m.dipole_debye[2], -2.1512);
    ScopedStudyDir dir;
    write_file("re-mol1-cation.log", kPopulationLog);
    const krymo_test::CommandResult r = run_command(tool("log_multipoles") + " -inp re-mol1-cation.log");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(read_file("re-mol1-cation.mps.dat").find("atoms 3\ndipole     0.000000     0.000000    -2.151200\n"),
              std::string::npos);
}

// The other engines' blocks: ORCA counts atoms from 0 and prints the dipole in atomic units, psi4 puts
// the charge in the last column, Q-Chem frames its rows with dashes.
TEST(SiteTools, ChargesOfEveryEngine) {
    struct Case {
        std::string path;
        size_t atoms;
        int atom;
        double mulliken, total;
    };
    const Case cases[] = {
        {qc("orca/orca6_dvb_sp_un_dft.out"), 20, 0, 0.055649, 1.0},
        {qc("qchem/qchem54_dvb_sp_un.out"), 20, 0, 0.056219, 1.0},
        {psi4(), 20, 2, -0.07670, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const Multipoles m = read_multipoles(c.path, read_file(c.path));
        ASSERT_EQ(m.mulliken.size(), c.atoms);
        EXPECT_EQ(m.symbol[0], "C");
        EXPECT_DOUBLE_EQ(m.mulliken[c.atom], c.mulliken);
        EXPECT_TRUE(m.esp.empty());
        double sum = 0;
        for (double q : m.mulliken) sum += q;
        EXPECT_NEAR(sum, c.total, 1e-4);
    }
    const std::string orca = krymo_test::replaced(read_file(qc("orca/orca6_dvb_sp_un_dft.out")),
                                                  "Total Dipole Moment    :      0.000000000",
                                                  "Total Dipole Moment    :      1.000000000");
    EXPECT_NEAR(read_multipoles("x.out", orca).dipole_debye[0], 2.541746, 1e-6);
}

// Each bad input stops with status 1, names the file (and line) and leaves the earlier outputs alone.
TEST(SiteTools, BadInputStopsWithNothingWritten) {
    ScopedStudyDir dir;
    const std::string log = kPopulationLog;
    write_file("cut.log", krymo_test::replaced(log, "     3  H    0.306173   0.100000\n", ""));
    write_file("swapped.log", krymo_test::replaced(log, "     2  H    0.306172", "     3  H    0.306172"));
    write_file("nodipole.log", krymo_test::replaced(log, "    X=  ", "    Q=  "));
    write_file("orca.out", read_file(orca()));
    write_file("EL.dat", "earlier\n");
    write_file("VL.dat", "earlier\n");
    write_file("SE_einternal1-e.dat", "earlier\n");
    write_file("short.dat", "3\n" + orca() + " " + orca() + " " + orca() + "\n");
    write_file("two.dat", "1\n" + orca() + " " + orca() + "\n");
    write_file("more.dat", "1\n" + orca() + " " + orca() + " " + orca() + "\nextra\n");
    write_file("missing.dat", "1\n" + orca() + " none.log " + orca() + "\n");
    write_file("krymo.inp", "&transport\n  crystal = naphthalene.cif\n  reorg_outer = dielectric 0.1 8\n/\n");
    write_file("naphthalene.cif", read_file(data_path("crystals/naphthalene.cif")));
    struct Case {
        std::string command, message;
    };
    const Case cases[] = {
        {"eint -batch short.dat", "short.dat, line 3: the file ends after 1 molecules; 3 were announced"},
        {"eint -batch two.dat", "two.dat, line 2: expected three outputs"},
        {"eint -batch more.dat", "more.dat, line 3: more rows than the 1 molecules"},
        {"eint -batch missing.dat", "none.log: cannot open the file"},
        {"eint -batch two.dat -qcflag 7", "-qcflag takes the compute_engine of the study, 1 to 4"},
        {"siteen", "Neither SE_einternal-e.dat nor SE_einternal-h.dat is here"},
        {"log_multipoles -inp cut.log", "cut.log, line 17: 3 ESP charges for 2 atoms"},
        {"log_multipoles -inp swapped.log", "swapped.log, line 11: atom 3 where 2 was expected"},
        {"log_multipoles -inp nodipole.log", "nodipole.log, line 25: expected the dipole components"},
        {"log_multipoles -inp SE_einternal1-e.dat", "not a Gaussian, ORCA, Q-Chem or psi4 output that ended normally"},
        {"outer_sphere", "qcpost_outer_sphere.exe is not available: the dielectric model"},
        {"fchk_orbitals x.fchk -orb -xyz", "x.fchk: cannot open the file"},
        {"dimer_overlap -batch trans_int_files.dat", "trans_int_files.dat: cannot open the pair list"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        const krymo_test::CommandResult r = run_command(std::string(KRYMO_QCPOST_DIR) + "/qcpost_" +
                                                        c.command.substr(0, c.command.find(' ')) + ".exe" +
                                                        (c.command.find(' ') == std::string::npos
                                                             ? std::string()
                                                             : c.command.substr(c.command.find(' '))));
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
    }
    EXPECT_EQ(read_file("EL.dat"), "earlier\n");
    EXPECT_EQ(read_file("VL.dat"), "earlier\n");
    EXPECT_EQ(read_file("SE_einternal1-e.dat"), "earlier\n");
    EXPECT_FALSE(path_exists("cut.mps.dat"));
    EXPECT_FALSE(path_exists("reorg_lambda_outer1-e.dat"));
}
