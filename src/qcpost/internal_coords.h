// Internal coordinates (bonds, angles, dihedrals) and the displacement they give.
//
// A geometry change between two states can also be measured in internal coordinates: the change of
// every coordinate, turned into the smallest mass-weighted Cartesian displacement at the reference
// geometry that reproduces it to first order (dx = M^-1/2 B^T (B M^-1 B^T)^+ dq). Unlike the straight
// Cartesian difference it needs no alignment and follows curved motions (a ring torsion, a methyl
// rotation) by their angle, not by their chord.
#pragma once

#include <array>
#include <vector>

#include <Eigen/Dense>

namespace krymo {
namespace qcpost {

struct InternalCoord {
    int natoms = 2;  // 2 bond, 3 angle, 4 dihedral
    int atom[4] = {0, 0, 0, 0};  // 0-based
};

// The coordinate set: the listed ones (1-based rows "i j 0 0", "i j k 0", "i j k l") and, from the
// listed bonds, every angle of two bonds sharing an atom and every dihedral about a bond. Dihedrals
// that pass a near-linear angle (above 175 degrees in either geometry) are left out. Without listed
// bonds the bonds come from the distances in `x1` (covalent radii of `z` times 1.15).
std::vector<InternalCoord> internal_coordinate_set(const std::vector<std::array<int, 4>>& listed,
                                                   const std::vector<int>& z, const Eigen::VectorXd& x1,
                                                   const Eigen::VectorXd& x2);

// Value of a coordinate (bohr or radian).
double internal_value(const InternalCoord& c, const Eigen::VectorXd& x);

// The mass-weighted Cartesian displacement (bohr amu^1/2) at `from` that carries the coordinates of
// `from` to those of `to`.
Eigen::VectorXd internal_displacement(const std::vector<InternalCoord>& set, const Eigen::VectorXd& from,
                                      const Eigen::VectorXd& to, const std::vector<double>& mass);

}  // namespace qcpost
}  // namespace krymo
