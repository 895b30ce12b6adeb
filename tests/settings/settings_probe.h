// Test access to the settings record.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>

#include "settings/krymo_inp.h"
#include "test_support.h"

struct SettingsProbe : krymo::KrymoInp {
    using KrymoInp::app_elec_F_flag, KrymoInp::lattice_cutoff, KrymoInp::compute_engine, KrymoInp::HL_unique_pair, KrymoInp::HL_unique_uc_mol;
    using KrymoInp::homo_adjustment, KrymoInp::krymo_dat_file, KrymoInp::latt_vectors, KrymoInp::mater_name;
    using KrymoInp::module_qc, KrymoInp::module_qc_flag, KrymoInp::mol_data_source, KrymoInp::mol_files;
    using KrymoInp::natoms_cif, KrymoInp::nmols_uc, KrymoInp::nodelist, KrymoInp::qc_basis, KrymoInp::qc_basis_re;
    using KrymoInp::qc_exe, KrymoInp::qc_method, KrymoInp::qc_method_re, KrymoInp::qc_inp_append, KrymoInp::qc_nodes, KrymoInp::qc_ppn, KrymoInp::queue_name;
    using KrymoInp::ratetype, KrymoInp::RE_calc_lambda_4P, KrymoInp::RE_unique, KrymoInp::RE_use_neutral_chk;
    using KrymoInp::read_neighbor_dat, KrymoInp::reorg_outer_cutoff, KrymoInp::reorg_outer_epsilon;
    using KrymoInp::reorg_outer_radii, KrymoInp::reorg_outer_type, KrymoInp::sched_type, KrymoInp::scratch;
    using KrymoInp::thinfilm_dir, KrymoInp::thinfilm_flag, KrymoInp::thinfilm_ncell;
};

// Reads krymo.inp texts in a fresh study folder, with the environment variables the reader
// consults cleared so that the host cannot leak into a test.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* v : {"KRYMO_JOB_SCHED", "KRYMO_JOB_QUEUE", "KRYMO_QC_EXE", "KRYMO_QC_NODES", "KRYMO_QC_PPN",
                              "KRYMO_MODULE_QC"})
            unsetenv(v);
    }
    void TearDown() override { SetUp(); }
    static std::string section(const std::string& body) { return "&transport\n" + body + "/\n"; }
    SettingsProbe& read(const std::string& text) {
        krymo_test::write_file("krymo.inp", text);
        inp_.reset(new SettingsProbe);
        inp_->read_krymo_inp("krymo.inp", false);
        return *inp_;
    }
    krymo::FatalError read_fails(const std::string& text) {
        krymo_test::write_file("krymo.inp", text);
        inp_.reset(new SettingsProbe);
        return krymo_test::expect_fatal([&] { inp_->read_krymo_inp("krymo.inp", false); });
    }
    // The echo of the record read from `text`.
    std::string echo(const std::string& text) {
        read(text);
        EXPECT_TRUE(inp_->write_krymo_inp("echo.inp", false, false));
        return krymo_test::read_file("echo.inp");
    }
    krymo_test::ScopedStudyDir dir_;
    std::unique_ptr<SettingsProbe> inp_;
};
