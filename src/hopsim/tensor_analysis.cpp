#include "hopsim/tensor_analysis.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>

#include "hopsim/rates.h"
#include "util/fatal.h"
#include "util/files.h"
#include "util/text.h"

namespace krymo {
namespace hopsim {

namespace {

const OutputFailure kAnalysisFailure = {"hopsim", 1, false, false};

double dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

double quadratic_form(const double mu[3][3], const double u[3]) {
    double m = 0.0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) m += u[i] * mu[i][j] * u[j];
    return m;
}

void unpack(const std::array<double, 9>& flat, double mu[3][3]) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) mu[i][j] = flat[3 * i + j];
}

// Jackknife spread of one quantity over the leave-one-out tensors.
template <typename F>
double jackknife_error(const std::vector<std::array<double, 9>>& parts, F quantity) {
    const size_t g = parts.size();
    if (g < 2) return 0.0;
    std::vector<double> x(g);
    double mean = 0.0;
    for (size_t k = 0; k < g; ++k) {
        double mu[3][3];
        unpack(parts[k], mu);
        x[k] = quantity(mu);
        mean += x[k] / g;
    }
    double ss = 0.0;
    for (double v : x) ss += (v - mean) * (v - mean);
    return std::sqrt((g - 1.0) / g * ss);
}

const char* const kAxisNames = "abc";

// Components at rounding level print as 0, not as -0.000000.
double shown(double x) { return std::fabs(x) < 1e-12 ? 0.0 : x; }

}  // namespace

PrincipalAxes principal_axes(const double mu[3][3], const double cell[3][3]) {
    Eigen::Matrix3d sym;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) sym(i, j) = 0.5 * (mu[i][j] + mu[j][i]);
    const Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d> solver(sym);
    if (solver.info() != Eigen::Success)
        KRYMO_FATAL_OUT("hopsim", 1, "The mobility tensor could not be diagonalised (it holds no finite numbers)\n");
    Eigen::Matrix3d lattice;  // columns a, b, c
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) lattice(c, r) = cell[r][c];
    const Eigen::PartialPivLU<Eigen::Matrix3d> to_lattice(lattice);
    PrincipalAxes p;
    for (int k = 0; k < 3; ++k) {
        const int src = 2 - k;  // the solver sorts ascending
        p.value[k] = solver.eigenvalues()(src);
        Eigen::Vector3d v = solver.eigenvectors().col(src).normalized();
        const double largest = v.cwiseAbs().maxCoeff();
        for (int c = 0; c < 3; ++c)
            if (std::fabs(v(c)) >= largest - 1e-9) {
                if (v(c) < 0) v = -v;
                break;
            }
        const Eigen::Vector3d f = to_lattice.solve(v);
        const double scale = f.cwiseAbs().maxCoeff();
        for (int c = 0; c < 3; ++c) {
            p.axis[k][c] = v(c);
            p.lattice[k][c] = f(c) / scale;
        }
        for (int d = 0; d < 3; ++d) {
            const double cosine = dot(p.axis[k], cell[d]) / std::sqrt(dot(cell[d], cell[d]));
            p.angle[k][d] = std::acos(std::max(-1.0, std::min(1.0, cosine))) * 180.0 / units::kPi;
        }
    }
    return p;
}

double asymmetry(const double mu[3][3]) {
    double anti = 0.0, sym = 0.0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            anti += (mu[i][j] - mu[j][i]) * (mu[i][j] - mu[j][i]);
            sym += (mu[i][j] + mu[j][i]) * (mu[i][j] + mu[j][i]);
        }
    return sym > 0.0 ? std::sqrt(anti / sym) : 0.0;
}

LatticePlane lattice_plane(const double cell[3][3], int normal) {
    LatticePlane p;
    p.first = (normal + 1) % 3;
    p.second = (normal + 2) % 3;
    const double* a = cell[p.first];
    const double* b = cell[p.second];
    const double la = std::sqrt(dot(a, a));
    for (int c = 0; c < 3; ++c) p.e1[c] = a[c] / la;
    const double along = dot(b, p.e1);
    double perp[3];
    for (int c = 0; c < 3; ++c) perp[c] = b[c] - along * p.e1[c];
    const double lp = std::sqrt(dot(perp, perp));
    for (int c = 0; c < 3; ++c) p.e2[c] = perp[c] / lp;
    p.second_at_deg = std::atan2(lp, along) * 180.0 / units::kPi;
    return p;
}

std::vector<AngularPoint> angular_scan(const double mu[3][3], const LatticePlane& plane, double step_deg) {
    std::vector<AngularPoint> out;
    // k step rather than a running sum: theta lands on multiples of the step exactly.
    for (int k = 0; k * step_deg <= 360.0 + 1e-9; ++k) {
        AngularPoint pt;
        pt.theta_deg = k * step_deg;
        const double t = pt.theta_deg * units::kPi / 180.0;
        for (int c = 0; c < 3; ++c) pt.dir[c] = std::cos(t) * plane.e1[c] + std::sin(t) * plane.e2[c];
        pt.mu = quadratic_form(mu, pt.dir);
        out.push_back(pt);
    }
    return out;
}

void write_principal_axes(const std::string& path, const MobilityTensor& t) {
    const PrincipalAxes p = principal_axes(t.mu, t.cell);
    TextWriter w;
    open_output(w, path, kAnalysisFailure);
    w.printf("# Principal mobilities (cm^2/Vs) of the symmetric part of the mobility tensor, largest first\n");
    w.printf("# %s\n", t.source.c_str());
    w.printf("# antisymmetric part: %.2e of the tensor\n", asymmetry(t.mu));
    w.printf("# tensor (Cartesian, cm^2/Vs), rows x y z:\n");
    for (int i = 0; i < 3; ++i) w.printf("#   %14.6e %14.6e %14.6e\n", t.mu[i][0], t.mu[i][1], t.mu[i][2]);
    w.printf("# error: jackknife over %zu groups%s\n", t.jackknife.size(),
             t.jackknife.empty() ? " (none: no statistical error)" : "");
    w.printf("# axis x y z: unit Cartesian vector (frame of cellvec.dat), its first component within 1e-9 of the "
             "largest magnitude positive\n");
    w.printf("# u v w: the axis as u a + v b + w c, the largest of |u|, |v|, |w| 1; to_a to_b to_c: angles (deg)\n");
    w.printf("# k      mu            error         x          y          z          u          v          w        "
             "to_a    to_b    to_c\n");
    for (int k = 0; k < 3; ++k) {
        const double err = jackknife_error(t.jackknife, [&](const double m[3][3]) {
            return principal_axes(m, t.cell).value[k];
        });
        w.printf("  %d  %13.6e  %10.3e  %9.6f  %9.6f  %9.6f  %9.6f  %9.6f  %9.6f  %6.2f  %6.2f  %6.2f\n", k + 1,
                 p.value[k], err, shown(p.axis[k][0]), shown(p.axis[k][1]), shown(p.axis[k][2]),
                 shown(p.lattice[k][0]), shown(p.lattice[k][1]), shown(p.lattice[k][2]), p.angle[k][0],
                 p.angle[k][1], p.angle[k][2]);
    }
    close_output(w, kAnalysisFailure);
}

void write_angular_scan(const std::string& path, const MobilityTensor& t, int normal, double step_deg) {
    const LatticePlane plane = lattice_plane(t.cell, normal);
    const std::vector<AngularPoint> scan = angular_scan(t.mu, plane, step_deg);
    TextWriter w;
    open_output(w, path, kAnalysisFailure);
    w.printf("# Mobility mu(theta) = u^T mu u (cm^2/Vs) along u = cos(theta) e1 + sin(theta) e2 in the %c%c plane\n",
             kAxisNames[plane.first], kAxisNames[plane.second]);
    w.printf("# %s\n", t.source.c_str());
    w.printf("# e1 along %c: %.6f %.6f %.6f; e2 toward %c: %.6f %.6f %.6f; %c at theta = %.4f deg\n",
             kAxisNames[plane.first], shown(plane.e1[0]), shown(plane.e1[1]), shown(plane.e1[2]),
             kAxisNames[plane.second], shown(plane.e2[0]), shown(plane.e2[1]), shown(plane.e2[2]),
             kAxisNames[plane.second], plane.second_at_deg);
    w.printf("# error: jackknife over %zu groups%s\n", t.jackknife.size(),
             t.jackknife.empty() ? " (none: no statistical error)" : "");
    w.printf("# theta (deg)   mu (cm^2/Vs)     error         x          y          z\n");
    for (const AngularPoint& pt : scan) {
        const double err =
            jackknife_error(t.jackknife, [&](const double m[3][3]) { return quadratic_form(m, pt.dir); });
        w.printf("  %10.4f  %14.6e  %10.3e  %9.6f  %9.6f  %9.6f\n", pt.theta_deg, pt.mu, err, shown(pt.dir[0]),
                 shown(pt.dir[1]), shown(pt.dir[2]));
    }
    close_output(w, kAnalysisFailure);
}

}  // namespace hopsim
}  // namespace krymo
