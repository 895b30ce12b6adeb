// The settings echo: the full text of the defaults and of every key set, and its read-back.
#include "golden.h"
#include "settings_probe.h"

using krymo_test::read_file;

TEST_F(SettingsTest, EchoOfDefaultsAndOfEveryKeyReadsBack) {
    read(section(""));
    ASSERT_TRUE(inp_->write_krymo_inp("config.inp", true, false));
    krymo_test::expect_golden(read_file("data/config.inp"), "settings/default_echo.inp");
    ASSERT_TRUE(inp_->write_krymo_inp("plain.inp", false, false));  // outside the data directory when asked
    EXPECT_EQ(read_file("plain.inp"), read_file("data/config.inp"));

    // Every key set to a value other than its default (molecule mode, so no crystal is read).
    const std::string first = echo(read_file(krymo_test::data_path("settings/every_key.inp")));
    krymo_test::expect_golden(first, "settings/every_key_echo.inp");
    // module_mpich2 is not echoed, so the blank line after module_qc comes back in the second echo.
    std::string expected = first;
    const std::string mod = "! module load gaussian/g09.e01\n";
    expected.insert(expected.find(mod) + mod.size(), "\n");
    EXPECT_EQ(echo(first), expected);
}

TEST_F(SettingsTest, EchoOfTheOtherOuterForms) {
    const std::pair<const char*, const char*> cases[] = {
        {"reorg_outer = dielectric 2.5 12\n", "  reorg_outer     = dielectric 2.5 12    ! cutoff in Angstroms\n"},
        {"lat_site_energy = 1\n", "  emultipole_induce  = 1      ! default to 1 (true)\n"},
        {"reorg_outer = constant 0.2\n", "  reorg_outer     = constant 0.2    !  in eV\n"}};
    for (const auto& [body, line] : cases) EXPECT_NE(echo(section(body)).find(line), std::string::npos) << body;
}

TEST_F(SettingsTest, UnwritableDataDirectoryIsSkippedQuietly) {
    krymo_test::write_file("data", "a file where the directory should be\n");  // fails even for root
    SettingsProbe inp;
    EXPECT_EQ(krymo_test::capture_stdout([&] { EXPECT_FALSE(inp.write_krymo_inp("config.inp", true, false)); }), "");
    EXPECT_EQ(read_file("data"), "a file where the directory should be\n");
}
