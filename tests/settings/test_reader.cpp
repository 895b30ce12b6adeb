// Reading krymo.inp: section and comment rules, quotes, aliases, lists, precedence and every
// rejected value with its message and status.
#include <map>
#include <sstream>
#include <tuple>

#include "settings_probe.h"

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
    EXPECT_EQ(t.queue_name, "a");
    EXPECT_EQ(t.qc_exe, "g16");
    EXPECT_EQ(t.qc_ppn, 3);
    // Quotes stay in values that are checked against a list.
    krymo::FatalError e = read_fails(section("ratetype = 'marcus'\n"));
    EXPECT_EQ(e.status, 1);
    EXPECT_NE(e.out_text.find("Invalid value of ratetype in krymo.inp, line 2: \"'marcus'\""), std::string::npos)
        << e.out_text;
    // Only the known names, in any case, stored in their canonical spelling: the name reaches folder
    // names and scripts, so a longer word that merely starts with one is refused.
    EXPECT_EQ(read(section("ratetype = Quantum\n")).ratetype, "quantum");
    EXPECT_EQ(read(section("ratetype = MARCUS\n")).ratetype, "marcus");
    for (const char* bad : {"quan", "Quantum-x", "marcus;touch x", "quantum x"})
        EXPECT_EQ(read_fails(section(std::string("ratetype = ") + bad + "\n")).status, 1) << bad;
    // Raw append sections keep their lines untrimmed; several sections add up.
    EXPECT_EQ(read("&transport\n/\n&gaussian.append\n  extra 1 \n/\n&QC_INP_APPEND\n$rem\n/\n").qc_inp_append,
              "  extra 1 \n$rem\n");
}

TEST_F(SettingsTest, BasisOrderListsAndRepeatedKeys) {
    SettingsProbe& a = read(section("qc_basis = 6-31G\nqc_basis_re = 3-21G\n"));
    EXPECT_EQ(a.qc_basis, "6-31G");
    EXPECT_EQ(a.qc_basis_re, "3-21G");
    EXPECT_EQ(read(section("basis_name_re = 3-21G\nbasis_name = 6-31G\n")).qc_basis_re, "6-31G");
    SettingsProbe& c = read(section("homo_adjustment = 1 0\nhomo_adjustment = 1\t0\n"
                                    "molecule = 2 a.mol b.mol\nmolecule = 1\tc.mol\n"));
    EXPECT_EQ(c.homo_adjustment, (std::vector<int>{1, 0, 1, 0}));
    EXPECT_EQ(c.mol_files, (std::vector<std::string>{"c.mol"}));
    EXPECT_EQ(std::make_tuple(c.nmols_uc, c.mol_data_source), std::make_tuple(1, 1));
}

TEST_F(SettingsTest, FlagsThinfilmReorgOuterAndField) {
    SettingsProbe& s = read(section("RE_calc_lambda_4P = 0\nRE_use_neutral_chk = 0\nread_neighbor_dat = 2\n"
                                    "thinfilm = 2 3\nreorg_outer = Spheres 3.5 34 42\napp_elec_F = 0 0 -1e5\n"));
    EXPECT_FALSE(s.RE_calc_lambda_4P);  // a written 0 switches the four-point jobs off
    EXPECT_FALSE(s.RE_use_neutral_chk);
    EXPECT_TRUE(s.read_neighbor_dat);
    EXPECT_EQ(std::make_tuple(s.thinfilm_flag, s.thinfilm_dir, s.thinfilm_ncell), std::make_tuple(true, 2, 3));
    EXPECT_EQ(std::make_tuple(s.reorg_outer_type, s.get_reorg_outer_flag(), s.reorg_outer_epsilon),
              std::make_tuple(2, 2, 3.5));
    ASSERT_EQ(s.reorg_outer_radii.size(), 2u);
    EXPECT_DOUBLE_EQ(s.reorg_outer_radii[1], 4.2);
    EXPECT_TRUE(s.app_elec_F_flag);
    SettingsProbe& d = read(section("reorg_outer = dielectric 2.5 12\n"));
    EXPECT_EQ(d.reorg_outer_type, 3);
    EXPECT_DOUBLE_EQ(d.reorg_outer_cutoff, 1.2);
}

TEST_F(SettingsTest, EngineAndExecutableConsistency) {
    EXPECT_EQ(read(section("compute_engine = 2\n")).qc_exe, "fullpath/orca");
    EXPECT_EQ(read(section("compute_engine = 3\nqc_exe = /opt/qchem/bin/qchem\n")).compute_engine, 3);
    // psi4 runs from PATH by default, in either order of the keys, unless the program is named.
    EXPECT_EQ(read(section("compute_engine = 4\n")).qc_exe, "psi4");
    EXPECT_EQ(read(section("qc_exe = /opt/psi4/bin/psi4\ncompute_engine = 4\n")).qc_exe, "/opt/psi4/bin/psi4");
    EXPECT_EQ(read_fails(section("compute_engine = 4\nqc_exe = g16\n")).status, 1);
    EXPECT_EQ(read_fails(section("compute_engine = 3\n")).status, 1);
    // The RE method follows qc_method wherever that is given, unless it is given itself.
    SettingsProbe& m = read(section("qc_method = pbe0\n"));
    EXPECT_EQ(m.qc_method_re, "pbe0");
    SettingsProbe& r = read(section("qc_method_re = 'm06'\nqc_method = pbe0\n"));
    EXPECT_EQ(std::make_pair(r.qc_method, r.qc_method_re), std::make_pair(std::string("pbe0"), std::string("m06")));
}

TEST_F(SettingsTest, InvalidValuesStopWithTheirMessageAndStatus) {
    const struct {
        const char* line;
        int status;
        const char* message;
    } cases[] = {
        {"compute_engine = 2\nqc_exe = g09", 1,
         "Incomptiable settings:\n  The compute_engine = 2, while qc_exe is set to g09\n"
         "  1 - Gaussian, 2 - ORCA, 3 - QCHEM, 4 - psi4\n"},
        // A value error names the line as a key error does.
        {"chargetype = holes", 1, "Invalid value of chargetype in krymo.inp, line 2: \"holes\"\n  expected one of 'e', "
                                  "'h', 'a'\n"},
        {"no_such_key = 1", 255, "\nUnknown parameter \"no_such_key\" in file krymo.inp!!!\n  on line 2\n\n"},
        // A close spelling is suggested, aliases included; two equally close keys suggest neither.
        {"Lattice_Cutof = 4", 255,
         "\nUnknown parameter \"Lattice_Cutof\" in file krymo.inp!!!\n  on line 2\nDid you mean \"lattice_cutoff\"?\n\n"},
        {"gausian_ppn = 4", 255,
         "\nUnknown parameter \"gausian_ppn\" in file krymo.inp!!!\n  on line 2\nDid you mean \"gaussian_ppn\"?\n\n"},
        {"do_transport_run_M = 1", 255,
         "\nUnknown parameter \"do_transport_run_M\" in file krymo.inp!!!\n  on line 2\n\n"},
    };
    for (const auto& c : cases) {
        krymo::FatalError e = read_fails(section(c.line + std::string("\n")));
        EXPECT_EQ(e.status, c.status) << c.line;
        EXPECT_EQ(e.out_text, c.message) << c.line;
        EXPECT_EQ(e.unit, "krymo_inp");
    }
    // Validation stops at the bad line: a later unknown key is never seen.
    EXPECT_EQ(read_fails(section("chargetype = q\nbogus = 1\n")).status, 1);
    // Incomplete values name their key.
    for (const char* line : {"molecule = 3 a.mol b.mol", "molecule = two a.mol", "molecule = 0",
                             "reorg_outer = constant", "reorg_outer = spheres 3.5", "reorg_outer = dielectric 2",
                             "reorg_outer = constant x", "thinfilm = 1", "thinfilm = a b", "thinfilm = 1 2x", "thinfilm = 1 0", "disorder = minor",
                             "molecule = 2 ../mol12_bonds.dat b.mol", "molecule = 2 a.mol ./a.mol"}) {
        krymo::FatalError e = read_fails(section(line + std::string("\n")));
        EXPECT_EQ(e.status, 1) << line;
        const std::string key(line, std::string(line).find(' '));
        EXPECT_NE(e.out_text.find("Invalid value of " + key + " in krymo.inp"), std::string::npos) << e.out_text;
    }
    krymo::FatalError e = krymo_test::expect_fatal([&] { SettingsProbe().read_krymo_inp("nothere.inp", false); });
    EXPECT_EQ(e.status, 255);
    EXPECT_EQ(e.out_text, "Failed to open input file: nothere.inp\n");
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
        testing::internal::CaptureStdout();
        const std::string text = echo(section(c.body));
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(inp_->natoms_cif, c.natoms) << c.body;
        const size_t at = text.find(std::string("  disorder           = ") + c.echoed + "    ! ");
        EXPECT_NE(at, std::string::npos) << text;
        EXPECT_LT(at, text.find("  crystal            = "));
        EXPECT_EQ(text.find("allow_"), std::string::npos);  // echoed only when given
    }
    // The crystal checks' settings, too, apply wherever they stand.
    krymo_test::ScopedStudyDir dir;
    std::istringstream real(krymo_test::read_file(krymo_test::data_path("crystals/naphthalene.cif")));
    std::string no_h;
    for (std::string l; std::getline(real, l);)
        if (l.compare(0, 3, "H H") != 0) no_h += l + "\n";
    krymo_test::write_file("noh.cif", no_h);
    const std::string allow = "allow_missing_hydrogens = 1\ncif_block = 2100603\n";
    for (const std::string& body : {"crystal = noh.cif\n" + allow, allow + "crystal = noh.cif\n"}) {
        testing::internal::CaptureStdout();
        const std::string text = echo(section(body));
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(inp_->natoms_cif, 20) << body;
        EXPECT_NE(text.find("  cif_block          = 2100603\n  allow_missing_hydrogens = 1\n  crystal "),
                  std::string::npos)
            << text;
    }
    EXPECT_EQ(read_fails(section("crystal = noh.cif\n")).status, 1);
}

TEST_F(SettingsTest, PrecedenceEnvironmentFileAndAliases) {
    // The defaults are the echo's golden file.
    setenv("KRYMO_JOB_SCHED", "slurm", 1);
    setenv("KRYMO_QC_NODES", " 3", 1);
    setenv("KRYMO_QC_PPN", "16", 1);
    setenv("KRYMO_MODULE_QC", "", 1);
    setenv("KRYMO_QC_EXE", "g16", 1);
    SettingsProbe& e = read(section("qc_exe = g03\n"));
    EXPECT_EQ(std::make_tuple(e.sched_type, e.qc_nodes, e.qc_ppn, e.module_qc_flag, e.module_qc),
              std::make_tuple("slurm", 3, 16, true, ""));
    EXPECT_EQ(e.qc_exe, "g03");  // the file wins over the environment

    SettingsProbe& f = read(section("queue_type = lsf\nnodelist = n1,n2\nratetype = marcus\nHL_unique_mol = 0\n"
                                    "krymo_dat_file = rates.dat\n"));
    EXPECT_EQ(std::make_tuple(f.sched_type, f.nodelist, f.krymo_dat_file),
              std::make_tuple("lsf", "n1 n2", "rates.dat"));
    EXPECT_FALSE(f.HL_unique_pair);
    EXPECT_TRUE(f.RE_unique);

    // Aliases share the rule of their key; a 3000-character value stays one line (its tail is not a
    // key); a scratch path is trimmed, since a blank in front breaks "SCRDIR=<scratch>/..." lines.
    const std::string longval(3000, 'x');
    SettingsProbe& s = read(section("module_gaussian = g/16\nmemory = 100\ngaussian_nodes = 3\ngaussian_ppn = 4\n"
                                    "lat_cutoff = 6\nnei_scell = 1 2 3\nsuper-cell = 2 2 2\nscratch = /scratch/me   \n"
                                    "mater_name = " + longval + "=y\n"));
    EXPECT_EQ(std::make_tuple(s.module_qc, s.module_qc_flag, s.qc_nodes, s.qc_ppn),
              std::make_tuple("g/16", true, 3, 4));
    EXPECT_EQ(s.scratch, "/scratch/me");
    EXPECT_EQ(s.mater_name, longval + "=y");
    // Keys match whatever their case.
    SettingsProbe& t = read(section("VECTOR_A = 9 0.5 -1e1\n"));
    EXPECT_DOUBLE_EQ(t.latt_vectors[0][0], 9.0);
    EXPECT_DOUBLE_EQ(t.latt_vectors[0][2], -10.0);
}

TEST_F(SettingsTest, ValuesAreReadWholeAndInRange) {
    // Each mistyped or impossible value names its key, the file and the line, with status 1.
    const std::pair<const char*, const char*> cases[] = {
        {"lattice_cutoff = four", "a finite distance above 0"},
        {"lat_cutoff = 4.0x", "a finite distance above 0"},
        {"lattice_cutoff = 0", "a finite distance above 0"},
        {"lattice_cutoff = inf", "a finite distance above 0"},
        {"bond_dis_scale = 3.5", "at most 3"},
        {"sched_job_array = yes", "0 (off) or 1 (on)"},
        {"RE_use_neutral_chk = on", "0 (off) or 1 (on)"},
        {"sched_type = sge", "pbs, slurm, lsf or local"},
        {"qc_ppn = -16", "at least 1"},
        {"gaussian_nodes = 0", "at least 1"},
        {"qc_memory = 4GB", "at least 1"},
        {"nsimu = 2e3", "at least 1"},
        {"mc_error = -0.01", "a relative error of at least 0"},
        {"mc_hops = 0", "a number of hops above 0"},
        {"rate_broadening = -5", "a width of at least 0 (meV)"},
        {"delta_angle = 0", "an angle step above 0 and at most 360 degrees"},
        {"field_scan = 1e5 -1e6", "field strengths above 0 (V/m)"},
        {"disorder_sigma = -1", "a width of at least 0 and at most 10000 (meV)"},
        {"disorder_cells = 0", "at least 1"},
        {"disorder_seed = -3", "at least 0"},
        {"job_slot_limit = -1", "at least 0"},
        {"neighbor_scell = 3 3", "three integers of at least 0"},
        {"nei_scell = 3 -1 3", "three integers of at least 0"},
        {"super_cell = 5 5 5 5", "three integers of at least 1"},
        {"vector_b = 0 nan 0", "three numbers"},
        {"vector_a = 0.5 0.5 0", "a lattice vector of 1 to 100000 Angstrom"},
        {"vector_c = 0 0 1e300", "a lattice vector of 1 to 100000"},
        {"nei_scell = 3 51 3", "three integers of at least 0 and at most 50"},
        {"lumo_adjustment = 0 2147483647", "integers from -1000000 to 1000000"},
        {"homo_adjustment = 0 -1 one", "integers"},
        {"compute_engine = two", "1 (Gaussian), 2 (ORCA), 3 (Q-Chem) or 4 (psi4)"},
        {"compute_engine = 5", "or 4 (psi4)"},
        {"job_walltime = 0", "at least 1"},
        {"qc_nodes = 99999999999", "at least 1"},
        {"temp = 0", "a finite number above 0"},
        {"maxt = -1", "a finite number above 0"},
        {"tsimu = -1e3", "a finite number above 0"},
        {"tsnap = 0", "a finite number above 0"},
        {"reorg_outer = constant -0.1", "constant <energy in eV, at least 0>"},
        {"reorg_outer = cubes 1", "a method constant, spheres or dielectric"},
        {"evc_type = polar", "one of 'cart', 'int'"},
        {"thinfilm = 3 1", "a direction of 0, 1 or 2"},
        // The rate file is written in the run folder by name: never elsewhere, never over an input.
        {"krymo_dat_file = ../../x", "a plain file name"},
        {"krymo_dat_file = /tmp/rates.dat", "a plain file name"},
        {"krymo_dat_file = VL.dat", "VL.dat is read or written by the hopping tools"},
        {"krymo_dat_file = krymo.inp", "krymo.inp is read"},
        {"krymo_dat_file = traj-0-9.dat", "traj-*.dat is read"},
    };
    for (const auto& [line, expected] : cases) {
        SCOPED_TRACE(line);
        const krymo::FatalError e = read_fails(section(std::string("qc_exe = g16\n") + line + "\n"));
        EXPECT_EQ(e.status, 1);
        const std::string key = std::string(line).substr(0, std::string(line).find(' '));
        EXPECT_EQ(e.out_text.rfind("Invalid value of " + key + " in krymo.inp, line 3: ", 0), 0u) << e.out_text;
        EXPECT_NE(e.out_text.find(expected), std::string::npos) << e.out_text;
    }
    // Scheduler names in any case; blanks around numbers are fine.
    SettingsProbe& s = read(section("sched_type = SLURM\nqc_ppn =  16  \nlattice_cutoff = 5.\n"));
    EXPECT_EQ(std::make_tuple(s.sched_type, s.qc_ppn, s.lattice_cutoff), std::make_tuple("SLURM", 16, 5.0));
    // A mistyped environment override stops too, naming the variable.
    setenv("KRYMO_JOB_SCHED", "sge", 1);
    EXPECT_NE(read_fails(section("")).out_text.find("KRYMO_JOB_SCHED: \"sge\""), std::string::npos);
    setenv("KRYMO_JOB_SCHED", "pbs", 1);
    setenv("KRYMO_QC_PPN", "16cores", 1);
    EXPECT_NE(read_fails(section("")).out_text.find("KRYMO_QC_PPN: \"16cores\""), std::string::npos);
    unsetenv("KRYMO_QC_PPN");
    unsetenv("KRYMO_JOB_SCHED");
}

TEST(InputKeys, TheReadmeTableListsEveryKeyWithItsAliases) {
    // README rows "| `key` | `alias`, `alias` | ..." of the key table, in any order.
    std::istringstream readme(krymo_test::read_file(krymo_test::source_dir() + "/README.md"));
    std::map<std::string, std::vector<std::string>> documented;
    bool in_table = false;
    for (std::string line; std::getline(readme, line);) {
        if (line.rfind("Every key", 0) == 0) in_table = true;
        else if (line.rfind("## ", 0) == 0) in_table = false;
        if (!in_table || line.rfind("| `", 0) != 0) continue;
        std::vector<std::string> cells;
        for (size_t a = 1, b; (b = line.find('|', a)) != std::string::npos; a = b + 1) cells.push_back(line.substr(a, b - a));
        ASSERT_GE(cells.size(), 5u) << line;
        std::vector<std::string> names;
        for (const std::string& cell : {cells[0], cells[1]})
            for (size_t a = cell.find('`'); a != std::string::npos; a = cell.find('`', cell.find('`', a + 1) + 1))
                names.push_back(cell.substr(a + 1, cell.find('`', a + 1) - a - 1));
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
    testing::internal::CaptureStdout();
    SettingsProbe& s = read(section("gaussian_ppn = 4\nhomo_adjustment = 1\nqc_ppn = 6\nhomo_adjustment = 2\n"));
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(s.qc_ppn, 6);
    EXPECT_EQ(out, "WARNING: krymo.inp sets qc_ppn twice: line 2 (gaussian_ppn) and line 4 (qc_ppn); the value of "
                   "line 4 is used.\n");
}
