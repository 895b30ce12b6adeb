// The settings echo: the full text of the defaults and of every key set, and its read-back.
#include "golden.h"
#include "settings_probe.h"

using krymo_test::read_file;

namespace {

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
    "sta = 0\ndelta_angle = 5\ntsimu = 500\ntsnap = 2.5\ntstep = 0.5\nnsimu = 100\nmc_error = 0.05\nmc_hops = 2e4\nrate_broadening = 5\niterlimit = 50\n"
    "disorder_sigma = 75\ndisorder_cells = 12\ndisorder_seed = 7\n"
    "nevery_out = 5\nRE_unique_mol = 0\nHL_unique_mol = 0\nhomo_adjustment = 1 -1\nlumo_adjustment = 0 2\n"
    "molecule = 2 m1.mol m2.mol\nlat_site_energy = 1\noutput_level = 3\nkrymo_dat_file = rates.dat\n"
    "output_eigval = 1\ncompute_engine = 1\nscratch = /scratch\neckart_mirror = 1\napp_elec_F = 1e7 0 -2e6\n"
    "reorg_outer = spheres 3.5 34 42\nemultipole_induce = 0\nemultipole_cutoff = 6\nemultipole_aDamp = 0.5\n"
    "emultipole_scale1 = 0.5 1\nemultipole_wSOR_N = 0.6\nemultipole_wSOR_C = 0.7\nemultipole_maxIter = 100\n"
    "emultipole_epsTol = 1e-05\nthinfilm = 1 4\nRE_use_neutral_chk = 1\nRE_calc_lambda_4P = 0\n"
    "V_dynamic_disorder = 1\nHOMOLUMO_dynamic_disorder = 1\ndata_mol_output_level = 9\n"
    "/\n";

}  // namespace

TEST_F(SettingsTest, EchoOfDefaultsAndOfEveryKeyReadsBack) {
    read(section(""));
    ASSERT_TRUE(inp_->write_krymo_inp("config.inp", true, false));
    krymo_test::expect_golden(read_file("data/config.inp"), "settings/default_echo.inp");
    ASSERT_TRUE(inp_->write_krymo_inp("plain.inp", false, false));  // outside the data directory when asked
    EXPECT_EQ(read_file("plain.inp"), read_file("data/config.inp"));

    const std::string first = echo(kEveryKey);
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
    testing::internal::CaptureStdout();
    EXPECT_FALSE(inp.write_krymo_inp("config.inp", true, false));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(read_file("data"), "a file where the directory should be\n");
}
