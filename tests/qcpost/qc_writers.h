// Engine outputs written from a wavefunction in the layouts the readers take (as the engines print
// them, with more digits): the same numbers through every engine's files, for the tests and benches.
#pragma once

#include <Eigen/Dense>
#include <string>

#include "qcpost/wavefunction.h"
#include "structure/elements.h"
#include "util/text.h"

namespace krymo_test {

using krymo::format_string;
using krymo::qcpost::Wavefunction;

inline std::string fortran_d(double v) {
    std::string s = format_string("%17.9E", v);
    s[s.find('E')] = 'D';
    return s;
}

// Column blocks of `per` columns: header of column numbers, optional energy lines, then the rows.
template <class Row, class Head>
std::string column_blocks(int nrows, int ncols, int per, int base, bool triangle, Head head, Row row) {
    std::string out;
    for (int c0 = 0; c0 < ncols; c0 += per) {
        const int c1 = std::min(ncols, c0 + per);
        out += "       ";
        for (int c = c0; c < c1; ++c) out += format_string("%18d", c + base);
        out += "\n" + head(c0, c1);
        for (int r = triangle ? c0 : 0; r < nrows; ++r) out += row(r, c0, triangle ? std::min(c1, r + 1) : c1);
    }
    return out;
}

// A Gaussian log of an IOp(3/33=1) Pop=full run: orientation, overlap triangle, MOs, normal end.
inline std::string gaussian_log_text(const Wavefunction& w) {
    constexpr double kAngstrom = 0.529177210903;
    std::string s = " Entering Gaussian System\n                         Standard orientation:\n";
    const std::string dashes = " ---------------------------------------------------------------------\n";
    s += dashes + " Center     Atomic      Atomic             Coordinates (Angstroms)\n";
    s += " Number     Number       Type             X           Y           Z\n" + dashes;
    for (int a = 0; a < w.natoms(); ++a)
        s += format_string("%7d %10d %11d %17.9f %15.9f %15.9f\n", a + 1, w.atomic_numbers[a], 0,
                           w.coords_bohr[3 * a] * kAngstrom, w.coords_bohr[3 * a + 1] * kAngstrom,
                           w.coords_bohr[3 * a + 2] * kAngstrom);
    s += dashes + format_string("   %4d basis functions,   %4d primitive gaussians,  %4d cartesian basis functions\n",
                                w.nbasis, 3 * w.nbasis, w.nbasis);
    s += " *** Overlap *** \n";
    s += column_blocks(
        w.nbasis, w.nbasis, 5, 1, true, [](int, int) { return std::string(); },
        [&](int r, int c0, int c1) {
            std::string line = format_string("%6d", r + 1);
            for (int c = c0; c < c1; ++c) line += " " + fortran_d(w.overlap(r, c));
            return line + "\n";
        });
    s += "     Molecular Orbital Coefficients:\n";
    s += column_blocks(
        w.nbasis, w.nmo(), 5, 1, false,
        [&](int c0, int c1) {
            std::string h = "                       ";
            for (int c = c0; c < c1; ++c) h += "   (A)--O";
            h += "\n     Eigenvalues --";
            for (int c = c0; c < c1; ++c) h += format_string(" %14.9f", w.alpha_energies(c));
            return h + "\n";
        },
        [&](int r, int c0, int c1) {
            std::string line = format_string("%4d %-3s %-12s", r + 1, r == 0 ? "1" : "", "2PX");
            for (int c = c0; c < c1; ++c) line += format_string(" %14.10f", w.alpha(r, c));
            return line + "\n";
        });
    return s + " Normal termination of Gaussian 16 at Sun Dec  6 12:00:00 2026.\n";
}

// An ORCA output with the print block P_Basis, P_Overlap, P_MOs.
inline std::string orca_out_text(const Wavefunction& w) {
    std::string s = "CARTESIAN COORDINATES (A.U.)\n----------------------------\n";
    s += "  NO LB      ZA    FRAG     MASS         X           Y           Z\n";
    for (int a = 0; a < w.natoms(); ++a)
        s += format_string("%4d %-2s %8.4f %4d %10.3f %14.9f %14.9f %14.9f\n", a,
                           krymo::element_symbol(w.atomic_numbers[a]).c_str(), double(w.atomic_numbers[a]), 0, 1.0,
                           w.coords_bohr[3 * a], w.coords_bohr[3 * a + 1], w.coords_bohr[3 * a + 2]);
    s += format_string("\n Basis Dimension        Dim             ....  %4d\n\n", w.nbasis);
    s += "OVERLAP MATRIX\n--------------\n";
    auto none = [](int, int) { return std::string(); };
    s += column_blocks(w.nbasis, w.nbasis, 6, 0, false, none, [&](int r, int c0, int c1) {
        std::string line = format_string("%6d", r);
        for (int c = c0; c < c1; ++c) line += format_string(" %17.12f", w.overlap(r, c));
        return line + "\n";
    });
    s += "\nMOLECULAR ORBITALS (RHF, ROHF)\n------------------\n";
    s += column_blocks(
        w.nbasis, w.nmo(), 6, 0, false,
        [&](int c0, int c1) {
            std::string e = "                ", o = "                ", d = "                ";
            for (int c = c0; c < c1; ++c) {
                e += format_string(" %17.12f", w.alpha_energies(c));
                o += "           2.00000";
                d += "  ----------------";
            }
            return e + "\n" + o + "\n" + d + "\n";
        },
        [&](int r, int c0, int c1) {
            std::string line = format_string("%3d%-2s   %-6s", r / 5, "C", "2px");
            for (int c = c0; c < c1; ++c) line += format_string(" %17.12f", w.alpha(r, c));
            return line + "\n";
        });
    return s + "\n                             ****ORCA TERMINATED NORMALLY****\n";
}

// A formatted checkpoint file, with the overlap when the wavefunction carries it.
inline std::string fchk_text(const Wavefunction& w) {
    std::string s = "Written by the tests\nSP        RB3LYP                                                      STO-3G\n";
    auto scalar = [&](const char* name, long v) { s += format_string("%-43sI %16ld\n", name, v); };
    auto reals = [&](const char* name, const double* v, size_t n) {
        s += format_string("%-43sR   N=%12zu\n", name, n);
        for (size_t k = 0; k < n; ++k) s += format_string("%16.8E%s", v[k], (k % 5 == 4 || k + 1 == n) ? "\n" : "");
    };
    scalar("Number of atoms", w.natoms());
    scalar("Number of basis functions", w.nbasis);
    scalar("Number of independent functions", w.nmo());
    s += format_string("%-43sI   N=%12d\n", "Atomic numbers", w.natoms());
    for (int a = 0; a < w.natoms(); ++a)
        s += format_string("%12d%s", w.atomic_numbers[a], (a % 6 == 5 || a + 1 == w.natoms()) ? "\n" : "");
    reals("Current cartesian coordinates", w.coords_bohr.data(), w.coords_bohr.size());
    reals("Alpha Orbital Energies", w.alpha_energies.data(), static_cast<size_t>(w.nmo()));
    reals("Alpha MO coefficients", w.alpha.data(), static_cast<size_t>(w.alpha.size()));
    if (w.overlap.size() != 0) {
        std::vector<double> tri;
        for (int i = 0; i < w.nbasis; ++i)
            for (int j = 0; j <= i; ++j) tri.push_back(w.overlap(i, j));
        reals("Overlap Matrix", tri.data(), tri.size());
    }
    return s;
}

}  // namespace krymo_test
