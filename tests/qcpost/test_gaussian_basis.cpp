// AO overlaps of contracted Gaussian shells against the engines' own orbitals (C^T S C = 1 holds only
// with the right integrals, function order, signs and normalisation of every shell type), and the
// orbital overlap of two molecules, which depends only on where they sit relative to each other.
#include <gtest/gtest.h>

#include <cmath>

#include "qcpost/fchk.h"
#include "qcpost/gaussian_basis.h"
#include "qcpost/overlap_tools.h"
#include "qcpost/qcpost_tools.h"
#include "qcpost/wavefunction.h"

using namespace krymo::qcpost;
using namespace krymo_test;

namespace {

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
