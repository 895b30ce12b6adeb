// Site energies, outer-sphere energies and multipoles as the site-energy and RE_mps jobs run them.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "qcpost/qcpost_tools.h"
#include "qcpost/site_tools.h"
#include "util/text.h"

using namespace krymo::qcpost;
using namespace krymo_test;
using krymo::format_string;

namespace {

constexpr double kH = 27211.386245988;
// The final energies of four outputs of different engines (hartree).
const double kGaussian = -382.081392720, kOrca = -382.055108392562, kPsi4 = -382.31092249769881,
             kQchem = -382.0653088345;
std::string gaussian() { return qc_output("gaussian/g16_dvb_un_sp.log"); }
std::string orca() { return qc_output("orca/orca6_dvb_sp_dft.out"); }
std::string psi4() { return qc_output("psi4/psi4_121_dvb_sp_rks.out"); }
std::string qchem() { return qc_output("qchem/qchem54_dvb_sp_un.out"); }

// A Gaussian log with two population analyses (the last one counts), ESP charges and the dipole.
std::string population_log() { return read_file(data_path("qcpost/site_tools/pop.log")); }

}  // namespace


TEST(SiteTools, EnergiesOfEveryEngineBecomeSiteEnergiesAndFourPointLambdas) {
    ScopedStudyDir dir;
    // Per line: anion, cation, neutral; one engine per column so that each energy line is read.
    write_file("SE_einternal_files.dat", "2\n" + orca() + " " + qchem() + " " + psi4() + "\n" + gaussian() + "\t" +
                                             psi4() + " " + orca() + "\n");
    const CommandResult r = run_tool(".", "eint", "-batch SE_einternal_files.dat -neighbor -qcflag 4");
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
    const CommandResult s = run_tool(".", "siteen");
    ASSERT_EQ(s.status, 0) << s.output;
    const double el = std::round((e1 - e2) / 2 * 1e6) / 1e6, eh = std::round((h1 - h2) / 2 * 1e6) / 1e6;
    expect_messages(read_file("EL.dat"), {format_string("2\n   1  %14.6f\n   2  %14.6f\n", el, -el)});
    expect_messages(read_file("EH.dat"), {format_string("2\n   1  %14.6f\n   2  %14.6f\n", eh, -eh)});

    // The four-point tool pairs each single point with the optimised state of its own charge: neutral at
    // the charged geometry with the neutral, charged at the neutral geometry with the charged.
    write_file("re_lambda_4P_files-h.dat", "1\n" + gaussian() + " " + orca() + "  " + psi4() + "\t" + qchem() + "\n");
    const CommandResult f = run_tool(".", "lambda4p", "-batch re_lambda_4P_files-h.dat");
    ASSERT_EQ(f.status, 0) << f.output;
    const double l1 = (kGaussian - kOrca) * kH, l2 = (kPsi4 - kQchem) * kH;
    expect_messages(read_file("lambda_4P-h.dat"), {format_string("%5d %16.6f %16.6f %16.6f\n", 1, l1, l2, l1 + l2)});
}

TEST(SiteTools, TwoSphereEnergiesOfTheNeighbourPairs) {
    // e^2/(4 pi eps0) = 1.43996454784 eV nm; radii 0.4 and 0.6 nm at 0.8 nm: 1/0.8 + 1/1.2 - 1/0.8 nm^-1.
    EXPECT_NEAR(two_sphere_lambda_mev(0.2, 0.4, 0.6, 0.8), 287.992909568 * 5.0 / 6.0, 1e-9);
    ScopedStudyDir dir;
    write_file("naphthalene.cif", read_file(data_path("crystals/naphthalene.cif")));
    write_file("krymo.inp", "&transport\n  crystal = naphthalene.cif\n  lattice_cutoff = 2.8\n  chargetype = a\n"
                            "  reorg_outer = spheres 0.1 3.4 4.2\n/\n");
    ASSERT_EQ(std::system("mkdir data"), 0);
    // As the job runs it: in the data folder, the study's krymo.inp one folder up.
    const CommandResult r = run_tool("data", "outer_sphere");
    ASSERT_EQ(r.status, 0) << r.output;
    const std::string e1 = read_file("data/reorg_lambda_outer1-e.dat");
    EXPECT_EQ(e1, read_file("data/reorg_lambda_outer1-h.dat"));
    // Molecule 1 and its own image one cell along c: R = c = 8.565 A, both radii 3.4 A.
    const double lambda = 143.996454784 * (0.5 / 0.34 + 0.5 / 0.34 - 1 / 0.8565);
    expect_messages(e1, {format_string("    1    1   0   0   1  %14.6f\n", lambda)});
    const std::string e2 = read_file("data/reorg_lambda_outer2-e.dat");
    EXPECT_TRUE(!e2.empty() && e2.find("\n    1 ") == std::string::npos && e2.compare(0, 6, "    2 ") == 0)
        << e2;  // the rows of root 2 only
}

// Each engine's population block: Gaussian's last analysis counts (the open-shell one here, not the first
// nor the summed one), ORCA counts atoms from 0 and prints the dipole in atomic units, psi4 puts the
// charge in the last column, Q-Chem frames its rows with dashes.
TEST(SiteTools, ChargesAndDipoleOfEveryEngine) {
    const struct Case {
        std::string path;
        const char* symbol;
        int atom;
        double mulliken, total;
    } cases[] = {
        {data_path("qcpost/site_tools/pop.log"), "O", 0, -0.612345, 0.0},
        {qc_output("orca/orca6_dvb_sp_un_dft.out"), "C", 0, 0.055649, 1.0},
        {qc_output("qchem/qchem54_dvb_sp_un.out"), "C", 0, 0.056219, 1.0},
        {psi4(), "C", 2, -0.07670, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const Multipoles m = read_multipoles(c.path, read_file(c.path));
        ASSERT_GT(m.mulliken.size(), 2u);
        EXPECT_EQ(m.symbol[0], c.symbol);
        EXPECT_DOUBLE_EQ(m.mulliken[c.atom], c.mulliken);
        EXPECT_NEAR(std::accumulate(m.mulliken.begin(), m.mulliken.end(), 0.0), c.total, 1e-4);
    }
    EXPECT_DOUBLE_EQ(read_multipoles("pop.log", population_log()).esp[2], 0.3505);
    const std::string orca = replaced(read_file(qc_output("orca/orca6_dvb_sp_un_dft.out")),
                                      "Total Dipole Moment    :      0.000000000",
                                      "Total Dipole Moment    :      1.000000000");
    EXPECT_NEAR(read_multipoles("x.out", orca).dipole_debye[0], 2.541746, 1e-6);
    ScopedStudyDir dir;
    write_file("re-mol1-cation.log", population_log());
    const CommandResult r = run_tool(".", "log_multipoles", "-inp re-mol1-cation.log");
    ASSERT_EQ(r.status, 0) << r.output;
    expect_messages(read_file("re-mol1-cation.mps.dat"), {"atoms 3\ndipole     0.000000     0.000000    -2.151200\n"});
}

// Each bad input stops with status 1, names the file (and line) and leaves the earlier outputs alone.
TEST(SiteTools, BadInputStopsWithNothingWritten) {
    ScopedStudyDir dir;
    const std::string log = population_log(), out = read_file(orca());
    write_file("cut.log", replaced(log, "     3  H    0.306173   0.100000\n", ""));
    write_file("swapped.log", replaced(log, "     2  H    0.306172", "     3  H    0.306172"));
    write_file("nodipole.log", replaced(log, "    X=  ", "    Q=  "));
    write_file("cut.out", out.substr(0, out.size() * 9 / 10));  // the job stopped early
    for (const char* f : {"EL.dat", "VL.dat", "SE_einternal1-e.dat"}) write_file(f, "earlier\n");
    write_file("short.dat", "3\n" + orca() + " " + orca() + " " + orca() + "\n");
    write_file("two.dat", "1\n" + orca() + " " + orca() + "\n");
    write_file("more.dat", "1\n" + orca() + " " + orca() + " " + orca() + "\nextra\n");
    write_file("missing.dat", "1\n" + orca() + " none.log " + orca() + "\n");
    write_file("stopped.dat", "1\n" + orca() + " cut.out " + orca() + "\n");
    write_file("krymo.inp", "&transport\n  crystal = naphthalene.cif\n  reorg_outer = dielectric 0.1 8\n/\n");
    write_file("naphthalene.cif", read_file(data_path("crystals/naphthalene.cif")));
    write_file("cation.fchk", read_file(qc_output("gaussian/g16_dvb_un_sp.fchk")));
    const std::string g_shell = "Shell types                                I   N=          10\n           ";
    write_file("g.fchk", replaced(read_file(data_path("qcpost/ethylene_psi4/HL/uc_mol-1.fchk")), g_shell + "0",
                                  g_shell + "4"));
    const struct Case {
        const char* tool;
        const char* args;
        const char* message;
    } cases[] = {
        {"eint", "-batch short.dat", "short.dat, line 3: the file ends after 1 molecules; 3 were announced"},
        {"eint", "-batch two.dat", "two.dat, line 2: expected three outputs"},
        {"eint", "-batch more.dat", "more.dat, line 3: more rows than the 1 molecules"},
        {"eint", "-batch missing.dat", "none.log: cannot open the file"},
        {"eint", "-batch stopped.dat", "cut.out: the ORCA job did not end normally"},
        {"eint", "-batch two.dat -qcflag 7", "-qcflag takes the compute_engine of the study, 1 to 4"},
        {"siteen", "", "Neither SE_einternal-e.dat nor SE_einternal-h.dat is here"},
        {"log_multipoles", "-inp cut.log", "cut.log, line 17: 3 ESP charges for 2 atoms"},
        {"log_multipoles", "-inp swapped.log", "swapped.log, line 11: atom 3 where 2 was expected"},
        {"log_multipoles", "-inp nodipole.log", "nodipole.log, line 25: expected the dipole components"},
        {"log_multipoles", "-inp SE_einternal1-e.dat",
         "not a Gaussian, ORCA, Q-Chem or psi4 output that ended normally"},
        {"outer_sphere", "", "qcpost_outer_sphere.exe is not available: the dielectric model"},
        {"fchk_orbitals", "x.fchk -orb -xyz", "x.fchk: cannot open the file"},
        {"fchk_orbitals", "g.fchk", "-orb and/or -xyz are needed"},
        {"fchk_orbitals", "cation.fchk -orb", "an unrestricted run"},
        {"fchk_orbitals", "g.fchk -orb -xyz", "only s, p, sp, d and f shells are supported"},
        {"dimer_overlap", "-batch trans_int_files.dat", "trans_int_files.dat: cannot open the pair list"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.tool) + " " + c.args);
        expect_stop(run_tool(".", c.tool, c.args), {c.message});
    }
    for (const char* f : {"EL.dat", "VL.dat", "SE_einternal1-e.dat"}) EXPECT_EQ(read_file(f), "earlier\n") << f;
    for (const char* f : {"cut.mps.dat", "g.orb", "g.xyz", "cation.orb"}) EXPECT_FALSE(path_exists(f)) << f;
    EXPECT_FALSE(path_exists("reorg_lambda_outer1-e.dat"));
}
