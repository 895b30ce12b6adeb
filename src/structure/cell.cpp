#include "structure/cell.h"

#include "structure/fileio.h"
#include "util/linalg.h"

namespace krymo {

void cell6_to_lattice(const double cell6[6], double M[3][3], double inv[3][3]) {
    const double a = cell6[0], b = cell6[1], c = cell6[2];
    const double deg = kCellPi / 180.0;
    const double ca = std::cos(cell6[3] * deg), cb = std::cos(cell6[4] * deg);
    const double cg = std::cos(cell6[5] * deg), sg = std::sin(cell6[5] * deg);
    M[0][0] = a;
    M[1][0] = 0.0;
    M[2][0] = 0.0;
    M[0][1] = b * cg;
    M[1][1] = b * sg;
    M[2][1] = 0.0;
    M[0][2] = c * cb;
    M[1][2] = c * (ca - cb * cg) / sg;
    M[2][2] = c * std::sqrt(1.0 - ca * ca - cb * cb - cg * cg + 2.0 * ca * cb * cg) / sg;

    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 3; ++k) inv[r][k] = 0.0;
    inv[0][0] = 1.0 / M[0][0];
    inv[1][1] = 1.0 / M[1][1];
    inv[2][2] = 1.0 / M[2][2];
    inv[0][1] = -M[0][1] / (M[0][0] * M[1][1]);
    inv[1][2] = -M[1][2] / (M[1][1] * M[2][2]);
    inv[0][2] = (M[0][1] * M[1][2] / (M[0][0] * M[1][1]) - M[0][2] / M[0][0]) / M[2][2];
}

void lattice_rows_to_cell6(const double rows[3][3], double cell6[6]) {
    const double la = get_magnitude(rows[0]), lb = get_magnitude(rows[1]), lc = get_magnitude(rows[2]);
    auto dot = [](const double* u, const double* v) { return u[0] * v[0] + u[1] * v[1] + u[2] * v[2]; };
    const double todeg = 180.0 / kCellPi;
    cell6[0] = la;
    cell6[1] = lb;
    cell6[2] = lc;
    cell6[3] = std::acos(dot(rows[1], rows[2]) / (lb * lc)) * todeg;
    cell6[4] = std::acos(dot(rows[0], rows[2]) / (la * lc)) * todeg;
    cell6[5] = std::acos(dot(rows[0], rows[1]) / (la * lb)) * todeg;
}

void FileIO::convert_cell6_to_latt3x3(const double cell6[6], double out[3][3]) {
    cell6_to_lattice(cell6, cif_lattice_vectors, latt_matrix_inv);
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 3; ++k) out[r][k] = cif_lattice_vectors[r][k];
}

void FileIO::coord_f2c(const double frac[3], double cart[3]) const { mat_vec_mul(cif_lattice_vectors, frac, cart); }

void FileIO::coord_c2f(const double cart[3], double frac[3]) const { mat_vec_mul(latt_matrix_inv, cart, frac); }

void FileIO::get_cif_lattice_vectors(double a[3], double b[3], double c[3]) const {
    for (int r = 0; r < 3; ++r) {
        a[r] = cif_lattice_vectors[r][0];
        b[r] = cif_lattice_vectors[r][1];
        c[r] = cif_lattice_vectors[r][2];
    }
}

}  // namespace krymo
