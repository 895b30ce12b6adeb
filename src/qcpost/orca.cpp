// ORCA output with the basis, "OVERLAP MATRIX" and "MOLECULAR ORBITALS" printed.
#include "qcpost/scan.h"
#include "qcpost/wavefunction.h"
#include "structure/elements.h"
#include "util/text.h"

namespace krymo {
namespace qcpost {

namespace {

// "CARTESIAN COORDINATES (A.U.)": "NO LB ZA FRAG MASS X Y Z", already in bohr.
void read_atoms(const std::string& path, const std::string& text, size_t before, Wavefunction& w) {
    const size_t at = find_last_line(text, "CARTESIAN COORDINATES (A.U.)", before);
    if (at == std::string::npos) input_error(path, 0, "no \"CARTESIAN COORDINATES (A.U.)\" table: an ORCA output is expected");
    LineScanner sc(path, text, at);
    std::string_view line;
    sc.next(line);
    sc.expect_line("a line of dashes");
    sc.expect_line("the header of the coordinate table");
    std::vector<std::string_view> f;
    while (true) {
        line = sc.expect_line("an atom of the coordinate table");
        split_fields(line, f);
        if (f.empty()) break;
        long number = -1;
        double x[3];
        // A ghost or point-charge centre carries a ':' or '>' after the symbol: not an element.
        const int z = f.size() == 8 ? find_element_index_from_name(std::string(f[1])) : -1;
        if (f.size() != 8 || !parse_int_field(f[0], number) || number != w.natoms() || z < 1 ||
            f[1].size() > 2 || !parse_real_field(f[5], x[0]) || !parse_real_field(f[6], x[1]) ||
            !parse_real_field(f[7], x[2]))
            sc.fail(format_string("atom %d of the coordinate table expected: \"NO LB ZA FRAG MASS X Y Z\"",
                                  w.natoms()));
        w.atomic_numbers.push_back(z);
        for (double v : x) w.coords_bohr.push_back(v);
    }
    if (w.atomic_numbers.empty()) sc.fail("the coordinate table lists no atom");
}

int basis_size(const std::string& path, const std::string& text) {
    const size_t at = find_last_line(text, "Basis Dimension");
    if (at == std::string::npos) input_error(path, 0, "no \"Basis Dimension\" line: an ORCA output is expected");
    return basis_size_on_line(path, text, at, true, "basis dimension");
}

void to_matrix(const ColumnBlocks& b, int nrows, Eigen::MatrixXd& c, Eigen::VectorXd* e) {
    c.resize(nrows, static_cast<Eigen::Index>(b.columns.size()));
    for (size_t k = 0; k < b.columns.size(); ++k)
        c.col(static_cast<Eigen::Index>(k)) = Eigen::Map<const Eigen::VectorXd>(b.columns[k].data(), nrows);
    if (e != nullptr) *e = Eigen::Map<const Eigen::VectorXd>(b.energies.data(), static_cast<Eigen::Index>(b.energies.size()));
}

}  // namespace

Wavefunction read_orca_out(const std::string& path, const std::string& text) {
    Wavefunction w;
    w.path = path;
    w.nbasis = basis_size(path, text);
    const size_t mos = find_last_line(text, "MOLECULAR ORBITALS");
    if (mos == std::string::npos || text.compare(mos, 18, "MOLECULAR ORBITALS") != 0)
        input_error(path, 0, "no \"MOLECULAR ORBITALS\" section: an output of the print block P_MOs is expected");
    read_atoms(path, text, mos, w);
    LineScanner sc(path, text, mos);
    std::string_view line;
    sc.next(line);
    sc.expect_line("a line of dashes");
    BlockLayout layout;
    layout.base = 0;
    layout.row_numbers = false;
    layout.energies = BlockLayout::Energies::Orca;
    const ColumnBlocks alpha = read_column_blocks(sc, w.nbasis, layout, "MO coefficients", 0);
    if (alpha.columns.empty()) sc.fail("MO coefficient blocks expected after the heading");
    to_matrix(alpha, w.nbasis, w.alpha, &w.alpha_energies);
    // An unrestricted run prints the spin-down orbitals next, after a blank line, numbered from 0 again.
    const LineScanner::State after_alpha = sc.state();
    if (!sc.next(line) || line.find_first_not_of(" \t") != std::string_view::npos) sc.restore(after_alpha);
    const ColumnBlocks beta = read_column_blocks(sc, w.nbasis, layout, "MO coefficients (spin down)", 0);
    if (!beta.columns.empty()) {
        if (beta.columns.size() != alpha.columns.size())
            sc.fail(format_string("%zu spin-down orbitals expected, %zu read", alpha.columns.size(), beta.columns.size()));
        to_matrix(beta, w.nbasis, w.beta, &w.beta_energies);
    }

    const size_t ov = find_last_line(text, "OVERLAP MATRIX", mos);
    if (ov != std::string::npos) {
        LineScanner so(path, text, ov);
        so.next(line);
        so.expect_line("a line of dashes");
        BlockLayout full;
        full.base = 0;
        const ColumnBlocks b = read_column_blocks(so, w.nbasis, full, "overlap matrix", 0);
        if (static_cast<int>(b.columns.size()) != w.nbasis)
            so.fail(format_string("overlap matrix: %d columns expected, %zu read", w.nbasis, b.columns.size()));
        to_matrix(b, w.nbasis, w.overlap, nullptr);
    }
    return w;
}

}  // namespace qcpost
}  // namespace krymo
