// Small dense linear algebra on 3x3 matrices (row-major m[r][c]) and 3-vectors.
#pragma once

namespace krymo {

// Cyclic Jacobi rotations with thresholds: eigenvalues in d (unsorted), eigenvectors in the columns
// of v, rotations counted in *nrot. `a` (n x n, n <= 3) is overwritten. Never stops the program.
void jacobi_nr(double a[3][3], int n, double d[3], double v[3][3], int* nrot);
// r = inverse of m by cofactors; stops the program for a singular m or when r aliases m.
void invert(const double m[3][3], double r[3][3]);
double get_magnitude(const double x[3]);
// y = m x; y may be x itself. Inline: the atom-pair loops of the neighbour searches call it for
// every pair.
inline void mat_vec_mul(const double m[3][3], const double x[3], double y[3]) {
    const double x0 = x[0], x1 = x[1], x2 = x[2];
    for (int i = 0; i < 3; ++i) y[i] = m[i][0] * x0 + m[i][1] * x1 + m[i][2] * x2;
}
// y_k = m x_k for n vectors stored one after the other; y may be x itself.
void mat_vec_mul_n(const double m[3][3], const double* x, double* y, int n);

}  // namespace krymo
