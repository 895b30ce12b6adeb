// Test access to the settings record.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>

#include "settings/krymo_inp.h"
#include "test_support.h"

struct SettingsProbe : krymo::KrymoInp {
    using KrymoInp::lattice_cutoff, KrymoInp::compute_engine, KrymoInp::HL_unique_pair, KrymoInp::homo_adjustment;
    using KrymoInp::krymo_dat_file, KrymoInp::mater_name, KrymoInp::module_qc;
    using KrymoInp::module_qc_flag, KrymoInp::mol_data_source, KrymoInp::mol_files, KrymoInp::natoms_cif;
    using KrymoInp::nmols_uc, KrymoInp::nodelist, KrymoInp::qc_basis_re, KrymoInp::qc_exe, KrymoInp::qc_method;
    using KrymoInp::qc_method_re, KrymoInp::qc_inp_append, KrymoInp::qc_nodes, KrymoInp::qc_ppn, KrymoInp::queue_name;
    using KrymoInp::ratetype, KrymoInp::RE_unique, KrymoInp::sched_type, KrymoInp::scratch;
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
    // The echo of the record read from `text`; the read's screen report (a crystal's) is dropped.
    std::string echo(const std::string& text) {
        krymo_test::capture_stdout([&] { read(text); });
        EXPECT_TRUE(inp_->write_krymo_inp("echo.inp", false, false));
        return krymo_test::read_file("echo.inp");
    }
    krymo_test::ScopedStudyDir dir_;
    std::unique_ptr<SettingsProbe> inp_;
};
