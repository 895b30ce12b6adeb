// The reorganization-energy stages of a study run with the real tools: the generated scripts copy the
// frequency outputs into the normal-mode work folders, run the projection and the mode extraction,
// gather and merge the pieces, compute the four-point energies, and the rates are computed from the
// merged modes.
#include <cmath>

#include "e2e_study.h"
#include "qcpost/frequency_jobs.h"
#include "qcpost/normal_modes.h"
#include "util/text.h"

using namespace krymo_test;
using krymo::format_string;

namespace {

std::string qc(const std::string& rel) { return data_path("qc_outputs/" + rel); }

// A formatted checkpoint holding what a frequency job leaves: atoms, geometry, masses, Hessian.
std::string fchk_text(const krymo::qcpost::FrequencyJob& j) {
    std::string s = "charged state\nFREQ      RB3LYP                                                      STO-3G\n";
    const size_t n = j.mass.size();
    s += format_string("%-40s   I   N=%12zu\n", "Atomic numbers", n);
    for (size_t i = 0; i < n; ++i) s += format_string("%12d%s", j.z[i], (i % 6 == 5 || i + 1 == n) ? "\n" : "");
    const auto reals = [&s](const char* name, const std::vector<double>& v) {
        s += format_string("%-40s   R   N=%12zu\n", name, v.size());
        for (size_t i = 0; i < v.size(); ++i) s += format_string("%16.8E%s", v[i], (i % 5 == 4 || i + 1 == v.size()) ? "\n" : "");
    };
    reals("Current cartesian coordinates", std::vector<double>(j.x.data(), j.x.data() + j.x.size()));
    reals("Real atomic weights", j.mass);
    std::vector<double> tri;
    for (int r = 0; r < j.hessian.rows(); ++r)
        for (int c = 0; c <= r; ++c) tri.push_back(j.hessian(r, c));
    reals("Cartesian Force Constants", tri);
    return s;
}

std::string gaussian_log(double energy) {
    return format_string(" Entering Gaussian System, Link 0=g16\n SCF Done:  E(UB3LYP) =  %.9f     A.U. after   12 cycles\n"
                         " Normal termination of Gaussian 16 at Sun Dec  6 12:00:00 2026.\n",
                         energy);
}

}  // namespace

TEST(ReorganizationTools, GeneratedScriptsRunTheRealToolsAndTheRatesUseTheirModes) {
    KRYMO_NEED_PYTHON3();
    ScopedStudyDir dir;
    const CommandResult prep = prepare_naphthalene(
        "  sched_type = local\n  sched_job_array = 0\n  compute_engine = 1\n  qc_exe = g09\n  RE_unique_mol = 1\n"
        "  HL_unique_mol = 1\n  lattice_cutoff = 2.8\n  chargetype = a\n  ratetype = marcus\n"
        "  RE_calc_lambda_4P = 1\n");
    ASSERT_EQ(prep.status, 0) << prep.output;
    EXPECT_FALSE(path_exists("data/mol2_bonds.dat"));  // the modes of molecule 2 are its representative's

    // The frequency jobs: the neutral is a real Gaussian job; each charged state is the same
    // molecule shifted along three of its modes (the anion twice as far as the cation).
    const krymo::qcpost::FrequencyJob neutral = krymo::qcpost::load_frequency_job(qc("gaussian/g16_dvb_ir.out"));
    const krymo::qcpost::NormalModes m = krymo::qcpost::normal_modes(neutral);
    const int picked[3] = {6, 18, 40};
    const double shift[3] = {0.05, 0.04, -0.03};
    double lambda1_mev = 0.0;  // the cation's lambda_1 (shift factor 1)
    for (int k = 0; k < 3; ++k)
        lambda1_mev += 0.5 * m.eigenvalues(picked[k]) * shift[k] * shift[k] * krymo::qcpost::kHartreeToWavenumber *
                       krymo::qcpost::kWavenumberToMev;
    const std::string log = read_file(qc("gaussian/g16_dvb_ir.out"));
    write_file("RE/re-mol1-neutral.log", log);
    write_file("RE/re-mol1-neutral.fchk", read_file(qc("gaussian/g16_dvb_ir.fchk")));
    for (const auto& [state, factor] : {std::make_pair("anion", 2.0), std::make_pair("cation", 1.0)}) {
        krymo::qcpost::FrequencyJob charged = neutral;
        for (int k = 0; k < 3; ++k)
            for (size_t i = 0; i < neutral.mass.size(); ++i)
                charged.x.segment<3>(3 * i) +=
                    factor * shift[k] * m.modes.col(picked[k]).segment<3>(3 * i) / std::sqrt(neutral.mass[i]);
        write_file(format_string("RE/re-mol1-%s.log", state), log);
        write_file(format_string("RE/re-mol1-%s.fchk", state), fchk_text(charged));
    }
    // The four-point single points, above the frequency jobs' energy e0 (the neutral and charged
    // equilibrium energies of this test).
    const double e0 = -382.308266602;
    const struct {
        const char* name;
        double above;  // hartree
    } points[] = {{"neutral_eN", 0.004}, {"anion_nC", 0.003}, {"neutral_hN", 0.002}, {"cation_nC", 0.001}};
    for (const auto& p : points) write_file(format_string("RE/re-mol1-%s.log", p.name), gaussian_log(e0 + p.above));
    const double h = 27211.386245988;
    // Couplings of the pairs, in the order the rates expect them; the later scripts with the real tools.
    write_couplings("data/VL.dat");
    write_couplings("data/VH.dat");
    ASSERT_TRUE(install_stubs(
        real_tools({"qcpost_nmproj.exe", "qcpost_modes.exe", "qcpost_lambda4p.exe", "hopsim_rates.exe"})));
    const std::string env = stub_env(dir.path());
    // Before the normal-mode stage the rates can run on the four-point energies, and say so.
    {
        const CommandResult r = run_command(env + "python scr/get_RE_lambda_4P.py");
        ASSERT_EQ(r.status, 0) << r.output;
        EXPECT_NEAR(krymo::hopsim::read_normal_modes("data/NM-h.dat", 2)[1].lambda_mev, 0.003 * h, 1e-5);
        const CommandResult rates = run_command("cd MC-marcus/hole && " + env + "python prepare-mc.py");
        EXPECT_NE(rates.output.find("WARNING: NM-h.dat holds the four-point reorganization energies"), std::string::npos)
            << rates.output;
        const krymo::hopsim::RateTable t = krymo::hopsim::read_rate_table("MC-marcus/hole/krymo-marcus.dat");
        ASSERT_FALSE(t.pairs.empty());
        EXPECT_NEAR(t.pairs[0].lambda_in_mev, 0.003 * h, 1e-5);
    }
    for (const char* s : {"scr/prepare_RE.py", "scr/run_RE.py", "scr/get_RE.py", "scr/merge_evc_NM_output.py",
                          "scr/get_RE_lambda_evc.py", "scr/get_RE_lambda_4P.py"}) {
        const CommandResult r = run_command(env + "python " + s);
        ASSERT_EQ(r.status, 0) << s << "\n" << r.output;
    }
    for (const auto& [carrier, factor] : {std::make_pair('e', 2.0), std::make_pair('h', 1.0)}) {
        SCOPED_TRACE(carrier);
        const std::vector<krymo::hopsim::MoleculeModes> nm =
            krymo::hopsim::read_normal_modes(format_string("data/NM-%c.dat", carrier), 2);
        // Same Hessian in both states: lambda_1 = lambda_2, growing with the square of the shift.
        const double expected = 2.0 * lambda1_mev * factor * factor;
        EXPECT_NEAR(nm[0].lambda_mev, expected, 2e-3 * expected);
        EXPECT_EQ(nm[1].lambda_mev, nm[0].lambda_mev);  // molecule 2 takes its representative's data
        EXPECT_NEAR(nm[0].modes_lambda_mev(), nm[0].lambda_mev, 1e-3 * expected);
        const std::string lam = read_file(format_string("data/mol_lambda_evc-%c.dat", carrier));
        double lam_total = 0;
        ASSERT_EQ(std::sscanf(lam.c_str(), "%*d %lf", &lam_total), 1) << lam;
        EXPECT_NEAR(lam_total, expected, 2e-3 * expected);
    }

    // The rates of the electron run folder use the merged modes.
    const CommandResult rates = run_command("cd MC-marcus/elec && " + env + "python prepare-mc.py");
    ASSERT_TRUE(path_exists("MC-marcus/elec/krymo-marcus.dat")) << rates.output;
    const krymo::hopsim::RateTable t = krymo::hopsim::read_rate_table("MC-marcus/elec/krymo-marcus.dat");
    const std::vector<krymo::hopsim::MoleculeModes> nm = krymo::hopsim::read_normal_modes("data/NM-e.dat", 2);
    ASSERT_FALSE(t.pairs.empty());
    for (const krymo::hopsim::RatePair& p : t.pairs) EXPECT_NEAR(p.lambda_in_mev, nm[0].lambda_mev, 1e-4);
}
