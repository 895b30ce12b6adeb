// Contracted Gaussian basis sets as a formatted checkpoint file describes them, and the overlap
// integrals between two of them (two molecules at any relative position), for s, p, d and f shells,
// Cartesian or pure. Function order and normalisation follow the fchk: Cartesian d xx yy zz xy xz yz,
// f xxx yyy zzz xyy xxy xxz xzz yzz yyz xyz; pure d0 d+1 d-1 d+2 d-2, f0 f+1 f-1 ... f+3 f-3; every
// function normalised to one, so that the file's orbitals C satisfy C^T S C = 1.
#pragma once

#include <Eigen/Dense>
#include <string>
#include <vector>

namespace krymo {
namespace qcpost {

struct FchkFile;

struct Shell {
    int atom = 0;                  // 0-based
    int type = 0;                  // fchk shell type: 0 s, 1 p, -1 sp, 2 / -2 Cartesian / pure d, 3 / -3 f
    std::vector<double> exponents;
    std::vector<double> coefs;     // of normalised primitives
    std::vector<double> p_coefs;   // the p part of an sp shell
};

// Highest angular momentum handled (f).
constexpr int kMaxShellL = 3;

struct Basis {
    std::vector<Shell> shells;
    std::vector<double> centres_bohr;  // 3 per atom

    int natoms() const { return static_cast<int>(centres_bohr.size() / 3); }
    // Basis functions of a shell and of the whole set.
    static int functions(int type);
    int nbasis() const;
};

// The basis of an fchk. Stops naming the file and entry when the shell arrays are missing,
// inconsistent or hold shells above f.
Basis basis_from_fchk(const FchkFile& f);

// Checks a basis built from another source (`source` names it): shell types, primitive counts and
// atoms in range. Stops with the reason otherwise.
void check_basis(const Basis& b, const std::string& source);

// <a_i | b_j> for every function i of `a` and j of `b`, each basis at its own centres (bohr).
Eigen::MatrixXd ao_overlap(const Basis& a, const Basis& b);

}  // namespace qcpost
}  // namespace krymo
