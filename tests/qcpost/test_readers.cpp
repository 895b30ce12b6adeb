// Every engine reader on real outputs: what it takes from a file agrees with the same file's own
// printed values (orbital energies, coordinates, the printed overlap against (C C^T)^-1 of the
// complete MO set, alpha and beta orbitals of the cations), the files each engine's run is read from,
// and the formatted-checkpoint parser on a small file and on damaged copies of it.
#include <gtest/gtest.h>

#include <Eigen/Dense>

#include "qcpost/fchk.h"
#include "qcpost/wavefunction.h"
#include "qcpost/qcpost_tools.h"

using namespace krymo::qcpost;
using namespace krymo_test;

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
    const struct Case {
        Source source;
        const char* file;
        double x0[3];           // first atom, bohr (the file prints it in these units or in Angstrom)
        double energy_digits;   // precision of the printed energies compared below
        double overlap_digits;  // agreement of the printed overlap with (C C^T)^-1; 0: no overlap printed
        std::vector<Printed> printed;
    } cases[] = {
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
        const Wavefunction w = read(c.source, qc_output(c.file));
        ASSERT_EQ(w.natoms(), 20);
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
        if (unrestricted)
            EXPECT_LT(((w.beta * w.beta.transpose()).inverse() - w.overlap).cwiseAbs().maxCoeff(), c.overlap_digits);
    }
}

TEST(Readers, EachEngineReadsTheFilesItsRunLeaves) {
    // Gaussian: the log, or formchk's file beside it when present; ORCA: the output; Q-Chem and psi4:
    // the fchk, once the output says the run ended well.
    krymo_test::ScopedStudyDir dir;
    krymo_test::write_file("sp.log", krymo_test::read_file(qc_output("gaussian/g16_dvb_sp.out")));
    const struct {
        const char* flag;
        std::string stem;
        const char* read;  // the file the numbers come from
    } cases[] = {{"", dir.file("sp"), ".log"},
                 {"", qc_output("gaussian/g16_dvb_un_sp"), ".fchk"},
                 {"-orca", qc_output("orca/orca6_dvb_sp_dft"), ".out"},
                 {"-qchem", qc_output("qchem/qchem54_dvb_sp_un"), ".fchk"},
                 {"-psi4", qc_output("psi4/psi4_132_water_neutral"), ".fchk"}};
    for (const auto& c : cases) {
        QcEngine e = QcEngine::Gaussian;
        EXPECT_EQ(engine_from_flag(c.flag, e), *c.flag != '\0');
        EXPECT_EQ(read_wavefunction(e, c.stem).path, c.stem + c.read);
    }
}

TEST(Fchk, DamagedFilesNameFileLineAndWhatWasExpected) {
    // Reals five a line, one in the Fortran form without E; a text entry over two lines.
    const std::string good = read_file(data_path("qcpost/fchk/small.fchk"));
    const FchkFile f = parse_fchk("x.fchk", good);
    EXPECT_EQ(f.reals("Values").size(), 6u);
    EXPECT_DOUBLE_EQ(f.reals("Values")[5], 6e-101);
    EXPECT_DOUBLE_EQ(f.real("Total Energy"), -1.5);
    EXPECT_EQ(f.ints("Atomic numbers")[1], 1);

    const struct Case {
        const char* name;
        std::string text;
        const char* message;
    } cases[] = {
        {"array cut short by the next header", replaced(good, "  6.00000000-101\n", ""),
         "x.fchk, line 10: \"Atomic\" is not a finite real number (value 6 of 6 of \"Values\", line 8)"},
        {"file ends inside an array", good.substr(0, good.rfind("           6")),
         "x.fchk, line 11: the file ends inside \"Atomic numbers\" (line 11 announces 2 values, 0 were read)"},
        {"NaN", replaced(good, "3.00000000E+00", "NaN"), "x.fchk, line 9: \"NaN\" is not a finite real number"},
        {"Fortran overflow stars", replaced(good, "3.00000000E+00", "**************"),
         "x.fchk, line 9: \"**************\" is not a finite real"},
        {"too many values", replaced(good, "           6           1\n", "           6           1           8\n"),
         "x.fchk, line 12: more values than the 2 that \"Atomic numbers\" (line 11) announces"},
        {"binary junk", replaced(good, "Total Energy", std::string("Tot\0l Energy", 12)),
         "x.fchk, line 4: binary content"},
        {"no header", replaced(good, "Atomic numbers                             I", "garbage"),
         "x.fchk, line 11: expected an entry header"},
        {"bad scalar", replaced(good, "-1.5E+00", "-1.5E+0x"), "x.fchk, line 4: \"Total Energy\": expected a finite real"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const krymo::FatalError e = expect_fatal([&] { parse_fchk("x.fchk", c.text); });
        expect_messages(e.out_text, {c.message});
    }
    // Asking for an entry the file lacks, or of the other type.
    expect_messages(expect_fatal([&] { f.reals("Overlap Matrix"); }).out_text, {"x.fchk: no \"Overlap Matrix\" entry"});
    expect_messages(expect_fatal([&] { f.ints("Values"); }).out_text, {"x.fchk, line 8: \"Values\": integer values"});
}
