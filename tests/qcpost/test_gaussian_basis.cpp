// AO overlaps of contracted Gaussian shells: against quadrature, against the engines' own orbitals
// (C^T S C = 1 holds only with the right integrals, function order, signs and normalisation), and the
// orbital overlap of two molecules, which depends only on where they sit relative to each other.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>

#include "qcpost/fchk.h"
#include "qcpost/gaussian_basis.h"
#include "qcpost/overlap_tools.h"
#include "qcpost/qcpost_tools.h"
#include "qcpost/wavefunction.h"

using namespace krymo::qcpost;
using namespace krymo_test;

namespace {

const double kPi = 3.14159265358979323846;

// One Cartesian component x^i y^j z^k of a contracted shell, by plain quadrature: every integrand
// factorises into three one-dimensional integrals, each summed on a fine grid.
struct Component {
    const double* centre;
    int pow[3];
    std::vector<double> exps, coefs;
};

double quadrature_overlap(const Component& a, const Component& b) {
    double total = 0;
    for (size_t p = 0; p < a.exps.size(); ++p)
        for (size_t q = 0; q < b.exps.size(); ++q) {
            double product = a.coefs[p] * b.coefs[q];
            for (int x = 0; x < 3; ++x) {
                const double h = 0.02;
                double sum = 0;
                for (double t = -10; t <= 10; t += h) {
                    const double da = t - a.centre[x], db = t - b.centre[x];
                    sum += std::pow(da, a.pow[x]) * std::pow(db, b.pow[x]) *
                           std::exp(-a.exps[p] * da * da - b.exps[q] * db * db);
                }
                product *= sum * h;
            }
            total += product;
        }
    return total;
}

Basis one_shell(int type, const std::vector<double>& exps, const std::vector<double>& coefs, const double* centre) {
    Basis b;
    b.centres_bohr.assign(centre, centre + 3);
    Shell s;
    s.type = type;
    s.exponents = exps;
    s.coefs = coefs;
    if (type == -1) s.p_coefs = coefs;
    b.shells.push_back(s);
    return b;
}

// The Cartesian components of a shell in the fchk order, with the primitives' own normalisation
// (any: each function is normalised by its quadrature self-overlap below).
std::vector<std::array<int, 3>> powers(int l) {
    std::vector<std::array<int, 3>> p;
    if (l == 0) p = {{0, 0, 0}};
    if (l == 1) p = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    if (l == 2) p = {{2, 0, 0}, {0, 2, 0}, {0, 0, 2}, {1, 1, 0}, {1, 0, 1}, {0, 1, 1}};
    if (l == 3)
        p = {{3, 0, 0}, {0, 3, 0}, {0, 0, 3}, {1, 2, 0}, {2, 1, 0}, {2, 0, 1}, {1, 0, 2}, {0, 1, 2}, {0, 2, 1}, {1, 1, 1}};
    return p;
}

std::vector<Component> components(int type, const std::vector<double>& exps, const std::vector<double>& coefs,
                                  const double* centre) {
    std::vector<Component> out;
    for (int l : type == -1 ? std::vector<int>{0, 1} : std::vector<int>{type})
        for (const auto& p : powers(l)) {
            Component c{centre, {p[0], p[1], p[2]}, exps, {}};
            // Contraction coefficients multiply normalised primitives (of the x^l kind).
            for (size_t k = 0; k < exps.size(); ++k) {
                double df = 1;
                for (int n = 2 * l - 1; n > 1; n -= 2) df *= n;
                c.coefs.push_back(coefs[k] * std::pow(2 * exps[k] / kPi, 0.75) * std::pow(4 * exps[k], 0.5 * l) /
                                  std::sqrt(df));
            }
            out.push_back(c);
        }
    return out;
}

MonomerOrbitals from_fchk(const std::string& path) {
    const FchkFile f = read_fchk(path);
    const Wavefunction w = wavefunction_from_fchk(f);
    MonomerOrbitals m;
    m.orb_path = path;
    m.basis = basis_from_fchk(f);
    m.coefs = w.alpha;
    m.energies = w.alpha_energies;
    m.alpha_electrons = static_cast<int>(f.integer("Number of alpha electrons"));
    return m;
}

}  // namespace

TEST(GaussianBasis, CartesianShellsAgreeWithQuadratureAndClosedForms) {
    const double a[3] = {0.1, -0.2, 0.3}, b[3] = {0.9, 0.4, -0.5};
    struct Case {
        const char* name;
        int ta, tb;
        std::vector<double> ea, ca, eb, cb;
    };
    const Case cases[] = {
        {"s-s", 0, 0, {1.3}, {1}, {0.7}, {1}},
        {"s-p", 0, 1, {1.3}, {1}, {0.7}, {1}},
        {"p-p contracted", 1, 1, {2.5, 0.6}, {0.4, 0.7}, {1.1, 0.3}, {0.5, 0.6}},
        {"sp-d", -1, 2, {1.8, 0.4}, {0.3, 0.8}, {0.9}, {1}},
        {"d-d contracted", 2, 2, {1.5, 0.5}, {0.5, 0.6}, {0.8, 0.3}, {0.7, 0.4}},
        {"p-f", 1, 3, {0.9}, {1}, {0.6}, {1}},
        {"f-f", 3, 3, {0.8}, {1}, {0.5}, {1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Eigen::MatrixXd s = ao_overlap(one_shell(c.ta, c.ea, c.ca, a), one_shell(c.tb, c.eb, c.cb, b));
        const std::vector<Component> fa = components(c.ta, c.ea, c.ca, a), fb = components(c.tb, c.eb, c.cb, b);
        ASSERT_EQ(s.rows(), static_cast<long>(fa.size()));
        ASSERT_EQ(s.cols(), static_cast<long>(fb.size()));
        for (size_t i = 0; i < fa.size(); ++i)
            for (size_t j = 0; j < fb.size(); ++j) {
                const double ref = quadrature_overlap(fa[i], fb[j]) /
                                   std::sqrt(quadrature_overlap(fa[i], fa[i]) * quadrature_overlap(fb[j], fb[j]));
                EXPECT_NEAR(s(static_cast<long>(i), static_cast<long>(j)), ref, 1e-9) << i << " " << j;
            }
    }
    // Two normalised s primitives: (2 sqrt(a b) / (a + b))^3/2 exp(-a b / (a + b) R^2).
    const double r2 = 0.8 * 0.8 + 0.6 * 0.6 + 0.8 * 0.8;
    EXPECT_NEAR(ao_overlap(one_shell(0, {1.3}, {1}, a), one_shell(0, {0.7}, {1}, b))(0, 0),
                std::pow(2 * std::sqrt(1.3 * 0.7) / 2.0, 1.5) * std::exp(-1.3 * 0.7 / 2.0 * r2), 1e-14);
}

TEST(GaussianBasis, EnginesOrbitalsAreOrthonormalInTheComputedOverlap) {
    // Pure and Cartesian d and f (psi4), sp shells (Gaussian, Q-Chem).
    const char* files[] = {
        "qcpost/overlap_psi4/water_pure_ccpvtz.fchk", "qcpost/overlap_psi4/water_cart_ccpvtz.fchk",
        "qcpost/overlap_psi4/a_631gs.fchk",           "qcpost/overlap_psi4/b_ccpvdz.fchk",
        "qc_outputs/gaussian/g16_dvb_sp.fchk",        "qc_outputs/qchem/qchem60_water_hf_solvent_smd.fchk",
    };
    for (const char* rel : files) {
        SCOPED_TRACE(rel);
        const MonomerOrbitals m = from_fchk(data_path(rel));
        const Eigen::MatrixXd s = ao_overlap(m.basis, m.basis);
        const Eigen::MatrixXd ctsc = m.coefs.transpose() * s * m.coefs;
        EXPECT_LT((ctsc - Eigen::MatrixXd::Identity(ctsc.rows(), ctsc.cols())).cwiseAbs().maxCoeff(), 2e-6);
    }
    // The file that also carries its engine's overlap matrix.
    const std::string path = qc_output("qchem/qchem60_water_hf_solvent_smd.fchk");
    const Wavefunction w = wavefunction_from_fchk(read_fchk(path));
    const Basis b = basis_from_fchk(read_fchk(path));
    EXPECT_LT((ao_overlap(b, b) - w.overlap).cwiseAbs().maxCoeff(), 1e-7);
}

TEST(GaussianBasis, OrbitalOverlapOfTwoMoleculesDependsOnlyOnTheirRelativePlace) {
    // Ethylene B turned and shifted against A; the "rot" runs are the whole pair turned and moved
    // (psi4 runs of their own: the orbitals agree up to their sign).
    for (const char* basis : {"631gs", "ccpvdz"}) {
        SCOPED_TRACE(basis);
        auto load = [&](const char* stem) {
            return from_fchk(data_path(std::string("qcpost/overlap_psi4/") + stem + "_" + basis + ".fchk"));
        };
        const MonomerOrbitals a = load("a"), b = load("b"), ar = load("a_rot"), br = load("b_rot");
        const Eigen::Vector3d none = Eigen::Vector3d::Zero(), shift(0.7, -1.9, 2.3);
        for (int o : {a.alpha_electrons, a.alpha_electrons + 1}) {
            SCOPED_TRACE(o);
            const Eigen::VectorXd ca = normalised_orbital(a, o), cb = normalised_orbital(b, o);
            const double s = orbital_overlap(a, ca, b, cb, none);
            EXPECT_GT(std::fabs(s), 1e-3);
            EXPECT_NEAR(std::fabs(orbital_overlap(ar, normalised_orbital(ar, o), br, normalised_orbital(br, o), none)),
                        std::fabs(s), 1e-7);
            // Both moved by the same vector: B moved, then A with its centres moved too.
            MonomerOrbitals a_moved = a;
            for (size_t k = 0; k < a_moved.basis.centres_bohr.size(); ++k) a_moved.basis.centres_bohr[k] += shift(k % 3);
            EXPECT_NEAR(orbital_overlap(a_moved, ca, b, cb, shift), s, 1e-12);
            EXPECT_GT(std::fabs(orbital_overlap(a, ca, b, cb, shift) - s), 1e-4);
            // The orbitals with themselves in place.
            EXPECT_NEAR(orbital_overlap(a, ca, a, ca, none), 1.0, 1e-7);
        }
    }
}

TEST(GaussianBasis, ZeroDifferentialOverlapOrbitalsAreTakenAsLoewdinCoefficients) {
    // Orbitals written in the symmetrically orthogonalised basis (C^T C = 1, as ZINDO/S leaves them)
    // come back as the coefficients of the real basis; orbitals normalised neither way are refused.
    const MonomerOrbitals m = from_fchk(data_path("qcpost/overlap_psi4/a_ccpvdz.fchk"));
    const Eigen::MatrixXd s = ao_overlap(m.basis, m.basis);
    const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eig(s);
    MonomerOrbitals zdo = m;
    zdo.coefs = eig.eigenvectors() * eig.eigenvalues().cwiseSqrt().asDiagonal() * eig.eigenvectors().transpose() * m.coefs;
    for (int o : {m.alpha_electrons, m.alpha_electrons + 1}) {
        EXPECT_LT((normalised_orbital(zdo, o) - m.coefs.col(o - 1)).cwiseAbs().maxCoeff(), 1e-8);
        EXPECT_LT((normalised_orbital(m, o) - m.coefs.col(o - 1)).cwiseAbs().maxCoeff(), 1e-15);
    }
    MonomerOrbitals neither = m;
    neither.coefs *= 1.1;
    const krymo::FatalError e = expect_fatal([&] { normalised_orbital(neither, 8); });
    EXPECT_NE(e.out_text.find("orbital 8 has norm"), std::string::npos) << e.out_text;
    EXPECT_NE(e.out_text.find("basis convention of the file is not understood"), std::string::npos);
}
