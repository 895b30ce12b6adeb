#include "qcpost/internal_coords.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "qcpost/normal_modes.h"
#include "structure/elements.h"

namespace krymo {
namespace qcpost {

namespace {

constexpr double kPi = 3.14159265358979323846;

Eigen::Vector3d atom(const Eigen::VectorXd& x, int i) { return x.segment<3>(3 * i); }

double angle_at(const Eigen::VectorXd& x, int i, int j, int k) {
    const Eigen::Vector3d a = atom(x, i) - atom(x, j), b = atom(x, k) - atom(x, j);
    return std::atan2(a.cross(b).norm(), a.dot(b));
}

// Into (-pi, pi]: two dihedrals near +-180 degrees differ by a small angle.
double wrap(double a) {
    while (a > kPi) a -= 2 * kPi;
    while (a <= -kPi) a += 2 * kPi;
    return a;
}

}  // namespace

double internal_value(const InternalCoord& c, const Eigen::VectorXd& x) {
    const int* a = c.atom;
    if (c.natoms == 2) return (atom(x, a[1]) - atom(x, a[0])).norm();
    if (c.natoms == 3) return angle_at(x, a[0], a[1], a[2]);
    const Eigen::Vector3d b1 = atom(x, a[1]) - atom(x, a[0]), b2 = atom(x, a[2]) - atom(x, a[1]),
                          b3 = atom(x, a[3]) - atom(x, a[2]);
    const Eigen::Vector3d n1 = b1.cross(b2), n2 = b2.cross(b3);
    return std::atan2(b2.norm() * b1.dot(n2), n1.dot(n2));
}

std::vector<InternalCoord> internal_coordinate_set(const std::vector<std::array<int, 4>>& listed,
                                                   const std::vector<int>& z, const Eigen::VectorXd& x1,
                                                   const Eigen::VectorXd& x2) {
    const int n = static_cast<int>(z.size());
    std::set<std::vector<int>> seen;
    std::vector<InternalCoord> out;
    const auto add = [&](std::vector<int> a) {
        // One entry per coordinate, whichever direction it was written in.
        std::vector<int> key = a;
        if (key.back() < key.front()) std::reverse(key.begin(), key.end());
        if (!seen.insert(key).second) return;
        InternalCoord c;
        c.natoms = static_cast<int>(a.size());
        std::copy(a.begin(), a.end(), c.atom);
        out.push_back(c);
    };
    std::vector<std::vector<int>> bonded(n);
    const auto bond = [&](int i, int j) {
        if (i == j || std::count(bonded[i].begin(), bonded[i].end(), j) != 0) return;
        bonded[i].push_back(j);
        bonded[j].push_back(i);
        add({i, j});
    };
    bool any_bond = false;
    for (const std::array<int, 4>& r : listed) {
        std::vector<int> a;
        for (int v : r)
            if (v > 0) a.push_back(v - 1);
        if (a.size() == 2) {
            bond(a[0], a[1]);
            any_bond = true;
        } else {
            add(a);
        }
    }
    if (!any_bond)
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n; ++j) {
                const double ri = find_element_radius_from_index(z[i]), rj = find_element_radius_from_index(z[j]);
                if ((atom(x1, j) - atom(x1, i)).norm() * kBohrToAngstrom < 1.15 * (ri + rj)) bond(i, j);
            }
    for (int j = 0; j < n; ++j)
        for (size_t p = 0; p < bonded[j].size(); ++p)
            for (size_t q = p + 1; q < bonded[j].size(); ++q) add({bonded[j][p], j, bonded[j][q]});
    const double linear = 175.0 * kPi / 180.0;
    const auto bent = [&](int i, int j, int k) {
        return angle_at(x1, i, j, k) < linear && angle_at(x2, i, j, k) < linear;
    };
    for (int j = 0; j < n; ++j)
        for (int k : bonded[j]) {
            if (k < j) continue;
            for (int i : bonded[j])
                for (int l : bonded[k])
                    if (i != k && l != j && i != l && bent(i, j, k) && bent(j, k, l)) add({i, j, k, l});
        }
    return out;
}

Eigen::VectorXd internal_displacement(const std::vector<InternalCoord>& set, const Eigen::VectorXd& from,
                                      const Eigen::VectorXd& to, const std::vector<double>& mass) {
    const int dim = static_cast<int>(from.size()), nq = static_cast<int>(set.size());
    // Wilson's B matrix by central differences, in mass-weighted coordinates (B M^-1/2).
    Eigen::MatrixXd b = Eigen::MatrixXd::Zero(nq, dim);
    Eigen::VectorXd dq(nq);
    const double h = 1e-5;
    Eigen::VectorXd x = from;
    for (int q = 0; q < nq; ++q) {
        const bool angular = set[q].natoms > 2;
        dq(q) = internal_value(set[q], to) - internal_value(set[q], from);
        if (angular) dq(q) = wrap(dq(q));
        // A coordinate moves only with its own atoms.
        for (int k = 0; k < set[q].natoms * 3; ++k) {
            const int c = 3 * set[q].atom[k / 3] + k % 3;
            x(c) = from(c) + h;
            const double plus = internal_value(set[q], x);
            x(c) = from(c) - h;
            const double minus = internal_value(set[q], x);
            x(c) = from(c);
            const double d = angular ? wrap(plus - minus) : plus - minus;
            b(q, c) = d / (2 * h) / std::sqrt(mass[c / 3]);
        }
    }
    const Eigen::MatrixXd g = b * b.transpose();
    Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> es(g);
    const Eigen::VectorXd ev = es.eigenvalues();
    const double cut = 1e-10 * std::max(1.0, ev.cwiseAbs().maxCoeff());
    Eigen::VectorXd inv = Eigen::VectorXd::Zero(nq);
    for (int k = 0; k < nq; ++k)
        if (ev(k) > cut) inv(k) = 1.0 / ev(k);
    const Eigen::VectorXd y = es.eigenvectors() * inv.asDiagonal() * (es.eigenvectors().transpose() * dq);
    return b.transpose() * y;
}

}  // namespace qcpost
}  // namespace krymo
