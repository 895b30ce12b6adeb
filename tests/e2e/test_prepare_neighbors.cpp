// The neighbour stages inside a run of krymo_prepare: files, reports, the -rmin option, read mode
// reproducing the computed list (neighbour list and bond file written again).
#include <gtest/gtest.h>

#include <cstdio>

#include "test_support.h"

using krymo_test::path_exists;
using krymo_test::read_file;

TEST(PrepareNeighbors, BenzeneRunWritesTheNeighbourFilesAndReportsAndReadModeReproducesThem) {
    krymo_test::ScopedStudyDir dir;
    auto run = [](const std::string& extra, const std::string& options) {
        krymo_test::write_file("krymo.inp", "&transport\n  crystal = " + krymo_test::data_path("crystals/benzene.cif") +
                                                "\n  lattice_cutoff = 4.0\n  neighbor_scell = 2 2 2\n" + extra + "/\n");
        return krymo_test::run_command(krymo_test::prepare_exe() + options);
    };
    const auto r = run("", " -rmin -verbose");
    ASSERT_EQ(r.status, 0) << r.output;
    // A short run reports no progress, even with -verbose.
    for (const char* stage : {"neighbour list: ", "minimum distances: ", "pair inertia frames: "})
        EXPECT_EQ(r.output.find(stage), std::string::npos) << stage;
    EXPECT_EQ(read_file("data/uc_H.inp"), "21\n21\n21\n21\n");
    const std::string nd = read_file("data/neighbor.dat");
    EXPECT_NE(nd.find("cell index\n4\n1 "), std::string::npos) << nd.substr(0, 200);
    for (const char* s : {"**** KRYMO Build Neighbor List ****", "**** Calculate minimum atomic distance with",
                          "**** Check Duplicate 2mol pairs ****", "**** Check RE Duplicate Molecules in Unit Cell",
                          "  Unit cell molecular indexes:  1 1 1 1\n", "**** Check HL Duplicate Molecules in Unit"})
        EXPECT_NE(r.output.find(s), std::string::npos) << s;
    // Four identical molecules: one bond file, of the representative.
    EXPECT_EQ(read_file("data/mol1_bonds.dat").substr(0, 3), "12\n");
    EXPECT_FALSE(path_exists("data/mol2_bonds.dat"));
    EXPECT_TRUE(path_exists("data/unique_id_map.dat"));
    // Read mode takes the list back from ./neighbor.dat and writes the same file again, as well as the
    // bond file.
    krymo_test::write_file("neighbor.dat", nd);
    std::remove("data/neighbor.dat");
    std::remove("data/mol1_bonds.dat");
    const auto again = run("  read_neighbor_dat = 1\n", " -info false");
    EXPECT_EQ(again.status, 0) << again.output;
    EXPECT_NE(again.output.find("Reading file 'neighbor.dat'\n"), std::string::npos) << again.output;
    EXPECT_EQ(read_file("data/neighbor.dat"), nd);
    EXPECT_TRUE(path_exists("data/mol1_bonds.dat"));
}
