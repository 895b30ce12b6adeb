// The three reorganization-energy tools as the normal-mode and four-point jobs run them.
#include <gtest/gtest.h>

#include "hopsim/formats.h"
#include "qcpost/evc_namelist.h"
#include "qcpost/frequency_jobs.h"
#include "qcpost/normal_modes.h"
#include "qcpost/qcpost_tools.h"
#include "util/text.h"

using namespace krymo::qcpost;
using namespace krymo_test;

namespace {

// The water .hess with its oxygen moved: a second state of the same molecule.
std::string displaced_water() {
    return replaced(read_file(qc_output("orca/orca3_H2O.hess")),
                    " O     15.9990    -11.501751     0.119337     0.024040",
                    " O     15.9990    -11.421751     0.149337     0.004040");
}

// Water's two states, two bonds and one angle added to the internal coordinates.
const std::string kEvc = read_file(data_path("qcpost/nm_tools/evc.inp"));

}  // namespace

TEST(NmInputs, NamelistKeysAreReadAndDamagedInputsNameFileAndLine) {
    const EvcInput in = parse_evc_input("evc.inp", kEvc);
    EXPECT_EQ(in.ffreq[0], "neutral.hess");
    EXPECT_EQ(in.ffreq[1], "anion.hess");
    EXPECT_TRUE(in.proj_reorg && in.if_add_int_coord);
    EXPECT_FALSE(in.eckart_mirror);
    ASSERT_EQ(in.int_coords.size(), 2u);
    EXPECT_EQ(in.int_coords[1][1], 3);
    EXPECT_EQ(in.int_coord_lines[1], 9);
    const std::string hess = read_file(qc_output("orca/orca3_H2O.hess"));
    const struct {
        bool evc;  // the namelist, else the Hessian
        std::string text;
        const char* message;
    } cases[] = {
        {true, replaced(kEvc, ".t.", "yes"), "evc.inp, line 5: proj_reorg takes .t. or .f., not 'yes'"},
        {true, replaced(kEvc, "sort_mode", "sortmode"), "evc.inp, line 4: unknown name 'sortmode'"},
        {true, replaced(kEvc, "1   3  0  0", "0   3  0  0"),
         "evc.inp, line 9: an internal coordinate needs two to four"},
        {true, replaced(kEvc, "'anion.hess'", "anion.hess"), "evc.inp, line 3: ffreq(2) takes a quoted file name"},
        {true, replaced(kEvc, "  FFREQ(2)  = 'anion.hess'   ! the charged state\n", ""), "ffreq(2) is missing"},
        {true, replaced(kEvc, "/\n", ""), "the &evc namelist has no closing '/' line"},
        {true, replaced(kEvc, "&evc", "&evd"), "evc.inp, line 1: expected the namelist start &evc"},
        {false, replaced(hess, "      4       0.044504  -0.003738   0.001773", "      4       0.044504  -0.003738"),
         "x.hess, line 30: expected row 4 of the $hessian block"},
        {false, replaced(hess, "$atoms\n3", "$atoms\n4"),
         "x.hess, line 75: expected the number of atoms after $atoms: 3"},
        {false, replaced(hess, " H      1.0080     -9.658140", " H      1.0080     -9.65x140"),
         "x.hess, line 77: expected atom 2"},
        {false, replaced(hess, "$hessian", "$hesian"), "x.hess: no $hessian section"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const krymo::FatalError e = expect_fatal([&] {
            if (c.evc) parse_evc_input("evc.inp", c.text);
            else parse_orca_hess("x.hess", c.text);
        });
        expect_messages(e.out_text, {c.message});
    }
}

TEST(FrequencyJobs, HessianBlocksOfFiveColumnsReadLikeBlocksOfSix) {
    // ORCA 4 and later print five columns a block, ORCA 3 six: the same water Hessian either way.
    const FrequencyJob six = load_frequency_job(qc_output("orca/orca3_H2O.hess"));
    const FrequencyJob five = load_frequency_job(data_path("qcpost/nm_tools/H2O_five_columns.hess"));
    EXPECT_EQ(five.hessian, six.hessian);
    EXPECT_EQ(five.x, six.x);
}

TEST(NmTools, ProjectionFeedsTheGatherScriptAndTheRates) {
    ScopedStudyDir dir;
    write_file("neutral.hess", read_file(qc_output("orca/orca3_H2O.hess")));
    write_file("anion.hess", displaced_water());
    write_file("evc.inp", kEvc);
    const CommandResult r = run_tool(".", "nmproj", "evc.inp");
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
    expect_messages(read_file("evc.dint.dat"), {"internal coordinates (2 bonds, 1 angles, 0 dihedrals)"});

    ASSERT_EQ(run_tool(".", "modes", "evc.cart.dat NM.dat").status, 0);
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
    write_file("neutral.hess", read_file(qc_output("orca/orca3_H2O.hess")));
    write_file("anion.hess", displaced_water());
    write_file("evc.cart.dat", "earlier\n");
    // Gaussian ends each link of a job with its own line: here the second link failed after the first.
    write_file("stopped.log", read_file(qc_output("gaussian/g16_dvb_ir.out")) + " Error termination via Lnk1e\n");
    write_file("stopped.fchk", read_file(qc_output("gaussian/g16_dvb_ir.fchk")));
    write_file("planar.hess", read_file(qc_output("orca/orca3_C6H6_planar.hess")));
    write_file("list-e.dat", "1\nnone.log a.log b.log c.log\n");
    const struct Case {
        std::string evc;  // the namelist, or empty for the four-point tool
        const char* message;
    } cases[] = {
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
        expect_stop(c.evc.empty() ? run_tool(".", "lambda4p", "-batch list-e.dat") : run_tool(".", "nmproj", "evc.inp"),
                    {c.message});
    }
    EXPECT_EQ(read_file("evc.cart.dat"), "earlier\n");
    EXPECT_FALSE(path_exists("evc.dint.dat"));
    EXPECT_FALSE(path_exists("lambda_4P-e.dat"));
}

TEST(NmTools, ImaginaryModesAreNamedAndLeftOut) {
    ScopedStudyDir dir;
    write_file("planar.hess", read_file(qc_output("orca/orca3_C6H6_planar.hess")));
    write_file("bent.hess", replaced(read_file(qc_output("orca/orca3_C6H6_planar.hess")),
                                     " H      1.0080      3.779452     0.000000     0.000000",
                                     " H      1.0080      3.779452     0.000000     0.200000"));
    write_file("evc.inp", "&evc\n ffreq(1) = 'planar.hess'\n ffreq(2) = 'bent.hess'\n/\n");
    const CommandResult r = run_tool(".", "nmproj", "evc.inp");
    ASSERT_EQ(r.status, 0) << r.output;
    expect_messages(r.output, {"WARNING: planar.hess: 9 imaginary modes (-1712.8"});
    const CommandResult m = run_tool(".", "modes", "evc.cart.dat NM.dat");
    ASSERT_EQ(m.status, 0) << m.output;
    expect_messages(m.output, {"9 modes left out (imaginary or below 10 cm^-1)"});
    write_file("NM-h.dat", "1\n" + read_file("NM.dat"));
    EXPECT_EQ(krymo::hopsim::read_normal_modes("NM-h.dat", 1)[0].modes.size(), 21u);
}

TEST(NmTools, FourPointEnergiesOfEveryEngine) {
    ScopedStudyDir dir;
    // Neutral at the charged geometry, neutral, charged at the neutral geometry, charged: one engine
    // per column, so each engine's energy line is read.
    write_file("re_lambda_4P_files-h.dat",
               "1\n" + qc_output("gaussian/g16_dvb_un_sp.log") + " " + qc_output("orca/orca6_dvb_sp_dft.out") + "  " +
                   qc_output("psi4/psi4_121_dvb_sp_rks.out") + "\t" + qc_output("qchem/qchem54_dvb_sp_un.out") + "\n");
    const CommandResult r = run_tool(".", "lambda4p", "-batch re_lambda_4P_files-h.dat");
    ASSERT_EQ(r.status, 0) << r.output;
    const double h = 27211.386245988;
    // Each single point pairs with the optimised state of its own charge: first with second, third with fourth.
    const double l1 = (-382.081392720 - -382.055108392562) * h, l2 = (-382.31092249769881 - -382.0653088345) * h;
    expect_messages(read_file("lambda_4P-h.dat"),
                    {krymo::format_string("%5d %16.6f %16.6f %16.6f\n", 1, l1, l2, l1 + l2)});
}
