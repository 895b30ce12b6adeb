// Set-up shared by the whole-study tests: the naphthalene study prepared by krymo_prepare, the stub
// programs with some real tools among them, and stub couplings written through the library.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "hopsim/formats.h"
#include "hopsim/hopsim_support.h"
#include "hopsim/study.h"
#include "test_support.h"
#include "workflow_stubs.h"

// The generated scripts are Python: without python3 there is nothing to run.
#define KRYMO_NEED_PYTHON3()                                        \
    if (krymo_test::run_command(krymo_test::python3_exe() + " -c pass").status != 0) \
    GTEST_SKIP() << "python3 is not installed"

namespace krymo_test {

// The naphthalene crystal and a krymo.inp of `settings` in the working folder, prepared by krymo_prepare.
inline CommandResult prepare_naphthalene(const std::string& settings) {
    write_file("naphthalene.cif", read_file(data_path("crystals/naphthalene.cif")));
    write_file("krymo.inp", "&transport\n  crystal = naphthalene.cif\n" + settings + "/\n");
    return run_command(prepare_exe() + " -info false");
}

// Links for install_stubs to the real executables named hopsim_<tool>.exe or qcpost_<tool>.exe.
inline std::vector<std::pair<std::string, std::string>> real_tools(const std::vector<std::string>& names) {
    std::vector<std::pair<std::string, std::string>> links;
    for (const std::string& n : names)
        links.emplace_back(n, (n.rfind("hopsim_", 0) == 0 ? KRYMO_HOPSIM_DIR : KRYMO_QCPOST_DIR) + ("/" + n));
    return links;
}

// The environment that puts ./stubs first on PATH, logs every stub call in calls.log and, with `data`,
// lets the stubs hand on what lies in stubs/data.
inline std::string stub_env(const std::string& dir, bool data = false) {
    return "KRYMO_STUB_LOG='" + dir + "/calls.log' " + (data ? "KRYMO_STUB_DATA='" + dir + "/stubs/data' " : "") +
           "PATH='" + dir + "/stubs':\"$PATH\" ";
}

// Couplings of the prepared study's pairs, j0 meV at 5 Angstrom, written as a pair-value file.
inline void write_couplings(const std::string& path, double j0 = 10.0) {
    krymo::hopsim::RunFolder f;
    f.load();
    krymo::hopsim::write_pair_values(path, f.pairs(), distance_couplings(f, j0), "transfer integral (meV)", false, 2);
}

}  // namespace krymo_test
