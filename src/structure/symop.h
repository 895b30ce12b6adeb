// Symmetry-operation texts: parsing into x' = R x + t, and writing R, t back as text.
#pragma once

#include <string>

namespace krymo {

// Parses one operation text ("-x,1/2+y,1/2-z", or twelve blank-separated numbers) into R and t;
// R and t must be zero on entry. Each component of t is wrapped into [0, 1) by one step. Anything
// but three components of x, y, z and numbers with an integer rotation of determinant +1 or -1 is
// refused: false, R and t zero, and `why` (when given) says what is wrong.
bool parse_transform_string(const std::string& text, double R[3][3], double t[3], std::string* why = nullptr);

// The "x,y,z" form of an operation with integer R and a translation of small denominator
// ("-x+1/2,y,-z").
std::string format_transform_string(const int R[3][3], const double t[3]);

}  // namespace krymo
