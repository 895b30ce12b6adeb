// The 3x3 eigen solver, inverse and products, and the index sort with its tie order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "test_support.h"
#include "util/linalg.h"
#include "util/sort.h"

using namespace krymo;

TEST(Jacobi, RotationCountsEigenPairsAndUnsortedOrder) {
    // Diagonal: at once; one rotation in the (0,1) plane gives 1 and 3, the last stays 3; a full
    // symmetric matrix (trace 15, determinant 43). Eigenvalues come unsorted.
    const struct {
        double a[3][3];
        int nrot;  // -1: more than one
        double d[3];
    } cases[] = {
        {{{3, 0, 0}, {0, -1, 0}, {0, 0, 7}}, 0, {3, -1, 7}},
        {{{2, 1, 0}, {1, 2, 0}, {0, 0, 3}}, 1, {1, 3, 3}},
        {{{4, -2, 1}, {-2, 5, 3}, {1, 3, 6}}, -1, {0, 0, 0}},
    };
    for (const auto& c : cases) {
        double a[3][3], d[3], v[3][3];
        int nrot = -1;
        std::copy(&c.a[0][0], &c.a[0][0] + 9, &a[0][0]);
        jacobi_nr(a, 3, d, v, &nrot);
        if (c.nrot >= 0) {
            EXPECT_EQ(nrot, c.nrot);
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(d[k], c.d[k], 1e-14);
        } else {
            EXPECT_GT(nrot, 1);
            EXPECT_NEAR(d[0] + d[1] + d[2], 15.0, 1e-12);
            EXPECT_NEAR(d[0] * d[1] * d[2], 43.0, 1e-9);
        }
        if (c.nrot == 0) EXPECT_EQ(v[0][0], 1);
        // a v_k = d_k v_k for every column, and the columns are orthonormal.
        for (int k = 0; k < 3; ++k)
            for (int r = 0; r < 3; ++r) {
                EXPECT_NEAR(c.a[r][0] * v[0][k] + c.a[r][1] * v[1][k] + c.a[r][2] * v[2][k], d[k] * v[r][k], 1e-12);
                EXPECT_NEAR(v[0][k] * v[0][r] + v[1][k] * v[1][r] + v[2][k] * v[2][r], k == r ? 1.0 : 0.0, 1e-12);
            }
    }
}

TEST(Jacobi, AMatrixThatIsNotFiniteStopsTheRun) {
    double a[3][3] = {{1, NAN, 0}, {NAN, 1, 0}, {0, 0, 1}}, d[3], v[3][3];
    int nrot = 0;
    const FatalError e = krymo_test::expect_fatal([&] { jacobi_nr(a, 3, d, v, &nrot); });
    EXPECT_EQ(e.status, 1);
    EXPECT_EQ(e.out_text, "Too many iterations in routine jacobi: the eigenvalues of the matrix [1 nan 0] [nan 1 0] "
                          "[0 0 1] were not found. A coordinate that is not a finite number?\n");
}

TEST(Invert, InverseAndFailures) {
    const double m[3][3] = {{2, 1, 0}, {0, 3, 1}, {1, 0, 4}};
    double r[3][3];
    invert(m, r);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(m[i][0] * r[0][j] + m[i][1] * r[1][j] + m[i][2] * r[2][j], i == j ? 1.0 : 0.0, 1e-14);
    const double singular[3][3] = {{1, 2, 3}, {2, 4, 6}, {0, 1, 1}};
    FatalError e = krymo_test::expect_fatal([&] { invert(singular, r); });
    EXPECT_EQ(e.status, 255);
    EXPECT_EQ(e.unit, "mmutil");
    EXPECT_EQ(e.out_text, "Determinant of matrix is zero.\n");
    double same[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    e = krymo_test::expect_fatal([&] { invert(same, same); });
    EXPECT_EQ(e.out_text, "invert - Result matrix overlaps input\n");
    EXPECT_EQ(e.status, 255);
}

TEST(MatVec, InPlaceEqualsSeparate) {
    // A lower-triangle entry: with the standard cell orientation an aliasing fault would not show elsewhere.
    const double m[3][3] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 10}};
    double x[6] = {1, -1, 2, 0.5, 0, 3}, y[6];
    mat_vec_mul_n(m, x, y, 2);
    mat_vec_mul_n(m, x, x, 2);
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
    // Larger arrays with many repeats still come out ordered and as a permutation.
    std::vector<double> vals;
    for (int i = 0; i < 500; ++i) vals.push_back((i * 37) % 11);
    std::vector<int> ix(vals.size());
    std::iota(ix.begin(), ix.end(), 0);
    quickSort_d(vals.data(), ix.data(), static_cast<int>(ix.size()));
    for (size_t i = 1; i < ix.size(); ++i) EXPECT_LE(vals[ix[i - 1]], vals[ix[i]]);
    std::vector<int> sorted = ix, all(ix.size());
    std::sort(sorted.begin(), sorted.end());
    std::iota(all.begin(), all.end(), 0);
    EXPECT_EQ(sorted, all);
}
