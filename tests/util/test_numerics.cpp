// The 3x3 eigen solver, inverse and products, and the index sort with its tie order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "test_support.h"
#include "util/linalg.h"
#include "util/sort.h"

using namespace krymo;

TEST(Jacobi, EigenPairsInUnsortedOrderAndAStopOnNan) {
    // A diagonal matrix keeps its order.
    const double cases[][3][3] = {{{3, 0, 0}, {0, -1, 0}, {0, 0, 7}}, {{4, -2, 1}, {-2, 5, 3}, {1, 3, 6}}};
    for (const auto& m : cases) {
        double a[3][3], d[3], v[3][3];
        int nrot = 0;
        std::copy(&m[0][0], &m[0][0] + 9, &a[0][0]);
        jacobi_nr(a, 3, d, v, &nrot);
        if (m[0][1] == 0) EXPECT_EQ(std::vector<double>(d, d + 3), (std::vector<double>{3, -1, 7}));
        // a v_k = d_k v_k for every column, and the columns are orthonormal: together, every eigenpair.
        for (int k = 0; k < 3; ++k)
            for (int r = 0; r < 3; ++r) {
                EXPECT_NEAR(m[r][0] * v[0][k] + m[r][1] * v[1][k] + m[r][2] * v[2][k], d[k] * v[r][k], 1e-12);
                EXPECT_NEAR(v[0][k] * v[0][r] + v[1][k] * v[1][r] + v[2][k] * v[2][r], k == r ? 1.0 : 0.0, 1e-12);
            }
    }
    // A matrix that is not finite never converges: the run stops, naming it.
    double a[3][3] = {{1, NAN, 0}, {NAN, 1, 0}, {0, 0, 1}}, d[3], v[3][3];
    int nrot = 0;
    const FatalError e = krymo_test::expect_fatal([&] { jacobi_nr(a, 3, d, v, &nrot); });
    EXPECT_EQ(e.status, 1);
    EXPECT_EQ(e.out_text, "Too many iterations in routine jacobi: the eigenvalues of the matrix [1 nan 0] [nan 1 0] "
                          "[0 0 1] were not found. A coordinate that is not a finite number?\n");
}

TEST(Matrices, InverseProductsAndFailures) {
    const double m[3][3] = {{2, 1, 0}, {0, 3, 1}, {1, 0, 4}};
    double r[3][3];
    invert(m, r);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(m[i][0] * r[0][j] + m[i][1] * r[1][j] + m[i][2] * r[2][j], i == j ? 1.0 : 0.0, 1e-14);
    const double singular[3][3] = {{1, 2, 3}, {2, 4, 6}, {0, 1, 1}};
    FatalError e = krymo_test::expect_fatal([&] { invert(singular, r); });
    EXPECT_EQ(e.status, 255);
    EXPECT_EQ(e.out_text, "Determinant of matrix is zero.\n");
    double same[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    e = krymo_test::expect_fatal([&] { invert(same, same); });
    EXPECT_EQ(e.out_text, "invert - Result matrix overlaps input\n");
    // A lower-triangle entry: with the standard cell orientation an aliasing fault would not show elsewhere.
    const double p[3][3] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 10}};
    double x[6] = {1, -1, 2, 0.5, 0, 3}, y[6];
    mat_vec_mul_n(p, x, y, 2);
    mat_vec_mul_n(p, x, x, 2);
    EXPECT_EQ(std::vector<double>(x, x + 6), std::vector<double>(y, y + 6));
    EXPECT_EQ(y[1], 4 - 5 + 12);
}

TEST(QuickSort, TieOrderFollowsThePartitionScheme) {
    // Hand-traced orders: equal values do not keep their input order.
    const std::pair<std::vector<double>, std::vector<int>> cases[] = {
        {{1, 1, 1}, {1, 0, 2}}, {{3, 1, 2, 1}, {3, 1, 2, 0}}, {{1}, {0}}};
    for (const auto& [vals, order] : cases) {
        std::vector<int> idx(vals.size());
        std::iota(idx.begin(), idx.end(), 0);
        quickSort_d(vals.data(), idx.data(), static_cast<int>(idx.size()));
        EXPECT_EQ(idx, order);
    }
}
