// Readers and writers of the run-folder files: what the writers write reads back the same, and every
// malformed input stops naming the file and the line.
#include <gtest/gtest.h>

#include "hopsim/formats.h"
#include "test_support.h"

using namespace krymo::hopsim;
using krymo_test::expect_fatal;
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

void expect_message(const std::function<void()>& fn, const std::string& part) {
    const krymo::FatalError e = expect_fatal(fn);
    EXPECT_EQ(e.status, 1);
    EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
}

}  // namespace

TEST(HopsimFormats, WrittenFilesReadBack) {
    krymo_test::ScopedStudyDir dir;
    write_pair_values("VL.dat", keys(), {-35.5, 12.25}, "transfer integral (meV)", false, 2);
    EXPECT_EQ(read_pair_values("VL.dat", keys(), false), (std::vector<double>{-35.5, 12.25}));
    write_pair_values("outer.dat", keys(), {40, 41}, "outer", true, 2);
    EXPECT_EQ(read_pair_values("outer.dat", keys(), true), (std::vector<double>{40, 41}));
    write_site_values("EL.dat", {0.0, 25.5}, "site energy (meV)");
    EXPECT_EQ(read_site_values("EL.dat", 2), (std::vector<double>{0.0, 25.5}));

    MoleculeModes m;
    m.lambda_mev = 185;
    m.modes = {{1580.0, 0.25}, {120.0, 0.9}};
    write_normal_modes("NM-e.dat", {m, MoleculeModes()});
    const std::vector<MoleculeModes> back = read_normal_modes("NM-e.dat", 2);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].modes.size(), 2u);
    EXPECT_EQ(back[0].modes[1].huang_rhys, 0.9);
    EXPECT_TRUE(back[1].modes.empty());
    EXPECT_NEAR(m.modes_lambda_mev(), 0.25 * 1580 * 0.1239841984 + 0.9 * 120 * 0.1239841984, 1e-12);

    RateTable t;
    t.carrier = 'h';
    t.ratetype = "quantum";
    t.sta = 0;
    t.field[1] = 1e7;
    t.cell[0][0] = 8.235;
    t.cell[1][1] = t.cell[2][2] = 6.0;
    t.nmols = 2;
    t.modes = {m, m};
    RatePair p;
    p.key = keys()[1];
    p.dr[0] = -4.1175;
    p.j_mev = 12.5;
    p.rate = 1.234567890123456e12;
    t.pairs = {p};
    write_rate_table("rates.dat", t);
    const std::string first = read_file("rates.dat");
    write_rate_table("again.dat", read_rate_table("rates.dat"));
    EXPECT_EQ(read_file("again.dat"), first);

    TrajectoryHeader h;
    h.cell[0][0] = h.cell[1][1] = h.cell[2][2] = 7.5;
    h.tsnap_ns = 0.5;
    h.nsnap = 2;
    Trajectory tr;
    tr.id = 7;
    tr.hops = 99;
    tr.r = {0, 0, 0, 1.5, -2.25, 3};
    write_trajectories(trajectory_file_name(7, 1), h, {tr});
    EXPECT_EQ(trajectory_file_name(7, 1), "traj-7-7.dat");
    const TrajectoryFile f = read_trajectories("traj-7-7.dat");
    EXPECT_TRUE(same_run(f.header, h));
    EXPECT_EQ(f.trajectories[0].r, tr.r);
    EXPECT_EQ(f.trajectories[0].hops, 99);
    EXPECT_EQ(list_trajectory_files("."), std::vector<std::string>{"traj-7-7.dat"});

    ExpData d;
    d.mu[0] = 0.125;
    d.mu[3] = 2.5;
    d.err[3] = 0.01;
    d.has_err = true;
    d.notes = {"note"};
    write_exp_data("exp_data.dat", d);
    // The ME collectors take the third field of lines 1-4.
    EXPECT_EQ(read_file("exp_data.dat").substr(0, 41), "mu_a  = 1.250000e-01 cm^2/Vs  +- 0.00e+00");
    const ExpData e = read_exp_data("exp_data.dat");
    EXPECT_EQ(e.mu[3], 2.5);
    EXPECT_EQ(e.err[3], 0.01);
}

TEST(HopsimFormats, MalformedInputNamesFileAndLine) {
    krymo_test::ScopedStudyDir dir;
    expect_message([] { read_pair_values("VL.dat", keys(), false); }, "Cannot open VL.dat");
    // Rows in another order than the neighbour list.
    write_file("VL.dat", "# J\n2 1 -1 0 0 1.0\n1 2 0 0 0 1.0\n");
    expect_message([] { read_pair_values("VL.dat", keys(), false); }, "VL.dat line 2: pair 1 is '2 1 -1 0 0'");
    write_file("VL.dat", "1 2 0 0 0 1.0\n2 1 -1 0 0 x\n");
    expect_message([] { read_pair_values("VL.dat", keys(), false); }, "VL.dat line 2: 'x' is not a number");
    write_file("VL.dat", "1 2 0 0 0 1.0\n");
    expect_message([] { read_pair_values("VL.dat", keys(), false); }, "VL.dat line 2: the file ends here");
    write_file("VL.dat", "1 2 0 0 0 1.0\n2 1 -1 0 0 2\n2 1 0 0 0 2\n");
    expect_message([] { read_pair_values("VL.dat", keys(), false); }, "VL.dat line 3: more rows");
    write_file("NM-e.dat", "1\n2 180\n1500 0.5\n-3 0.1\n");
    expect_message([] { read_normal_modes("NM-e.dat", 1); }, "NM-e.dat line 4: frequency (cm^-1) -3 lies outside");
    write_file("NM-e.dat", "2\n0 180\n");
    expect_message([] { read_normal_modes("NM-e.dat", 3); }, "NM-e.dat line 1: 2 molecules, but the unit cell has 3");
    write_file("EL.dat", "2\n1 0\n3 5\n");
    expect_message([] { read_site_values("EL.dat", 2); }, "EL.dat line 3: molecule 3 where 2 was expected");
    write_file("charge.inp", "a\n");
    expect_message([] { read_charge_inp("charge.inp"); }, "charge.inp line 1: carrier 'a'");
    write_file("temp.inp", "250 C\n");
    double t = 0;
    expect_message([&] { read_temp_inp("temp.inp", t); }, "temp.inp line 1: expected '<temperature> K'");
    write_file("rates.dat", "carrier e\nratetype hopping\n");
    expect_message([] { read_rate_table("rates.dat"); }, "rates.dat line 2: ratetype 'hopping'");
    // A pair naming a molecule the cell does not have.
    RateTable bad;
    for (int r = 0; r < 3; ++r) bad.cell[r][r] = 8.0;
    bad.nmols = 2;
    bad.modes.resize(2);
    bad.pairs.resize(1);
    bad.pairs[0].key = keys()[0];
    bad.pairs[0].key.nei = 3;
    write_rate_table("rates.dat", bad);
    expect_message([] { read_rate_table("rates.dat"); }, "molecule numbers must lie in 1..2");
}
