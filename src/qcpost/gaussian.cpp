// Gaussian log written with IOp(3/33=1) Pop=full.
#include <cmath>

#include "qcpost/scan.h"
#include "qcpost/wavefunction.h"
#include "util/text.h"

namespace krymo {
namespace qcpost {

namespace {

constexpr double kBohrPerAngstrom = 1.0 / 0.529177210903;

// "    60 basis functions,   180 primitive gaussians, ..."
int basis_size(const std::string& path, const std::string& text, size_t before) {
    const size_t at = find_last_line(text, " basis functions,", before);
    if (at == std::string::npos) input_error(path, 0, "no \"basis functions,\" line: a Gaussian log is expected");
    return basis_size_on_line(path, text, at, false, "number of basis functions");
}

// The last orientation printed before the orbitals: the frame of the MO coefficients.
void read_atoms(const std::string& path, const std::string& text, size_t before, Wavefunction& w) {
    size_t at = find_last_line(text, "Standard orientation:", before);
    if (at == std::string::npos) at = find_last_line(text, "Input orientation:", before);
    if (at == std::string::npos) input_error(path, 0, "no \"Standard orientation:\" or \"Input orientation:\" table");
    LineScanner sc(path, text, at);
    std::string_view line;
    sc.next(line);
    for (int k = 0; k < 4; ++k) sc.expect_line("the header of the orientation table");
    std::vector<std::string_view> f;
    while (true) {
        line = sc.expect_line("an atom of the orientation table");
        if (line.find("---") != std::string_view::npos) break;
        split_fields(line, f);
        long number = 0, z = 0;
        double x[3];
        if (f.size() < 5 || !parse_int_field(f[0], number) || number != w.natoms() + 1 || !parse_int_field(f[1], z) ||
            !parse_real_field(f[f.size() - 3], x[0]) || !parse_real_field(f[f.size() - 2], x[1]) ||
            !parse_real_field(f[f.size() - 1], x[2]))
            sc.fail(format_string("atom %d of the orientation table expected: \"center Z [type] x y z\"",
                                  w.natoms() + 1));
        w.atomic_numbers.push_back(static_cast<int>(z));
        for (double v : x) w.coords_bohr.push_back(v * kBohrPerAngstrom);
    }
    if (w.atomic_numbers.empty()) sc.fail("the orientation table lists no atom");
}

void read_orbitals(const std::string& path, const std::string& text, size_t at, int nbasis, Eigen::MatrixXd& c,
                   Eigen::VectorXd& e) {
    LineScanner sc(path, text, at);
    std::string_view line;
    sc.next(line);
    BlockLayout layout;
    layout.energies = BlockLayout::Energies::Gaussian;
    const ColumnBlocks b = read_column_blocks(sc, nbasis, layout, "MO coefficients", 1);
    if (b.columns.empty()) sc.fail("MO coefficient blocks expected after the heading");
    c.resize(nbasis, static_cast<Eigen::Index>(b.columns.size()));
    e.resize(static_cast<Eigen::Index>(b.columns.size()));
    for (size_t k = 0; k < b.columns.size(); ++k) {
        c.col(static_cast<Eigen::Index>(k)) = Eigen::Map<const Eigen::VectorXd>(b.columns[k].data(), nbasis);
        e(static_cast<Eigen::Index>(k)) = b.energies[k];
    }
}

}  // namespace

Wavefunction read_gaussian_log(const std::string& path, const std::string& text) {
    Wavefunction w;
    w.path = path;
    size_t alpha = find_last_line(text, "Alpha Molecular Orbital Coefficients:");
    const size_t beta = find_last_line(text, "Beta Molecular Orbital Coefficients:");
    if (alpha == std::string::npos) alpha = find_last_line(text, "Molecular Orbital Coefficients:");
    if (alpha == std::string::npos)
        input_error(path, 0, "no \"Molecular Orbital Coefficients:\": the log of a Pop=full run is expected");
    w.nbasis = basis_size(path, text, alpha);
    read_atoms(path, text, alpha, w);
    read_orbitals(path, text, alpha, w.nbasis, w.alpha, w.alpha_energies);
    if (beta != std::string::npos && beta > alpha) read_orbitals(path, text, beta, w.nbasis, w.beta, w.beta_energies);

    const size_t ov = find_last_line(text, "*** Overlap ***", alpha);
    if (ov != std::string::npos) {
        LineScanner sc(path, text, ov);
        std::string_view line;
        sc.next(line);
        BlockLayout layout;
        layout.triangle = true;
        const ColumnBlocks b = read_column_blocks(sc, w.nbasis, layout, "overlap matrix", 1);
        if (static_cast<int>(b.columns.size()) != w.nbasis)
            sc.fail(format_string("overlap matrix: %d columns expected, %zu read", w.nbasis, b.columns.size()));
        w.overlap.resize(w.nbasis, w.nbasis);
        for (int j = 0; j < w.nbasis; ++j)
            for (int i = j; i < w.nbasis; ++i) w.overlap(i, j) = w.overlap(j, i) = b.columns[j][i];
    }
    return w;
}

}  // namespace qcpost
}  // namespace krymo
