// The hopping tools as the run folders call them, on the naphthalene crystal: rates in detailed
// balance under a field for every kind, a master-equation mobility the kinetic Monte Carlo reproduces,
// the same bytes on any thread count, and clear failures for missing or inconsistent input.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <tuple>

#include "hopsim_support.h"

using namespace krymo::hopsim;
using namespace krymo_test;

namespace {

// A hole run folder with couplings, modes and site energies written by the library's writers.
void make_folder(const std::string& extra) {
    write_file("naphthalene.cif", read_file(data_path("crystals/naphthalene.cif")));
    write_file("krymo.inp", "&transport\n  crystal = naphthalene.cif\n  lattice_cutoff = 2.8\n  chargetype = a\n"
                            "  lat_site_energy = 1\n  nsimu = 60\n  tsimu = 2\n  tsnap = 0.1\n" + extra + "/\n");
    write_file("charge.inp", "h\n");
    RunFolder f;
    f.load();
    write_pair_values("VH.dat", f.pairs(), distance_couplings(f, 10.0), "transfer integral (meV)", false, 2);
    write_normal_modes("NM-h.dat", {stub_modes(), stub_modes()});
    write_site_values("EH.dat", {0.0, 30.0}, "site energy (meV)");
}

CommandResult tool(const std::string& name, const std::string& args = "", int threads = 2) {
    return run_command("OMP_NUM_THREADS=" + std::to_string(threads) + " " + hopsim_exe(name) + " " + args);
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

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(HopsimTools, RatesKeepDetailedBalanceUnderAFieldForEveryKindAndScanTheField) {
    ScopedStudyDir dir;
    const struct {
        const char* settings;
        const char* file;
        double lambda_out_mev;
    } kinds[] = {{"  ratetype = marcus\n", "krymo-marcus.dat", 0.0},
                 {"  ratetype = quantum\n  sta = 1\n", "krymo-quantum.dat", 0.0},
                 // An outer-sphere constant needs no file.
                 {"  ratetype = quantum\n  sta = 0\n  reorg_outer = constant 0.1\n", "krymo-quantum.dat", 100.0}};
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.settings);
        make_folder(std::string(kind.settings) + "  app_elec_F = 1e7 -2e7 5e6\n  field_scan = 1e3 1e9\n");
        write_file("temp.inp", "250 K\n");
        const CommandResult r = tool("rates");
        ASSERT_EQ(r.status, 0) << r.output;
        const RateTable t = read_rate_table(kind.file);
        double field[3];
        field_cartesian(t.cell, t.field, field);
        std::map<std::tuple<int, int, int, int, int>, const RatePair*> by_key;
        for (const RatePair& p : t.pairs)
            by_key[std::make_tuple(p.key.root, p.key.nei, p.key.cell[0], p.key.cell[1], p.key.cell[2])] = &p;
        ASSERT_GT(t.pairs.size(), 4u);
        for (const RatePair& p : t.pairs) {
            const RatePair* back =
                by_key.at(std::make_tuple(p.key.nei, p.key.root, -p.key.cell[0], -p.key.cell[1], -p.key.cell[2]));
            EXPECT_EQ(p.dg0_mev, p.key.nei == p.key.root ? 0.0 : p.key.nei == 2 ? 30.0 : -30.0);
            EXPECT_EQ(p.lambda_out_mev, kind.lambda_out_mev);
            // A hole gains -e F . dr going with the field.
            const double dg = p.dg0_mev * 1e-3 - (field[0] * p.dr[0] + field[1] * p.dr[1] + field[2] * p.dr[2]) * 1e-10;
            EXPECT_NEAR(p.rate / back->rate / std::exp(-dg / (units::kBoltzmann * 250.0)), 1.0, 1e-10);
        }
        ASSERT_EQ(tool("master").status, 0);
        // The weakest field of the scan gives the zero-field value, and so the strongest's ratio to it.
        const std::vector<std::vector<double>> scan = table_rows("mobility_field.dat");
        ASSERT_EQ(scan.size(), 2u);
        EXPECT_NEAR(scan[0][2], 1.0, 1e-5);
        EXPECT_NEAR(scan[1][2], scan[1][1] / scan[0][1], 1e-4 * scan[1][2]);
    }
}

TEST(HopsimTools, MonteCarloMobilityAgreesWithTheMasterEquation) {
    ScopedStudyDir dir;
    make_folder("  ratetype = marcus\n  output_eigval = 1\n  delta_angle = 15\n");
    ASSERT_EQ(tool("rates").status, 0);
    const CommandResult me = tool("master");
    ASSERT_EQ(me.status, 0) << me.output;
    const ExpData master = read_exp_data("exp_data.dat");
    const std::vector<std::vector<double>> me_axes = table_rows("mobility_axes.dat");
    // The naphthalene cell is monoclinic with b at 90 degrees from a: the ab scan meets mu_a at 0 and
    // mu_b at 90 degrees, and the principal values add up to the trace.
    ASSERT_EQ(me_axes.size(), 3u);
    EXPECT_NEAR(me_axes[0][1] + me_axes[1][1] + me_axes[2][1], 3 * master.mu[3], 2e-6 * master.mu[3]);
    const std::vector<std::vector<double>> angle = table_rows("mobility_angle.dat");
    ASSERT_EQ(angle.size(), 25u);
    EXPECT_NEAR(angle[0][1], master.mu[0], 2e-6 * master.mu[0]);
    EXPECT_EQ(angle[6][0], 90.0);
    EXPECT_NEAR(angle[6][1], master.mu[1], 2e-6 * master.mu[1]);

    // Two jobs of thirty trajectories each, by the serial and the OpenMP simulator.
    const CommandResult serial = tool("mc", "-simu0 0 -nsimu 30");
    ASSERT_EQ(serial.status, 0) << serial.output;
    ASSERT_EQ(tool("mc_par", "-simu0 30 -nsimu 30").status, 0);

    const CommandResult mob = tool("mobility_par");
    ASSERT_EQ(mob.status, 0) << mob.output;
    const ExpData mc = read_exp_data("exp_data.dat");
    // The principal mobilities of D/kT, with their own jackknife errors, are the master equation's.
    const std::vector<std::vector<double>> mc_axes = table_rows("mobility_axes.dat");
    ASSERT_EQ(mc_axes.size(), 3u);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_LT(mc.err[i], 0.5 * master.mu[i]);
        EXPECT_NEAR(mc.mu[i], master.mu[i], 3 * mc.err[i]);
        if (i == 3) break;
        EXPECT_GT(mc_axes[i][2], 0.0);
        EXPECT_NEAR(mc_axes[i][1], me_axes[i][1], 3 * mc_axes[i][2]);
    }
    const std::string report = read_file("exp_data.dat");
    // Sixty trajectories cannot reach the 2 % of the default target; the file says so.
    EXPECT_TRUE(contains(report, "# error target 2 % NOT reached")) << report;
    ASSERT_EQ(tool("mobility").status, 0);
    EXPECT_EQ(read_file("exp_data.dat"), report);
    EXPECT_TRUE(contains(read_file("mobility.dat"), "trajectories        60"));
}

TEST(HopsimTools, MissingOrInconsistentInputStopsWithStatusOne) {
    ScopedStudyDir dir;
    make_folder("  ratetype = marcus\n");
    for (const char* t : {"rates", "mc", "mc_par", "mobility", "mobility_par", "master"}) {
        const CommandResult help = tool(t, "-h");
        EXPECT_EQ(help.status, 0) << t;
        EXPECT_TRUE(contains(help.output, "Usage: hopsim_")) << t;
        EXPECT_EQ(tool(t, "-bogus").status, 1) << t;
    }
    const std::string mc = hopsim_exe("mc"), rates = hopsim_exe("rates");
    const struct {
        const char* settings;
        std::string setup;  // shell commands run before the tool
        const char* tool;
        const char* message;
    } cases[] = {
        {"  ratetype = marcus\n", "true", "mc", "Cannot open krymo-marcus.dat"},
        {"  ratetype = marcus\n", "true", "mobility", "No trajectory file"},
        {"  ratetype = marcus\n", "rm VH.dat", "rates", "Cannot open VH.dat"},
        {"  ratetype = quantum\n  sta = 0\n  reorg_outer = dielectric 3.0 10\n", "true", "rates",
         "Cannot open reorg_lambda_outer-h.dat"},
        // Two jobs that ran the same trajectory cannot be averaged.
        {"  ratetype = marcus\n", rates + " && " + mc + " -simu0 0 -nsimu 3 && " + mc + " -simu0 2 -nsimu 3",
         "mobility", "Trajectory 2 is in both traj-0-2.dat and traj-2-4.dat"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        make_folder(c.settings);
        ASSERT_EQ(run_command(c.setup).status, 0);
        const CommandResult r = tool(c.tool);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(contains(r.output, c.message)) << r.output;
    }
}

TEST(HopsimTools, StaticDisorderRunsGiveTheSameBytesOnAnyThreadCount) {
    ScopedStudyDir dir;
    const std::string disorder = "  ratetype = marcus\n  mc_error = 0\n  disorder_sigma = 60\n  disorder_cells = 5\n";
    make_folder(disorder + "  disorder_seed = 11\n");
    ASSERT_EQ(tool("rates").status, 0);
    std::string bytes[2][2];
    for (int threads : {1, 2}) {
        const CommandResult me = tool("master", "", threads);
        ASSERT_EQ(me.status, 0) << me.output;
        EXPECT_TRUE(contains(me.output, "static disorder: sigma 60 meV on 5 x 5 x 5 cells (250 sites), seed 11"));
        bytes[threads - 1][0] = read_file("master.dat");
        const CommandResult mc = tool(threads == 1 ? "mc" : "mc_par", "", threads);
        ASSERT_EQ(mc.status, 0) << mc.output;
        bytes[threads - 1][1] = read_file("traj-0-59.dat");
    }
    EXPECT_EQ(bytes[0][0], bytes[1][0]);
    EXPECT_EQ(bytes[0][1], bytes[1][1]);
    ASSERT_EQ(tool("mobility").status, 0);
    EXPECT_TRUE(contains(read_file("exp_data.dat"), "# static disorder: sigma 60 meV on 5 x 5 x 5 cells, seed 11"));
    // Another seed is another run: its trajectories do not mix with these.
    make_folder(disorder + "  disorder_seed = 12\n");
    ASSERT_EQ(tool("mc", "-simu0 60 -nsimu 30").status, 0);
    EXPECT_EQ(tool("mobility").status, 1);

    // 400^3 cells of two molecules: refused before anything is allocated, naming the key.
    make_folder("  ratetype = marcus\n  disorder_sigma = 60\n  disorder_cells = 400\n");
    for (const char* name : {"master", "mc"}) {
        const CommandResult r = tool(name);
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_TRUE(contains(r.output, "disorder_cells = 400")) << r.output;
    }
}
