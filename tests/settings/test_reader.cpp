// Reading krymo.inp: section and comment rules, quotes, aliases, lists, precedence and every
// rejected value with its message and status; the settings echo and its read-back.
#include <map>
#include <regex>
#include <sstream>
#include <tuple>

#include "golden.h"
#include "settings_probe.h"
#include "util/text.h"

using krymo_test::read_file;

TEST_F(SettingsTest, HeaderCommentAndQuoteRules) {
    const std::pair<std::string, const char*> cases[] = {
        {"&TRANSPORT\nQC_EXE = g16\n/\n", "g16"},
        {"&Transport\n  qc_exe = 'g16'\n/\n", "g16"},
        {"&transport!note\ngaussian_exe = \"g16\"\n/\n", "g16"},
        {"&transport !note\nqc_exe = g16\n/\n", "g16"},
        {"&transport\n! qc_exe = bad\n# qc_exe = bad\n/\n", "g09"},
    };
    for (const auto& [text, exe] : cases) EXPECT_EQ(read(text).qc_exe, exe) << text;
    // A value is cut at "!" or "#"; "/" ends the section and keys after it wait for another header.
    SettingsProbe& t = read("&transport\nqueue_name = a ! the queue\nqc_exe = g16#c\n/\nqueue_name = b\n"
                            "&transport\nqc_ppn = 3\n/\n");
    EXPECT_EQ(std::make_tuple(t.queue_name, t.qc_exe, t.qc_ppn), std::make_tuple("a", "g16", 3));
    // Known names in any case are stored in their canonical spelling (the name reaches folder names).
    EXPECT_EQ(read(section("ratetype = MARCUS\n")).ratetype, "marcus");
    // Raw append sections keep their lines untrimmed; several sections add up.
    EXPECT_EQ(read("&transport\n/\n&gaussian.append\n  extra 1 \n/\n&QC_INP_APPEND\n$rem\n/\n").qc_inp_append,
              "  extra 1 \n$rem\n");
}

TEST_F(SettingsTest, OrderListsAndEngine) {
    // The basis sets both bases, so the RE basis given before it is overwritten.
    EXPECT_EQ(read(section("basis_name_re = 3-21G\nbasis_name = 6-31G\n")).qc_basis_re, "6-31G");
    // Lists add up over repeated lines; a repeated molecule list replaces the earlier one.
    SettingsProbe& c = read(section("homo_adjustment = 1 0\nhomo_adjustment = 1\t0\n"
                                    "molecule = 2 a.mol b.mol\nmolecule = 1\tc.mol\n"));
    EXPECT_EQ(c.homo_adjustment, (std::vector<int>{1, 0, 1, 0}));
    EXPECT_EQ(c.mol_files, (std::vector<std::string>{"c.mol"}));
    EXPECT_EQ(std::make_tuple(c.nmols_uc, c.mol_data_source), std::make_tuple(1, 1));
    EXPECT_EQ(read(section("compute_engine = 2\n")).qc_exe, "fullpath/orca");
    EXPECT_EQ(read(section("compute_engine = 3\nqc_exe = /opt/qchem/bin/qchem\n")).compute_engine, 3);
    // psi4 runs from PATH by default, in either order of the keys, unless the program is named.
    EXPECT_EQ(read(section("compute_engine = 4\n")).qc_exe, "psi4");
    EXPECT_EQ(read(section("qc_exe = /opt/psi4/bin/psi4\ncompute_engine = 4\n")).qc_exe, "/opt/psi4/bin/psi4");
    // The RE method follows qc_method wherever that is given, unless it is given itself.
    EXPECT_EQ(read(section("qc_method = pbe0\n")).qc_method_re, "pbe0");
    SettingsProbe& r = read(section("qc_method_re = 'm06'\nqc_method = pbe0\n"));
    EXPECT_EQ(std::make_pair(r.qc_method, r.qc_method_re), std::make_pair(std::string("pbe0"), std::string("m06")));
}

TEST_F(SettingsTest, CrystalSettingsApplyInEitherOrderAndAreEchoedBeforeTheCrystal) {
    // The brick-work cell has 120 sites: both alternative positions of one disordered arm per molecule.
    const std::string crystal = "crystal = " + krymo_test::data_path("crystals/tipge_pentacene_bw.cif") + "\n";
    const struct {
        std::string body;
        int natoms;
        const char* echoed;
    } cases[] = {
        {crystal, 100, "major"},
        {"disorder = all\n" + crystal, 120, "all"},
        {crystal + "disorder = ALL\n", 120, "all"},
        {"disorder = all\n" + crystal + "disorder = major\n", 100, "major"},
    };
    for (const auto& c : cases) {
        const std::string text = echo(section(c.body));
        EXPECT_EQ(inp_->natoms_cif, c.natoms) << c.body;
        const size_t at = text.find(std::string("  disorder           = ") + c.echoed + "    ! ");
        EXPECT_NE(at, std::string::npos) << text;
        EXPECT_LT(at, text.find("  crystal            = "));
        EXPECT_EQ(text.find("allow_"), std::string::npos);  // echoed only when given
    }
    // The crystal checks' settings, too, apply wherever they stand.
    const std::string noh = "crystal = " + krymo_test::data_path("structure/no_hydrogens.cif") + "\n";
    const std::string allow = "allow_missing_hydrogens = 1\ncif_block = noh\n";
    for (const std::string& body : {noh + allow, allow + noh}) {
        const std::string text = echo(section(body));
        EXPECT_EQ(inp_->natoms_cif, 2) << body;
        EXPECT_NE(text.find("  cif_block          = noh\n  allow_missing_hydrogens = 1\n  crystal "), std::string::npos)
            << text;
    }
    EXPECT_EQ(read_fails(section(noh)).status, 1);
}

TEST_F(SettingsTest, PrecedenceEnvironmentFileAndAliases) {
    // The defaults are the echo's golden file.
    for (const auto& [name, value] : {std::pair<const char*, const char*>{"KRYMO_JOB_SCHED", "slurm"},
                                      {"KRYMO_QC_NODES", " 3"}, {"KRYMO_QC_PPN", "16"}, {"KRYMO_MODULE_QC", ""},
                                      {"KRYMO_QC_EXE", "g16"}})
        setenv(name, value, 1);
    SettingsProbe& e = read(section("qc_exe = g03\n"));
    EXPECT_EQ(std::make_tuple(e.sched_type, e.qc_nodes, e.qc_ppn, e.module_qc_flag, e.module_qc, e.qc_exe),
              std::make_tuple("slurm", 3, 16, true, "", "g03"));  // the file wins over the environment's g16

    SettingsProbe& f = read(section("queue_type = LSF\nnodelist = n1,n2\nratetype = marcus\nHL_unique_mol = 0\n"
                                    "krymo_dat_file = rates.dat\n"));
    EXPECT_EQ(std::make_tuple(f.sched_type, f.nodelist, f.krymo_dat_file, f.HL_unique_pair, f.RE_unique),
              std::make_tuple("LSF", "n1 n2", "rates.dat", false, true));

    // Aliases share the rule of their key (most reach the echo's golden file); a 3000-character value
    // stays one line (its tail is not a key); a scratch path is trimmed, since a blank in front breaks
    // "SCRDIR=<scratch>/..." lines.
    const std::string longval = std::string(3000, 'x') + "=y";
    SettingsProbe& s = read(section("module_gaussian = g/16\nscratch = /scratch/me  \nmater_name = " + longval + "\n"));
    EXPECT_EQ(std::make_tuple(s.module_qc, s.module_qc_flag, s.scratch, s.mater_name),
              std::make_tuple("g/16", true, "/scratch/me", longval));
}

TEST_F(SettingsTest, EachBadValueStopsNamingItsKeyLineAndWhatIsExpected) {
    // Each line of the list after a good first line, and the stop it causes.
    std::string stops;
    std::istringstream lines(krymo_test::read_file(krymo_test::data_path("settings/bad_values.txt")));
    for (std::string line; std::getline(lines, line);) {
        stops += line + "\n";
        if (line[0] == '#') continue;
        const krymo::FatalError e = read_fails(section("qc_exe = g16\n" + line + "\n"));
        stops += krymo::format_string("  status %d (%s): ", e.status, e.unit.c_str()) + e.out_text;
    }
    krymo_test::expect_golden(stops, "settings/bad_values.txt");
    // Validation stops at the bad line: a later unknown key is never seen.
    EXPECT_EQ(read_fails(section("chargetype = q\nbogus = 1\n")).status, 1);
    // Scheduler names in any case; blanks around numbers are fine.
    SettingsProbe& s = read(section("sched_type = SLURM\nqc_ppn =  16  \nlattice_cutoff = 5.\n"));
    EXPECT_EQ(std::make_tuple(s.sched_type, s.qc_ppn, s.lattice_cutoff), std::make_tuple("SLURM", 16, 5.0));
    // A mistyped environment override stops too, naming the variable.
    setenv("KRYMO_JOB_SCHED", "sge", 1);
    EXPECT_NE(read_fails(section("")).out_text.find("KRYMO_JOB_SCHED: \"sge\""), std::string::npos);
    setenv("KRYMO_JOB_SCHED", "pbs", 1);
    setenv("KRYMO_QC_PPN", "16cores", 1);
    EXPECT_NE(read_fails(section("")).out_text.find("KRYMO_QC_PPN: \"16cores\""), std::string::npos);
}

TEST_F(SettingsTest, ScanWithoutAUsableStepOrTemperatureStops) {
    // A zero step is a number: the scan check after the read names it and its line (temperatures that
    // are no numbers are rows of the bad-values listing).
    const krymo::FatalError e = read_fails(section("do_transport_run_MC_temp = 1\ndelta_temp = 0\n"));
    EXPECT_EQ(std::make_tuple(e.unit, e.status), std::make_tuple("krymo_inp", 1));
    EXPECT_EQ(e.out_text.rfind("Invalid value of delta_temp in krymo.inp, line 3: ", 0), 0u) << e.out_text;
    EXPECT_NE(e.out_text.find("do_transport_*_temp"), std::string::npos) << e.out_text;
    // Without a scan the step is never used, and a negative step scans downwards.
    read("&transport\ndelta_temp = 0\n/\n&transport\ndo_transport_run_MC_temp = 0\n/\n");
    read(section("do_transport_run_MC_temp = 1\nstart_temp = 300\nend_temp = 200\ndelta_temp = -50\n"));
}

TEST(InputKeys, TheReadmeTableListsEveryKeyWithItsAliases) {
    // README rows "| `key` | `alias`, `alias` | ..." of the key table, in any order.
    const std::string readme = krymo_test::read_file(krymo_test::source_dir() + "/README.md");
    const size_t from = readme.find("\nEvery key");
    std::istringstream table(readme.substr(from, readme.find("\n## ", from) - from));
    const std::regex quoted("`([^`]+)`");
    std::map<std::string, std::vector<std::string>> documented;
    for (std::string line; std::getline(table, line);) {
        if (line.rfind("| `", 0) != 0) continue;
        const std::string names_cells = line.substr(0, line.find('|', line.find('|', 1) + 1));
        std::vector<std::string> names;
        for (std::sregex_iterator m(names_cells.begin(), names_cells.end(), quoted), end; m != end; ++m)
            names.push_back((*m)[1]);
        EXPECT_TRUE(documented.emplace(names[0], std::vector<std::string>(names.begin() + 1, names.end())).second)
            << "listed twice: " << names[0];
    }
    std::map<std::string, std::vector<std::string>> read;
    for (const auto& names : krymo::KrymoInp::input_keys())
        read.emplace(names[0], std::vector<std::string>(names.begin() + 1, names.end()));
    EXPECT_EQ(documented, read);
}

TEST_F(SettingsTest, CutEmptyBinaryOrMisspelledFilesAreRefusedAndRepeatedKeysWarned) {
    const struct {
        std::string text;
        int status;
        const char* message;
    } cases[] = {
        {"", 1, "krymo.inp holds no &transport section (the file is empty)"},
        {"qc_exe = g16\n", 1, "krymo.inp holds no &transport section:"},
        {"&transport\n  qc_exe = g16\n  qc_ppn = 4\n", 1,
         "The &transport section of krymo.inp (line 1) has no closing line starting with \"/\": the file ends at line 3"},
        {section("") + "&qc_inp_append\n%mem=1GB\n", 1, "The &qc_inp_append section of krymo.inp (line 3)"},
        {"&transport\n  qc_exe = g16\x01\x02\n/\n", 1, "krymo.inp line 2 holds the control byte 0x01"},
        {std::string("&transport\n/\n\0\x89PNG", 18), 1, "krymo.inp line 3 holds the control byte 0x00"},
        {"&transprot\n  qc_exe = g16\n/\n", 1,
         "\nUnknown section \"&transprot\" in file krymo.inp!!!\n  on line 1\nDid you mean \"&transport\"?\n\n"},
        {section("compute_engine = 2\nqc_exe = g09\n"), 1,
         "Incomptiable settings:\n  The compute_engine = 2, while qc_exe is set to g09\n"},
        {section("qc_nodes = 2147483647\nqc_ppn = 8\n"), 1,
         "qc_nodes = 2147483647 (line 2) times qc_ppn = 8 (line 3) in krymo.inp gives 17179869176 cores per job"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const krymo::FatalError e = read_fails(c.text);
        EXPECT_EQ(e.status, c.status);
        EXPECT_EQ(e.out_text.rfind(c.message, 0), 0u) << e.out_text;
    }
    // A key given twice (by an alias too) is named with both lines; lists add up without a warning.
    const std::string out = krymo_test::capture_stdout(
        [&] { read(section("gaussian_ppn = 4\nhomo_adjustment = 1\nqc_ppn = 6\nhomo_adjustment = 2\n")); });
    EXPECT_EQ(inp_->qc_ppn, 6);
    EXPECT_EQ(out, "WARNING: krymo.inp sets qc_ppn twice: line 2 (gaussian_ppn) and line 4 (qc_ppn); the value of "
                   "line 4 is used.\n");
}

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
