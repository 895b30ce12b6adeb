// Element lookups and tables, cell matrices and the three wrap rules.
#include <gtest/gtest.h>

#include <cmath>

#include "structure/cell.h"
#include "structure/elements.h"
#include "structure/fileio.h"

using namespace krymo;

TEST(Elements, LookupsAndTables) {
    // The first two characters, case normalised; a blank is the dummy row.
    const std::pair<const char*, int> names[] = {{"Cl", 17}, {"CL", 17}, {"cl", 17}, {"C", 6},   {"X", -1},
                                                 {"C1", -1}, {"O2-", -1}, {" ", 0},  {"", -1}, {"Lr", 103}};
    for (const auto& [name, index] : names) EXPECT_EQ(find_element_index_from_name(name), index) << name;
    for (int i = 1; i < kNumElements; ++i) EXPECT_EQ(find_element_index_from_name(element_symbol(i)), i) << i;
    // Both radius tables and the fall-backs of the second one: {got, expected}.
    const std::pair<double, double> values[] = {
        {find_element_radius_from_index(6), 0.72},           {find_element_radius_from_index_nw(6), 0.77},
        {find_element_radius_from_name_nw("c"), 0.77},       {find_element_radius_from_name_nw("Qq"), 9999.99},
        {find_element_radius_from_index_nw(0), 99999.99},    {find_element_radius_from_index_nw(105), 1.3}};
    for (size_t i = 0; i < std::size(values); ++i) EXPECT_DOUBLE_EQ(values[i].first, values[i].second) << i;
    // Hill order: C and H first when there is carbon, otherwise alphabetical.
    const std::pair<std::vector<int>, const char*> formulas[] = {
        {{32, 6, 1, 6, 1, 1}, "C2H3Ge"}, {{17, 80, 17, 1}, "Cl2HHg"}, {{8, 1, 1}, "H2O"}, {{6, -1}, "C?"}};
    for (const auto& [atypes, formula] : formulas)
        EXPECT_EQ(hill_formula(atypes.data(), static_cast<int>(atypes.size())), formula);
}

TEST(Cell, MatricesAndInverse) {
    FileIO p;
    double m[3][3], x[3], back[3], cell[6], rows[3][3];
    const double hex[6] = {4, 4, 6, 90, 90, 120};
    p.convert_cell6_to_latt3x3(hex, m);
    const double expected[3][3] = {{4, -2, 0}, {0, 2 * std::sqrt(3.0), 0}, {0, 0, 6}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(m[r][c], expected[r][c], 1e-12) << r << c;
    // The stored inverse undoes the matrix of a triclinic cell; the cell comes back from the rows.
    const double tri[6] = {7.1, 8.3, 9.7, 71.5, 83.2, 64.9}, f[3] = {0.3, -0.7, 1.2};
    p.convert_cell6_to_latt3x3(tri, m);
    p.coord_f2c(f, x);
    p.coord_c2f(x, back);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(back[k], f[k], 1e-12);
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
    // The full rule equals unit steps applied one at a time; +-0.5 stay.
    for (double d : {0.5, -0.5, 1.5}) EXPECT_EQ(wrap_displacement(d), d == 1.5 ? 0.5 : d);
    for (double d = -7.3; d < 7.3; d += 0.173) {
        double s = d;
        while (s > 0.5) s -= 1.0;
        while (s < -0.5) s += 1.0;
        EXPECT_EQ(wrap_displacement(d), s) << d;
    }
}
