// Readers and writers of the run-folder files: what the readers read the writers write back to the
// same bytes, and every malformed input stops naming the file and the line.
#include <gtest/gtest.h>

#include "hopsim_support.h"

using namespace krymo::hopsim;
using namespace krymo_test;

static const std::vector<PairKey> kKeys = {{1, 2, {0, 0, 0}}, {2, 1, {-1, 0, 0}}};

TEST(HopsimFormats, EveryFileReadsAndWritesBackToTheSameBytes) {
    // The files under tests/data/hopsim/formats fix each layout; the collectors of exp_data.dat take
    // the third field of its lines 1-4.
    ScopedStudyDir dir;
    const std::string in = data_path("hopsim/formats/");
    write_pair_values("VL.dat", kKeys, read_pair_values(in + "VL.dat", kKeys, false), "transfer integral (meV)", false,
                      2);
    write_pair_values("outer.dat", kKeys, read_pair_values(in + "outer.dat", kKeys, true), "outer", true, 2);
    write_site_values("EL.dat", read_site_values(in + "EL.dat", 2), "site energy (meV)");
    const std::vector<MoleculeModes> modes = read_normal_modes(in + "NM-e.dat", 2);
    write_normal_modes("NM-e.dat", modes);
    write_rate_table("rates.dat", read_rate_table(in + "rates.dat"));
    const TrajectoryFile f = read_trajectories(in + "traj-7-7.dat");
    write_trajectories(trajectory_file_name(7, 1), f.header, f.trajectories);
    write_exp_data("exp_data.dat", read_exp_data(in + "exp_data.dat"));
    for (const char* name : {"VL.dat", "outer.dat", "EL.dat", "NM-e.dat", "rates.dat", "traj-7-7.dat", "exp_data.dat"})
        EXPECT_EQ(read_file(name), read_file(in + name)) << name;
    EXPECT_EQ(list_trajectory_files("."), std::vector<std::string>{"traj-7-7.dat"});
    EXPECT_NEAR(modes[0].modes_lambda_mev(), (0.35 * 1580 + 0.4 * 760 + 3.0 * 120) * 0.1239841984, 1e-12);
}

TEST(HopsimFormats, MalformedInputNamesFileAndLine) {
    ScopedStudyDir dir;
    // A pair naming a molecule the cell does not have.
    RateTable bad = hand_table("two_molecule_chain");
    bad.pairs[0].key.nei = 3;
    write_rate_table("bad-rates.dat", bad);
    const std::function<void()> pairs = [] { read_pair_values("VL.dat", kKeys, false); };
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
        {"NM-e.dat", "1\n2 180\n1500 0.5\n-3 0.1\n", [] { read_normal_modes("NM-e.dat", 1); },
         "NM-e.dat line 4: frequency (cm^-1) -3 lies outside"},
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
        const krymo::FatalError e = expect_fatal(c.read);
        EXPECT_EQ(e.status, 1);
        EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
}
