// Runs of the krymo_prepare executable itself: exit statuses and screen text.
#include <gtest/gtest.h>

#include "test_support.h"

using krymo_test::prepare_exe;
using krymo_test::run_command;
using krymo_test::ScopedStudyDir;

TEST(PrepareBinary, VersionHelpAndMissingConfigEndWithStatusZero) {
    ScopedStudyDir dir;
    auto v = run_command(prepare_exe() + " --version");
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.output.rfind("KRYMO version ", 0), 0u);
    auto h = run_command(prepare_exe() + " -h");
    EXPECT_EQ(h.status, 0);
    EXPECT_NE(h.output.find("Prepare Data and Directories for Transport Calculation\n\nUsage: krymo_prepare [opts]"),
              std::string::npos);
    auto m = run_command(prepare_exe() + " -config nothere.inp");
    EXPECT_EQ(m.status, 0);
    EXPECT_EQ(m.output, "ERROR: krymo_prepare input config file nothere.inp not found!\n");
}

TEST(PrepareBinary, ReaderErrorsBecomeExitStatuses) {
    ScopedStudyDir dir;
    auto none = run_command(prepare_exe());  // default krymo.inp absent: the reader reports it
    EXPECT_EQ(none.status, 255);
    EXPECT_NE(none.output.find("\nERROR  transport : krymo_inp : line "), std::string::npos);
    EXPECT_NE(none.output.find("Failed to open input file: krymo.inp\n"), std::string::npos);
    krymo_test::write_file("krymo.inp", "&transport\nunknown_key = 1\n/\n");
    auto unk = run_command(prepare_exe() + " -info false");
    EXPECT_EQ(unk.status, 255);
    EXPECT_NE(unk.output.find("Unknown parameter \"unknown_key\" in file krymo.inp!!!"), std::string::npos);
    auto last = run_command(prepare_exe() + " -trackdir");
    EXPECT_EQ(last.status, 1);
    EXPECT_NE(last.output.find("-trackdir"), std::string::npos);
}
