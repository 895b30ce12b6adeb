// Readers and writers of the run-folder files: the writers' text is fixed by a golden file, what they
// write reads back to the same bytes, and every malformed input stops naming the file and the line.
#include <gtest/gtest.h>

#include "golden.h"
#include "hopsim/formats.h"
#include "hopsim_support.h"
#include "test_support.h"

using namespace krymo::hopsim;
using krymo_test::read_file;
using krymo_test::write_file;

namespace {

std::vector<PairKey> keys() {
    PairKey a, b;
    a.root = 1;
    a.nei = 2;
    b.root = 2;
    b.nei = 1;
    b.cell[0] = -1;
    return {a, b};
}

}  // namespace

TEST(HopsimFormats, WrittenFilesHaveTheirLayoutAndReadBack) {
    krymo_test::ScopedStudyDir dir;
    const MoleculeModes m = krymo_test::stub_modes();
    EXPECT_NEAR(m.modes_lambda_mev(), (0.35 * 1580 + 0.4 * 760 + 3.0 * 120) * 0.1239841984, 1e-12);
    RateTable t = krymo_test::hand_table("two_molecule_chain");
    t.ratetype = "quantum";
    t.sta = 0;
    t.field[1] = 1e7;
    t.modes = {m, m};
    TrajectoryHeader h;
    h.cell[0][0] = h.cell[1][1] = h.cell[2][2] = 7.5;
    h.disorder_sigma_mev = 60;
    h.disorder_cells = 5;
    h.disorder_seed = 11;
    h.tsnap_ns = 0.5;
    h.nsnap = 2;
    Trajectory tr;
    tr.id = 7;
    tr.hops = 99;
    tr.r = {0, 0, 0, 1.5, -2.25, 3};
    ExpData d;
    d.mu[0] = 0.125;
    d.mu[3] = 2.5;
    d.err[3] = 0.01;
    d.has_err = true;
    d.notes = {"note"};

    write_pair_values("VL.dat", keys(), {-35.5, 12.25}, "transfer integral (meV)", false, 2);
    write_pair_values("outer.dat", keys(), {40, 41}, "outer", true, 2);
    write_site_values("EL.dat", {0.0, 25.5}, "site energy (meV)");
    write_normal_modes("NM-e.dat", {m, MoleculeModes()});
    write_rate_table("rates.dat", t);
    write_trajectories(trajectory_file_name(7, 1), h, {tr});
    write_exp_data("exp_data.dat", d);
    std::string all;
    for (const char* f : {"VL.dat", "outer.dat", "EL.dat", "NM-e.dat", "rates.dat", "traj-7-7.dat", "exp_data.dat"})
        all += std::string("==> ") + f + " <==\n" + read_file(f);
    // The collectors of exp_data.dat take the third field of its lines 1-4.
    krymo_test::expect_golden(all, "hopsim/run_files.txt");

    EXPECT_EQ(read_pair_values("VL.dat", keys(), false), (std::vector<double>{-35.5, 12.25}));
    EXPECT_EQ(read_pair_values("outer.dat", keys(), true), (std::vector<double>{40, 41}));
    EXPECT_EQ(read_site_values("EL.dat", 2), (std::vector<double>{0.0, 25.5}));
    write_normal_modes("again", read_normal_modes("NM-e.dat", 2));
    EXPECT_EQ(read_file("again"), read_file("NM-e.dat"));
    write_rate_table("again", read_rate_table("rates.dat"));
    EXPECT_EQ(read_file("again"), read_file("rates.dat"));
    const TrajectoryFile f = read_trajectories("traj-7-7.dat");
    write_trajectories("again", f.header, f.trajectories);
    EXPECT_EQ(read_file("again"), read_file("traj-7-7.dat"));
    EXPECT_TRUE(same_run(f.header, h));
    EXPECT_EQ(list_trajectory_files("."), std::vector<std::string>{"traj-7-7.dat"});
    const ExpData e = read_exp_data("exp_data.dat");
    EXPECT_EQ(e.mu[3], 2.5);
    EXPECT_EQ(e.err[3], 0.01);
}

TEST(HopsimFormats, MalformedInputNamesFileAndLine) {
    krymo_test::ScopedStudyDir dir;
    // A pair naming a molecule the cell does not have.
    RateTable bad = krymo_test::hand_table("two_molecule_chain");
    bad.pairs[0].key.nei = 3;
    write_rate_table("bad-rates.dat", bad);
    const std::function<void()> pairs = [] { read_pair_values("VL.dat", keys(), false); };
    const std::function<void()> modes = [] { read_normal_modes("NM-e.dat", 1); };
    double kelvin = 0;
    const struct {
        const char* file;
        const char* text;  // nullptr: as it is
        std::function<void()> read;
        const char* message;
    } cases[] = {
        {"VL.dat", nullptr, pairs, "Cannot open VL.dat"},
        // Rows in another order than the neighbour list.
        {"VL.dat", "# J\n2 1 -1 0 0 1.0\n1 2 0 0 0 1.0\n", pairs, "VL.dat line 2: pair 1 is '2 1 -1 0 0'"},
        {"VL.dat", "1 2 0 0 0 1.0\n2 1 -1 0 0 x\n", pairs, "VL.dat line 2: 'x' is not a number"},
        {"VL.dat", "1 2 0 0 0 1.0\n", pairs, "VL.dat line 2: the file ends here"},
        {"VL.dat", "1 2 0 0 0 1.0\n2 1 -1 0 0 2\n2 1 0 0 0 2\n", pairs, "VL.dat line 3: more rows"},
        {"NM-e.dat", "1\n2 180\n1500 0.5\n-3 0.1\n", modes, "NM-e.dat line 4: frequency (cm^-1) -3 lies outside"},
        {"NM-e.dat", "2\n0 180\n", [] { read_normal_modes("NM-e.dat", 3); },
         "NM-e.dat line 1: 2 molecules, but the unit cell has 3"},
        {"EL.dat", "2\n1 0\n3 5\n", [] { read_site_values("EL.dat", 2); },
         "EL.dat line 3: molecule 3 where 2 was expected"},
        {"charge.inp", "a\n", [] { read_charge_inp("charge.inp"); }, "charge.inp line 1: carrier 'a'"},
        {"temp.inp", "250 C\n", [&] { read_temp_inp("temp.inp", kelvin); },
         "temp.inp line 1: expected '<temperature> K'"},
        {"rates.dat", "carrier e\nratetype hopping\n", [] { read_rate_table("rates.dat"); },
         "rates.dat line 2: ratetype 'hopping'"},
        {"bad-rates.dat", nullptr, [] { read_rate_table("bad-rates.dat"); }, "molecule numbers must lie in 1..2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        if (c.text != nullptr) write_file(c.file, c.text);
        const krymo::FatalError e = krymo_test::expect_fatal(c.read);
        EXPECT_EQ(e.status, 1);
        EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
}
