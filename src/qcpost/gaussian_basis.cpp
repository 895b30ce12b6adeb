#include "qcpost/gaussian_basis.h"

#include <cmath>

#include "qcpost/engine.h"
#include "qcpost/fchk.h"
#include "util/text.h"

namespace krymo {
namespace qcpost {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Powers {
    int x, y, z;
};

// Cartesian components of each l in the fchk order.
const std::vector<Powers> kCartesian[kMaxShellL + 1] = {
    {{0, 0, 0}},
    {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
    {{2, 0, 0}, {0, 2, 0}, {0, 0, 2}, {1, 1, 0}, {1, 0, 1}, {0, 1, 1}},
    {{3, 0, 0}, {0, 3, 0}, {0, 0, 3}, {1, 2, 0}, {2, 1, 0}, {2, 0, 1}, {1, 0, 2}, {0, 1, 2}, {0, 2, 1}, {1, 1, 1}},
};

// Real solid harmonics as polynomials over the Cartesian components above (any scale: each function
// is normalised afterwards), in the fchk order m = 0, +1, -1, +2, -2, +3, -3.
struct Term {
    int cart;
    double c;
};
const std::vector<std::vector<Term>> kPure[kMaxShellL + 1] = {
    {{{0, 1}}},
    {{{0, 1}}, {{1, 1}}, {{2, 1}}},
    {
        {{2, 2}, {0, -1}, {1, -1}},  // 2zz - xx - yy
        {{4, 1}},                    // xz
        {{5, 1}},                    // yz
        {{0, 1}, {1, -1}},           // xx - yy
        {{3, 1}},                    // xy
    },
    {
        {{2, 2}, {5, -3}, {8, -3}},  // z (2zz - 3xx - 3yy)
        {{6, 4}, {0, -1}, {3, -1}},  // x (4zz - xx - yy)
        {{7, 4}, {4, -1}, {1, -1}},  // y (4zz - xx - yy)
        {{5, 1}, {8, -1}},           // z (xx - yy)
        {{9, 1}},                    // xyz
        {{0, 1}, {3, -3}},           // x (xx - 3yy)
        {{4, 3}, {1, -1}},           // y (3xx - yy)
    },
};

double double_factorial(int n) {
    double r = 1;
    for (int k = n; k > 1; k -= 2) r *= k;
    return r;
}

// One angular part of a shell (an sp shell has two): l, pure or Cartesian, the primitives, and the
// matrix from its Cartesian components (primitives normalised as x^l) to its normalised functions.
struct Part {
    int l = 0;
    bool pure = false;
    const double* centre = nullptr;
    std::vector<double> exps, coefs;  // coefs include the primitive normalisation
    Eigen::MatrixXd to_functions;     // functions x Cartesian components
};

// Overlaps of the Cartesian components of two parts (Obara-Saika recurrence per axis).
Eigen::MatrixXd cartesian_overlap(const Part& a, const Part& b) {
    const std::vector<Powers>& ca = kCartesian[a.l];
    const std::vector<Powers>& cb = kCartesian[b.l];
    Eigen::MatrixXd s = Eigen::MatrixXd::Zero(static_cast<long>(ca.size()), static_cast<long>(cb.size()));
    double ab[3], r2 = 0;
    for (int x = 0; x < 3; ++x) {
        ab[x] = a.centre[x] - b.centre[x];
        r2 += ab[x] * ab[x];
    }
    double t[3][kMaxShellL + 2][kMaxShellL + 2];
    for (size_t p = 0; p < a.exps.size(); ++p)
        for (size_t q = 0; q < b.exps.size(); ++q) {
            const double ea = a.exps[p], eb = b.exps[q], sum = ea + eb, mu = ea * eb / sum;
            const double pre = a.coefs[p] * b.coefs[q] * std::exp(-mu * r2);
            if (pre == 0.0) continue;
            for (int x = 0; x < 3; ++x) {
                // P - A and P - B along the axis, P the Gaussian product centre.
                const double pa = -eb / sum * ab[x], pb = ea / sum * ab[x];
                double(&u)[kMaxShellL + 2][kMaxShellL + 2] = t[x];
                u[0][0] = std::sqrt(kPi / sum);
                for (int i = 0; i <= a.l; ++i) {
                    if (i > 0) u[i][0] = pa * u[i - 1][0] + (i > 1 ? (i - 1) * u[i - 2][0] / (2 * sum) : 0.0);
                    for (int j = 1; j <= b.l; ++j)
                        u[i][j] = pb * u[i][j - 1] + ((i > 0 ? i * u[i - 1][j - 1] : 0.0) +
                                                      (j > 1 ? (j - 1) * u[i][j - 2] : 0.0)) / (2 * sum);
                }
            }
            for (size_t i = 0; i < ca.size(); ++i)
                for (size_t j = 0; j < cb.size(); ++j)
                    s(static_cast<long>(i), static_cast<long>(j)) +=
                        pre * t[0][ca[i].x][cb[j].x] * t[1][ca[i].y][cb[j].y] * t[2][ca[i].z][cb[j].z];
        }
    return s;
}

void add_part(std::vector<Part>& parts, int l, bool pure, const double* centre, const std::vector<double>& exps,
              const std::vector<double>& coefs) {
    Part part;
    part.l = l;
    part.pure = pure && l >= 2;
    part.centre = centre;
    part.exps = exps;
    for (size_t p = 0; p < exps.size(); ++p)
        part.coefs.push_back(coefs[p] * std::pow(2 * exps[p] / kPi, 0.75) * std::pow(4 * exps[p], 0.5 * l) /
                             std::sqrt(double_factorial(2 * l - 1)));
    const Eigen::MatrixXd self = cartesian_overlap(part, part);
    const long ncart = self.rows();
    if (!part.pure) {
        part.to_functions = Eigen::MatrixXd::Zero(ncart, ncart);
        for (long i = 0; i < ncart; ++i) part.to_functions(i, i) = 1.0 / std::sqrt(self(i, i));
    } else {
        const std::vector<std::vector<Term>>& harmonics = kPure[l];
        part.to_functions = Eigen::MatrixXd::Zero(static_cast<long>(harmonics.size()), ncart);
        for (size_t m = 0; m < harmonics.size(); ++m) {
            Eigen::RowVectorXd row = Eigen::RowVectorXd::Zero(ncart);
            for (const Term& term : harmonics[m]) row(term.cart) = term.c;
            part.to_functions.row(static_cast<long>(m)) = row / std::sqrt((row * self * row.transpose())(0, 0));
        }
    }
    parts.push_back(std::move(part));
}

std::vector<Part> parts_of(const Basis& b) {
    std::vector<Part> parts;
    for (const Shell& s : b.shells) {
        const double* c = &b.centres_bohr[3 * static_cast<size_t>(s.atom)];
        if (s.type == -1) {
            add_part(parts, 0, false, c, s.exponents, s.coefs);
            add_part(parts, 1, false, c, s.exponents, s.p_coefs);
        } else {
            add_part(parts, std::abs(s.type), s.type < 0, c, s.exponents, s.coefs);
        }
    }
    return parts;
}

}  // namespace

int Basis::functions(int type) {
    if (type == -1) return 4;
    const int l = std::abs(type);
    return type < 0 ? 2 * l + 1 : (l + 1) * (l + 2) / 2;
}

int Basis::nbasis() const {
    int n = 0;
    for (const Shell& s : shells) n += functions(s.type);
    return n;
}

void check_basis(const Basis& b, const std::string& source) {
    for (size_t k = 0; k < b.shells.size(); ++k) {
        const Shell& s = b.shells[k];
        if (std::abs(s.type) > kMaxShellL)
            input_error(source, 0,
                        format_string("shell %zu has type %d (l = %d): only s, p, sp, d and f shells are supported", k + 1,
                                      s.type, std::abs(s.type)));
        if (s.atom < 0 || s.atom >= b.natoms())
            input_error(source, 0, format_string("shell %zu sits on atom %d of %d", k + 1, s.atom + 1, b.natoms()));
        if (s.exponents.empty() || s.coefs.size() != s.exponents.size() ||
            (s.type == -1 && s.p_coefs.size() != s.exponents.size()))
            input_error(source, 0, format_string("shell %zu: as many exponents as coefficients (at least one) expected", k + 1));
        for (double e : s.exponents)
            if (!(e > 0))
                input_error(source, 0, format_string("shell %zu: exponent %g is not positive", k + 1, e));
    }
}

Basis basis_from_fchk(const FchkFile& f) {
    Basis b;
    b.centres_bohr = f.reals("Current cartesian coordinates");
    const std::vector<long>& types = f.ints("Shell types");
    const std::vector<long>& nprim = f.ints("Number of primitives per shell");
    const std::vector<long>& atom = f.ints("Shell to atom map");
    const std::vector<double>& exps = f.reals("Primitive exponents");
    const std::vector<double>& coefs = f.reals("Contraction coefficients");
    const bool has_sp = f.has("P(S=P) Contraction coefficients");
    if (nprim.size() != types.size() || atom.size() != types.size())
        input_error(f.path, f.line("Shell types"),
                    format_string("%zu shell types, but %zu primitive counts and %zu shell atoms", types.size(),
                                  nprim.size(), atom.size()));
    size_t next = 0;
    for (size_t k = 0; k < types.size(); ++k) {
        if (std::labs(types[k]) > kMaxShellL)
            input_error(f.path, f.line("Shell types"),
                        format_string("shell %zu has type %ld (l = %ld): only s, p, sp, d and f shells are supported; "
                                      "use a basis without g functions",
                                      k + 1, types[k], std::labs(types[k])));
        if (nprim[k] < 1 || next + static_cast<size_t>(nprim[k]) > exps.size() || exps.size() != coefs.size())
            input_error(f.path, f.line("Primitive exponents"),
                        format_string("shell %zu needs primitives up to %zu, but %zu exponents and %zu coefficients "
                                      "are given",
                                      k + 1, next + static_cast<size_t>(nprim[k]), exps.size(), coefs.size()));
        Shell s;
        s.type = static_cast<int>(types[k]);
        s.atom = static_cast<int>(atom[k] - 1);
        s.exponents.assign(exps.begin() + static_cast<long>(next), exps.begin() + static_cast<long>(next + nprim[k]));
        s.coefs.assign(coefs.begin() + static_cast<long>(next), coefs.begin() + static_cast<long>(next + nprim[k]));
        if (s.type == -1) {
            if (!has_sp)
                input_error(f.path, f.line("Shell types"),
                            format_string("shell %zu is an sp shell, but \"P(S=P) Contraction coefficients\" is missing", k + 1));
            const std::vector<double>& pc = f.reals("P(S=P) Contraction coefficients");
            if (pc.size() != exps.size())
                input_error(f.path, f.line("P(S=P) Contraction coefficients"),
                            format_string("%zu values expected, %zu found", exps.size(), pc.size()));
            s.p_coefs.assign(pc.begin() + static_cast<long>(next), pc.begin() + static_cast<long>(next + nprim[k]));
        }
        next += static_cast<size_t>(nprim[k]);
        b.shells.push_back(std::move(s));
    }
    check_basis(b, f.path);
    const long nbasis = f.integer("Number of basis functions");
    if (b.nbasis() != nbasis)
        input_error(f.path, f.line("Shell types"),
                    format_string("the shells make %d basis functions, but the file announces %ld", b.nbasis(), nbasis));
    return b;
}

Eigen::MatrixXd ao_overlap(const Basis& a, const Basis& b) {
    const std::vector<Part> pa = parts_of(a), pb = parts_of(b);
    Eigen::MatrixXd s(a.nbasis(), b.nbasis());
    long row = 0;
    for (const Part& x : pa) {
        long col = 0;
        for (const Part& y : pb) {
            const Eigen::MatrixXd block = x.to_functions * cartesian_overlap(x, y) * y.to_functions.transpose();
            s.block(row, col, block.rows(), block.cols()) = block;
            col += block.cols();
        }
        row += x.to_functions.rows();
    }
    return s;
}

}  // namespace qcpost
}  // namespace krymo
