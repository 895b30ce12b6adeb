#include <gtest/gtest.h>

#include <cmath>

#include "structure/cell.h"
#include "structure/elements.h"
#include "structure/fileio.h"

using namespace krymo;

namespace {
struct CellProbe : FileIO {
    using FileIO::cif_lattice_vectors;
    using FileIO::latt_matrix_inv;
};
}  // namespace

TEST(Elements, SymbolLookupUsesFirstTwoCharactersCaseNormalised) {
    EXPECT_EQ(find_element_index_from_name("Cl"), 17);
    EXPECT_EQ(find_element_index_from_name("CL"), 17);
    EXPECT_EQ(find_element_index_from_name("cl"), 17);
    EXPECT_EQ(find_element_index_from_name("C"), 6);
    EXPECT_EQ(find_element_index_from_name("Ge"), 32);
    EXPECT_EQ(find_element_index_from_name("X"), -1);
    EXPECT_EQ(find_element_index_from_name("C1"), -1);
    EXPECT_EQ(find_element_index_from_name("O2-"), -1);
    EXPECT_EQ(find_element_index_from_name(" "), 0);
    EXPECT_EQ(find_element_index_from_name(""), -1);
    EXPECT_EQ(find_element_index_from_name("Lr"), 103);
}

TEST(Elements, TablesAndNames) {
    EXPECT_DOUBLE_EQ(find_element_radius_from_index(6), 0.72);
    EXPECT_DOUBLE_EQ(find_element_radius_from_index_nw(6), 0.77);
    EXPECT_DOUBLE_EQ(find_element_radius_from_name_nw("c"), 0.77);
    EXPECT_DOUBLE_EQ(find_element_radius_from_name_nw("Qq"), 9999.99);
    EXPECT_DOUBLE_EQ(find_element_radius_from_index_nw(0), 99999.99);
    EXPECT_DOUBLE_EQ(find_element_radius_from_index_nw(105), 1.3);
    EXPECT_DOUBLE_EQ(find_element_mass_from_index(1), 1.00794);
    EXPECT_DOUBLE_EQ(find_element_mass_from_index(53), 126.9045);
    char buf[3];
    find_element_name_from_index(6, buf);
    EXPECT_STREQ(buf, "C");
    find_element_name_from_index(17, buf);
    EXPECT_STREQ(buf, "Cl");
    // Every row's symbol looks itself up.
    for (int i = 1; i < kNumElements; ++i) EXPECT_EQ(find_element_index_from_name(element_symbol(i)), i) << i;
}

TEST(Cell, OrthogonalAndHexagonalMatrices) {
    CellProbe p;
    double m[3][3];
    const double cube[6] = {10, 12, 14, 90, 90, 90};
    p.convert_cell6_to_latt3x3(cube, m);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(m[r][c], r == c ? cube[r] : 0.0, 1e-12);
    const double half[3] = {0.5, 0.5, 0.5};
    double x[3], back[3];
    p.coord_f2c(half, x);
    EXPECT_NEAR(x[0], 5, 1e-12);
    EXPECT_NEAR(x[1], 6, 1e-12);
    EXPECT_NEAR(x[2], 7, 1e-12);

    const double hex[6] = {4, 4, 6, 90, 90, 120};
    p.convert_cell6_to_latt3x3(hex, m);
    EXPECT_NEAR(m[0][1], -2.0, 1e-12);
    EXPECT_NEAR(m[1][1], 2.0 * std::sqrt(3.0), 1e-12);
    EXPECT_EQ(m[2][1], 0.0);
    // The stored inverse undoes the matrix, also for a triclinic cell.
    const double tri[6] = {7.1, 8.3, 9.7, 71.5, 83.2, 64.9};
    p.convert_cell6_to_latt3x3(tri, m);
    const double f[3] = {0.3, -0.7, 1.2};
    p.coord_f2c(f, x);
    p.coord_c2f(x, back);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(back[k], f[k], 1e-12);
    double cell[6], rows[3][3];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) rows[r][c] = m[c][r];
    lattice_rows_to_cell6(rows, cell);
    for (int k = 0; k < 6; ++k) EXPECT_NEAR(cell[k], tri[k], 1e-9);
}

TEST(Cell, ThreeWrapRules) {
    EXPECT_DOUBLE_EQ(wrap_position_once(-1.3), -1.3 + 1.0);
    EXPECT_DOUBLE_EQ(wrap_position_once(1.0), 0.0);
    EXPECT_DOUBLE_EQ(wrap_position_once(0.999), 0.999);
    EXPECT_DOUBLE_EQ(wrap_displacement_once(1.7), 0.7);
    EXPECT_DOUBLE_EQ(wrap_displacement_once(-0.6), -0.6 + 1.0);
    EXPECT_DOUBLE_EQ(wrap_displacement(1.7), 1.7 - 2.0);
    EXPECT_DOUBLE_EQ(wrap_displacement(-2.6), -2.6 + 3.0);
    EXPECT_EQ(wrap_displacement(0.5), 0.5);
    EXPECT_EQ(wrap_displacement(-0.5), -0.5);
    EXPECT_EQ(wrap_displacement(1.5), 0.5);
    // Equal to unit steps applied one at a time.
    for (double d = -7.3; d < 7.3; d += 0.173) {
        double s = d;
        while (s > 0.5) s -= 1.0;
        while (s < -0.5) s += 1.0;
        EXPECT_EQ(wrap_displacement(d), s) << d;
    }
}
