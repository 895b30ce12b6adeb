#include "qcpost/evc_file.h"

#include <algorithm>
#include <numeric>

#include "qcpost/engine.h"
#include "util/text.h"

namespace krymo {
namespace qcpost {

namespace {
const char* const kStateNames[2] = {"neutral", "charged"};
const char kTotalMark[] = "Total reorganization energy";
}  // namespace

std::string evc_file_text(const EvcReport& r) {
    std::string s;
    s += "# normal-mode projection of the geometry change between the neutral and the charged state\n";
    s += format_string("# displacement: %s\n", r.displacement.c_str());
    s += r.projected ? "# units: frequency cm^-1 (negative: imaginary, left out), dQ bohr amu^1/2, lambda cm^-1, "
                       "S = lambda / frequency\n"
                     : "# frequencies only (proj_reorg = .f.), cm^-1 (negative: imaginary)\n";
    for (int k = 0; k < 2; ++k) {
        const ModeProjection& p = r.state[k].modes;
        const int n = static_cast<int>(p.freq_cm.size());
        std::vector<int> order(n);
        std::iota(order.begin(), order.end(), 0);
        if (r.projected && r.sort_mode == 2)
            std::stable_sort(order.begin(), order.end(),
                             [&](int a, int b) { return p.lambda_cm[a] > p.lambda_cm[b]; });
        s += format_string("# state %d: the %s state's modes, from %s; displacement towards the %s geometry\n", k + 1,
                           kStateNames[k], r.state[k].source.c_str(), kStateNames[1 - k]);
        s += format_string("state %d %s %d\n", k + 1, kStateNames[k], n);
        s += r.projected ? "#  mode  frequency(cm-1)              dQ      lambda(cm-1)               S\n"
                         : "#  mode  frequency(cm-1)\n";
        for (int j : order) {
            if (r.projected)
                s += format_string("%7d  %15.4f  %14.8f  %16.6f  %14.8f\n", j + 1, p.freq_cm[j], p.dq[j],
                                   p.lambda_cm[j], p.huang_rhys[j]);
            else
                s += format_string("%7d  %15.4f\n", j + 1, p.freq_cm[j]);
        }
        if (r.projected)
            s += format_string("# lambda_%d (%s modes): %.6f cm^-1 = %.6f meV\n", k + 1, kStateNames[k], p.total_cm,
                               p.total_cm * kWavenumberToMev);
    }
    if (r.projected)
        s += format_string("%s lambda_1 lambda_2 (cm^-1): %16.6f %16.6f\n", kTotalMark, r.state[0].modes.total_cm,
                           r.state[1].modes.total_cm);
    return s;
}

EvcSummary read_evc_file(const std::string& path) {
    const std::string text = read_text_file(path, std::uintmax_t(256) << 20);
    EvcSummary out;
    bool total = false, seen[2] = {false, false};
    int line_no = 0;
    size_t pos = 0;
    // Line by line, counting every line for the messages.
    const auto next_line = [&](std::string& line) {
        if (pos >= text.size()) return false;
        const size_t end = text.find('\n', pos);
        line = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        pos = end == std::string::npos ? text.size() : end + 1;
        ++line_no;
        return true;
    };
    std::string line;
    while (next_line(line)) {
        if (line.find(kTotalMark) != std::string::npos) {
            std::vector<std::string> w;
            split_to_words(line, " \t\r", w);
            if (w.size() < 2 || !parse_whole_real(w[w.size() - 2], out.lambda_cm[0]) ||
                !parse_whole_real(w.back(), out.lambda_cm[1]))
                input_error(path, line_no, "the total line must end with lambda_1 and lambda_2 (cm^-1)");
            total = true;
            break;
        }
        std::vector<std::string> w;
        std::string body = line.substr(0, line.find('#'));
        split_to_words(body, " \t\r", w);
        if (w.empty()) continue;
        int s = 0, n = 0;
        if (w.size() != 4 || w[0] != "state" || !parse_whole_int(w[1], s) || s < 1 || s > 2 || !parse_whole_int(w[3], n) ||
            n < 0)
            input_error(path, line_no,
                        format_string("expected a block header 'state <1|2> <name> <modes>', found '%s'",
                                      printable_excerpt(line).c_str()));
        seen[s - 1] = true;
        for (int j = 0; j < n;) {
            if (!next_line(line)) input_error(path, line_no, format_string("the file ends in the block of state %d", s));
            body = line.substr(0, line.find('#'));
            split_to_words(body, " \t\r", w);
            if (w.empty()) continue;
            EvcModeRow row;
            double dq = 0, hr = 0;
            int mode = 0;
            if (w.size() == 2)
                input_error(path, line_no,
                            "this report holds frequencies only (proj_reorg = .f.): run qcpost_nmproj.exe with "
                            "proj_reorg = .t.");
            if (w.size() != 5 || !parse_whole_int(w[0], mode) || !parse_whole_real(w[1], row.freq_cm) ||
                !parse_whole_real(w[2], dq) || !parse_whole_real(w[3], row.lambda_cm) || !parse_whole_real(w[4], hr) ||
                row.lambda_cm < 0)
                input_error(path, line_no,
                            format_string("expected the row of mode %d of state %d: mode frequency dQ lambda(>= 0) S",
                                          j + 1, s));
            out.state[s - 1].push_back(row);
            ++j;
        }
    }
    if (!total)
        input_error(path, 0, format_string("no '%s' line: the projection did not finish", kTotalMark));
    for (int s = 0; s < 2; ++s)
        if (!seen[s]) input_error(path, 0, format_string("no block of state %d", s + 1));
    return out;
}

}  // namespace qcpost
}  // namespace krymo
