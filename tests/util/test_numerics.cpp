#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "test_support.h"
#include "util/linalg.h"
#include "util/sort.h"

using namespace krymo;

namespace {
// Checks a v_k = d_k v_k for every column and that the columns are orthonormal.
void expect_eigen_pairs(const double a[3][3], const double d[3], const double v[3][3]) {
    for (int k = 0; k < 3; ++k) {
        for (int r = 0; r < 3; ++r) {
            double av = 0;
            for (int c = 0; c < 3; ++c) av += a[r][c] * v[c][k];
            EXPECT_NEAR(av, d[k] * v[r][k], 1e-12);
        }
        for (int l = 0; l < 3; ++l) {
            double dot = v[0][k] * v[0][l] + v[1][k] * v[1][l] + v[2][k] * v[2][l];
            EXPECT_NEAR(dot, k == l ? 1.0 : 0.0, 1e-12);
        }
    }
}
}  // namespace

TEST(Jacobi, DiagonalMatrixReturnsAtOnce) {
    double a[3][3] = {{3, 0, 0}, {0, -1, 0}, {0, 0, 7}};
    double d[3], v[3][3];
    int nrot = -1;
    jacobi_nr(a, 3, d, v, &nrot);
    EXPECT_EQ(nrot, 0);
    EXPECT_EQ(d[0], 3);
    EXPECT_EQ(d[1], -1);
    EXPECT_EQ(d[2], 7);
    EXPECT_EQ(v[0][0], 1);
    EXPECT_EQ(v[0][1], 0);
}

TEST(Jacobi, KnownDecompositionsAndUnsortedOrder) {
    // [[2,1,0],[1,2,0],[0,0,3]]: one rotation in the (0,1) plane gives 1 and 3, the last stays 3.
    const double a0[3][3] = {{2, 1, 0}, {1, 2, 0}, {0, 0, 3}};
    double a[3][3], d[3], v[3][3];
    int nrot = 0;
    std::copy(&a0[0][0], &a0[0][0] + 9, &a[0][0]);
    jacobi_nr(a, 3, d, v, &nrot);
    EXPECT_EQ(nrot, 1);
    EXPECT_NEAR(d[0], 1.0, 1e-14);
    EXPECT_NEAR(d[1], 3.0, 1e-14);
    EXPECT_NEAR(d[2], 3.0, 1e-14);
    EXPECT_NEAR(std::fabs(v[0][0]), std::sqrt(0.5), 1e-14);
    expect_eigen_pairs(a0, d, v);

    // A full inertia-like tensor: eigenvalues of a symmetric matrix with known trace and determinant.
    const double b0[3][3] = {{4, -2, 1}, {-2, 5, 3}, {1, 3, 6}};
    std::copy(&b0[0][0], &b0[0][0] + 9, &a[0][0]);
    jacobi_nr(a, 3, d, v, &nrot);
    EXPECT_GT(nrot, 1);
    EXPECT_NEAR(d[0] + d[1] + d[2], 15.0, 1e-12);
    EXPECT_NEAR(d[0] * d[1] * d[2], 4 * (30 - 9) + 2 * (-12 - 3) + 1 * (-6 - 5), 1e-9);
    expect_eigen_pairs(b0, d, v);
}

TEST(Invert, InverseAndFailures) {
    const double m[3][3] = {{2, 1, 0}, {0, 3, 1}, {1, 0, 4}};
    double r[3][3];
    invert(m, r);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            double s = 0;
            for (int k = 0; k < 3; ++k) s += m[i][k] * r[k][j];
            EXPECT_NEAR(s, i == j ? 1.0 : 0.0, 1e-14);
        }
    const double singular[3][3] = {{1, 2, 3}, {2, 4, 6}, {0, 1, 1}};
    FatalError e = krymo_test::expect_fatal([&] { invert(singular, r); });
    EXPECT_EQ(e.status, 255);
    EXPECT_EQ(e.unit, "mmutil");
    EXPECT_EQ(e.out_text, "Determinant of matrix is zero.\n");
    double same[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    FatalError o = krymo_test::expect_fatal([&] { invert(same, same); });
    EXPECT_EQ(o.out_text, "invert - Result matrix overlaps input\n");
    EXPECT_EQ(o.status, 255);
}

TEST(MatVec, InPlaceEqualsSeparateAndTranspose) {
    const double m[3][3] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 10}};
    double x[6] = {1, -1, 2, 0.5, 0, 3};
    double y[6];
    mat_vec_mul_n(m, x, y, 2);
    mat_vec_mul_n(m, x, x, 2);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(x[i], y[i]);
    EXPECT_EQ(y[0], 1 - 2 + 6);
    double t[3][3] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
    transpose_matrix(t);
    EXPECT_EQ(t[0][1], 4);
    EXPECT_EQ(t[2][0], 3);
    const double v[3] = {3, 4, 12};
    EXPECT_EQ(get_magnitude(v), 13);
}

TEST(QuickSort, TieOrderFollowsThePartitionScheme) {
    // Hand-traced orders: equal values do not keep their input order.
    const double ones[3] = {1, 1, 1};
    int idx[3] = {0, 1, 2};
    quickSort_d(ones, idx, 3);
    EXPECT_EQ(std::vector<int>(idx, idx + 3), (std::vector<int>{1, 0, 2}));

    const double mixed[4] = {3, 1, 2, 1};
    int idx4[4] = {0, 1, 2, 3};
    quickSort_d(mixed, idx4, 4);
    EXPECT_EQ(std::vector<int>(idx4, idx4 + 4), (std::vector<int>{3, 1, 2, 0}));

    int one[1] = {0};
    quickSort_d(ones, one, 1);
    EXPECT_EQ(one[0], 0);

    // Larger arrays with many repeats still come out ordered and as a permutation.
    std::vector<double> vals;
    for (int i = 0; i < 500; ++i) vals.push_back((i * 37) % 11);
    std::vector<int> ix(vals.size());
    for (size_t i = 0; i < ix.size(); ++i) ix[i] = static_cast<int>(i);
    quickSort_d(vals.data(), ix.data(), static_cast<int>(ix.size()));
    for (size_t i = 1; i < ix.size(); ++i) EXPECT_LE(vals[ix[i - 1]], vals[ix[i]]);
    std::vector<int> sorted = ix;
    std::sort(sorted.begin(), sorted.end());
    for (size_t i = 0; i < sorted.size(); ++i) EXPECT_EQ(sorted[i], static_cast<int>(i));
}
