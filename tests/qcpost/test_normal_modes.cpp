// Normal-mode analysis on real engine Hessians and on hand-built molecules with known answers.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

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

// ORCA's $vibrational_frequencies: the count, then index and value; translations and rotations first.
std::vector<double> hess_frequencies(const std::string& text) {
    std::istringstream in(text.substr(text.find("$vibrational_frequencies") + 24));
    int n = 0, index;
    in >> n;
    std::vector<double> out(static_cast<size_t>(n));
    for (double& v : out) in >> index >> v;
    return std::vector<double>(out.begin() + 6, out.end());
}

}  // namespace

TEST(NormalModes, FrequenciesOfRealHessiansMatchWhatTheJobPrinted) {
    const char* cases[][2] = {
        {"gaussian/g16_dvb_ir.out", "Frequencies ---"},
        {"qchem/qchem54_dvb_ir.out", "Frequency:"},
        {"psi4/psi4_132_water_neutral.out", "Freq [cm^-1]"},
        {"psi4/psi4_132_water_cation.out", "Freq [cm^-1]"},
        {"orca/orca3_H2O.hess", nullptr},
        // Not a minimum: nine imaginary modes, which ORCA prints as negative numbers too.
        {"orca/orca3_C6H6_planar.hess", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c[0]);
        const std::string path = data_path(std::string("qc_outputs/") + c[0]), text = read_file(path);
        const std::vector<double> printed = c[1] ? printed_numbers(text, c[1]) : hess_frequencies(text);
        const NormalModes m = normal_modes(load_frequency_job(path));
        ASSERT_EQ(m.nvib(), static_cast<int>(printed.size()));
        ASSERT_GT(m.nvib(), 2);
        for (int j = 0; j < m.nvib(); ++j)
            EXPECT_NEAR(wavenumber(m.eigenvalues(j)), printed[j], 1.0) << "mode " << j + 1;
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
    double expected = 0.0;
    for (int k = 0; k < 3; ++k) expected += 0.5 * m.eigenvalues(picked[k]) * shift[k] * shift[k] * kHartreeToWavenumber;
    for (const FrequencyJob* jobs : {plain, turned}) {
        const StateProjections p = project_states(jobs, EvcInput());
        for (int s = 0; s < 2; ++s) {
            SCOPED_TRACE(s);
            // Second-order terms of the alignment are far below the shift; internal coordinates measure
            // the same small shift to first order.
            EXPECT_NEAR(p.cart.state[s].modes.total_cm, expected, 1e-3 * expected);
            EXPECT_NEAR(p.dint.state[s].modes.total_cm, expected, 0.02 * expected);
        }
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(p.cart.state[0].modes.dq[picked[k]], shift[k], 1e-3 * std::fabs(shift[k]));
    }
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
