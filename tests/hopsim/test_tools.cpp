// The hopping tools as the run folders call them, on the naphthalene crystal: rates that keep
// detailed balance under a field for every rate kind, a master-equation mobility the kinetic Monte
// Carlo reproduces within its error, the same trajectory bytes from the serial and OpenMP tools, and
// clear failures for missing or inconsistent input.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <tuple>

#include "hopsim/formats.h"
#include "hopsim/rates.h"
#include "hopsim/study.h"
#include "hopsim_support.h"
#include "test_support.h"
#include "util/text.h"

using namespace krymo::hopsim;
using namespace krymo_test;

namespace {

std::string input(const std::string& extra) {
    return "&transport\n  crystal = naphthalene.cif\n  lattice_cutoff = 2.8\n  chargetype = a\n  lat_site_energy = 1\n"
           "  nsimu = 60\n  tsimu = 2\n  tsnap = 0.1\n" + extra + "/\n";
}

// A hole run folder with couplings, modes and site energies written by the library's writers.
void make_folder(const std::string& extra) {
    write_file("naphthalene.cif", read_file(data_path("crystals/naphthalene.cif")));
    write_file("krymo.inp", input(extra));
    write_file("charge.inp", "h\n");
    RunFolder f;
    f.load();
    write_pair_values("VH.dat", f.pairs(), distance_couplings(f, 10.0), "transfer integral (meV)", false, 2);
    write_normal_modes("NM-h.dat", {stub_modes(), stub_modes()});
    write_site_values("EH.dat", {0.0, 30.0}, "site energy (meV)");
}

CommandResult tool(const std::string& name, const std::string& args = "") {
    return run_command(hopsim_exe(name) + (args.empty() ? "" : " " + args));
}

// The numbers of each row of a table file, comment lines left out.
std::vector<std::vector<double>> table_rows(const std::string& path) {
    std::vector<std::vector<double>> rows;
    std::istringstream in(read_file(path));
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        rows.emplace_back();
        for (double x; fields >> x;) rows.back().push_back(x);
    }
    return rows;
}

}  // namespace

TEST(HopsimTools, RatesKeepDetailedBalanceUnderAFieldForEveryKind) {
    ScopedStudyDir dir;
    const char* const kinds[] = {"  ratetype = marcus\n", "  ratetype = quantum\n  sta = 1\n",
                                 "  ratetype = quantum\n  sta = 0\n"};
    for (const char* kind : kinds) {
        SCOPED_TRACE(kind);
        make_folder(std::string(kind) + "  app_elec_F = 1e7 -2e7 5e6\n");
        write_file("temp.inp", "250 K\n");
        const CommandResult r = tool("rates");
        ASSERT_EQ(r.status, 0) << r.output;
        const std::string name = std::string(kind).find("marcus") != std::string::npos ? "krymo-marcus.dat"
                                                                                         : "krymo-quantum.dat";
        const RateTable t = read_rate_table(name);
        EXPECT_EQ(t.temperature, 250.0);
        EXPECT_EQ(t.carrier, 'h');
        const double kT = units::kBoltzmann * 250.0;
        double field[3];
        field_cartesian(t.cell, t.field, field);
        std::map<std::tuple<int, int, int, int, int>, const RatePair*> by_key;
        for (const RatePair& p : t.pairs)
            by_key[std::make_tuple(p.key.root, p.key.nei, p.key.cell[0], p.key.cell[1], p.key.cell[2])] = &p;
        int checked = 0;
        for (const RatePair& p : t.pairs) {
            const RatePair* back =
                by_key.at(std::make_tuple(p.key.nei, p.key.root, -p.key.cell[0], -p.key.cell[1], -p.key.cell[2]));
            EXPECT_EQ(p.dg0_mev, p.key.nei == p.key.root ? 0.0 : p.key.nei == 2 ? 30.0 : -30.0);
            // A hole gains -e F . dr going with the field.
            const double dg = p.dg0_mev * 1e-3 - (field[0] * p.dr[0] + field[1] * p.dr[1] + field[2] * p.dr[2]) * 1e-10;
            EXPECT_NEAR(p.rate / back->rate / std::exp(-dg / kT), 1.0, 1e-10);
            ++checked;
        }
        EXPECT_GT(checked, 4);
    }
}

TEST(HopsimTools, MonteCarloMobilityAgreesWithTheMasterEquation) {
    ScopedStudyDir dir;
    make_folder("  ratetype = marcus\n  output_eigval = 1\n");
    ASSERT_EQ(tool("rates").status, 0);
    const CommandResult me = tool("master");
    ASSERT_EQ(me.status, 0) << me.output;
    const ExpData master = read_exp_data("exp_data.dat");
    EXPECT_GT(master.mu[3], 0.0);
    const std::vector<std::vector<double>> me_axes = table_rows("mobility_axes.dat");

    // The serial and OpenMP simulators write the same bytes; a second job adds trajectories 30-59.
    const CommandResult serial = tool("mc", "-simu0 0 -nsimu 30");
    ASSERT_EQ(serial.status, 0) << serial.output;
    const std::string first = read_file("traj-0-29.dat");
    ASSERT_EQ(tool("mc_par", "-simu0 0 -nsimu 30").status, 0);
    EXPECT_EQ(read_file("traj-0-29.dat"), first);
    ASSERT_EQ(tool("mc_par", "-simu0 30 -nsimu 30").status, 0);

    const CommandResult mob = tool("mobility_par");
    ASSERT_EQ(mob.status, 0) << mob.output;
    const ExpData mc = read_exp_data("exp_data.dat");
    ASSERT_TRUE(mc.has_err);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_LT(mc.err[i], 0.5 * master.mu[i]);
        EXPECT_NEAR(mc.mu[i], master.mu[i], 3 * mc.err[i]);
    }
    // The principal mobilities of D/kT, with their own jackknife errors, are the master equation's.
    const std::vector<std::vector<double>> mc_axes = table_rows("mobility_axes.dat");
    ASSERT_EQ(mc_axes.size(), 3u);
    ASSERT_EQ(me_axes.size(), 3u);
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        EXPECT_GT(mc_axes[k][2], 0.0);
        EXPECT_NEAR(mc_axes[k][1], me_axes[k][1], 3 * mc_axes[k][2]);
    }
    const std::string report = read_file("exp_data.dat");
    // Sixty trajectories cannot reach the 2 % of the default target; the file says so.
    EXPECT_NE(report.find("# error target 2 % NOT reached"), std::string::npos) << report;
    ASSERT_EQ(tool("mobility").status, 0);
    EXPECT_EQ(read_file("exp_data.dat"), report);
    EXPECT_NE(read_file("mobility.dat").find("trajectories        60"), std::string::npos);
}

TEST(HopsimTools, MissingOrInconsistentInputStopsWithStatusOne) {
    ScopedStudyDir dir;
    make_folder("  ratetype = marcus\n");
    for (const char* t : {"rates", "mc", "mc_par", "mobility", "mobility_par", "master"}) {
        const CommandResult help = tool(t, "-h");
        EXPECT_EQ(help.status, 0) << t;
        EXPECT_NE(help.output.find("Usage: hopsim_"), std::string::npos) << t;
        EXPECT_EQ(tool(t, "-bogus").status, 1) << t;
    }
    CommandResult r = tool("mc");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("Cannot open krymo-marcus.dat"), std::string::npos) << r.output;
    r = tool("mobility");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("No trajectory file"), std::string::npos) << r.output;

    ASSERT_EQ(std::system("mv VH.dat VH.saved"), 0);
    r = tool("rates");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("Cannot open VH.dat"), std::string::npos) << r.output;
    ASSERT_EQ(std::system("mv VH.saved VH.dat"), 0);
    write_file("NM-h.dat", "2\n1 185\n1580 0.3\n1 185\n1580 oops\n");
    r = tool("rates");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("NM-h.dat line 5: 'oops' is not a number"), std::string::npos) << r.output;

    // Two jobs that ran the same trajectory cannot be averaged.
    write_normal_modes("NM-h.dat", {stub_modes(), stub_modes()});
    ASSERT_EQ(tool("rates").status, 0);
    ASSERT_EQ(tool("mc", "-simu0 0 -nsimu 3").status, 0);
    ASSERT_EQ(tool("mc", "-simu0 2 -nsimu 3").status, 0);
    r = tool("mobility");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("Trajectory 2 is in both traj-0-2.dat and traj-2-4.dat"), std::string::npos) << r.output;
}

TEST(HopsimTools, OuterSphereEnergyOfEveryMode) {
    // A constant needs no file; the per-pair modes stop without theirs.
    ScopedStudyDir dir;
    make_folder("  ratetype = quantum\n  sta = 0\n  reorg_outer = constant 0.1\n");
    CommandResult r = tool("rates");
    ASSERT_EQ(r.status, 0) << r.output;
    for (const RatePair& p : read_rate_table("krymo-quantum.dat").pairs) EXPECT_EQ(p.lambda_out_mev, 100.0);
    make_folder("  ratetype = quantum\n  sta = 0\n  reorg_outer = dielectric 3.0 10\n");
    r = tool("rates");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("Cannot open reorg_lambda_outer-h.dat"), std::string::npos) << r.output;
}

TEST(HopsimTools, MasterEquationTensorAnalysisAndFieldScan) {
    // The naphthalene cell is monoclinic with b at 90 degrees from a: the ab scan meets mu_a at 0 and
    // mu_b at 90 degrees, and the principal values add up to the trace.
    ScopedStudyDir dir;
    make_folder("  ratetype = marcus\n  output_eigval = 1\n  delta_angle = 15\n");
    ASSERT_EQ(tool("rates").status, 0);
    CommandResult r = tool("master");
    ASSERT_EQ(r.status, 0) << r.output;
    const ExpData zero = read_exp_data("exp_data.dat");
    const std::vector<std::vector<double>> axes = table_rows("mobility_axes.dat");
    ASSERT_EQ(axes.size(), 3u);
    EXPECT_NEAR(axes[0][1] + axes[1][1] + axes[2][1], 3 * zero.mu[3], 2e-6 * zero.mu[3]);
    EXPECT_GE(axes[0][1], axes[1][1]);
    EXPECT_GE(axes[1][1], axes[2][1]);
    const std::vector<std::vector<double>> angle = table_rows("mobility_angle.dat");
    ASSERT_EQ(angle.size(), 25u);
    EXPECT_NEAR(angle[0][1], zero.mu[0], 2e-6 * zero.mu[0]);
    EXPECT_EQ(angle[6][0], 90.0);
    EXPECT_NEAR(angle[6][1], zero.mu[1], 2e-6 * zero.mu[1]);

    // A scan along a: its weakest field gives mu_a of the zero-field run, its strongest departs.
    make_folder("  ratetype = marcus\n  app_elec_F = 1e3 0 0\n  field_scan = 1e3 1e9\n");
    ASSERT_EQ(tool("rates").status, 0);
    r = tool("master");
    ASSERT_EQ(r.status, 0) << r.output;
    const std::vector<std::vector<double>> rows = table_rows("mobility_field.dat");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], 1e3);
    EXPECT_NEAR(rows[0][1], zero.mu[0], 1e-5 * zero.mu[0]);
    EXPECT_NEAR(rows[0][2], 1.0, 1e-5);
    EXPECT_GT(std::fabs(rows[1][2] - 1.0), 0.01);
    const std::string table = read_file("mobility_field.dat");
    const size_t at = table.find("mu_0 = ");
    ASSERT_NE(at, std::string::npos) << table;
    EXPECT_NEAR(std::stod(table.substr(at + 7)), zero.mu[0], 2e-6 * zero.mu[0]);
}
