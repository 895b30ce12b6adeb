// Cell geometry helpers shared by the readers, the assembly and the neighbour search.
// The three periodic wrap rules are distinct on purpose: each stage uses its own.
#pragma once

#include <cmath>

namespace krymo {

// The value of pi the cell conversions use (not the full double).
constexpr double kCellPi = 3.1415926535898;

// Position wrap into [0, 1), one step: symmetry-generated positions and translations.
// A value of -1.3 becomes -0.3 and stays there.
inline double wrap_position_once(double v) {
    if (v < 0.0) return v + 1.0;
    if (v >= 1.0) return v - 1.0;
    return v;
}

// Displacement wrap into [-0.5, 0.5], one step: the overlap test of the symmetry expansion.
inline double wrap_displacement_once(double d) {
    if (d > 0.5) return d - 1.0;
    if (d < -0.5) return d + 1.0;
    return d;
}

// Displacement wrap into [-0.5, 0.5], repeated: the bond searches. Exactly +-0.5 stays.
// Subtracting the whole count at once is exact and equals repeated unit steps; it also keeps a
// huge or non-finite value from looping.
inline double wrap_displacement(double d) {
    if (d > 0.5) return d - std::ceil(d - 0.5);
    if (d < -0.5) return d + std::ceil(-0.5 - d);
    return d;
}

// Upper-triangular lattice matrix (columns a, b, c; a along x, b in the xy plane) from
// a, b, c, alpha, beta, gamma, and its exact triangular inverse. Nothing is validated.
void cell6_to_lattice(const double cell6[6], double latt[3][3], double inv[3][3]);
// Lengths (rows of `rows`) and angles in degrees from lattice vectors given as rows a, b, c.
void lattice_rows_to_cell6(const double rows[3][3], double cell6[6]);

}  // namespace krymo
