// Principal axes and angular scans of hand-made tensors in oblique cells, where a row of the cell is
// no column and a lattice vector no Cartesian axis; the master equation's field scan on the chains
// whose zero-field mobility the linear-response tensor gives.
#include <gtest/gtest.h>

#include <Eigen/Dense>

#include "hopsim/field_scan.h"
#include "hopsim/tensor_analysis.h"
#include "hopsim_support.h"

using namespace krymo::hopsim;

namespace {

double dot3(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// mu = sum_k val_k n_k n_k^T over orthonormal axes n_k: the first along v, the second in the plane of v and w.
void tensor_along(const double val[3], const double v[3], const double w[3], double mu[3][3]) {
    const Eigen::Vector3d a = Eigen::Vector3d(v[0], v[1], v[2]).normalized(), wv(w[0], w[1], w[2]);
    const Eigen::Vector3d b = (wv - wv.dot(a) * a).normalized(), c = a.cross(b);
    const Eigen::Matrix3d m = val[0] * a * a.transpose() + val[1] * b * b.transpose() + val[2] * c * c.transpose();
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) mu[i][j] = m(i, j);
}

// A triclinic cell: no vector along another's axis, no right angle.
const double kOblique[3][3] = {{5.0, 0.0, 0.0}, {2.0, 4.5, 0.0}, {-1.2, 0.8, 6.0}};

}  // namespace

TEST(TensorAnalysis, PrincipalAxesAndAngularScansOfKnownTensors) {
    // Each tensor has its largest value along one lattice vector: that axis is [1 0 0], [0 1 0] or
    // [0 0 1] in lattice terms and at 0 degrees from its vector. The values come out largest first,
    // whatever order built them; every axis has its largest component positive. The scan of the
    // plane of the other two vectors, whose axes the tensor's are not, starts on the first vector
    // and, with a step of a third of the angle between the two, meets the second at the third step.
    const struct {
        int along;           // lattice vector of the largest value, and the normal of the plane scanned
        int other;           // lattice vector in the plane of the first two axes
        double value[3];     // along the frame's axes: first, second, third
        double sorted[3];
    } cases[] = {
        {0, 1, {5.0, 2.0, 0.5}, {5.0, 2.0, 0.5}},
        {1, 2, {3.0, 0.2, 1.0}, {3.0, 1.0, 0.2}},
        {2, 0, {0.9, 0.1, 0.4}, {0.9, 0.4, 0.1}},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.along);
        double mu[3][3];
        tensor_along(tc.value, kOblique[tc.along], kOblique[tc.other], mu);
        // A small antisymmetric part is no part of the principal axes.
        mu[0][1] += 1e-3;
        mu[1][0] -= 1e-3;
        const PrincipalAxes p = principal_axes(mu, kOblique);
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(p.value[k], tc.sorted[k], 1e-12) << k;
            int at = 0;
            for (int c = 1; c < 3; ++c)
                if (std::fabs(p.axis[k][c]) > std::fabs(p.axis[k][at]) + 1e-9) at = c;
            EXPECT_GT(p.axis[k][at], 0.0) << "axis " << k;
            EXPECT_NEAR(dot3(p.axis[k], p.axis[k]), 1.0, 1e-12);
        }
        for (int d = 0; d < 3; ++d) EXPECT_NEAR(std::fabs(p.lattice[0][d]), d == tc.along ? 1.0 : 0.0, 1e-12) << d;
        const double to_vector = p.angle[0][tc.along];
        EXPECT_TRUE(to_vector < 1e-5 || to_vector > 180.0 - 1e-5) << to_vector;

        const LatticePlane plane = lattice_plane(kOblique, tc.along);
        const double* first = kOblique[(tc.along + 1) % 3];
        const double* second = kOblique[(tc.along + 2) % 3];
        const double cosine = dot3(first, second) / std::sqrt(dot3(first, first) * dot3(second, second));
        EXPECT_NEAR(plane.second_at_deg, std::acos(cosine) * 180.0 / units::kPi, 1e-9);
        auto along = [&](const double v[3]) {
            double m = 0.0;
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j) m += v[i] * mu[i][j] * v[j];
            return m / dot3(v, v);
        };
        const std::vector<AngularPoint> scan = angular_scan(mu, plane, plane.second_at_deg / 3.0);
        ASSERT_GT(scan.size(), 4u);
        EXPECT_NEAR(scan[0].mu, along(first), 1e-12);
        EXPECT_NEAR(scan[3].mu, along(second), 1e-12);
        // A step that divides the circle gives both ends, and mu repeats every 180 degrees.
        const std::vector<AngularPoint> full = angular_scan(mu, plane, 10.0);
        ASSERT_EQ(full.size(), 37u);
        EXPECT_NEAR(full[36].mu, full[0].mu, 1e-12);
        EXPECT_NEAR(full[27].mu, full[9].mu, 1e-12);
    }
}

TEST(MasterEquation, FieldScanStartsAtTheLinearResponse) {
    // At a field far below kT per hop the drift mobility is the tensor's value along the field; a
    // strong field moves it away. The oblique lattice, with the field along b, tells a row of the
    // response from a column; the electron drifts against the field.
    const RateTable tables[2] = {krymo_test::hand_table("two_molecule_chain"),
                                 krymo_test::hand_table("oblique_lattice", 'e')};
    const double along[2][3] = {{1, 0, 0}, {0, 1, 0}};  // a for the chain, b for the lattice
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(k);
        const MasterResult lin = master_mobility(tables[k], MasterSettings(), nullptr);
        const FieldScan scan = master_field_scan(tables[k], along[k], {1e3, 2e8}, MasterSettings(), nullptr);
        ASSERT_EQ(scan.points.size(), 2u);
        EXPECT_TRUE(scan.converged);
        EXPECT_GT(lin.mu[k], 0.0);
        EXPECT_NEAR(scan.mu_zero, lin.mu[k], 1e-9 * lin.mu[k]);
        EXPECT_NEAR(scan.points[0].mu, scan.mu_zero, 1e-6 * scan.mu_zero);
        EXPECT_GT(std::fabs(scan.points[1].mu / scan.mu_zero - 1.0), 0.01);
    }
}
