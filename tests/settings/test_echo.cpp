#include <gtest/gtest.h>
#include <stdlib.h>

#include "settings_probe.h"
#include "test_support.h"

using krymo_test::read_file;
using krymo_test::ScopedStudyDir;
using krymo_test::write_file;

namespace {

// The echo of a record that holds only defaults, written out line by line.
const char* const kDefaultEcho =
    "&transport\n"
    "  do_transport_prepare              = 1\n"
    "  do_transport_submit_HL_job        = 1\n"
    "  do_transport_get_transferintegral = 1\n"
    "  do_transport_submit_RE_job        = 1\n"
    "  do_transport_get_re_evc           = 1\n"
    "  do_transport_run_MC               = 1\n"
    "  do_transport_get_mob_MC           = 1\n"
    "  do_transport_run_MC_temp          = 0\n"
    "  do_transport_get_mob_MC_temp      = 0\n"
    "  do_transport_run_ME               = 0\n"
    "  do_transport_get_mob_ME           = 0\n"
    "  do_transport_run_ME_temp          = 0\n"
    "  do_transport_get_mob_ME_temp      = 0\n"
    "  do_transport_gather_krymo_data    = 1\n"
    "\n"
    "  # Job Scheduling\n"
    "  sched_type      = pbs    ! pbs, slurm, lsf, or local\n"
    "  queue_name      = workq\n"
    "  nodelist        = \"\"\n"
    "  sched_job_array = 1\n"
    "  job_slot_limit  = 0     ! 0 means no limit\n"
    "\n"
    "  qc_method       = b3lyp\n"
    "  qc_basis        = b3lyp STO-3g\n"
    "  qc_basis_re     = b3lyp STO-3g\n"
    "  qc_memory       = 4096  ! MB\n"
    "  qc_nodes        = 1\n"
    "  qc_ppn          = 8\n"
    "\n"
    "  compute_engine  = 1     ! 1 = Gaussian, 2 = ORCA, 3 = QCHEM\n"
    "  qc_exe          = g09\n"
    "\n"
    "  scratch         = /tmp    ! use local disk for performance\n"
    "\n"
    "  # Temperature Dependence\n"
    "  start_temp      = 200\n"
    "  end_temp        = 300\n"
    "  delta_temp      = 50\n"
    "\n"
    "  chargetype      = a     ! e:electron, h:hole or a:all\n"
    "  evc_type        = cart  ! cart or int\n"
    "  use_evc_dint    = 0     ! default 0 to use evc.cart.dat\n"
    "\n"
    "  vector_a        =     8.098000     0.000000     0.000000\n"
    "  vector_b        =     0.000000     5.953000     0.000000\n"
    "  vector_c        =    -4.888095     0.000000     7.138882\n"
    "\n"
    "  lattice_cutoff  = 4  ! for neighbor list construction\n"
    "  neighbor_scell  = 3 3 3  ! -/+ this value for neighbor search cells\n"
    "\n"
    "  super_cell      = 5 5 5\n"
    "\n"
    "  # reorg_outer     = spheres 0.1 3.4 4.2\n"
    "\n"
    "  # lat_site_energy = 0  ! if calculate lattice site energy\n"
    "\n"
    "  # emultipole_induce  = 1  ! default to 1\n"
    "  # emultipole_cutoff  = 4  ! default to 4.0\n"
    "  # emultipole_aDamp   = 0.39  ! default to 0.39\n"
    "  # emultipole_wSOR_N  = 0.75  ! default to 0.75\n"
    "  # emultipole_wSOR_C  = 0.75  ! default to 0.75\n"
    "  # emultipole_maxIter = 512   ! default to 512\n"
    "  # emultipole_epsTol  = 0.001  ! default to 0.001\n"
    "\n"
    "  krymo_dat_file  = krymo-quantum.dat  ! default to krymo-ratetype.dat\n"
    "  output_level    = 2          ! bit-wise setting: 0-base, 2-mob_all\n"
    "\n"
    "  eckart_mirror   = 0\n"
    "\n"
    "  delta_angle     = 10\n"
    "\n"
    "  # Femi Golden Rule\n"
    "  temp            = 300\n"
    "  maxt            = 10000\n"
    "  ratetype        = quantum  ! marcus, quantum\n"
    "  sta             = 1  ! short-time approximation\n"
    "\n"
    "  # MC\n"
    "  nsimu           = 2000\n"
    "  tsimu           = 1000  ! in ns\n"
    "  tsnap           = 5\n"
    "\n"
    "  # ME\n"
    "  iterlimit       = 100\n"
    "  nevery_out      = 10\n"
    "\n"
    "  bond_dis_scale       = 1.15  ! distance scale for separating molecules\n"
    "  HL_unique_ctrl_ratio = 0.05  ! eigenvalue diff ratio for judging unique dipoles\n"
    "  read_neighbor_dat    = 0     ! readin neighbor.dat\n"
    "\n"
    "  # homo_adjustment = 0 0...   ! nmols_uc values\n"
    "  # lumo_adjustment = 0 0...   ! nmols_uc values\n"
    "\n"
    "  # applied electric field (Fx, Fy, FZ) along vector a, b, and c.\n"
    "  # app_elec_F      = 1e7 0.0 0.0    ! in eV/m\n"
    "\n"
    "  # thinfilm        = 0 1      ! dir nUnitcell\n"
    "\n"
    "  # unique mol flags\n"
    "  HL_unique_mol      = 1\n"
    "  use_moo            = 0\n"
    "\n"
    "  RE_unique_mol      = 1\n"
    "  RE_use_neutral_chk = 0\n"
    "  RE_calc_lambda_4P  = 1\n"
    "\n"
    "  V_dynamic_disorder = 0\n"
    "  HOMOLUMO_dynamic_disorder = 0\n"
    "\n"
    "  data_mol_output_level = 1\n"
    "  output_eigval         = 0\n"
    "\n"
    "/\n";

// Every key set to a value other than its default (molecule mode, so no crystal is read).
const char* const kEveryKey =
    "&transport\n"
    "do_transport_prepare = 0\ndo_transport_submit_HL_job = 0\ndo_transport_get_transferintegral = 0\n"
    "do_transport_submit_RE_job = 0\ndo_transport_get_re_evc = 0\ndo_transport_run_MC = 0\n"
    "do_transport_get_mob_MC = 0\ndo_transport_run_MC_temp = 1\ndo_transport_get_mob_MC_temp = 1\n"
    "do_transport_run_ME = 1\ndo_transport_get_mob_ME = 1\ndo_transport_run_ME_temp = 1\n"
    "do_transport_get_mob_ME_temp = 1\ndo_transport_gather_krymo_data = 0\n"
    "mater_name = 'pentacene'\nmodule_mpich2 = mpich/3.4\nmodule_qc = gaussian/g16.c01\nqc_exe = g16\n"
    "memory = 8000\ngaussian_nodes = 2\ngaussian_ppn = 16\nqc_method = wb97xd\nbasis_name = 6-31G(d)\n"
    "basis_name_re = 6-311G\nuse_moo = 1\nqueue_name = long\nqueue_type = slurm\nsched_job_array = 0\n"
    "nodelist = n01,n02\njob_slot_limit = 12\nstart_temp = 100\nend_temp = 400\ndelta_temp = 25\n"
    "chargetype = h\nevc_type = int\nuse_evc_dint = 1\nvector_a = 10 0 0\nvector_b = 0 11 0\n"
    "vector_c = 1.5 0 12\nlat_cutoff = 5.5\nnei_scell = 2 1 4\nsuper-cell = 7 8 9\nbond_dis_scale = 1.2\n"
    "HL_unique_ctrl_ratio = 0.02\nread_neighbor_dat = 1\ntemp = 250\nmaxt = 20000\nratetype = marcus\n"
    "sta = 0\ndelta_angle = 5\ntsimu = 500\ntsnap = 2.5\ntstep = 0.5\nnsimu = 100\niterlimit = 50\n"
    "nevery_out = 5\nRE_unique_mol = 0\nHL_unique_mol = 0\nhomo_adjustment = 1 -1\nlumo_adjustment = 0 2\n"
    "molecule = 2 m1.mol m2.mol\nlat_site_energy = 1\noutput_level = 3\nkrymo_dat_file = rates.dat\n"
    "output_eigval = 1\ncompute_engine = 1\nscratch = /scratch\neckart_mirror = 1\napp_elec_F = 1e7 0 -2e6\n"
    "reorg_outer = spheres 3.5 34 42\nemultipole_induce = 0\nemultipole_cutoff = 6\nemultipole_aDamp = 0.5\n"
    "emultipole_scale1 = 0.5 1\nemultipole_wSOR_N = 0.6\nemultipole_wSOR_C = 0.7\nemultipole_maxIter = 100\n"
    "emultipole_epsTol = 1e-05\nthinfilm = 1 4\nRE_use_neutral_chk = 1\nRE_calc_lambda_4P = 0\n"
    "V_dynamic_disorder = 1\nHOMOLUMO_dynamic_disorder = 1\ndata_mol_output_level = 9\n"
    "/\n";

class Echo : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* v : {"KRYMO_JOB_SCHED", "KRYMO_JOB_QUEUE", "KRYMO_QC_EXE", "KRYMO_QC_NODES", "KRYMO_QC_PPN",
                              "KRYMO_MODULE_QC"})
            unsetenv(v);
    }
    ScopedStudyDir dir_;
};

}  // namespace

TEST_F(Echo, DefaultsGiveTheFullExpectedText) {
    write_file("krymo.inp", "&transport\n/\n");
    SettingsProbe inp;
    inp.read_krymo_inp("krymo.inp", false);
    ASSERT_TRUE(inp.write_krymo_inp("config.inp", true, false));
    EXPECT_EQ(read_file("data/config.inp"), kDefaultEcho);
    // Outside the data directory when asked.
    ASSERT_TRUE(inp.write_krymo_inp("plain.inp", false, false));
    EXPECT_EQ(read_file("plain.inp"), kDefaultEcho);
}

TEST_F(Echo, EveryKeyReadsBackToTheSameEcho) {
    write_file("krymo.inp", kEveryKey);
    SettingsProbe first;
    first.read_krymo_inp("krymo.inp", false);
    ASSERT_TRUE(first.write_krymo_inp("first.inp", false, false));
    const std::string echo1 = read_file("first.inp");
    EXPECT_NE(echo1.find("  RE_calc_lambda_4P  = 0\n"), std::string::npos);
    EXPECT_NE(echo1.find("  reorg_outer     = spheres 3.5 34 42    ! radius in Angstroms\n"), std::string::npos);
    EXPECT_NE(echo1.find("  app_elec_F      =      1e+07          0     -2e+06    ! in eV/m\n"), std::string::npos);
    EXPECT_NE(echo1.find("  emultipole_scale1 = 0.5 1\n"), std::string::npos);
    EXPECT_NE(echo1.find("  thinfilm          = 1 4\n"), std::string::npos);
    EXPECT_NE(echo1.find("  molecule           = 2 m1.mol m2.mol\n/\n"), std::string::npos);
    EXPECT_NE(echo1.find("  module_qc       = gaussian/g16.c01    ! module load gaussian/g09.e01\n  # Temp"),
              std::string::npos);  // no blank line after the module when the MPI module was given
    EXPECT_NE(echo1.find("  nodelist        = \"n01,n02\"\n"), std::string::npos);
    EXPECT_NE(echo1.find("  scratch         = /scratch    !"), std::string::npos);

    SettingsProbe second;
    second.read_krymo_inp("first.inp", false);
    ASSERT_TRUE(second.write_krymo_inp("second.inp", false, false));
    // module_mpich2 is not echoed, so the blank line after module_qc comes back in the second echo.
    std::string expected = echo1;
    const std::string mod = "! module load gaussian/g09.e01\n";
    expected.insert(expected.find(mod) + mod.size(), "\n");
    EXPECT_EQ(read_file("second.inp"), expected);
}

TEST_F(Echo, DielectricAndConstantOuterForms) {
    write_file("krymo.inp", "&transport\nreorg_outer = dielectric 2.5 12\nlat_site_energy = 1\n/\n");
    SettingsProbe a;
    a.read_krymo_inp("krymo.inp", false);
    a.write_krymo_inp("a.inp", false, false);
    const std::string ta = read_file("a.inp");
    EXPECT_NE(ta.find("  reorg_outer     = dielectric 2.5 12    ! cutoff in Angstroms\n"), std::string::npos);
    EXPECT_NE(ta.find("  emultipole_induce  = 1      ! default to 1 (true)\n"), std::string::npos);
    write_file("krymo.inp", "&transport\nreorg_outer = constant 0.2\n/\n");
    SettingsProbe b;
    b.read_krymo_inp("krymo.inp", false);
    b.write_krymo_inp("b.inp", false, false);
    EXPECT_NE(read_file("b.inp").find("  reorg_outer     = constant 0.2    !  in eV\n"), std::string::npos);
}

TEST_F(Echo, UnwritableDataDirectoryIsSkippedQuietly) {
    write_file("data", "a file where the directory should be\n");  // fails even for root
    SettingsProbe inp;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(inp.write_krymo_inp("config.inp", true, false));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(read_file("data"), "a file where the directory should be\n");
}
