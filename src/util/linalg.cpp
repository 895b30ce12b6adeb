#include "util/linalg.h"

#include <cmath>
#include <cstdio>

#include "util/fatal.h"
#include "util/text.h"

namespace krymo {

namespace {
inline void rotate(double& x, double& y, double s, double tau) {
    const double g = x, h = y;
    x = g - s * (h + g * tau);
    y = h + s * (g - h * tau);
}
}  // namespace

void jacobi_nr(double a[3][3], int n, double d[3], double v[3][3], int* nrot) {
    const double eps = 2.220446e-16;
    double b[3], z[3];
    for (int p = 0; p < n; ++p) {
        for (int q = 0; q < n; ++q) v[p][q] = 0.0;
        v[p][p] = 1.0;
        b[p] = d[p] = a[p][p];
        z[p] = 0.0;
    }
    *nrot = 0;
    double start[3][3];
    for (int p = 0; p < 3; ++p)
        for (int q = 0; q < 3; ++q) start[p][q] = a[p][q];
    for (int i = 1; i <= 50; ++i) {
        double sm = 0.0;
        for (int p = 0; p < n - 1; ++p)
            for (int q = p + 1; q < n; ++q) sm += std::fabs(a[p][q]);
        if (sm == 0.0) return;
        if (!std::isfinite(sm)) break;  // no sweep makes a non-finite matrix converge
        const double tresh = (i < 4) ? 0.2 * sm / (n * n) : 0.0;
        for (int p = 0; p < n - 1; ++p) {
            for (int q = p + 1; q < n; ++q) {
                const double g = 100.0 * std::fabs(a[p][q]);
                if (i > 4 && eps * std::fabs(d[p]) >= g && eps * std::fabs(d[q]) >= g) {
                    a[p][q] = 0.0;
                } else if (std::fabs(a[p][q]) > tresh) {
                    double h = d[q] - d[p];
                    double t;
                    if (eps * std::fabs(h) >= g) {
                        t = a[p][q] / h;
                    } else {
                        const double theta = 0.5 * h / a[p][q];
                        t = 1.0 / (std::fabs(theta) + std::sqrt(1.0 + theta * theta));
                        if (theta < 0.0) t = -t;
                    }
                    const double c = 1.0 / std::sqrt(1 + t * t);
                    const double s = t * c;
                    const double tau = s / (1.0 + c);
                    h = t * a[p][q];
                    z[p] -= h;
                    z[q] += h;
                    d[p] -= h;
                    d[q] += h;
                    a[p][q] = 0.0;
                    for (int j = 0; j < p; ++j) rotate(a[j][p], a[j][q], s, tau);
                    for (int j = p + 1; j < q; ++j) rotate(a[p][j], a[j][q], s, tau);
                    for (int j = q + 1; j < n; ++j) rotate(a[p][j], a[q][j], s, tau);
                    for (int j = 0; j < n; ++j) rotate(v[j][p], v[j][q], s, tau);
                    ++*nrot;
                }
            }
        }
        for (int p = 0; p < n; ++p) {
            b[p] += z[p];
            d[p] = b[p];
            z[p] = 0.0;
        }
    }
    // Eigenvalues that were never found must not pass on as results: they would frame molecules and
    // pairs with garbage.
    std::string m;
    for (int p = 0; p < n; ++p) {
        m += p == 0 ? "[" : " [";
        for (int q = 0; q < n; ++q) m += (q == 0 ? "" : " ") + format_string("%g", start[p][q]);
        m += "]";
    }
    KRYMO_FATAL_OUT("mmutil", 1,
                    format_string("Too many iterations in routine jacobi: the eigenvalues of the matrix %s were not "
                                  "found. A coordinate that is not a finite number?\n",
                                  m.c_str()));
}

void invert(const double m[3][3], double r[3][3]) {
    if (static_cast<const void*>(m) == static_cast<const void*>(r))
        KRYMO_FATAL_OUT("mmutil", 255, format_string("%s - Result matrix overlaps input\n", "invert"));
    const double c00 = m[1][1] * m[2][2] - m[1][2] * m[2][1];
    const double c01 = m[1][2] * m[2][0] - m[1][0] * m[2][2];
    const double c02 = m[1][0] * m[2][1] - m[1][1] * m[2][0];
    const double det = m[0][0] * c00 + m[0][1] * c01 + m[0][2] * c02;
    if (std::fabs(det) < 1e-30) KRYMO_FATAL_OUT("mmutil", 255, "Determinant of matrix is zero.\n");
    r[0][0] = c00 / det;
    r[1][0] = c01 / det;
    r[2][0] = c02 / det;
    r[0][1] = (m[0][2] * m[2][1] - m[0][1] * m[2][2]) / det;
    r[1][1] = (m[0][0] * m[2][2] - m[0][2] * m[2][0]) / det;
    r[2][1] = (m[0][1] * m[2][0] - m[0][0] * m[2][1]) / det;
    r[0][2] = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) / det;
    r[1][2] = (m[0][2] * m[1][0] - m[0][0] * m[1][2]) / det;
    r[2][2] = (m[0][0] * m[1][1] - m[0][1] * m[1][0]) / det;
}

double get_magnitude(const double x[3]) { return std::sqrt(x[0] * x[0] + x[1] * x[1] + x[2] * x[2]); }

void mat_vec_mul_n(const double m[3][3], const double* x, double* y, int n) {
    for (int k = 0; k < n; ++k) mat_vec_mul(m, x + 3 * k, y + 3 * k);
}

}  // namespace krymo
