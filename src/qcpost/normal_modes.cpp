#include "qcpost/normal_modes.h"

#include <algorithm>
#include <cmath>

namespace krymo {
namespace qcpost {

double wavenumber(double eigenvalue) {
    const double w = std::sqrt(std::fabs(eigenvalue) / kAmuToElectronMass) * kHartreeToWavenumber;
    return eigenvalue < 0 ? -w : w;
}

namespace {

Eigen::Vector3d centre_of_mass(const Eigen::VectorXd& x, const std::vector<double>& mass) {
    Eigen::Vector3d c = Eigen::Vector3d::Zero();
    double total = 0.0;
    for (size_t i = 0; i < mass.size(); ++i) {
        c += mass[i] * x.segment<3>(3 * i);
        total += mass[i];
    }
    return c / total;
}

// Orthonormal basis of the internal motions: the complement of the mass-weighted translations and
// rotations about the centre of mass.
Eigen::MatrixXd internal_basis(const Eigen::VectorXd& x, const std::vector<double>& mass) {
    const int n = static_cast<int>(mass.size()), dim = 3 * n;
    const Eigen::Vector3d c = centre_of_mass(x, mass);
    Eigen::MatrixXd ext = Eigen::MatrixXd::Zero(dim, 6);
    for (int i = 0; i < n; ++i) {
        const double s = std::sqrt(mass[i]);
        const Eigen::Vector3d r = x.segment<3>(3 * i) - c;
        for (int k = 0; k < 3; ++k) {
            ext(3 * i + k, k) = s;
            const Eigen::Vector3d e = Eigen::Vector3d::Unit(k);
            ext.block<3, 1>(3 * i, 3 + k) = s * e.cross(r);
        }
    }
    // Gram-Schmidt; a rotation about the axis of a linear molecule vanishes and is dropped.
    std::vector<Eigen::VectorXd> kept;
    for (int k = 0; k < 6; ++k) {
        Eigen::VectorXd v = ext.col(k);
        const double norm0 = v.norm();
        for (const Eigen::VectorXd& u : kept) v -= u.dot(v) * u;
        if (v.norm() > 1e-6 * std::max(1.0, norm0)) kept.push_back(v.normalized());
    }
    Eigen::MatrixXd p = Eigen::MatrixXd::Identity(dim, dim);
    for (const Eigen::VectorXd& u : kept) p -= u * u.transpose();
    Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> es(p);
    const int nint = dim - static_cast<int>(kept.size());
    // Eigenvalues of a projector are 0 or 1, ascending: the internal space is the last nint columns.
    return es.eigenvectors().rightCols(nint);
}

}  // namespace

NormalModes normal_modes(const FrequencyJob& job) {
    const int n = static_cast<int>(job.mass.size()), dim = 3 * n;
    Eigen::VectorXd inv_sqrt(dim);
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < 3; ++k) inv_sqrt(3 * i + k) = 1.0 / std::sqrt(job.mass[i]);
    const Eigen::MatrixXd h = 0.5 * (job.hessian + job.hessian.transpose());
    const Eigen::MatrixXd hmw = inv_sqrt.asDiagonal() * h * inv_sqrt.asDiagonal();
    const Eigen::MatrixXd u = internal_basis(job.x, job.mass);
    const Eigen::MatrixXd hint = u.transpose() * hmw * u;
    Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> es(0.5 * (hint + hint.transpose()));
    NormalModes out;
    out.eigenvalues = es.eigenvalues();
    out.modes = u * es.eigenvectors();
    // A mode's sign is arbitrary: fix it so that its largest component is positive, making the
    // printed shifts reproducible.
    for (int j = 0; j < out.modes.cols(); ++j) {
        Eigen::Index at = 0;
        out.modes.col(j).cwiseAbs().maxCoeff(&at);
        if (out.modes(at, j) < 0) out.modes.col(j) *= -1.0;
    }
    return out;
}

Eigen::VectorXd eckart_align(const Eigen::VectorXd& reference, const Eigen::VectorXd& moving,
                             const std::vector<double>& mass, bool allow_mirror) {
    const int n = static_cast<int>(mass.size());
    const Eigen::Vector3d cr = centre_of_mass(reference, mass), cm = centre_of_mass(moving, mass);
    Eigen::Matrix3d cov = Eigen::Matrix3d::Zero();
    for (int i = 0; i < n; ++i)
        cov += mass[i] * (moving.segment<3>(3 * i) - cm) * (reference.segment<3>(3 * i) - cr).transpose();
    Eigen::JacobiSVD<Eigen::Matrix3d> svd(cov, Eigen::ComputeFullU | Eigen::ComputeFullV);
    const Eigen::Matrix3d u = svd.matrixU(), v = svd.matrixV();
    Eigen::Matrix3d d = Eigen::Matrix3d::Identity();
    // The best orthogonal fit is V U^T; a proper rotation flips the axis of the smallest singular value.
    if ((v * u.transpose()).determinant() < 0 && !allow_mirror) d(2, 2) = -1.0;
    const Eigen::Matrix3d r = v * d * u.transpose();
    Eigen::VectorXd out(3 * n);
    for (int i = 0; i < n; ++i) out.segment<3>(3 * i) = r * (moving.segment<3>(3 * i) - cm) + cr;
    return out;
}

Eigen::VectorXd mass_weighted(const Eigen::VectorXd& from, const Eigen::VectorXd& to, const std::vector<double>& mass) {
    Eigen::VectorXd d = to - from;
    for (size_t i = 0; i < mass.size(); ++i) d.segment<3>(3 * i) *= std::sqrt(mass[i]);
    return d;
}

ModeProjection project(const NormalModes& modes, const Eigen::VectorXd& dx_mw) {
    ModeProjection p;
    const Eigen::VectorXd dq = modes.modes.transpose() * dx_mw;
    for (int j = 0; j < modes.nvib(); ++j) {
        const double eig = modes.eigenvalues(j), nu = wavenumber(eig);
        p.freq_cm.push_back(nu);
        p.dq.push_back(dq(j));
        // omega^2 dQ^2 / 2: eig (hartree / (bohr^2 amu)) times dQ^2 (bohr^2 amu) is hartree.
        const double lambda = eig > 0 ? 0.5 * eig * dq(j) * dq(j) * kHartreeToWavenumber : 0.0;
        p.lambda_cm.push_back(lambda);
        p.huang_rhys.push_back(eig > 0 ? lambda / nu : 0.0);
        p.total_cm += lambda;
    }
    return p;
}

}  // namespace qcpost
}  // namespace krymo
