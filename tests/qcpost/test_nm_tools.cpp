// The three reorganization-energy tools as the normal-mode and four-point jobs run them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "hopsim/formats.h"
#include "qcpost/evc_namelist.h"
#include "qcpost/final_energy.h"
#include "qcpost/frequency_jobs.h"
#include "qcpost/normal_modes.h"
#include "qcpost/qcpost_tools.h"
#include "test_support.h"
#include "util/text.h"

using namespace krymo::qcpost;
using krymo_test::data_path;
using krymo_test::expect_fatal;
using krymo_test::read_file;
using krymo_test::replaced;
using krymo_test::run_command;
using krymo_test::ScopedStudyDir;
using krymo_test::write_file;

namespace {

std::string tool(const char* name) { return krymo_test::qcpost_tool(name); }
std::string qc(const std::string& rel) { return krymo_test::qc_output(rel); }

// The water .hess with its oxygen moved: a second state of the same molecule.
std::string displaced_water() {
    return replaced(read_file(qc("orca/orca3_H2O.hess")), " O     15.9990    -11.501751     0.119337     0.024040",
                    " O     15.9990    -11.421751     0.149337     0.004040");
}

const char kEvc[] =
    "&evc   ! water, two states\n"
    "  ffreq(1)  = \"neutral.hess\"\n"
    "  FFREQ(2)  = 'anion.hess'   ! the charged state\n"
    "  sort_mode = 1\n"
    "  proj_reorg = .t.\n"
    "  if_add_int_coord = .T.\n"
    "  def_add_int_coord = \n"
    "          1   2  0  0\n"
    "          1   3  0  0\n"
    "/\n";

}  // namespace

TEST(EvcNamelist, ReadsTheKeysAndNamesEveryFault) {
    const EvcInput in = parse_evc_input("evc.inp", kEvc);
    EXPECT_EQ(in.ffreq[0], "neutral.hess");
    EXPECT_EQ(in.ffreq[1], "anion.hess");
    EXPECT_TRUE(in.proj_reorg && in.if_add_int_coord);
    EXPECT_FALSE(in.eckart_mirror);
    ASSERT_EQ(in.int_coords.size(), 2u);
    EXPECT_EQ(in.int_coords[1][1], 3);
    EXPECT_EQ(in.int_coord_lines[1], 9);
    struct Case {
        std::string text;
        const char* message;
    };
    const Case cases[] = {
        {replaced(kEvc, ".t.", "yes"), "evc.inp, line 5: proj_reorg takes .t. or .f., not 'yes'"},
        {replaced(kEvc, "sort_mode", "sortmode"), "evc.inp, line 4: unknown name 'sortmode'"},
        {replaced(kEvc, "1   3  0  0", "0   3  0  0"), "evc.inp, line 9: an internal coordinate needs two to four"},
        {replaced(kEvc, "'anion.hess'", "anion.hess"), "evc.inp, line 3: ffreq(2) takes a quoted file name"},
        {replaced(kEvc, "  FFREQ(2)  = 'anion.hess'   ! the charged state\n", ""), "ffreq(2) is missing"},
        {replaced(kEvc, "/\n", ""), "the &evc namelist has no closing '/' line"},
        {replaced(kEvc, "&evc", "&evd"), "evc.inp, line 1: expected the namelist start &evc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const krymo::FatalError e = expect_fatal([&] { parse_evc_input("evc.inp", c.text); });
        EXPECT_EQ(e.status, 1);
        EXPECT_NE(e.out_text.find(c.message), std::string::npos) << e.out_text;
    }
}

TEST(FrequencyJobs, DamagedHessiansNameFileAndLine) {
    const std::string good = read_file(qc("orca/orca3_H2O.hess"));
    struct Case {
        std::string text;
        const char* message;
    };
    const Case cases[] = {
        {replaced(good, "      4       0.044504  -0.003738   0.001773", "      4       0.044504  -0.003738"),
         "x.hess, line 30: expected row 4 of the $hessian block"},
        {replaced(good, "$atoms\n3", "$atoms\n4"), "x.hess, line 75: expected the number of atoms after $atoms: 3"},
        {replaced(good, " H      1.0080     -9.658140", " H      1.0080     -9.65x140"), "x.hess, line 77: expected atom 2"},
        {replaced(good, "$hessian", "$hesian"), "x.hess: no $hessian section"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const krymo::FatalError e = expect_fatal([&] { parse_orca_hess("x.hess", c.text); });
        EXPECT_EQ(e.status, 1);
        EXPECT_NE(e.out_text.find(c.message), std::string::npos) << e.out_text;
    }
}

TEST(FrequencyJobs, HessianBlocksOfFiveColumnsReadLikeBlocksOfSix) {
    // ORCA 4 and later print five columns a block, ORCA 3 six: the same Hessian either way.
    const std::string six = read_file(qc("orca/orca3_C6H6_planar.hess"));
    const FrequencyJob a = parse_orca_hess("six.hess", six);
    const int dim = static_cast<int>(a.hessian.rows());
    std::string five = "\n$orca_hessian_file\n\n$hessian\n" + std::to_string(dim) + "\n";
    for (int c0 = 0; c0 < dim; c0 += 5) {
        for (int c = c0; c < std::min(dim, c0 + 5); ++c) five += krymo::format_string("%11d", c);
        five += "\n";
        for (int r = 0; r < dim; ++r) {
            five += krymo::format_string("%6d   ", r);
            for (int c = c0; c < std::min(dim, c0 + 5); ++c) five += krymo::format_string("%19.10E", a.hessian(r, c));
            five += "\n";
        }
    }
    five += six.substr(six.find("$atoms"));
    const FrequencyJob b = parse_orca_hess("five.hess", five);
    EXPECT_EQ(b.hessian, a.hessian);
    EXPECT_EQ(b.x, a.x);
    EXPECT_EQ(b.mass, a.mass);
}

TEST(FinalEnergy, EachEngineGivesItsLastEnergyLine) {
    struct Case {
        const char* file;
        double energy;  // as printed
    };
    const Case cases[] = {{"gaussian/g16_dvb_un_sp.log", -382.081392720},
                          {"orca/orca6_dvb_ir.out", -382.055107107616},
                          {"qchem/qchem54_dvb_sp_un.out", -382.0653088345},
                          {"psi4/psi4_121_dvb_sp_rks.out", -382.31092249769881}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_DOUBLE_EQ(read_final_energy(qc(c.file)), c.energy);
        const std::string text = read_file(qc(c.file));
        const krymo::FatalError e = expect_fatal([&] {
            final_energy("cut.out", text.substr(0, text.size() * 9 / 10));  // the job stopped early
        });
        EXPECT_NE(e.out_text.find("cut.out: the"), std::string::npos);
        EXPECT_NE(e.out_text.find("did not end normally"), std::string::npos) << e.out_text;
    }
}

TEST(NmTools, ProjectionFeedsTheGatherScriptAndTheRates) {
    ScopedStudyDir dir;
    write_file("neutral.hess", read_file(qc("orca/orca3_H2O.hess")));
    write_file("anion.hess", displaced_water());
    write_file("evc.inp", kEvc);
    const krymo_test::CommandResult r = run_command(tool("nmproj") + " evc.inp");
    ASSERT_EQ(r.status, 0) << r.output;
    // What get_RE.py does: the last two fields of the first line with the mark.
    const std::string cart = read_file("evc.cart.dat");
    const size_t at = cart.find("Total reorganization energy");
    ASSERT_NE(at, std::string::npos);
    std::vector<std::string> w;
    krymo::split_to_words(cart.substr(at, cart.find('\n', at) - at), " ", w);
    const double l1 = std::stod(w[w.size() - 2]), l2 = std::stod(w.back());
    EXPECT_GT(l1, 10.0);
    EXPECT_NEAR(l1, l2, 0.03 * l1);  // one Hessian for both states: nearly the same curvature both ways
    EXPECT_NE(read_file("evc.dint.dat").find("internal coordinates (2 bonds, 1 angles, 0 dihedrals)"), std::string::npos);

    ASSERT_EQ(run_command(tool("modes") + " evc.cart.dat NM.dat").status, 0);
    // The lumping script puts the molecule count in front of the pieces.
    write_file("NM-e.dat", "1\n" + read_file("NM.dat"));
    const std::vector<krymo::hopsim::MoleculeModes> m = krymo::hopsim::read_normal_modes("NM-e.dat", 1);
    ASSERT_EQ(m[0].modes.size(), 3u);
    EXPECT_NEAR(m[0].lambda_mev, (l1 + l2) * kWavenumberToMev, 1e-5);
    // The modes carry the whole reorganization energy.
    EXPECT_NEAR(m[0].modes_lambda_mev(), m[0].lambda_mev, 1e-4 * m[0].lambda_mev);
}

TEST(NmTools, FailedJobsAndBadFilesStopWithNothingWritten) {
    ScopedStudyDir dir;
    write_file("neutral.hess", read_file(qc("orca/orca3_H2O.hess")));
    write_file("anion.hess", displaced_water());
    write_file("evc.cart.dat", "earlier\n");
    const std::string log = read_file(qc("gaussian/g16_dvb_ir.out"));
    write_file("stopped.log", replaced(log, "Normal termination", "Error termination"));
    write_file("stopped.fchk", read_file(qc("gaussian/g16_dvb_ir.fchk")));
    write_file("planar.hess", read_file(qc("orca/orca3_C6H6_planar.hess")));
    write_file("list-e.dat", "1\nnone.log a.log b.log c.log\n");
    struct Case {
        std::string evc;  // the namelist, or empty for the four-point tool
        const char* message;
    };
    const Case cases[] = {
        {replaced(kEvc, "anion.hess", "missing.hess"), "missing.hess: cannot open the file"},
        {replaced(kEvc, "anion.hess", "stopped.log"),
         "stopped.log: the Gaussian frequency job did not end normally"},
        {replaced(kEvc, "anion.hess", "planar.hess"), "planar.hess: 12 atoms, but"},
        {replaced(kEvc, "1   3  0  0", "1   4  0  0"), "evc.inp, line 9: atom 4, but the molecule has 3 atoms"},
        {"", "none.log: cannot open the file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        write_file("evc.inp", c.evc);
        const krymo_test::CommandResult r =
            run_command(c.evc.empty() ? tool("lambda4p") + " -batch list-e.dat" : tool("nmproj") + " evc.inp");
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
    }
    EXPECT_EQ(read_file("evc.cart.dat"), "earlier\n");
    EXPECT_FALSE(krymo_test::path_exists("evc.dint.dat"));
    EXPECT_FALSE(krymo_test::path_exists("lambda_4P-e.dat"));
}

TEST(NmTools, ImaginaryModesAreNamedAndLeftOut) {
    ScopedStudyDir dir;
    write_file("planar.hess", read_file(qc("orca/orca3_C6H6_planar.hess")));
    write_file("bent.hess", replaced(read_file(qc("orca/orca3_C6H6_planar.hess")),
                                     " H      1.0080      3.779452     0.000000     0.000000",
                                     " H      1.0080      3.779452     0.000000     0.200000"));
    write_file("evc.inp", "&evc\n ffreq(1) = 'planar.hess'\n ffreq(2) = 'bent.hess'\n/\n");
    const krymo_test::CommandResult r = run_command(tool("nmproj") + " evc.inp");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("WARNING: planar.hess: 9 imaginary modes (-1712.8"), std::string::npos) << r.output;
    const krymo_test::CommandResult m = run_command(tool("modes") + " evc.cart.dat NM.dat");
    ASSERT_EQ(m.status, 0) << m.output;
    EXPECT_NE(m.output.find("9 modes left out (imaginary or below 10 cm^-1)"), std::string::npos) << m.output;
    const std::vector<krymo::hopsim::MoleculeModes> nm = [] {
        write_file("NM-h.dat", "1\n" + read_file("NM.dat"));
        return krymo::hopsim::read_normal_modes("NM-h.dat", 1);
    }();
    EXPECT_EQ(nm[0].modes.size(), 21u);
}

TEST(NmTools, FourPointEnergiesOfEveryEngine) {
    ScopedStudyDir dir;
    // Neutral at the charged geometry, neutral, charged at the neutral geometry, charged: one engine
    // per column, so each engine's energy line is read.
    write_file("re_lambda_4P_files-h.dat",
               "1\n" + qc("gaussian/g16_dvb_un_sp.log") + " " + qc("orca/orca6_dvb_sp_dft.out") + "  " +
                   qc("psi4/psi4_121_dvb_sp_rks.out") + "\t" + qc("qchem/qchem54_dvb_sp_un.out") + "\n");
    const krymo_test::CommandResult r = run_command(tool("lambda4p") + " -batch re_lambda_4P_files-h.dat");
    ASSERT_EQ(r.status, 0) << r.output;
    const double h = 27211.386245988;
    // Each single point pairs with the optimised state of its own charge: first with second, third with fourth.
    const double l1 = (-382.081392720 - -382.055108392562) * h, l2 = (-382.31092249769881 - -382.0653088345) * h;
    const std::string out = read_file("lambda_4P-h.dat");
    EXPECT_NE(out.find(krymo::format_string("%5d %16.6f %16.6f %16.6f\n", 1, l1, l2, l1 + l2)), std::string::npos)
        << out;
}
