// Normal-mode analysis on real engine Hessians and on hand-built molecules with known answers.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "qcpost/frequency_jobs.h"
#include "qcpost/internal_coords.h"
#include "qcpost/normal_modes.h"
#include "test_support.h"

using namespace krymo::qcpost;
using krymo_test::data_path;
using krymo_test::read_file;

namespace {

// The numbers after `mark` on every line that carries it, in file order.
std::vector<double> printed_numbers(const std::string& text, const std::string& mark) {
    std::vector<double> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const size_t at = line.find(mark);
        if (at == std::string::npos) continue;
        std::istringstream rest(line.substr(at + mark.size()));
        double v;
        while (rest >> v) out.push_back(v);
    }
    return out;
}

// ORCA's $vibrational_frequencies: index, value; the six zeros of translations and rotations first.
std::vector<double> hess_frequencies(const std::string& text) {
    std::istringstream in(text.substr(text.find("$vibrational_frequencies")));
    std::string mark;
    int n = 0;
    in >> mark >> n;
    std::vector<double> out;
    for (int k = 0; k < n; ++k) {
        int index;
        double v;
        in >> index >> v;
        if (k >= 6) out.push_back(v);
    }
    return out;
}

std::vector<double> frequencies(const FrequencyJob& job) {
    const NormalModes m = normal_modes(job);
    std::vector<double> out;
    for (int j = 0; j < m.nvib(); ++j) out.push_back(wavenumber(m.eigenvalues(j)));
    return out;
}

}  // namespace

TEST(NormalModes, FrequenciesOfRealHessiansMatchWhatTheJobPrinted) {
    const std::string d = data_path("qc_outputs/");
    struct Case {
        const char* hessian;  // the file the namelist would name
        std::vector<double> printed;
    };
    const Case cases[] = {
        {"gaussian/g16_dvb_ir.out", printed_numbers(read_file(d + "gaussian/g16_dvb_ir.out"), "Frequencies ---")},
        {"qchem/qchem54_dvb_ir.out", printed_numbers(read_file(d + "qchem/qchem54_dvb_ir.out"), "Frequency:")},
        {"orca/orca3_H2O.hess", hess_frequencies(read_file(d + "orca/orca3_H2O.hess"))},
        // Not a minimum: nine imaginary modes, which ORCA prints as negative numbers too.
        {"orca/orca3_C6H6_planar.hess", hess_frequencies(read_file(d + "orca/orca3_C6H6_planar.hess"))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hessian);
        const std::vector<double> ours = frequencies(load_frequency_job(d + c.hessian));
        ASSERT_EQ(ours.size(), c.printed.size());
        ASSERT_GT(ours.size(), 2u);
        for (size_t j = 0; j < ours.size(); ++j) EXPECT_NEAR(ours[j], c.printed[j], 1.0) << "mode " << j + 1;
    }
}
