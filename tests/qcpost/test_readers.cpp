// Every engine reader on real outputs: what it takes from a file agrees with the same file's own
// printed values (orbital energies, coordinates, the printed overlap against (C C^T)^-1 of the
// complete MO set, alpha and beta orbitals of the cations).
#include <gtest/gtest.h>

#include <Eigen/Dense>

#include "qcpost/fchk.h"
#include "qcpost/wavefunction.h"
#include "test_support.h"

using namespace krymo::qcpost;
using krymo_test::data_path;

namespace {

enum class Source { GaussianLog, OrcaOut, Fchk };

Wavefunction read(Source s, const std::string& path) {
    const std::string text = read_text_file(path);
    if (s == Source::GaussianLog) return read_gaussian_log(path, text);
    if (s == Source::OrcaOut) return read_orca_out(path, text);
    return wavefunction_from_fchk(parse_fchk(path, text));
}

struct Printed {
    int mo;         // 0-based orbital
    bool beta;
    double energy;  // hartree, as the file prints it elsewhere (its energy table)
};

}  // namespace

TEST(Readers, AgreeWithTheFilesOwnPrintedValues) {
    constexpr double kBohr = 1.0 / 0.529177210903;
    struct Case {
        Source source;
        const char* file;
        double x0[3];           // first atom, bohr (the file prints it in these units or in Angstrom)
        double energy_digits;   // precision of the printed energies compared below
        double overlap_digits;  // agreement of the printed overlap with (C C^T)^-1; 0: no overlap printed
        std::vector<Printed> printed;
    };
    const Case cases[] = {
        {Source::GaussianLog, "gaussian/g16_dvb_sp.out", {0.269445 * kBohr, 1.410118 * kBohr, 0}, 1e-5, 1e-3,
         {{34, false, -0.15308}, {35, false, 0.03742}}},
        {Source::GaussianLog, "gaussian/g16_dvb_un_sp.log", {0, 0, 0}, 1e-5, 1e-3,
         {{34, false, -0.36976}, {33, true, -0.38882}, {34, true, -0.30053}}},
        {Source::Fchk, "gaussian/g16_dvb_sp.fchk", {0.269445 * kBohr, 1.410118 * kBohr, 0}, 1e-5, 0,
         {{34, false, -0.15308}}},
        {Source::OrcaOut, "orca/orca6_dvb_sp_dft.out", {-2.674441, 0.435056, 0}, 1e-5, 1e-4,
         {{34, false, -0.149295}, {35, false, 0.041246}}},
        {Source::OrcaOut, "orca/orca6_dvb_sp_un_dft.out", {-2.674441, 0.435056, 0}, 1e-5, 1e-4,
         {{34, false, -0.366268}, {34, true, -0.296813}}},
        {Source::Fchk, "qchem/qchem54_dvb_sp_un.fchk", {1.3668132833 * kBohr, 0.2787694006 * kBohr, 0}, 1e-3, 1e-6,
         {{34, false, -0.377}, {33, true, -0.393}, {34, true, -0.310}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const Wavefunction w = read(c.source, data_path(std::string("qc_outputs/") + c.file));
        ASSERT_EQ(w.natoms(), 20);
        EXPECT_EQ(w.atomic_numbers[0], 6);
        EXPECT_EQ(w.atomic_numbers[19], 1);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(w.coords_bohr[k], c.x0[k], 2e-5) << k;
        ASSERT_EQ(w.nbasis, 60);
        ASSERT_EQ(w.nmo(), 60);
        bool unrestricted = false;
        for (const Printed& p : c.printed) {
            unrestricted |= p.beta;
            const Eigen::VectorXd& e = p.beta ? w.beta_energies : w.alpha_energies;
            ASSERT_GT(e.size(), p.mo);
            EXPECT_NEAR(e(p.mo), p.energy, c.energy_digits) << "orbital " << p.mo << (p.beta ? " beta" : " alpha");
        }
        EXPECT_EQ(w.beta.cols(), unrestricted ? 60 : 0);
        if (c.overlap_digits == 0) continue;
        ASSERT_EQ(w.overlap.rows(), 60);
        const Eigen::MatrixXd from_mos = (w.alpha * w.alpha.transpose()).inverse();
        EXPECT_LT((from_mos - w.overlap).cwiseAbs().maxCoeff(), c.overlap_digits);
        EXPECT_NEAR(w.overlap(0, 1), w.overlap(1, 0), 0.0);
        if (unrestricted) {
            const Eigen::MatrixXd beta_s = (w.beta * w.beta.transpose()).inverse();
            EXPECT_LT((beta_s - w.overlap).cwiseAbs().maxCoeff(), c.overlap_digits);
        }
    }
}
