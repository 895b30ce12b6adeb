// AO overlaps of contracted Gaussian shells against the engines' own orbitals (C^T S C = 1 holds only
// with the right integrals, function order, signs and normalisation of every shell type), the orbital
// overlap of two molecules, which depends only on where they sit relative to each other, and the overlap
// mode end to end: qcpost_fchk_orbitals.exe on the monomers of the cofacial ethylene study, then
// qcpost_dimer_overlap.exe on the study's site files, against psi4's own dimer numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "qcpost/fchk.h"
#include "qcpost/gaussian_basis.h"
#include "qcpost/overlap_tools.h"
#include "qcpost/qcpost_tools.h"
#include "qcpost/wavefunction.h"
#include "util/text.h"

using namespace krymo::qcpost;
using namespace krymo_test;

namespace {

const std::string kEthylene = "qcpost/ethylene_psi4";
// <a|b> of the frontier orbitals in the dimer basis, from psi4's own overlap (reference.txt).
const double kHoleOverlap = -0.01569653, kElectronOverlap = -0.00945159;

std::string site(int mol, double z) {
    return krymo::format_string("uc_mol-%d %11.6f %11.6f %11.6f ", mol, 0.0, 0.0, z) +
           "1.000000  0.000000  0.000000  0.000000  1.000000  0.000000  0.000000  0.000000  1.000000\n";
}

// The study as krymo_prepare leaves it in the overlap mode (tests/data/qcpost/moo_ethylene).
struct MooStudy {
    ScopedStudyDir dir;
    MooStudy() {
        EXPECT_EQ(std::system(("cp -r '" + data_path("qcpost/moo_ethylene/data") + "' . && mkdir HL").c_str()), 0);
        write_file("HL/uc_mol-1.fchk", read_file(data_path(kEthylene + "/HL/uc_mol-1.fchk")));
        write_file("HL/uc_mol-2.fchk", read_file(data_path(kEthylene + "/HL/nei_mol-1.fchk")));
        for (const char* f : {"neighbor.dat", "uc_H.inp", "uc_L.inp"})
            write_file(std::string("data/") + f, read_file(data_path(kEthylene + "/data/" + f)));
    }
    void monomers() const {
        for (const char* m : {"uc_mol-1.fchk", "uc_mol-2.fchk"}) {
            const CommandResult r = run_tool("HL", "fchk_orbitals", std::string(m) + " -orb -xyz");
            ASSERT_EQ(r.status, 0) << r.output;
        }
    }
};

CommandResult overlap() { return run_tool("data", "dimer_overlap", "-batch trans_int_files.dat"); }

}  // namespace

TEST(OverlapTools, EthyleneOverlapMatchesTheDimerBasisForEveryPair) {
    MooStudy s;
    s.monomers();
    const CommandResult r = overlap();
    ASSERT_EQ(r.status, 0) << r.output;
    // Every pair, cell images included, is the same cofacial pair: S_ab as psi4's dimer overlap gives it.
    const auto rows = data_rows(read_file("data/transint.dat"));
    EXPECT_EQ(rows.size(), 8u);
    for (const auto& w : rows)
        EXPECT_NEAR(std::stod(w.at(8)), w.at(5) == "hole" ? kHoleOverlap : kElectronOverlap, 2e-8) << w[5];
    // t = -10 eV S_ab (meV), for every pair in neighbor.dat order.
    for (const auto& [file, s_ab] : {std::pair<const char*, double>{"data/VH.dat", kHoleOverlap},
                                     {"data/VL.dat", kElectronOverlap}}) {
        const auto v = data_rows(read_file(file));
        ASSERT_EQ(v.size(), 4u) << file;
        for (const auto& w : v) EXPECT_NEAR(std::stod(w.back()), -10000 * s_ab, 1e-3) << file;
    }
}

TEST(OverlapTools, BadInputStopsNamingTheFileAndWritesNothing) {
    const struct Case {
        const char* name;
        std::function<void()> damage;
        std::vector<std::string> message;
    } cases[] = {
        {"missing orbital file", [] { std::remove("HL/uc_mol-2.orb"); },
         {"../HL/uc_mol-2.orb: cannot open the orbital file"}},
        {"coordinates of another molecule", [] { edit_file("HL/uc_mol-1.xyz", "6\n", "5\n"); },
         {"../HL/uc_mol-1.xyz, line 8: more lines than the 5 atoms announced"}},
        {"atoms that do not match the orbitals",
         [] {
             const std::string t = read_file("HL/uc_mol-1.xyz");
             write_file("HL/uc_mol-1.xyz", "5" + t.substr(1, t.rfind("H ") - 1));
         },
         {"../HL/uc_mol-1.xyz, line 1: 5 atoms, but ../HL/uc_mol-1.orb has 6"}},
        {"g shell", [] { edit_file("HL/uc_mol-2.orb", "shell 1 1 0 3", "shell 1 1 4 3"); },
         {"../HL/uc_mol-2.orb: shell 1 has type 4 (l = 4): only s, p, sp, d and f shells are supported"}},
        {"orbitals turned against the crystal",
         [] {
             const std::string turned = replaced(site(2, 3.5), "1.000000  0.000000  0.000000  0.000000  1.000000",
                                                 "0.800000  0.600000  0.000000 -0.600000  0.800000");
             write_file("data/moo_mol1_nei.pos", turned + site(2, -3.5));
         },
         {"moo_mol1_nei.pos, line 1: the atoms of ../HL/uc_mol-2.xyz are not in the crystal's frame", "nosymm"}},
        {"monomer moved away from its site", [] { edit_file("data/moo_mol2_uc.pos", "3.500000", "3.600000"); },
         {"moo_mol2_uc.pos, line 1:", "centre of mass 0.1000 A away"}},
        {"site of another molecule", [] { edit_file("data/moo_mol2_nei.pos", "uc_mol-1", "uc_mol-2"); },
         {"moo_mol2_nei.pos, line 1: pair 1 of molecule 2 is 2 -> 1", "but the site names uc_mol-2"}},
        {"site file shorter than the pairs", [] { write_file("data/moo_mol1_uc.pos", site(1, 0)); },
         {"moo_mol1_uc.pos, line 2: the file ends here, but the site of pair 2 was expected"}},
        {"orbital the file does not hold", [] { write_file("data/uc_L.inp", "9\n99\n"); },
         {"../HL/uc_mol-2.orb: orbital 99 asked for, but the file holds orbitals 1 to 14"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MooStudy s;
        s.monomers();
        write_earlier({"data/VL.dat", "data/VH.dat"});
        c.damage();
        expect_stop(overlap(), c.message);
        expect_earlier({"data/VL.dat", "data/VH.dat"});
        EXPECT_FALSE(path_exists("data/transint.dat"));
    }
}

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
    expect_messages(e.out_text, {"orbital 8 has norm", "basis convention of the file is not understood"});
}
