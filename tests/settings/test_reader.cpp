#include <gtest/gtest.h>
#include <stdlib.h>

#include "settings_probe.h"
#include "test_support.h"

using krymo_test::expect_fatal;
using krymo_test::ScopedStudyDir;
using krymo_test::write_file;

namespace {

// Environment variables the reader consults; cleared so the host cannot leak into a test.
const char* const kEnvVars[] = {"KRYMO_JOB_SCHED", "KRYMO_JOB_QUEUE", "KRYMO_QC_EXE",
                                "KRYMO_QC_NODES",  "KRYMO_QC_PPN",    "KRYMO_MODULE_QC"};

class Reader : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* v : kEnvVars) unsetenv(v);
    }
    void TearDown() override {
        for (const char* v : kEnvVars) unsetenv(v);
    }
    // Reads `text` as krymo.inp into a fresh record.
    SettingsProbe& read(const std::string& text) {
        write_file("krymo.inp", text);
        inp_.reset(new SettingsProbe);
        inp_->read_krymo_inp("krymo.inp", false);
        return *inp_;
    }
    krymo::FatalError read_fails(const std::string& text) {
        write_file("krymo.inp", text);
        inp_.reset(new SettingsProbe);
        return expect_fatal([&] { inp_->read_krymo_inp("krymo.inp", false); });
    }
    ScopedStudyDir dir_;
    std::unique_ptr<SettingsProbe> inp_;
};

}  // namespace

TEST_F(Reader, HeaderCaseAndCommentRules) {
    EXPECT_EQ(read("&TRANSPORT\nQC_EXE = g16\n/\n").qc_exe, "g16");
    EXPECT_EQ(read("&Transport\n  qc_exe = g16\n/\n").qc_exe, "g16");
    EXPECT_EQ(read("&transport!note\nqc_exe = g16\n/\n").qc_exe, "g16");
    // A blank before the comment stays after trimming, so the header does not match.
    EXPECT_EQ(read("&transport !note\nqc_exe = g16\n/\n").qc_exe, "g09");
    EXPECT_EQ(read("qc_exe = g16\n").qc_exe, "g09");  // no section at all
    // Comments: whole lines and trailing parts; a value is cut at "!" or "#".
    SettingsProbe& s = read("&transport\n! qc_exe = bad\n# qc_exe = bad\nqueue_name = fast ! the queue\n"
                            "qc_method = hf#comment\n/\n");
    EXPECT_EQ(s.queue_name, "fast");
    EXPECT_EQ(s.qc_exe, "g09");
    // "/" ends the section; keys after it wait for another header.
    SettingsProbe& t = read("&transport\nqueue_name = a\n/\nqueue_name = b\n&transport\nqc_ppn = 3\n/\n");
    EXPECT_EQ(t.queue_name, "a");
    EXPECT_EQ(t.qc_ppn, 3);
}

TEST_F(Reader, QuoteRulesAndAppendSections) {
    EXPECT_EQ(read("&transport\nqc_exe = 'g16'\n/\n").qc_exe, "g16");
    EXPECT_EQ(read("&transport\ngaussian_exe = \"g16\"\n/\n").qc_exe, "g16");
    krymo::FatalError e = read_fails("&transport\nratetype = 'marcus'\n/\n");
    EXPECT_EQ(e.status, 1);
    EXPECT_EQ(e.out_text,
              "The current ratetype in krymo.inp is ''marcus'', \nwhile the supported ratetype's are: marcus, quantum\n");
    EXPECT_EQ(read("&transport\nratetype = Quantum-x\n/\n").ratetype, "Quantum-x");
    EXPECT_EQ(read_fails("&transport\nratetype = quan\n/\n").status, 1);
    // Raw append sections keep their lines untrimmed; several sections add up; an open one ends at EOF.
    SettingsProbe& s = read("&gaussian.append\n  extra 1 \n/\n&QC_INP_APPEND\n$rem\n/\n&qc_inp_append\nlast\n");
    EXPECT_EQ(s.qc_inp_append, "  extra 1 \n$rem\nlast\n");
}

TEST_F(Reader, BasisOrderListsAndRepeatedKeys) {
    SettingsProbe& a = read("&transport\nqc_basis = 6-31G\nqc_basis_re = 3-21G\n/\n");
    EXPECT_EQ(a.qc_basis, "6-31G");
    EXPECT_EQ(a.qc_basis_re, "3-21G");
    SettingsProbe& b = read("&transport\nbasis_name_re = 3-21G\nbasis_name = 6-31G\n/\n");
    EXPECT_EQ(b.qc_basis_re, "6-31G");
    SettingsProbe& c = read("&transport\nhomo_adjustment = 1 0\nhomo_adjustment = 1\t0\n"
                            "molecule = 2 a.mol b.mol\nmolecule = 1\tc.mol\n/\n");
    EXPECT_EQ(c.homo_adjustment, (std::vector<int>{1, 0, 1, 0}));
    EXPECT_EQ(c.mol_files, (std::vector<std::string>{"c.mol"}));
    EXPECT_EQ(c.nmols_uc, 1);
    EXPECT_EQ(c.mol_data_source, 1);
}

TEST_F(Reader, FlagsThinfilmReorgOuterAndField) {
    SettingsProbe& s = read("&transport\nRE_calc_lambda_4P = 0\nRE_use_neutral_chk = 0\nread_neighbor_dat = 2\n"
                            "thinfilm = 2 3\nreorg_outer = Spheres 3.5 34 42\napp_elec_F = 0 0 -1e5\n/\n");
    EXPECT_FALSE(s.RE_calc_lambda_4P);  // a written 0 switches the four-point jobs off
    EXPECT_FALSE(s.RE_use_neutral_chk);
    EXPECT_TRUE(s.read_neighbor_dat);
    EXPECT_TRUE(s.thinfilm_flag);
    EXPECT_EQ(s.thinfilm_dir, 2);
    EXPECT_EQ(s.thinfilm_ncell, 3);
    EXPECT_EQ(s.reorg_outer_type, 2);
    EXPECT_DOUBLE_EQ(s.reorg_outer_epsilon, 3.5);
    ASSERT_EQ(s.reorg_outer_radii.size(), 2u);
    EXPECT_DOUBLE_EQ(s.reorg_outer_radii[1], 4.2);
    EXPECT_EQ(s.get_reorg_outer_flag(), 2);
    EXPECT_TRUE(s.app_elec_F_flag);
    SettingsProbe& d = read("&transport\nreorg_outer = dielectric 2.5 12\n/\n");
    EXPECT_EQ(d.reorg_outer_type, 3);
    EXPECT_DOUBLE_EQ(d.reorg_outer_cutoff, 1.2);
}

TEST_F(Reader, EngineAndExecutableConsistency) {
    SettingsProbe& o = read("&transport\ncompute_engine = 2\n/\n");
    EXPECT_EQ(o.qc_exe, "fullpath/orca");
    krymo::FatalError e = read_fails("&transport\ncompute_engine = 2\nqc_exe = g09\n/\n");
    EXPECT_EQ(e.status, 1);
    EXPECT_EQ(e.unit, "krymo_inp");
    EXPECT_EQ(e.out_text,
              "Incomptiable settings:\n  The compute_engine = 2, while qc_exe is set to g09\n"
              "  1 - Gaussian, 2 - ORCA, 3 - QCHEM\n");
    EXPECT_EQ(read_fails("&transport\ncompute_engine = 3\n/\n").status, 1);
    EXPECT_EQ(read("&transport\ncompute_engine = 3\nqc_exe = /opt/qchem/bin/qchem\n/\n").compute_engine, 3);
    // Other engine values pass here; the driver rejects them after the structure files are written.
    EXPECT_EQ(read("&transport\ncompute_engine = 4\n/\n").compute_engine, 4);
}

TEST_F(Reader, InvalidValuesStopWithTheirMessageAndStatus) {
    struct Case {
        const char* line;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {"chargetype = x", 1, "The current chargetype in krymo.inp is 'x', \nwhile the supported chargetype's are: "
                              "'e', 'h', 'a'\n"},
        {"evc_type = polar", 1, "The current evc_type in krymo.inp is 'polar', \nwhile the supported evc_type's are: "
                                "'cart', 'int'\n"},
        {"thinfilm = 3 1", 255, "\nthinfilm dir not in range [0-2]: \"3 1\n\n"},
        {"reorg_outer = cubes 1", 255, "\nUnknown reorg_outer method \"cubes\" in file krymo.inp!!!\n\n"},
        {"no_such_key = 1", 255, "\nUnknown parameter \"no_such_key\" in file krymo.inp!!!\n\n"},
    };
    for (const Case& c : cases) {
        krymo::FatalError e = read_fails(std::string("&transport\n") + c.line + "\n/\n");
        EXPECT_EQ(e.status, c.status) << c.line;
        EXPECT_EQ(e.out_text, c.message) << c.line;
        EXPECT_EQ(e.unit, "krymo_inp");
    }
    // Validation stops at the bad line: a later unknown key is never seen.
    EXPECT_EQ(read_fails("&transport\nchargetype = q\nbogus = 1\n/\n").status, 1);
}

TEST_F(Reader, IncompleteValuesAreRejectedNamingTheKey) {
    const char* lines[] = {"molecule = 3 a.mol b.mol", "molecule = two a.mol", "molecule = 0",
                           "reorg_outer = constant",   "reorg_outer = spheres 3.5", "reorg_outer = dielectric 2",
                           "reorg_outer = constant x", "thinfilm = 1",             "thinfilm = a b",
                           "disorder = minor"};
    for (const char* line : lines) {
        krymo::FatalError e = read_fails(std::string("&transport\n") + line + "\n/\n");
        EXPECT_EQ(e.status, 1) << line;
        std::string key(line, std::string(line).find(' '));
        EXPECT_NE(e.out_text.find("Invalid value of " + key + " in krymo.inp"), std::string::npos) << e.out_text;
    }
}

TEST_F(Reader, DisorderAppliesInEitherOrderAndIsEchoedBeforeTheCrystal) {
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
        SettingsProbe& s = read("&transport\n" + c.body + "/\n");
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(s.natoms_cif, c.natoms) << c.body;
        ASSERT_TRUE(s.write_krymo_inp("echo.inp", false, false));
        const std::string echo = krymo_test::read_file("echo.inp");
        const size_t at = echo.find(std::string("  disorder           = ") + c.echoed + "    ! ");
        EXPECT_NE(at, std::string::npos) << echo;
        EXPECT_LT(at, echo.find("  crystal            = "));
    }
}

TEST_F(Reader, MissingFileAndLongLines) {
    inp_.reset(new SettingsProbe);
    krymo::FatalError e = expect_fatal([&] { inp_->read_krymo_inp("nothere.inp", false); });
    EXPECT_EQ(e.status, 255);
    EXPECT_EQ(e.out_text, "Failed to open input file: nothere.inp\n");
    // A 3000-character value stays one line: its tail must not be read as a key of its own.
    std::string longval(3000, 'x');
    SettingsProbe& s = read("&transport\nmater_name = " + longval + "=y\n/\n");
    EXPECT_EQ(s.mater_name, longval + "=y");
}

TEST_F(Reader, PrecedenceDefaultsEnvironmentFile) {
    SettingsProbe& d = read("&transport\n/\n");
    EXPECT_EQ(d.sched_type, "pbs");
    EXPECT_EQ(d.qc_nodes, 1);
    EXPECT_EQ(d.krymo_dat_file, "krymo-quantum.dat");
    EXPECT_TRUE(d.HL_unique_uc_mol && d.HL_unique_pair && d.RE_unique);
    EXPECT_FALSE(d.module_qc_flag);

    setenv("KRYMO_JOB_SCHED", "slurm", 1);
    setenv("KRYMO_QC_NODES", "lots", 1);
    setenv("KRYMO_QC_PPN", "16cores", 1);
    setenv("KRYMO_MODULE_QC", "", 1);
    setenv("KRYMO_QC_EXE", "g16", 1);
    SettingsProbe& e = read("&transport\nqc_exe = g03\n/\n");
    EXPECT_EQ(e.sched_type, "slurm");
    EXPECT_EQ(e.qc_nodes, 0);
    EXPECT_EQ(e.qc_ppn, 16);
    EXPECT_TRUE(e.module_qc_flag);
    EXPECT_EQ(e.module_qc, "");
    EXPECT_EQ(e.qc_exe, "g03");  // the file wins over the environment

    SettingsProbe& f = read("&transport\nqueue_type = lsf\nnodelist = n1,n2\nratetype = marcus\n"
                            "HL_unique_mol = 0\nkrymo_dat_file = rates.dat\n/\n");
    EXPECT_EQ(f.nodelist, "n1 n2");
    EXPECT_EQ(f.krymo_dat_file, "rates.dat");
    EXPECT_FALSE(f.HL_unique_pair);
    EXPECT_TRUE(f.RE_unique);
}

TEST_F(Reader, ScratchPathIsTrimmed) {
    // A blank kept in front would break "SCRDIR=<scratch>/..." lines of the job scripts.
    EXPECT_EQ(read("&transport\nscratch = /scratch/me   \n/\n").scratch, "/scratch/me");
}

TEST_F(Reader, AliasesShareTheRuleOfTheirKey) {
    SettingsProbe& s = read("&transport\nmodule_gaussian = g/16\ngaussian_exe = g16\nmemory = 100\n"
                            "gaussian_nodes = 3\ngaussian_ppn = 4\nqueue_type = local\nlat_cutoff = 6\n"
                            "nei_scell = 1 2 3\nsuper-cell = 2 2 2\n/\n");
    EXPECT_EQ(s.module_qc, "g/16");
    EXPECT_TRUE(s.module_qc_flag);
    EXPECT_EQ(s.qc_exe, "g16");
    EXPECT_EQ(s.qc_nodes, 3);
    EXPECT_EQ(s.qc_ppn, 4);
    EXPECT_EQ(s.sched_type, "local");
    // Keys match whatever their case; values of 3-int keys that do not scan keep earlier values.
    SettingsProbe& t = read("&transport\nVECTOR_A = 9 x\n/\n");
    EXPECT_DOUBLE_EQ(t.latt_vectors[0][0], 9.0);
    EXPECT_DOUBLE_EQ(t.latt_vectors[0][1], 0.0);
}
