// Normal-mode analysis on real engine Hessians and on hand-built molecules with known answers, and the
// reorganization-energy tools as the normal-mode and four-point jobs run them.
#include <gtest/gtest.h>

#include <cmath>

#include "hopsim/formats.h"
#include "qcpost/evc_namelist.h"
#include "qcpost/frequency_jobs.h"
#include "qcpost/internal_coords.h"
#include "qcpost/normal_modes.h"
#include "qcpost/qcpost_tools.h"
#include "qcpost/state_projection.h"
#include "util/text.h"

using namespace krymo::qcpost;
using namespace krymo_test;

namespace {

// Water's two states, two bonds and one angle added to the internal coordinates.
const std::string kEvc = read_file(data_path("qcpost/nm_tools/evc.inp"));

}  // namespace

TEST(NmInputs, NamelistKeysAreReadAndDamagedInputsNameFileAndLine) {
    const EvcInput in = parse_evc_input("evc.inp", kEvc);
    EXPECT_EQ(in.ffreq[0], "neutral.hess");
    EXPECT_EQ(in.ffreq[1], "anion.hess");
    EXPECT_TRUE(in.proj_reorg && in.if_add_int_coord);
    EXPECT_FALSE(in.eckart_mirror);
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

TEST(NmTools, ProjectionFeedsTheGatherScriptAndTheRates) {
    ScopedStudyDir dir;
    write_file("neutral.hess", read_file(qc_output("orca/orca3_H2O.hess")));
    write_file("anion.hess", read_file(data_path("qcpost/nm_tools/H2O_O_moved.hess")));
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
    write_file("anion.hess", read_file(data_path("qcpost/nm_tools/H2O_O_moved.hess")));
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
    write_file("bent.hess", read_file(data_path("qcpost/nm_tools/C6H6_bent.hess")));  // one H out of the plane
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

// The first, middle and last vibrational wavenumbers as each job printed them.
TEST(NormalModes, FrequenciesOfRealHessiansMatchWhatTheJobPrinted) {
    const struct {
        const char* file;
        int nvib;  // the printed values follow
        double printed[3];
    } cases[] = {
        {"gaussian/g16_dvb_ir.out", 54, {53.1981, 1109.9487, 3548.332}},
        {"qchem/qchem54_dvb_ir.out", 54, {47.24, 1110.63, 3552.26}},
        {"psi4/psi4_132_water_neutral.out", 3, {2170.0502, 4140.0092, 4391.07}},
        {"psi4/psi4_132_water_cation.out", 3, {1629.287, 3792.4172, 3921.7311}},
        {"orca/orca3_H2O.hess", 3, {1612.557604, 3631.269051, 3725.395098}},
        // ORCA 4 and later print five columns a block, ORCA 3 six: the same water Hessian either way.
        {"../qcpost/nm_tools/H2O_five_columns.hess", 3, {1612.557604, 3631.269051, 3725.395098}},
        // Not a minimum: nine imaginary modes, which ORCA prints as negative numbers too.
        {"orca/orca3_C6H6_planar.hess", 30, {-1712.849508, 1325.230368, 4562.183446}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const NormalModes m = normal_modes(load_frequency_job(data_path(std::string("qc_outputs/") + c.file)));
        ASSERT_EQ(m.nvib(), c.nvib);
        const int picked[3] = {0, c.nvib / 2, c.nvib - 1};
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(wavenumber(m.eigenvalues(picked[j])), c.printed[j], 1.0) << j;
    }
}

namespace {

// Atoms held by springs along the lines joining them, spring i-j of constant k(i, j) (hartree/bohr^2).
FrequencyJob springs(const std::vector<double>& mass, const std::vector<double>& x, double (*k)(int, int)) {
    FrequencyJob j;
    j.path = "springs";
    j.mass = mass;
    j.z.assign(mass.size(), 0);
    j.x = Eigen::Map<const Eigen::VectorXd>(x.data(), static_cast<long>(x.size()));
    j.hessian = Eigen::MatrixXd::Zero(j.x.size(), j.x.size());
    for (int a = 0; a < static_cast<int>(mass.size()); ++a)
        for (int b = a + 1; b < static_cast<int>(mass.size()); ++b) {
            const Eigen::Vector3d u = (j.x.segment<3>(3 * b) - j.x.segment<3>(3 * a)).normalized();
            const Eigen::Matrix3d p = k(a, b) * u * u.transpose();
            j.hessian.block<3, 3>(3 * a, 3 * a) += p;
            j.hessian.block<3, 3>(3 * b, 3 * b) += p;
            j.hessian.block<3, 3>(3 * a, 3 * b) -= p;
            j.hessian.block<3, 3>(3 * b, 3 * a) -= p;
        }
    return j;
}

Eigen::Matrix3d rotation(double a, double b, double c) {
    return (Eigen::AngleAxisd(a, Eigen::Vector3d::UnitZ()) * Eigen::AngleAxisd(b, Eigen::Vector3d::UnitY()) *
            Eigen::AngleAxisd(c, Eigen::Vector3d::UnitX()))
        .toRotationMatrix();
}

// The job turned by r and moved by t: coordinates and Hessian alike.
FrequencyJob moved(FrequencyJob j, const Eigen::Matrix3d& r, const Eigen::Vector3d& t) {
    const int n = static_cast<int>(j.mass.size());
    Eigen::MatrixXd big = Eigen::MatrixXd::Zero(3 * n, 3 * n);
    for (int i = 0; i < n; ++i) {
        big.block<3, 3>(3 * i, 3 * i) = r;
        j.x.segment<3>(3 * i) = r * j.x.segment<3>(3 * i) + t;
    }
    j.hessian = big * j.hessian * big.transpose();
    return j;
}

}  // namespace

TEST(NormalModes, DisplacedDiatomicGivesTheAnalyticReorganization) {
    // Two states of one diatomic: bond r1, force constant k1 and r2, k2. Each state relaxes along
    // its one mode: lambda_s = k_s (r2 - r1)^2 / 2, nu_s = sqrt(k_s / mu) and S_s = lambda_s / nu_s.
    constexpr double m1 = 12.0, m2 = 15.99491461957, r1 = 2.30, r2 = 2.38, k1 = 0.80, k2 = 0.65;
    const double mu = m1 * m2 / (m1 + m2);
    const FrequencyJob job[2] = {springs({m1, m2}, {0, 0, 0, r1, 0, 0}, [](int, int) { return k1; }),
                                 moved(springs({m1, m2}, {0, 0, 0, r2, 0, 0}, [](int, int) { return k2; }),
                                       rotation(0.4, 1.1, -2.0), {1, 2, 3})};
    const StateProjections p = project_states(job, EvcInput());
    const double k[2] = {k1, k2};
    for (int s = 0; s < 2; ++s) {
        SCOPED_TRACE(s);
        for (const EvcReport* r : {&p.cart, &p.dint}) {
            const ModeProjection& m = r->state[s].modes;
            ASSERT_EQ(m.freq_cm.size(), 1u);  // linear: five external motions
            const double nu = std::sqrt(k[s] / mu / kAmuToElectronMass) * kHartreeToWavenumber;
            const double lambda = 0.5 * k[s] * (r2 - r1) * (r2 - r1) * kHartreeToWavenumber;
            EXPECT_NEAR(m.freq_cm[0], nu, 1e-6 * nu);
            EXPECT_NEAR(std::fabs(m.dq[0]), std::sqrt(mu) * (r2 - r1), 1e-6);
            EXPECT_NEAR(m.lambda_cm[0], lambda, 1e-5 * lambda);
            EXPECT_NEAR(m.huang_rhys[0], lambda / nu, 1e-5 * lambda / nu);
        }
    }
}

TEST(NormalModes, ShiftAlongKnownModesIsRecoveredInAnotherFrameAndInInternalCoordinates) {
    // The charged state: the real divinylbenzene Hessian, its geometry shifted by known amounts along
    // three of its modes, then turned and moved. Its own modes see the same shift back.
    FrequencyJob neutral = load_frequency_job(data_path("qc_outputs/gaussian/g16_dvb_ir.out"));
    const NormalModes m = normal_modes(neutral);
    const int picked[3] = {4, 20, 41};
    const double shift[3] = {0.06, -0.04, 0.03};  // bohr amu^1/2
    Eigen::VectorXd dx = Eigen::VectorXd::Zero(neutral.x.size());
    for (int k = 0; k < 3; ++k) dx += shift[k] * m.modes.col(picked[k]);
    FrequencyJob charged = neutral;
    for (size_t i = 0; i < neutral.mass.size(); ++i) charged.x.segment<3>(3 * i) += dx.segment<3>(3 * i) / std::sqrt(neutral.mass[i]);
    const FrequencyJob turned[2] = {neutral, moved(charged, rotation(2.0, -0.7, 0.3), {5, -3, 8})};
    double expected = 0.0;
    for (int k = 0; k < 3; ++k) expected += 0.5 * m.eigenvalues(picked[k]) * shift[k] * shift[k] * kHartreeToWavenumber;
    const StateProjections p = project_states(turned, EvcInput());
    for (int s = 0; s < 2; ++s) {
        SCOPED_TRACE(s);
        // Second-order terms of the alignment are far below the shift; internal coordinates measure
        // the same small shift to first order.
        EXPECT_NEAR(p.cart.state[s].modes.total_cm, expected, 1e-3 * expected);
        EXPECT_NEAR(p.dint.state[s].modes.total_cm, expected, 0.02 * expected);
    }
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(p.cart.state[0].modes.dq[picked[k]], shift[k], 1e-3 * std::fabs(shift[k]));
}

TEST(NormalModes, MirrorImageFitsOnlyWhenAllowed) {
    // An irregular tetrahedron of four different masses (chiral) held by springs along its six edges,
    // and its mirror image slightly deformed: only a mirror brings it back onto the original.
    const FrequencyJob a = springs({12.0, 14.0, 16.0, 19.0}, {0, 0, 0, 2.6, 0, 0, 0.7, 2.4, 0, 0.9, 0.8, 2.2},
                                   [](int i, int j) { return 0.3 + 0.1 * (i + j); });
    FrequencyJob b = a;
    b.x(10) += 0.05;  // a small deformation
    const FrequencyJob plain[2] = {a, b};
    Eigen::Matrix3d mirror = Eigen::Matrix3d::Identity();
    mirror(0, 0) = -1.0;
    const FrequencyJob mirrored[2] = {a, moved(b, rotation(0.3, 0.2, 0.1) * mirror, {1, 1, 1})};
    EvcInput allowed;
    allowed.eckart_mirror = true;
    const double small = project_states(plain, EvcInput()).cart.state[0].modes.total_cm;
    EXPECT_GT(small, 0.0);
    EXPECT_NEAR(project_states(mirrored, allowed).cart.state[0].modes.total_cm, small, 1e-8 * small);
    EXPECT_GT(project_states(mirrored, EvcInput()).cart.state[0].modes.total_cm, 100.0 * small);
}
