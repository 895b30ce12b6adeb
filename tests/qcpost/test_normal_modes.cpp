// Normal-mode analysis on real engine Hessians and on hand-built molecules with known answers.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "qcpost/final_energy.h"
#include "qcpost/frequency_jobs.h"
#include "qcpost/internal_coords.h"
#include "qcpost/normal_modes.h"
#include "qcpost/state_projection.h"
#include "test_support.h"

using namespace krymo::qcpost;
using krymo_test::data_path;
using krymo_test::read_file;

namespace {

// The numbers after `mark` on every line that carries it, in file order.
std::vector<double> printed_numbers(const std::string& text, const std::string& mark) {
    std::vector<double> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const size_t at = line.find(mark);
        if (at == std::string::npos) continue;
        std::istringstream rest(line.substr(at + mark.size()));
        double v;
        while (rest >> v) out.push_back(v);
    }
    return out;
}

// ORCA's $vibrational_frequencies: index, value; the six zeros of translations and rotations first.
std::vector<double> hess_frequencies(const std::string& text) {
    std::istringstream in(text.substr(text.find("$vibrational_frequencies")));
    std::string mark;
    int n = 0;
    in >> mark >> n;
    std::vector<double> out;
    for (int k = 0; k < n; ++k) {
        int index;
        double v;
        in >> index >> v;
        if (k >= 6) out.push_back(v);
    }
    return out;
}

std::vector<double> frequencies(const FrequencyJob& job) {
    const NormalModes m = normal_modes(job);
    std::vector<double> out;
    for (int j = 0; j < m.nvib(); ++j) out.push_back(wavenumber(m.eigenvalues(j)));
    return out;
}

}  // namespace

TEST(NormalModes, FrequenciesOfRealHessiansMatchWhatTheJobPrinted) {
    const std::string d = data_path("qc_outputs/");
    struct Case {
        const char* hessian;  // the file the namelist would name
        std::vector<double> printed;
    };
    const Case cases[] = {
        {"gaussian/g16_dvb_ir.out", printed_numbers(read_file(d + "gaussian/g16_dvb_ir.out"), "Frequencies ---")},
        {"qchem/qchem54_dvb_ir.out", printed_numbers(read_file(d + "qchem/qchem54_dvb_ir.out"), "Frequency:")},
        {"psi4/psi4_132_water_neutral.out", printed_numbers(read_file(d + "psi4/psi4_132_water_neutral.out"), "Freq [cm^-1]")},
        {"psi4/psi4_132_water_cation.out", printed_numbers(read_file(d + "psi4/psi4_132_water_cation.out"), "Freq [cm^-1]")},
        {"orca/orca3_H2O.hess", hess_frequencies(read_file(d + "orca/orca3_H2O.hess"))},
        // Not a minimum: nine imaginary modes, which ORCA prints as negative numbers too.
        {"orca/orca3_C6H6_planar.hess", hess_frequencies(read_file(d + "orca/orca3_C6H6_planar.hess"))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hessian);
        const std::vector<double> ours = frequencies(load_frequency_job(d + c.hessian));
        ASSERT_EQ(ours.size(), c.printed.size());
        ASSERT_GT(ours.size(), 2u);
        for (size_t j = 0; j < ours.size(); ++j) EXPECT_NEAR(ours[j], c.printed[j], 1.0) << "mode " << j + 1;
    }
}

namespace {

// A diatomic along `axis` with bond length r and force constant k (hartree/bohr^2).
FrequencyJob diatomic(double m1, double m2, double r, double k, const Eigen::Vector3d& axis) {
    FrequencyJob j;
    j.path = "diatomic";
    j.z = {0, 0};
    j.mass = {m1, m2};
    const Eigen::Vector3d u = axis.normalized();
    j.x.resize(6);
    j.x << 0, 0, 0, r * u;
    const Eigen::Matrix3d p = k * u * u.transpose();
    j.hessian.resize(6, 6);
    j.hessian << p, -p, -p, p;
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

EvcInput options() {
    EvcInput in;
    in.path = "evc.inp";
    return in;
}

}  // namespace

TEST(NormalModes, DisplacedDiatomicGivesTheAnalyticReorganization) {
    // Two states of one diatomic: bond r1, force constant k1 and r2, k2. Each state relaxes along
    // its one mode: lambda_s = k_s (r2 - r1)^2 / 2, nu_s = sqrt(k_s / mu) and S_s = lambda_s / nu_s.
    const double m1 = 12.0, m2 = 15.99491461957, r1 = 2.30, r2 = 2.38, k1 = 0.80, k2 = 0.65;
    const double mu = m1 * m2 / (m1 + m2);
    const FrequencyJob job[2] = {diatomic(m1, m2, r1, k1, {1, 0, 0}),
                                 moved(diatomic(m1, m2, r2, k2, {0.3, -1, 0.5}), rotation(0.4, 1.1, -2.0), {1, 2, 3})};
    const StateProjections p = project_states(job, options());
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
            EXPECT_NEAR(m.total_cm, lambda, 1e-5 * lambda);
        }
    }
}

TEST(NormalModes, ShiftAlongKnownModesIsRecoveredInEveryFrameAndInInternalCoordinates) {
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
    const FrequencyJob plain[2] = {neutral, charged};
    const FrequencyJob turned[2] = {neutral, moved(charged, rotation(2.0, -0.7, 0.3), {5, -3, 8})};
    const StateProjections a = project_states(plain, options()), b = project_states(turned, options());
    double expected = 0.0;
    for (int k = 0; k < 3; ++k) expected += 0.5 * m.eigenvalues(picked[k]) * shift[k] * shift[k] * kHartreeToWavenumber;
    for (int s = 0; s < 2; ++s) {
        SCOPED_TRACE(s);
        const ModeProjection &ca = a.cart.state[s].modes, &cb = b.cart.state[s].modes;
        for (size_t j = 0; j < ca.dq.size(); ++j) {
            EXPECT_NEAR(ca.freq_cm[j], cb.freq_cm[j], 1e-6);
            EXPECT_NEAR(ca.lambda_cm[j], cb.lambda_cm[j], 1e-8 + 1e-8 * ca.lambda_cm[j]);
            EXPECT_NEAR(b.dint.state[s].modes.lambda_cm[j], a.dint.state[s].modes.lambda_cm[j], 1e-6 * expected);
        }
        // Second-order terms of the alignment are far below the shift.
        EXPECT_NEAR(ca.total_cm, expected, 1e-3 * expected);
        // Internal coordinates measure the same small shift (to first order).
        EXPECT_NEAR(a.dint.state[s].modes.total_cm, expected, 0.02 * expected);
    }
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(a.cart.state[0].modes.dq[picked[k]], shift[k], 1e-3 * std::fabs(shift[k]));
        const double lambda = 0.5 * m.eigenvalues(picked[k]) * shift[k] * shift[k] * kHartreeToWavenumber;
        EXPECT_NEAR(a.cart.state[0].modes.huang_rhys[picked[k]], lambda / wavenumber(m.eigenvalues(picked[k])),
                    1e-3 * lambda / wavenumber(m.eigenvalues(picked[k])));
    }
}

TEST(NormalModes, ModesAndFourPointEnergiesAgreeForARealIonization) {
    // Water and its cation at HF/STO-3G (psi4): the harmonic reorganization energies of the two
    // states' modes against the four single points. The ionization moves the angle far (anharmonic),
    // so each half agrees within 5 %, the sum within 1 %.
    const std::string d = data_path("qc_outputs/psi4/psi4_132_water_");
    const FrequencyJob job[2] = {load_frequency_job(d + "neutral.out"), load_frequency_job(d + "cation.out")};
    EvcInput in;
    in.path = "evc.inp";
    const StateProjections p = project_states(job, in);
    const double h = kHartreeToWavenumber;
    const double four_point[2] = {(read_final_energy(d + "neutral_hN.out") - read_final_energy(d + "neutral.out")) * h,
                                  (read_final_energy(d + "cation_nC.out") - read_final_energy(d + "cation.out")) * h};
    for (int s = 0; s < 2; ++s) EXPECT_NEAR(p.cart.state[s].modes.total_cm, four_point[s], 0.05 * four_point[s]);
    const double modes = p.cart.state[0].modes.total_cm + p.cart.state[1].modes.total_cm;
    EXPECT_NEAR(modes, four_point[0] + four_point[1], 0.01 * (four_point[0] + four_point[1]));
}

TEST(NormalModes, MirrorImageFitsOnlyWhenAllowed) {
    // An irregular tetrahedron of four different masses (chiral) held by springs along its six edges,
    // and its mirror image slightly deformed: only a mirror brings it back onto the original.
    FrequencyJob a;
    a.path = "tetrahedron";
    a.z = {0, 0, 0, 0};
    a.mass = {12.0, 14.0, 16.0, 19.0};
    a.x.resize(12);
    a.x << 0.0, 0.0, 0.0, 2.6, 0.0, 0.0, 0.7, 2.4, 0.0, 0.9, 0.8, 2.2;
    a.hessian = Eigen::MatrixXd::Zero(12, 12);
    for (int i = 0; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j) {
            const Eigen::Vector3d u = (a.x.segment<3>(3 * j) - a.x.segment<3>(3 * i)).normalized();
            const Eigen::Matrix3d k = (0.3 + 0.1 * (i + j)) * u * u.transpose();
            a.hessian.block<3, 3>(3 * i, 3 * i) += k;
            a.hessian.block<3, 3>(3 * j, 3 * j) += k;
            a.hessian.block<3, 3>(3 * i, 3 * j) -= k;
            a.hessian.block<3, 3>(3 * j, 3 * i) -= k;
        }
    FrequencyJob b = a;
    b.x(10) += 0.05;  // a small deformation
    const FrequencyJob plain[2] = {a, b};
    Eigen::Matrix3d mirror = Eigen::Matrix3d::Identity();
    mirror(0, 0) = -1.0;
    const FrequencyJob mirrored[2] = {a, moved(b, rotation(0.3, 0.2, 0.1) * mirror, {1, 1, 1})};
    EvcInput allowed = options();
    allowed.eckart_mirror = true;
    const double small = project_states(plain, options()).cart.state[0].modes.total_cm;
    EXPECT_GT(small, 0.0);
    EXPECT_NEAR(project_states(mirrored, allowed).cart.state[0].modes.total_cm, small, 1e-8 * small);
    EXPECT_GT(project_states(mirrored, options()).cart.state[0].modes.total_cm, 100.0 * small);
}
