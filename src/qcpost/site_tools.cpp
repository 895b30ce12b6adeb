#include "qcpost/site_tools.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "qcpost/engine.h"
#include "qcpost/final_energy.h"
#include "qcpost/frequency_jobs.h"
#include "qcpost/study_folder.h"
#include "qcpost/tool_main.h"
#include "util/fatal.h"
#include "util/files.h"
#include "util/text.h"

namespace krymo {
namespace qcpost {

double two_sphere_lambda_mev(double pekar, double a1_nm, double a2_nm, double r_nm) {
    return 1000.0 * kCoulombEvNm * pekar * (0.5 / a1_nm + 0.5 / a2_nm - 1.0 / r_nm);
}

std::vector<double> relative_to_mean(const std::vector<double>& v) {
    double mean = 0.0;
    for (double x : v) mean += x;
    if (!v.empty()) mean /= static_cast<double>(v.size());
    std::vector<double> out;
    for (double x : v) out.push_back(x - mean);
    return out;
}

namespace {

constexpr double kHartreeToMev = 27211.386245988;
const char* const kCarriers[2] = {"e", "h"};

// The meaningful lines of a small list or data file: '#' starts a comment, blank lines are skipped,
// each kept line remembers its number for the error messages.
struct Row {
    int line = 0;
    std::vector<std::string> w;
};
std::vector<Row> data_rows(const std::string& path) {
    const std::string text = read_text_file(path, 64u << 20);
    std::vector<Row> rows;
    size_t pos = 0;
    int line = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string s = text.substr(pos, end - pos);
        pos = end + 1;
        ++line;
        const size_t hash = s.find('#');
        if (hash != std::string::npos) s.erase(hash);
        Row r;
        r.line = line;
        split_to_words(s, " \t\r", r.w);
        if (!r.w.empty()) rows.push_back(r);
    }
    return rows;
}

// The count line of a list: one integer of at least 1, followed by exactly that many rows.
int count_rows(const std::string& path, const std::vector<Row>& rows, const char* what) {
    int n = 0;
    if (rows.empty() || rows[0].w.size() != 1 || !parse_whole_int(rows[0].w[0], n) || n < 1)
        input_error(path, rows.empty() ? 1 : rows[0].line, format_string("expected the number of %s (at least 1)", what));
    if (static_cast<int>(rows.size()) - 1 < n)
        input_error(path, rows.back().line + 1,
                    format_string("the file ends after %zu %s; %d were announced", rows.size() - 1, what, n));
    if (static_cast<int>(rows.size()) - 1 > n)
        input_error(path, rows[n + 1].line, format_string("more rows than the %d %s announced", n, what));
    return n;
}

}  // namespace

std::vector<IonOutputs> read_einternal_list(const std::string& path) {
    const std::vector<Row> rows = data_rows(path);
    const int n = count_rows(path, rows, "molecules");
    std::vector<IonOutputs> v;
    for (int m = 1; m <= n; ++m) {
        const Row& r = rows[m];
        if (r.w.size() != 3) input_error(path, r.line, "expected three outputs: anion, cation, neutral");
        v.push_back({r.w[0], r.w[1], r.w[2]});
    }
    return v;
}

namespace {

// --- qcpost_eint ---

const char kEintUsage[] =
    "Usage: %s -batch SE_einternal_files.dat [-neighbor] [-qcflag N] [-h]\n"
    "  Run in the study's data folder. Per line of the list (after the molecule count): the anion,\n"
    "  cation and neutral outputs of one unit-cell molecule, each at its own optimized geometry (any\n"
    "  engine; it is recognised from the output). Writes SE_einternal<m>-e.dat (E_anion - E_neutral,\n"
    "  minus the adiabatic electron affinity) and SE_einternal<m>-h.dat (E_cation - E_neutral, the\n"
    "  adiabatic ionisation energy), one row \"m value\" in meV each.\n"
    "  -neighbor and -qcflag (the study's compute_engine, 1 to 4) are accepted as the scripts pass them.\n";

}  // namespace

int eint_main(int argc, char** argv) {
    return guarded([&]() {
        const char* tool = "qcpost_eint.exe";
        if (wants_help(argc, argv, kEintUsage, tool)) return 0;
        std::string list;
        for (int i = 1; i < argc; ++i) {
            const std::string a = argv[i];
            int flag = 0;
            if (a == "-batch" && i + 1 < argc) {
                list = argv[++i];
            } else if (a == "-neighbor") {
            } else if (a == "-qcflag") {
                if (i + 1 >= argc || !parse_whole_int(argv[i + 1], flag) || flag < 1 || flag > 4)
                    usage_error(kEintUsage, tool, "-qcflag takes the compute_engine of the study, 1 to 4.");
                ++i;
            } else {
                usage_error(kEintUsage, tool, format_string("Unexpected argument %s.", a.c_str()));
            }
        }
        if (list.empty()) usage_error(kEintUsage, tool, "Expected -batch and the list file.");
        const std::vector<IonOutputs> outputs = read_einternal_list(list);
        const int n = static_cast<int>(outputs.size());
        std::vector<double> piece[2];
        for (const IonOutputs& o : outputs) {
            const double anion = read_final_energy(o.anion), cation = read_final_energy(o.cation),
                         neutral = read_final_energy(o.neutral);
            piece[0].push_back((anion - neutral) * kHartreeToMev);
            piece[1].push_back((cation - neutral) * kHartreeToMev);
        }
        // Every energy is known: only now is anything written.
        for (int m = 1; m <= n; ++m)
            for (int c = 0; c < 2; ++c) {
                TextWriter out;
                open_output(out, format_string("SE_einternal%d-%s.dat", m, kCarriers[c]), kToolWriteFailure);
                out.printf("%5d %18.6f\n", m, piece[c][m - 1]);
                close_output(out, kToolWriteFailure);
            }
        std::printf("%s: %d molecules: SE_einternal1-e.dat .. SE_einternal%d-h.dat written\n", tool, n, n);
        return 0;
    });
}

// --- qcpost_siteen ---

std::vector<double> read_internal_energies(const std::string& path) {
    const std::vector<Row> rows = data_rows(path);
    const int n = count_rows(path, rows, "molecules");
    std::vector<double> v;
    for (int m = 1; m <= n; ++m) {
        const Row& r = rows[m];
        int id = 0;
        double x = 0;
        if (r.w.size() != 2 || !parse_whole_int(r.w[0], id) || !parse_whole_real(r.w[1], x))
            input_error(path, r.line, "expected the row \"molecule energy(meV)\"");
        if (id != m) input_error(path, r.line, format_string("molecule %d where %d was expected", id, m));
        v.push_back(x);
    }
    return v;
}

void write_site_energies(int carrier, const std::vector<double>& site, bool polarized, const char* tool) {
    const char* out_name[2] = {"EL.dat", "EH.dat"};
    const char* what[2][2] = {
        {"electron site energy (meV, E_anion - E_neutral relative to the cell mean)",
         "electron site energy (meV, E_anion - E_neutral + P- relative to the cell mean)"},
        {"hole site energy (meV, E_cation - E_neutral relative to the cell mean)",
         "hole site energy (meV, E_cation - E_neutral + P+ relative to the cell mean)"}};
    TextWriter out;
    open_output(out, out_name[carrier], kToolWriteFailure);
    out.printf("# %s per unit-cell molecule\n%zu\n", what[carrier][polarized ? 1 : 0], site.size());
    for (size_t m = 0; m < site.size(); ++m) out.printf("%4zu  %14.6f\n", m + 1, site[m]);
    close_output(out, kToolWriteFailure);
    std::printf("%s: %s written (%zu molecules)\n", tool, out_name[carrier], site.size());
}


namespace {
const char kSiteenUsage[] =
    "Usage: %s [-h]\n"
    "  Run in the study's data folder (or the study folder) after merge_RE_int_ener_output.py.\n"
    "  Turns SE_einternal-e.dat and SE_einternal-h.dat (whichever are here) into EL.dat and EH.dat:\n"
    "  the carrier's energy on each unit-cell molecule relative to the mean over the cell, in meV.\n";

}  // namespace

int siteen_main(int argc, char** argv) {
    return guarded([&]() {
        const char* tool = "qcpost_siteen.exe";
        if (wants_help(argc, argv, kSiteenUsage, tool)) return 0;
        if (argc != 1) usage_error(kSiteenUsage, tool, "No argument is expected.");
        enter_study_data_folder();
        std::vector<double> site[2];
        bool any = false;
        for (int c = 0; c < 2; ++c) {
            const std::string in = format_string("SE_einternal-%s.dat", kCarriers[c]);
            if (!file_exists(in)) continue;
            site[c] = relative_to_mean(read_internal_energies(in));
            any = true;
        }
        if (!any)
            KRYMO_FATAL_OUT("qcpost", 1,
                            "Neither SE_einternal-e.dat nor SE_einternal-h.dat is here: run qcpost_eint.exe and "
                            "merge_RE_int_ener_output.py in the data folder first\n");
        for (int c = 0; c < 2; ++c)
            if (!site[c].empty()) write_site_energies(c, site[c], false, tool);
        return 0;
    });
}

// --- qcpost_outer_sphere ---

namespace {
const char kOuterUsage[] =
    "Usage: %s [-inp krymo.inp] [-h]\n"
    "  Run in the study's data folder (or the study folder). Outer-sphere reorganization energy of every\n"
    "  neighbour pair from the reorg_outer setting of the study's krymo.inp (default: ./krymo.inp,\n"
    "  else ../krymo.inp):\n"
    "    spheres c r1 r2 ...: two-sphere continuum model, lambda = e^2/(4 pi eps0) c (1/(2 r_i) + 1/(2 r_j)\n"
    "      - 1/R), c = 1/eps_op - 1/eps_s, r the radius of each unit-cell molecule, R the centre distance;\n"
    "    constant x: x eV for every pair.\n"
    "  Writes reorg_lambda_outer<m>-e.dat / -h.dat (the rows of root m, meV) for the study's carriers.\n";

}  // namespace

int outer_sphere_main(int argc, char** argv) {
    return guarded([&]() {
        const char* tool = "qcpost_outer_sphere.exe";
        if (wants_help(argc, argv, kOuterUsage, tool)) return 0;
        std::string config;
        if (argc == 3 && std::string(argv[1]) == "-inp")
            config = argv[2];
        else if (argc != 1)
            usage_error(kOuterUsage, tool, "Only -inp and the study's krymo.inp may be given.");
        if (config.empty()) enter_study_data_folder();
        StudyFolder study;
        study.load_from(config);
        config = study.config();
        if (study.outer_type() == 0)
            KRYMO_FATAL_OUT("qcpost", 1, format_string("%s: reorg_outer is not set; nothing to compute\n", config.c_str()));
        if (study.outer_type() == 3)
            not_available(tool, "the dielectric model is not implemented (how its dielectric constant and cutoff "
                                "would enter is not settled); use reorg_outer = spheres (two-sphere model) or constant");
        const std::vector<hopsim::PairKey>& keys = study.pairs();
        std::vector<double> lambda;
        for (size_t k = 0; k < keys.size(); ++k) {
            if (study.outer_type() == 1) {
                lambda.push_back(1000.0 * study.outer_constant_ev());
                continue;
            }
            const double* d = study.pair_dr(k);
            const double r_nm = 0.1 * std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
            const double a = study.radii_nm()[keys[k].root - 1], b = study.radii_nm()[keys[k].nei - 1];
            if (!(a > 0) || !(b > 0))
                KRYMO_FATAL_OUT("qcpost", 1,
                                format_string("%s: reorg_outer: the sphere radius of molecule %d is not positive\n",
                                              config.c_str(), a > 0 ? keys[k].nei : keys[k].root));
            // Spheres that overlap leave the model: the formula would give more than two lone ions.
            if (r_nm < a + b)
                std::fprintf(stderr,
                             "WARNING: pair %d-%d (cell %d %d %d): centre distance %.3f A below the sum of the radii "
                             "%.3f A; the two-sphere model does not hold there\n",
                             keys[k].root, keys[k].nei, keys[k].cell[0], keys[k].cell[1], keys[k].cell[2], 10 * r_nm,
                             10 * (a + b));
            lambda.push_back(two_sphere_lambda_mev(study.pekar(), a, b, r_nm));
        }
        int files = 0;
        for (int c = 0; c < 2; ++c) {
            if (!(c == 0 ? study.electron() : study.hole())) continue;
            for (int m = 1; m <= study.molecules(); ++m) {
                TextWriter out;
                open_output(out, format_string("reorg_lambda_outer%d-%s.dat", m, kCarriers[c]), kToolWriteFailure);
                for (size_t k = 0; k < keys.size(); ++k)
                    if (keys[k].root == m)
                        out.printf("%5d %4d %3d %3d %3d  %14.6f\n", keys[k].root, keys[k].nei, keys[k].cell[0],
                                   keys[k].cell[1], keys[k].cell[2], lambda[k]);
                close_output(out, kToolWriteFailure);
                ++files;
            }
        }
        std::printf("%s: %zu pairs, %d files reorg_lambda_outer<m>-<e|h>.dat written\n", tool, keys.size(), files);
        return 0;
    });
}

// --- qcpost_log_multipoles ---

namespace {

const char kMpsUsage[] =
    "Usage: %s -inp NAME.log [-h]\n"
    "  The atomic charges (Mulliken, and the ESP charges where a Gaussian job printed them) and the\n"
    "  dipole moment (Debye) of the last population analysis of a Gaussian log or an ORCA, Q-Chem or\n"
    "  psi4 output, written to NAME.mps.dat beside it.\n";

std::vector<std::string> all_lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return lines;
}

std::string trimmed(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return std::string();
    return s.substr(a, s.find_last_not_of(" \t\r") - a + 1);
}

// Where each engine prints its charges and dipole. A charge block: the header line, `skip` lines, then
// rows "index symbol ... charge ..." numbered from `first`, up to the closing line (its first word
// begins with `end`; an empty `end`: a blank line).
struct ChargeLayout {
    QcEngine engine;
    const char* mulliken[3];  // header texts (the trimmed line begins with one), unused ones null
    const char* esp;          // header of the ESP-fitted charges, or null
    int skip;
    int first;
    int charge_col;  // -1: the last word
    const char* end;
    const char* dipole;       // the dipole line's header
    bool dipole_same_line;    // the three numbers end the header line, else "X x Y y Z z" on the next
    double dipole_scale;      // to Debye
};
const ChargeLayout kChargeLayouts[] = {
    {QcEngine::Gaussian, {"Mulliken charges:", "Mulliken charges and spin densities:", "Mulliken atomic charges:"},
     "ESP charges:", 1, 1, 2, "Sum", "Dipole moment (field-independent basis, Debye):", false, 1.0},
    {QcEngine::Orca, {"MULLIKEN ATOMIC CHARGES", nullptr, nullptr}, nullptr, 1, 0, 3, "Sum", "Total Dipole Moment",
     true, 2.541746473},  // a.u.
    // Q-Chem's ChElPG blocks are left out: a job may print a second one that is not the fit of the first.
    {QcEngine::Qchem, {"Ground-State Mulliken Net Atomic Charges", nullptr, nullptr}, nullptr, 3, 1, 2, "--",
     "Dipole Moment (Debye)", false, 1.0},
    {QcEngine::Psi4, {"Mulliken Charges: (a.u.)", nullptr, nullptr}, nullptr, 1, 1, -1, "", "Dipole Moment: [D]",
     false, 1.0},
};

bool begins_with(const std::string& s, const char* h) { return h && s.compare(0, std::strlen(h), h) == 0; }

// Index of the last line whose trimmed text begins with one of `headers`, or -1.
int last_header(const std::vector<std::string>& lines, std::initializer_list<const char*> headers) {
    for (int i = static_cast<int>(lines.size()) - 1; i >= 0; --i) {
        const std::string t = trimmed(lines[i]);
        for (const char* h : headers)
            if (begins_with(t, h)) return i;
    }
    return -1;
}

void read_charge_block(const std::string& path, const std::vector<std::string>& lines, int head, const ChargeLayout& l,
                       std::vector<std::string>* symbols, std::vector<double>& charges) {
    std::vector<std::string> w;
    int i = head + 1 + l.skip;
    for (; i < static_cast<int>(lines.size()); ++i) {
        split_to_words(lines[i], " \t\r", w);
        if (*l.end ? !w.empty() && begins_with(w[0], l.end) : w.empty()) break;
        int id = 0;
        double q = 0;
        const int col = l.charge_col < 0 ? static_cast<int>(w.size()) - 1 : l.charge_col;
        if (static_cast<int>(w.size()) <= std::max(col, 2) || !parse_whole_int(w[0], id) || !parse_whole_real(w[col], q))
            input_error(path, i + 1, "expected a charge row \"atom symbol ... charge\" or the end of the block");
        if (id != static_cast<int>(charges.size()) + l.first)
            input_error(path, i + 1, format_string("atom %d where %zu was expected", id, charges.size() + l.first));
        if (symbols) symbols->push_back(w[1]);
        charges.push_back(q);
    }
    if (i >= static_cast<int>(lines.size())) input_error(path, head + 1, "the charge block has no end");
    if (charges.empty()) input_error(path, head + 1, "the charge block lists no atom");
}

}  // namespace

Multipoles read_multipoles(const std::string& path, const std::string& text) {
    QcEngine engine = QcEngine::Gaussian;
    if (!engine_of_text(text, engine) || !ended_normally(engine, text))
        input_error(path, 0, "not a Gaussian, ORCA, Q-Chem or psi4 output that ended normally");
    const ChargeLayout* l = nullptr;
    for (const ChargeLayout& r : kChargeLayouts)
        if (r.engine == engine) l = &r;
    const std::vector<std::string> lines = all_lines(text);
    Multipoles m;
    const int mull = last_header(lines, {l->mulliken[0], l->mulliken[1], l->mulliken[2]});
    if (mull < 0) input_error(path, 0, format_string("no Mulliken charge block (\"%s\")", l->mulliken[0]));
    read_charge_block(path, lines, mull, *l, &m.symbol, m.mulliken);
    const int esp = l->esp ? last_header(lines, {l->esp}) : -1;
    if (esp >= 0) {
        read_charge_block(path, lines, esp, *l, nullptr, m.esp);
        if (m.esp.size() != m.mulliken.size())
            input_error(path, esp + 1,
                        format_string("%zu ESP charges for %zu atoms", m.esp.size(), m.mulliken.size()));
    }
    const int dip = last_header(lines, {l->dipole});
    if (dip < 0) input_error(path, 0, format_string("no dipole moment line (\"%s\")", l->dipole));
    std::vector<std::string> w;
    const int at = l->dipole_same_line ? dip : dip + 1;
    if (at < static_cast<int>(lines.size())) split_to_words(lines[at], " \t\r", w);
    for (int t = 0; t < 3; ++t) {
        // Same line: the last three words; next line: label and value pairs.
        const int k = l->dipole_same_line ? static_cast<int>(w.size()) - 3 + t : 2 * t + 1;
        const bool label_ok = l->dipole_same_line || (k < static_cast<int>(w.size()) && w[k - 1][0] == "XYZ"[t]);
        if (k < 0 || k >= static_cast<int>(w.size()) || !label_ok || !parse_whole_real(w[k], m.dipole_debye[t]))
            input_error(path, at + 1, "expected the dipole components x, y, z");
        m.dipole_debye[t] *= l->dipole_scale;
    }
    return m;
}

std::string multipoles_text(const std::string& source, const Multipoles& m) {
    std::string s = format_string("# atomic charges (e) and dipole moment (Debye) of %s, last population analysis\n",
                                  source.c_str());
    s += format_string("atoms %zu\n", m.mulliken.size());
    s += format_string("dipole %12.6f %12.6f %12.6f\n", m.dipole_debye[0], m.dipole_debye[1], m.dipole_debye[2]);
    s += m.esp.empty() ? "# atom symbol     mulliken\n" : "# atom symbol     mulliken          esp\n";
    for (size_t a = 0; a < m.mulliken.size(); ++a) {
        s += format_string("%6zu %-4s %12.6f", a + 1, m.symbol[a].c_str(), m.mulliken[a]);
        s += m.esp.empty() ? std::string("\n") : format_string(" %12.6f\n", m.esp[a]);
    }
    return s;
}

int log_multipoles_main(int argc, char** argv) {
    return guarded([&]() {
        const char* tool = "qcpost_log_multipoles.exe";
        if (wants_help(argc, argv, kMpsUsage, tool)) return 0;
        if (argc != 3 || std::string(argv[1]) != "-inp") usage_error(kMpsUsage, tool, "Expected -inp and an engine output.");
        const std::string path = argv[2];
        const Multipoles m = read_multipoles(path, read_text_file(path));
        const size_t dot = path.find_last_of('.');
        const size_t slash = path.find_last_of('/');
        const std::string stem = dot != std::string::npos && (slash == std::string::npos || dot > slash) ? path.substr(0, dot) : path;
        const std::string out_name = stem + ".mps.dat";
        TextWriter out;
        open_output(out, out_name, kToolWriteFailure);
        out.write(multipoles_text(path, m));
        close_output(out, kToolWriteFailure);
        std::printf("%s: %zu atoms%s written to %s\n", tool, m.mulliken.size(), m.esp.empty() ? "" : " (with ESP charges)",
                    out_name.c_str());
        return 0;
    });
}

}  // namespace qcpost
}  // namespace krymo
