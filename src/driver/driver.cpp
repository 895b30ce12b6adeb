#include "driver/driver.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "transport/transport.h"
#include "util/fatal.h"
#include "util/files.h"
#include "util/progress.h"
#include "util/text.h"

namespace krymo {

namespace {

const char* const kReleaseName = "Aurora";
const char* const kReleaseVersion = "0.1.0";
const char* const kAttribution = "Charge-transport preparation for organic molecular crystals";

enum class Opt { Config, Omp, Trackdir, Rmin, Info, Verbose, Help, LongHelp, Version };

struct OptionRow {
    const char* name;
    Opt opt;
    bool takes_value;
};

// Matching order matters: the first name that is a prefix of the argument wins.
const OptionRow kOptions[] = {
    {"-config", Opt::Config, true},  {"-omp", Opt::Omp, true},     {"-trackdir", Opt::Trackdir, true},
    {"-rmin", Opt::Rmin, false},     {"-info", Opt::Info, true},   {"-verbose", Opt::Verbose, false},
    {"-h", Opt::Help, false},        {"--help", Opt::LongHelp, false}, {"--version", Opt::Version, false},
};

bool word_is_true(const std::string& w) { return w.compare(0, 4, "true") == 0; }

std::string program_name(const std::string& argv0) {
    size_t pos = argv0.find_last_of("/\\");
    return pos == std::string::npos ? argv0 : argv0.substr(pos + 1);
}

}  // namespace

std::string release_label() { return format_string("%s (%s)", kReleaseName, kReleaseVersion); }

std::string build_date() { return __DATE__; }

std::string KRYMO_version_line() {
    return "KRYMO version " + release_label() + ", build on " + build_date() + "\n";
}

std::string KRYMO_title_text() {
    const std::string l1 = format_string("%s %s build on %s", "KRYMO Transport Calculation Utility, Version",
                                         release_label().c_str(), build_date().c_str());
    const std::string l2 = kAttribution;
    const size_t L = std::max(l1.size(), l2.size());
    const std::string rule(L + 6, '*');
    std::string out = rule + "\n";
    for (const std::string* t : {&l1, &l2}) {
        std::string row = "*  " + *t;
        row.resize(L + 5, ' ');
        out += row + "*\n";
    }
    return out + rule + "\n";
}

std::string usage_text(const std::string& p) {
    std::string s = KRYMO_title_text();
    s += "Prepare Data and Directories for Transport Calculation\n\n";
    s += "Usage: " + p + " [opts]\n";
    s += "  -config s            : set config file, default to 'krymo.inp'\n";
    s += "  -trackdir s          : set track directory, default to 'track'\n";
    s += "  -omp  [true | false] : if use OpenMP for MC, default to 'true'\n";
    s += "  -info [true | false] : verbose screen output\n";
    s += "  -rmin                : output minimum atomic distance between molecules\n";
    s += "  -verbose             : verbose screen output and progress of long stages\n";
    s += "  -h, --help           : print this text\n";
    s += "  --version            : print the version\n";
    s += "\n";
    s += "e.g.: " + p + "\n";
    for (const char* ex : {" -config krymo.inp", " -trackdir track", " -omp false", " -config krymo.inp -trackdir track",
                           " -rmin"})
        s += "  " + p + ex + "\n";
    s += "\n";
    return s;
}

void print_KRYMO_version() { std::fputs(KRYMO_version_line().c_str(), stdout); }
void print_KRYMO_title() { std::fputs(KRYMO_title_text().c_str(), stdout); }

ParseResult parse_prepare_options(const std::vector<std::string>& args, PrepareOptions& o) {
    if (!args.empty()) o.program = program_name(args[0]);
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const OptionRow* row = nullptr;
        for (const OptionRow& r : kOptions)
            if (a.compare(0, std::strlen(r.name), r.name) == 0) {
                row = &r;
                break;
            }
        if (row == nullptr) {
            // Still skipped, as always; but a mistyped option must not pass unnoticed.
            if (!a.empty() && a[0] == '-') std::fprintf(stderr, "Ignoring unknown option %s\n", a.c_str());
            continue;
        }
        std::string value;
        if (row->takes_value) {
            if (i + 1 >= args.size())
                KRYMO_FATAL_OUT("main_prepare", 1,
                                format_string("The option %s needs a value after it, but it is the last argument.\n",
                                              a.c_str()));
            value = args[++i];
        }
        switch (row->opt) {
            case Opt::Config:
                o.config = value;
                if (file_exists(value)) {
                    std::printf("  %s input config file is %s\n", o.program.c_str(), value.c_str());
                } else {
                    std::printf("ERROR: %s input config file %s not found!\n", o.program.c_str(), value.c_str());
                    // A run that did nothing is a failure: scripts and workflow drivers must see it.
                    return ParseResult::Fail;
                }
                break;
            case Opt::Omp:
                o.openmp = word_is_true(value);
                std::printf(" OpenMP is set to '%s'\n", value.c_str());
                break;
            case Opt::Trackdir:
                o.trackdir = value;
                std::printf(" trackdir is '%s'\n", value.c_str());
                break;
            case Opt::Rmin: o.rmin = true; break;
            case Opt::Info: o.info = word_is_true(value); break;
            case Opt::Verbose:
                o.info = true;
                o.verbose = true;
                break;
            case Opt::Help:
            case Opt::LongHelp: std::fputs(usage_text(o.program).c_str(), stdout); return ParseResult::Exit;
            case Opt::Version: print_KRYMO_version(); return ParseResult::Exit;
        }
    }
    return ParseResult::Run;
}

int run_prepare(const PrepareOptions& opts) {
    const bool info = opts.info;
    enable_progress(opts.verbose);
    std::printf("****** Perform Transport Preparation...\n");
    Transport tp;
    tp.read_krymo_inp(opts.config, info);
    tp.require_structure();
    tp.check_spliced_texts(opts.config);
    tp.check_study_folders();
    tp.read_crystal_strcuture_files(info, false);
    tp.check_search_size();
    tp.post_data_read_treatment(info);
    tp.set_openmp_flag(opts.openmp);
    tp.set_trackdir(opts.trackdir);
    tp.calc_homo();
    // The neighbour list (searched, or read from neighbor.dat) is the last thing that can refuse the
    // input: it comes before the first file, so a refused study gets nothing written.
    tp.build_neighbor_list(tp.get_read_neighbor_flag(), info);
    tp.require_neighbor_pairs();
    tp.begin_study_run();
    tp.write_cellvec_file();
    tp.write_krymo_inp(opts.echo_file, true, info);
    tp.write_mol_files();
    tp.write_H_L_inp();
    tp.output_neighbor_data();
    if (opts.rmin) tp.find_neighbor_molecules_min_distance(info);
    tp.calc_HL_uc_mol_eigval_eigvec();
    tp.calc_HL_2mol_eigval_eigvec_and_unique_pairs();
    if (tp.get_unique_RE_calc_flag()) tp.RE_check_unitcell_same_mols(info);
    if (tp.get_unique_HL_calc_flag()) tp.HL_check_unitcell_unique_mols(info);
    tp.write_mol_bonds_files(true);
    if (tp.get_data_mol_output_level() & 8) tp.write_oniom_input(info);

    Engine engine;
    if (!engine_from_setting(tp.get_compute_engine(), engine))
        KRYMO_FATAL_OUT("main_prepare", 1, "Only Gaussian, ORCA, Q-Chem and psi4 computing engines are supported!\n");
    tp.write_qc_job_sets(engine);
    if (tp.get_job_moo_flag()) {
        tp.output_moo_pos_data();
        tp.output_moo_map_xml();
    }
    tp.write_scripts(false);
    tp.write_study_record();

    std::printf("****** KRYMO Transport Preparation Succsessfully Done.\n");
    std::fputs(study_summary_text(tp.get_study_record()).c_str(), stdout);
    return 0;
}

int prepare_main(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    try {
        PrepareOptions opts;
        switch (parse_prepare_options(args, opts)) {
            case ParseResult::Exit: return 0;
            case ParseResult::Fail: return 1;
            case ParseResult::Run: break;
        }
        return run_prepare(opts);
    } catch (const FatalError& e) {
        std::fflush(stdout);
        return report_fatal(e);
    } catch (const std::exception& e) {
        // Out of memory and the like: still a clear report and a failing status, never a silent abort.
        std::fflush(stdout);
        return report_fatal(FatalError("main_prepare", __LINE__, 255, "", format_string("%s\n", e.what())));
    }
}

}  // namespace krymo
