#include "qcpost/nm_tools.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "hopsim/formats.h"
#include "qcpost/engine.h"
#include "qcpost/evc_file.h"
#include "qcpost/evc_namelist.h"
#include "qcpost/final_energy.h"
#include "qcpost/frequency_jobs.h"
#include "qcpost/normal_modes.h"
#include "qcpost/state_projection.h"
#include "qcpost/tool_main.h"
#include "util/fatal.h"
#include "util/files.h"
#include "util/text.h"

namespace krymo {
namespace qcpost {

namespace {

const OutputFailure& kWriteFailure = kToolWriteFailure;
constexpr double kHartreeToMev = 27211.386245988;
// Modes below this wavenumber are not vibrations the rates can treat as quantum oscillators: their
// share of the reorganization energy stays in the total and counts as classical.
constexpr double kLowestModeCm = 10.0;

std::string folder_of(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void warn_imaginary(const FrequencyJob& job, const NormalModes& m) {
    std::string list;
    int count = 0;
    for (int j = 0; j < m.nvib(); ++j)
        if (m.eigenvalues(j) < 0) {
            list += format_string("%s%.2f", count == 0 ? "" : ", ", wavenumber(m.eigenvalues(j)));
            ++count;
        }
    if (count > 0)
        std::fprintf(stderr,
                     "WARNING: %s: %d imaginary mode%s (%s cm^-1): the geometry is not a minimum; %s left out of "
                     "the reorganization energy\n",
                     job.path.c_str(), count, count == 1 ? "" : "s", list.c_str(), count == 1 ? "it is" : "they are");
}

// --- qcpost_nmproj ---

const char kNmprojUsage[] =
    "Usage: %s evc.inp [-h]\n"
    "  Normal modes of the neutral (ffreq(1)) and charged (ffreq(2)) frequency jobs the &evc namelist\n"
    "  names, and the projection of the geometry change on each: evc.cart.dat (Cartesian displacement,\n"
    "  Eckart frame) and evc.dint.dat (displacement from internal coordinates), beside evc.inp.\n";

}  // namespace

int nmproj_main(int argc, char** argv) {
    return guarded([&]() {
        const char* tool = "qcpost_nmproj.exe";
        if (wants_help(argc, argv, kNmprojUsage, tool)) return 0;
        if (argc != 2) usage_error(kNmprojUsage, tool, "One argument is expected: the &evc namelist file.");
        const EvcInput in = read_evc_input(argv[1]);
        const std::string base = folder_of(argv[1]);
        FrequencyJob job[2];
        for (int s = 0; s < 2; ++s) {
            const std::string& f = in.ffreq[s];
            job[s] = load_frequency_job(!f.empty() && f[0] == '/' ? f : base + f);
        }
        const StateProjections p = project_states(job, in);
        const EvcReport &cart = p.cart, &dint = p.dint;
        const int natoms = static_cast<int>(job[0].mass.size());
        for (int st = 0; st < 2; ++st) warn_imaginary(job[st], p.modes[st]);
        // Both reports are complete before either file is replaced.
        TextWriter out_cart, out_dint;
        open_output(out_cart, base + "evc.cart.dat", kWriteFailure);
        open_output(out_dint, base + "evc.dint.dat", kWriteFailure);
        out_cart.write(evc_file_text(cart));
        out_dint.write(evc_file_text(dint));
        close_output(out_cart, kWriteFailure);
        close_output(out_dint, kWriteFailure);
        std::printf("%s: %d atoms, %d modes per state\n", tool, natoms, p.modes[0].nvib());
        if (in.proj_reorg)
            for (const EvcReport* r : {&cart, &dint})
                std::printf("  %s: lambda_1 %.2f meV, lambda_2 %.2f meV, lambda %.2f meV\n",
                            r == &cart ? "evc.cart.dat" : "evc.dint.dat",
                            r->state[0].modes.total_cm * kWavenumberToMev,
                            r->state[1].modes.total_cm * kWavenumberToMev,
                            (r->state[0].modes.total_cm + r->state[1].modes.total_cm) * kWavenumberToMev);
        return 0;
    });
}

// --- qcpost_modes ---

namespace {
const char kModesUsage[] =
    "Usage: %s evc.cart.dat|evc.dint.dat NM.dat [-state 1|2] [-h]\n"
    "  The modes of the rates: the charged state's modes (-state 2, the default) or the neutral state's\n"
    "  (-state 1), each with its share of the whole reorganization energy lambda_1 + lambda_2 as its\n"
    "  Huang-Rhys factor. Imaginary modes and modes below 10 cm^-1 are reported and left out.\n";
}

int modes_main(int argc, char** argv) {
    return guarded([&]() {
        const char* tool = "qcpost_modes.exe";
        if (wants_help(argc, argv, kModesUsage, tool)) return 0;
        std::vector<std::string> files;
        int state = 2;
        for (int i = 1; i < argc; ++i) {
            const std::string a = argv[i];
            if (a == "-state") {
                if (i + 1 >= argc || !parse_whole_int(argv[i + 1], state) || state < 1 || state > 2)
                    usage_error(kModesUsage, tool, "-state takes 1 (neutral) or 2 (charged).");
                ++i;
            } else if (!a.empty() && a[0] == '-') {
                usage_error(kModesUsage, tool, format_string("Unknown option %s.", a.c_str()));
            } else {
                files.push_back(a);
            }
        }
        if (files.size() != 2) usage_error(kModesUsage, tool, "Two files are expected: the projection report and NM.dat.");
        const EvcSummary sum = read_evc_file(files[0]);
        const std::vector<EvcModeRow>& rows = sum.state[state - 1];
        const double total_cm = sum.lambda_cm[0] + sum.lambda_cm[1];
        double state_cm = 0.0;
        for (const EvcModeRow& r : rows) state_cm += r.lambda_cm;
        // One molecule's modes stand for both relaxations of a hop: they carry the whole lambda_1 + lambda_2,
        // each mode its share of its own state's lambda.
        const double scale = state_cm > 0 ? total_cm / state_cm : 0.0;
        hopsim::MoleculeModes nm;
        nm.lambda_mev = total_cm * kWavenumberToMev;
        std::vector<EvcModeRow> sorted = rows;
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const EvcModeRow& a, const EvcModeRow& b) { return a.freq_cm < b.freq_cm; });
        std::string left_out;
        int nleft = 0;
        for (const EvcModeRow& r : sorted) {
            if (r.freq_cm < kLowestModeCm) {
                left_out += format_string("%s%.2f", nleft == 0 ? "" : ", ", r.freq_cm);
                ++nleft;
                continue;
            }
            nm.modes.push_back({r.freq_cm, r.lambda_cm * scale / r.freq_cm});
        }
        if (nleft > 0)
            std::printf("  %d mode%s left out (imaginary or below %.0f cm^-1): %s cm^-1\n", nleft, nleft == 1 ? "" : "s",
                        kLowestModeCm, left_out.c_str());
        TextWriter out;
        open_output(out, files[1], kWriteFailure);
        out.write(hopsim::mode_block_text(nm));
        close_output(out, kWriteFailure);
        std::printf("%s: %zu modes of state %d, lambda %.4f meV, written to %s\n", tool, nm.modes.size(), state,
                    nm.lambda_mev, files[1].c_str());
        return 0;
    });
}

// --- qcpost_lambda4p ---

namespace {
const char kLambda4pUsage[] =
    "Usage: %s -batch re_lambda_4P_files-e.dat|re_lambda_4P_files-h.dat [-h]\n"
    "  Four-point reorganization energies of every molecule the list names (per line: neutral at the\n"
    "  charged geometry, neutral, charged at the neutral geometry, charged), written to lambda_4P-e.dat\n"
    "  or lambda_4P-h.dat in the current folder.\n";
}

int lambda4p_main(int argc, char** argv) {
    return guarded([&]() {
        const char* tool = "qcpost_lambda4p.exe";
        if (wants_help(argc, argv, kLambda4pUsage, tool)) return 0;
        if (argc != 3 || std::string(argv[1]) != "-batch")
            usage_error(kLambda4pUsage, tool, "Expected -batch and the list file.");
        const std::string list = argv[2];
        const std::string name = list.substr(list.find_last_of('/') + 1);
        char carrier = 0;
        if (name.size() > 6 && name.compare(name.size() - 4, 4, ".dat") == 0 && name[name.size() - 6] == '-')
            carrier = name[name.size() - 5];
        if (carrier != 'e' && carrier != 'h')
            usage_error(kLambda4pUsage, tool,
                        format_string("%s: the list name must end in -e.dat or -h.dat (the carrier of the output)",
                                      list.c_str()));
        const std::string text = read_text_file(list, 64u << 20);
        std::vector<std::string> lines;
        {
            size_t pos = 0;
            while (pos < text.size()) {
                const size_t end = text.find('\n', pos);
                lines.push_back(text.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
                pos = end == std::string::npos ? text.size() : end + 1;
            }
        }
        int n = 0;
        if (lines.empty() || !parse_whole_int(lines[0], n) || n < 1)
            input_error(list, 1, "expected the number of molecules (at least 1)");
        if (static_cast<int>(lines.size()) < n + 1)
            input_error(list, static_cast<int>(lines.size()),
                        format_string("the file ends after %zu molecules; %d were announced", lines.size() - 1, n));
        std::string rows;
        std::vector<hopsim::MoleculeModes> four_point;
        for (int m = 1; m <= n; ++m) {
            std::vector<std::string> w;
            split_to_words(lines[m], " \t\r", w);
            if (w.size() != 4)
                input_error(list, m + 1,
                            "expected four outputs: neutral at the charged geometry, neutral, charged at the neutral "
                            "geometry, charged");
            // The study lists re-mol<m>-<charged>_nC (charge 0, at the charged geometry), the neutral,
            // re-mol<m>-neutral_<e|h>N (charged, at the neutral geometry), the charged: each single
            // point pairs with the optimised state of its own charge.
            double e[4];
            for (int k = 0; k < 4; ++k) e[k] = read_final_energy(w[k]);
            const double l1 = (e[0] - e[1]) * kHartreeToMev, l2 = (e[2] - e[3]) * kHartreeToMev;
            if (l1 < 0 || l2 < 0)
                std::fprintf(stderr,
                             "WARNING: %s line %d: a negative relaxation energy (lambda_1 %.3f, lambda_2 %.3f meV): "
                             "a state is not at its minimum or the files are swapped\n",
                             list.c_str(), m + 1, l1, l2);
            rows += format_string("%5d %16.6f %16.6f %16.6f\n", m, l1, l2, l1 + l2);
            hopsim::MoleculeModes block;
            block.lambda_mev = std::max(0.0, l1 + l2);
            four_point.push_back(block);
        }
        const std::string out_name = format_string("lambda_4P-%c.dat", carrier);
        TextWriter out;
        open_output(out, out_name, kWriteFailure);
        out.printf("# four-point reorganization energies (meV) of the outputs %s lists\n", list.c_str());
        out.write("# lambda_1 = E(neutral at the charged geometry) - E(neutral); "
                  "lambda_2 = E(charged at the neutral geometry) - E(charged)\n");
        out.write("# molecule         lambda_1         lambda_2           lambda\n");
        out.write(rows);
        close_output(out, kWriteFailure);
        std::printf("%s: %d molecules written to %s\n", tool, n, out_name.c_str());
        // Until the normal-mode stage merges its modes, the rates can run on these totals.
        const std::string modes_name = format_string("NM-%c.dat", carrier);
        if (!file_exists(modes_name) || hopsim::holds_four_point_lambda(modes_name)) {
            TextWriter nm;
            open_output(nm, modes_name, kWriteFailure);
            nm.printf("%s (%s)\n%d\n", hopsim::kFourPointModesMark, out_name.c_str(), n);
            for (const hopsim::MoleculeModes& m : four_point) nm.write(hopsim::mode_block_text(m));
            close_output(nm, kWriteFailure);
            std::printf("  %s written from these energies (no normal-mode data yet; merge_evc_NM_output.py replaces "
                        "it)\n",
                        modes_name.c_str());
        }
        return 0;
    });
}

}  // namespace qcpost
}  // namespace krymo
