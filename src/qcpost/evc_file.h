// evc.cart.dat / evc.dint.dat, the report of the normal-mode projection (docs/formats.md):
// comment lines, one block per state ("state <1|2> <neutral|charged> <modes>" and one row per mode:
// mode, frequency, dQ, lambda, S), and the line "Total reorganization energy ... lambda_1 lambda_2"
// whose last two fields (cm^-1) the gather script reads.
#pragma once

#include <string>
#include <vector>

#include "qcpost/normal_modes.h"

namespace krymo {
namespace qcpost {

struct EvcState {
    std::string source;      // the frequency output of the state
    ModeProjection modes;    // in frequency order
};

struct EvcReport {
    std::string displacement;  // how the displacement was measured (one line)
    bool projected = true;     // false: frequencies only (proj_reorg = .f.)
    int sort_mode = 1;         // 1: rows by frequency, 2: by lambda, largest first
    EvcState state[2];         // neutral, charged
};

std::string evc_file_text(const EvcReport& report);

// What qcpost_modes.exe needs of a report.
struct EvcModeRow {
    double freq_cm = 0, lambda_cm = 0;
};
struct EvcSummary {
    std::vector<EvcModeRow> state[2];
    double lambda_cm[2] = {0, 0};  // from the total line
};
// Stops (status 1) naming the file and line when a row or the total line is malformed or missing.
EvcSummary read_evc_file(const std::string& path);

}  // namespace qcpost
}  // namespace krymo
