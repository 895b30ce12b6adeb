#include "hopsim/tools.h"

#include <omp.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "hopsim/field_scan.h"
#include "hopsim/disorder.h"
#include "hopsim/formats.h"
#include "hopsim/kmc.h"
#include "hopsim/master.h"
#include "hopsim/mobility.h"
#include "hopsim/rates.h"
#include "hopsim/study.h"
#include "hopsim/tensor_analysis.h"
#include "util/fatal.h"
#include "util/files.h"
#include "util/progress.h"
#include "util/text.h"

namespace krymo {
namespace hopsim {

namespace {

const OutputFailure kReportFailure = {"hopsim", 1, false, false};

struct CommandLine {
    bool help = false;
    bool verbose = false;
    long long simu0 = 0;
    long long nsimu = -1;  // -1: the nsimu setting
};

std::string program_name(const char* argv0) {
    const std::string s = argv0 != nullptr ? argv0 : "hopsim";
    const size_t pos = s.find_last_of('/');
    return pos == std::string::npos ? s : s.substr(pos + 1);
}

long long count_value(const std::string& option, const char* value, long long min) {
    int v = 0;
    if (value == nullptr || !parse_whole_int(value, v) || v < min)
        KRYMO_FATAL_OUT("hopsim", 1,
                        format_string("%s needs an integer of at least %lld after it\n", option.c_str(), min));
    return v;
}

CommandLine parse(int argc, char** argv, bool simulation_range) {
    CommandLine cl;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-h" || a == "--help") {
            cl.help = true;
        } else if (a == "-verbose") {
            cl.verbose = true;
        } else if (simulation_range && a == "-simu0") {
            cl.simu0 = count_value(a, i + 1 < argc ? argv[++i] : nullptr, 0);
        } else if (simulation_range && a == "-nsimu") {
            cl.nsimu = count_value(a, i + 1 < argc ? argv[++i] : nullptr, 1);
        } else {
            KRYMO_FATAL_OUT("hopsim", 1,
                            format_string("Unknown option %s (%s -h lists the options)\n", a.c_str(),
                                          program_name(argv[0]).c_str()));
        }
    }
    enable_progress(cl.verbose);
    return cl;
}

int guarded(const char* unit, const std::function<int()>& body) {
    try {
        return body();
    } catch (const FatalError& e) {
        std::fflush(stdout);
        return report_fatal(e);
    } catch (const std::exception& e) {
        std::fflush(stdout);
        return report_fatal(FatalError(unit, __LINE__, 1, "", format_string("%s\n", e.what())));
    }
}

const char* carrier_name(char c) { return c == 'h' ? "hole" : "electron"; }

// Settings only: the simulators need no neighbour list, the rate file carries the network.
void load_settings(RunFolder& folder) {
    if (!file_exists("krymo.inp"))
        KRYMO_FATAL_OUT("hopsim", 1, "Cannot open krymo.inp: run the tool in a mobility run folder\n");
    folder.read_krymo_inp("krymo.inp", false);
}

RateTable load_rates(const RunFolder& folder) {
    const std::string& path = folder.rate_file();
    if (!file_exists(path))
        KRYMO_FATAL_OUT("hopsim", 1,
                        format_string("Cannot open %s (the rate file krymo_dat_file names): run hopsim_rates.exe "
                                      "first\n", path.c_str()));
    return read_rate_table(path);
}

[[noreturn]] void refuse(const std::string& message) { KRYMO_FATAL_OUT("hopsim", 1, message + "\n"); }

// Film layers of the network (1 for the periodic crystal), checked against the network limit.
long long network_layers(const RunFolder& folder, const RateTable& t, long long limit, const char* what) {
    const long long layers = folder.film_dir() >= 0 ? folder.film_cells() : 1;
    const long long sites = t.nmols * layers, hops = static_cast<long long>(t.pairs.size()) * layers;
    if (sites > limit || hops > limit)
        refuse(format_string("%lld sites with %lld hops (%d molecules, %zu pairs, %lld film layers from thinfilm in "
                             "krymo.inp) exceed the %lld %s can hold",
                             sites, hops, t.nmols, t.pairs.size(), layers, limit, what));
    return layers;
}

// The sizes of a Monte Carlo call, before anything is allocated: snapshots per trajectory, stored
// snapshots, the network and the number of hops a trajectory makes.
void check_simulation_size(const RunFolder& folder, const RateTable& t, const KmcSettings& s, bool count_from_option) {
    const double per = s.tsimu_ns / s.tsnap_ns;
    if (!(per <= limits::kSnapshotsPerTrajectory - 1))
        refuse(format_string("tsimu = %g ns over tsnap = %g ns in krymo.inp gives %.3g snapshots per trajectory; at "
                             "most %d are taken", s.tsimu_ns, s.tsnap_ns, per + 1, limits::kSnapshotsPerTrajectory));
    const double stored = static_cast<double>(s.count) * (std::floor(per) + 1);
    if (stored > limits::kSnapshots)
        refuse(format_string("%lld trajectories (%s) of %.0f snapshots are %.3g snapshots; at most %lld are held by one "
                             "call: split the trajectories over calls with -simu0 and -nsimu",
                             s.count, count_from_option ? "-nsimu" : "nsimu in krymo.inp", std::floor(per) + 1, stored,
                             limits::kSnapshots));
    network_layers(folder, t, limits::kNetworkSize, "the Monte Carlo network");
    std::vector<double> escape(t.nmols, 0.0);
    for (const RatePair& p : t.pairs) escape[p.key.root - 1] += p.rate;
    const double fastest = *std::max_element(escape.begin(), escape.end());
    const double hops = fastest * s.tsimu_ns * 1e-9;
    if (!(hops <= limits::kHopsPerTrajectory))
        refuse(format_string("The fastest site of %s escapes at %.3g 1/s: a trajectory of tsimu = %g ns would make "
                             "about %.3g hops, more than %.3g. Check the rates, or shorten tsimu",
                             folder.rate_file().c_str(), fastest, s.tsimu_ns, hops, limits::kHopsPerTrajectory));
}

// Results are written only when every number is finite.
void require_finite(const std::vector<double>& values, const char* what, const char* file) {
    for (double v : values)
        if (!std::isfinite(v))
            refuse(format_string("The %s holds %g, not a finite number: %s is not written", what, v, file));
}

// The tensor analysis of a linear-response run: the angular scan always, the principal axes when
// output_eigval asks for them. The plane is the film's, else the ab plane.
void write_tensor_analysis(const RunFolder& folder, const MobilityTensor& t, int film_dir) {
    std::vector<double> numbers(&t.mu[0][0], &t.mu[0][0] + 9);
    for (const auto& part : t.jackknife) numbers.insert(numbers.end(), part.begin(), part.end());
    require_finite(numbers, "mobility tensor", "mobility_angle.dat");
    write_angular_scan("mobility_angle.dat", t, film_dir >= 0 ? film_dir : 2, folder.angle_step_deg());
    std::printf("  mobility in the plane every %g degrees: mobility_angle.dat\n", folder.angle_step_deg());
    if (!folder.principal_output()) return;
    write_principal_axes("mobility_axes.dat", t);
    const PrincipalAxes p = principal_axes(t.mu, t.cell);
    std::printf("  principal mobilities %.6e %.6e %.6e cm^2/Vs: mobility_axes.dat\n", p.value[0], p.value[1],
                p.value[2]);
}

const char* const kRatesUsage =
    "Usage: %s [-verbose] [-h]\n"
    "  Computes the hopping rate of every neighbour pair of this run folder and writes the rate file\n"
    "  (krymo_dat_file, default krymo-<ratetype>.dat).\n"
    "  Reads krymo.inp and its crystal or molecule files, charge.inp, temp.inp (else temp),\n"
    "  VL.dat or VH.dat, NM-e.dat or NM-h.dat, and as the settings ask EL.dat/EH.dat,\n"
    "  reorg_lambda_outer-e/h.dat, VL-dyn.dat/VH-dyn.dat, LUMO-dyn.dat/HOMO-dyn.dat, neighbor.dat.\n";

const char* const kMcUsage =
    "Usage: %s [-simu0 K] [-nsimu N] [-verbose] [-h]\n"
    "  Runs kinetic Monte Carlo trajectories from K (default 0) of one carrier in batches of 100 until the\n"
    "  mobility's relative error reaches mc_error, at most N (default the nsimu setting), each for tsimu ns\n"
    "  (or mc_hops hops when shorter) with a snapshot every tsnap ns; writes traj-K-<last>.dat.\n"
    "  Trajectory k is seeded from k: runs split over jobs add up to the same trajectories.\n"
    "  With disorder_sigma > 0 the carrier hops on a supercell of disorder_cells^3 cells with Gaussian\n"
    "  site energies (disorder_seed), starting at a Boltzmann-weighted site.\n"
    "  Reads krymo.inp and the rate file.\n";

const char* const kMobilityUsage =
    "Usage: %s [-verbose] [-h]\n"
    "  Diffusion tensor and mobility from every traj-*.dat of this folder: exp_data.dat (mobility along\n"
    "  a, b, c and the average in cm^2/Vs with the jackknife error; under a field the drift mobility),\n"
    "  mobility.dat (report) and msd.dat. Without a field also mobility_angle.dat (the mobility every\n"
    "  delta_angle degrees in the ab or film plane) and, with output_eigval, mobility_axes.dat (principal\n"
    "  mobilities and axes), both from the tensor D/kT with jackknife errors.\n";

const char* const kMasterUsage =
    "Usage: %s [-verbose] [-h]\n"
    "  Steady-state master equation of one carrier in the periodic crystal (or thin film): mobility along\n"
    "  a, b, c and the average in exp_data.dat, the report in master.dat.\n"
    "  Reads krymo.inp (iterlimit, nevery_out, thinfilm, output_eigval, delta_angle, field_scan,\n"
    "  disorder_*) and the rate file. From the linear-response tensor: mobility_angle.dat and, with\n"
    "  output_eigval, mobility_axes.dat; with field_scan the drift mobility at each strength along\n"
    "  app_elec_F in mobility_field.dat. With disorder_sigma > 0: the supercell of disorder_cells^3\n"
    "  cells with Gaussian site energies (disorder_seed), solved by a sparse solver.\n";

bool print_help(const CommandLine& cl, const char* usage, const char* argv0) {
    if (!cl.help) return false;
    std::printf(usage, program_name(argv0).c_str());
    return true;
}

}  // namespace

// --- hopsim_rates ---

int rates_main(int argc, char** argv) {
    return guarded("hopsim_rates", [&] {
        const CommandLine cl = parse(argc, argv, false);
        if (print_help(cl, kRatesUsage, argv[0])) return 0;
        RunFolder folder;
        folder.load();
        const RateTable t = build_rate_table(folder);
        write_rate_table(folder.rate_file(), t);

        std::printf("Hopping rates of the %s: %s%s, T = %g K, %d molecules, %zu pairs\n", carrier_name(t.carrier),
                    t.ratetype.c_str(), t.ratetype == "quantum" ? (t.sta ? " (short-time approximation)" : " (time integral)") : "",
                    t.temperature, t.nmols, t.pairs.size());
        double lo = HUGE_VAL, hi = 0.0;
        for (const RatePair& p : t.pairs) {
            lo = std::min(lo, p.rate);
            hi = std::max(hi, p.rate);
        }
        std::printf("  rates from %.4e to %.4e 1/s\n", lo, hi);
        const char* modes_file = t.carrier == 'e' ? "NM-e.dat" : "NM-h.dat";
        if (holds_four_point_lambda(modes_file))
            std::printf("  WARNING: %s holds the four-point reorganization energies (the study has no normal-mode "
                        "data): the rates use them%s\n",
                        modes_file, t.ratetype == "quantum" ? ", all of it classically" : "");
        // A pair and its reverse should carry one coupling; a mismatch breaks detailed balance.
        std::map<std::tuple<int, int, int, int, int>, size_t> seen;
        int mismatched = 0;
        for (size_t k = 0; k < t.pairs.size(); ++k) {
            const PairKey& key = t.pairs[k].key;
            seen[std::make_tuple(key.root, key.nei, key.cell[0], key.cell[1], key.cell[2])] = k;
        }
        for (size_t k = 0; k < t.pairs.size(); ++k) {
            const PairKey& key = t.pairs[k].key;
            auto r = seen.find(std::make_tuple(key.nei, key.root, -key.cell[0], -key.cell[1], -key.cell[2]));
            if (r == seen.end()) continue;
            const double a = std::fabs(t.pairs[k].j_mev), b = std::fabs(t.pairs[r->second].j_mev);
            if (std::fabs(a - b) > 1e-3 * std::max(a, b) + 1e-9) ++mismatched;
        }
        if (mismatched > 0)
            std::printf("  WARNING: %d pairs differ from their reverse pair in |J| by more than 0.1%%\n", mismatched);
        if (t.ratetype == "quantum")
            for (int m = 0; m < t.nmols; ++m) {
                const double total = t.modes[m].lambda_mev, modes = t.modes[m].modes_lambda_mev();
                if (modes > 1.05 * total + 1e-9 || modes < 0.95 * total - 1e-9)
                    std::printf("  WARNING: molecule %d: the modes carry %.2f meV of its %.2f meV; %s\n", m + 1, modes,
                                total, modes < total ? "the rest is treated classically"
                                                     : "the modes are used as given and no classical part is left");
            }
        std::printf("  written to %s\n", folder.rate_file().c_str());
        return 0;
    });
}

// --- hopsim_mc ---

int mc_main(int argc, char** argv, bool parallel) {
    return guarded("hopsim_mc", [&] {
        const CommandLine cl = parse(argc, argv, true);
        if (print_help(cl, kMcUsage, argv[0])) return 0;
        RunFolder folder;
        load_settings(folder);
        const RateTable t = load_rates(folder);
        KmcSettings s;
        s.tsimu_ns = folder.sim_time_ns();
        s.tsnap_ns = folder.snap_time_ns();
        s.first = cl.simu0;
        s.count = cl.nsimu > 0 ? cl.nsimu : folder.trajectories();
        check_simulation_size(folder, t, s, cl.nsimu > 0);
        const Disorder disorder = folder.disorder();
        check_disorder(disorder);
        const SupercellLayout layout = supercell_layout(t.nmols, disorder.cells, folder.film_dir(), folder.film_cells());
        HopNetwork net;
        if (disorder.supercell()) {
            check_supercell_size(t, layout, limits::kNetworkSize, "the Monte Carlo network");
            const RateModel model(t);
            double field[3];
            field_cartesian(t.cell, t.field, field);
            net = build_supercell_network(t, model, field, layout, supercell_site_energies(t, layout, disorder));
        } else {
            std::vector<double> rates;
            for (const RatePair& p : t.pairs) rates.push_back(p.rate);
            net = build_network(t, rates, folder.film_dir(), folder.film_cells());
        }
        // What a trajectory needs is many hops, not a set time: when mc_hops hops take less than
        // tsimu, it runs that long with as many snapshots (the interval kept to four digits).
        const double t_hops = time_for_hops(net, folder.hops_per_trajectory());
        if (t_hops > 0.0 && t_hops < s.tsimu_ns) {
            const int nsnap = snapshot_count(s.tsimu_ns, s.tsnap_ns);
            s.tsnap_ns = std::strtod(format_string("%.4g", s.tsnap_ns * t_hops / s.tsimu_ns).c_str(), nullptr);
            s.tsimu_ns = s.tsnap_ns * (nsnap - 1);
        }
        TrajectoryHeader h;
        h.carrier = t.carrier;
        h.temperature = t.temperature;
        std::copy(t.field, t.field + 3, h.field);
        std::copy(&t.cell[0][0], &t.cell[0][0] + 9, &h.cell[0][0]);
        h.film_dir = folder.film_dir() >= 0 && folder.film_cells() > 0 ? folder.film_dir() : -1;
        if (h.film_dir < 0) h.film_ncell = 0;
        h.film_ncell = folder.film_dir() >= 0 ? folder.film_cells() : 0;
        if (disorder.active()) {
            h.disorder_sigma_mev = disorder.sigma_mev;
            h.disorder_cells = disorder.cells;
            h.disorder_seed = disorder.seed;
        }
        h.tsnap_ns = s.tsnap_ns;
        h.nsnap = snapshot_count(s.tsimu_ns, s.tsnap_ns);
        std::printf("Kinetic Monte Carlo of the %s at %g K: trajectories %lld to %lld, %g ns each, %d snapshots, "
                    "%d sites%s\n", carrier_name(t.carrier), t.temperature, s.first, s.first + s.count - 1, s.tsimu_ns,
                    h.nsnap, net.nsites, h.film_dir >= 0 ? " (thin film)" : "");
        if (disorder.active()) std::printf("  static disorder: %s\n", disorder_text(disorder, layout).c_str());
        std::fflush(stdout);
        const double target = folder.error_target();
        const KmcOutcome run = run_to_target(net, s, h, target, parallel);
        const std::vector<Trajectory>& trajs = run.trajectories;
        const std::string out = trajectory_file_name(s.first, static_cast<long long>(trajs.size()));
        write_trajectories(out, h, trajs);
        long long hops = 0;
        for (const Trajectory& tr : trajs) hops += tr.hops;
        if (run.target_reached)
            std::printf("  error target %g %% reached after %zu trajectories (%.2f %%)\n", 100 * target, trajs.size(),
                        100 * run.relative_error);
        else if (target > 0)
            std::printf("  error target %g %% not reached within %zu trajectories\n", 100 * target, trajs.size());
        std::printf("  %lld hops, written to %s\n", hops, out.c_str());
        return 0;
    });
}

// --- hopsim_mobility ---

int mobility_main(int argc, char** argv, bool parallel) {
    return guarded("hopsim_mobility", [&] {
        const CommandLine cl = parse(argc, argv, false);
        if (print_help(cl, kMobilityUsage, argv[0])) return 0;
        const std::vector<std::string> files = list_trajectory_files(".");
        const TrajectoryFile all = gather_trajectories(files);
        const TrajectoryHeader& h = all.header;
        const MobilityAnalysis a = analyse_trajectories(h, all.trajectories, parallel);
        std::vector<double> numbers(a.mu, a.mu + 4);
        numbers.insert(numbers.end(), a.err, a.err + 4);
        numbers.insert(numbers.end(), a.diffusion_abc, a.diffusion_abc + 4);
        numbers.insert(numbers.end(), &a.diffusion[0][0], &a.diffusion[0][0] + 9);
        numbers.insert(numbers.end(), a.drift, a.drift + 3);
        numbers.insert(numbers.end(), a.d_kt, a.d_kt + 4);
        numbers.insert(numbers.end(), a.d_kt_err, a.d_kt_err + 4);
        require_finite(numbers, "mobility analysis", "exp_data.dat");
        require_finite(a.msd_abc, "mean square displacement", "msd.dat");

        ExpData d;
        for (int i = 0; i < 4; ++i) {
            d.mu[i] = a.mu[i];
            d.err[i] = a.err[i];
        }
        d.has_err = true;
        d.notes.push_back(format_string("kinetic Monte Carlo, %s, T = %g K, %lld trajectories; error: jackknife over %d "
                                        "groups", carrier_name(h.carrier), h.temperature, a.trajectories, a.groups));
        if (h.disorder_sigma_mev > 0.0)
            d.notes.push_back(format_string("static disorder: sigma %g meV on %d x %d x %d cells, seed %lld",
                                            h.disorder_sigma_mev, h.disorder_cells, h.disorder_cells, h.disorder_cells,
                                            h.disorder_seed));
        const char* const names[4] = {"a", "b", "c", "av"};
        if (a.field) {
            d.notes.push_back("applied field: the drift q v / |F| along a, b, c and (mu_av) along the field");
            for (int i = 0; i < 4; ++i)
                d.notes.push_back(format_string("D/kT_%s = %.6e +- %.2e cm^2/Vs (diffusion, no mobility under a field)",
                                                names[i], a.d_kt[i], a.d_kt_err[i]));
        }
        // The error target and output settings of the run folder, when it has its krymo.inp.
        RunFolder folder;
        double target = 0.0;
        if (file_exists("krymo.inp")) {
            load_settings(folder);
            target = folder.error_target();
        }
        if (target > 0)
            d.notes.push_back(format_string("error target %g %% %s: %.2f %% on mu_av", 100 * target,
                                            relative_error(a) <= target ? "reached" : "NOT reached",
                                            100 * relative_error(a)));
        const std::vector<std::string> warnings = mobility_warnings(a.mu, a.err, true, a.field);
        d.notes.insert(d.notes.end(), warnings.begin(), warnings.end());
        write_exp_data("exp_data.dat", d);

        TextWriter rep;
        open_output(rep, "mobility.dat", kReportFailure);
        rep.printf("Mobility from kinetic Monte Carlo\n\n");
        rep.printf("carrier             %s\n", carrier_name(h.carrier));
        rep.printf("temperature         %g K\n", h.temperature);
        rep.printf("field               %g %g %g V/m along a, b, c\n", h.field[0], h.field[1], h.field[2]);
        if (h.film_dir >= 0) rep.printf("thin film           normal along %c, %d cells\n", "abc"[h.film_dir], h.film_ncell);
        if (h.disorder_sigma_mev > 0.0)
            rep.printf("static disorder     sigma %g meV, %d cells along each periodic axis, seed %lld\n",
                       h.disorder_sigma_mev, h.disorder_cells, h.disorder_seed);
        rep.printf("trajectory files    %zu\n", files.size());
        rep.printf("trajectories        %lld (%lld hops)\n", a.trajectories, a.hops);
        rep.printf("snapshots           %d every %g ns\n", h.nsnap, h.tsnap_ns);
        rep.printf("fit                 %g to %g ns (snapshots %d to %d)\n", a.fit_first * h.tsnap_ns,
                   a.fit_last * h.tsnap_ns, a.fit_first, a.fit_last);
        rep.printf("error               jackknife over %d groups of trajectories\n\n", a.groups);
        rep.printf("diffusion tensor (Cartesian, cm^2/s):\n");
        for (int i = 0; i < 3; ++i)
            rep.printf("  %14.6e %14.6e %14.6e\n", a.diffusion[i][0], a.diffusion[i][1], a.diffusion[i][2]);
        rep.printf("\n%-6s %14s %14s %12s %14s %12s\n", "", "D (cm^2/s)", "D/kT (cm^2/Vs)", "error",
                   a.field ? "drift mu" : "", a.field ? "error" : "");
        for (int i = 0; i < 4; ++i) {
            rep.printf("%-6s %14.6e %14.6e %12.2e", i < 3 || !a.field ? names[i] : "field", a.diffusion_abc[i],
                       a.d_kt[i], a.d_kt_err[i]);
            if (a.field) rep.printf(" %14.6e %12.2e", a.mu[i], a.err[i]);
            rep.write("\n");
        }
        if (a.field) rep.write("(under the field the mobility is the drift q v / |F|; D/kT is no mobility)\n");
        rep.printf("\ndrift velocity      %.6e %.6e %.6e cm/s\n", a.drift[0], a.drift[1], a.drift[2]);
        for (const std::string& w : warnings) rep.printf("%s\n", w.c_str());
        close_output(rep, kReportFailure);

        TextWriter msd;
        open_output(msd, "msd.dat", kReportFailure);
        msd.printf("# t (ns)   displacement variance along a, b, c (Angstrom^2)\n");
        for (int k = 0; k < h.nsnap; ++k)
            msd.printf("%12.6f %16.6f %16.6f %16.6f\n", k * h.tsnap_ns, a.msd_abc[3 * k], a.msd_abc[3 * k + 1],
                       a.msd_abc[3 * k + 2]);
        close_output(msd, kReportFailure);

        std::printf("Mobility of the %s at %g K from %lld trajectories (cm^2/Vs):\n", carrier_name(h.carrier),
                    h.temperature, a.trajectories);
        for (int i = 0; i < 4; ++i)
            std::printf("  %-3s %.6e +- %.2e\n", i < 3 || !a.field ? names[i] : "F", a.mu[i], a.err[i]);
        for (const std::string& w : warnings) std::printf("%s\n", w.c_str());
        if (a.field) {
            if (folder.principal_output())
                std::printf("  no principal mobilities under an applied field: D/kT is no mobility there\n");
            return 0;
        }
        // The Einstein relation on the whole tensor and on each leave-one-out tensor.
        const double kT = units::kBoltzmann * h.temperature;
        MobilityTensor mt;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) mt.mu[i][j] = a.diffusion[i][j] / kT;
        std::copy(&h.cell[0][0], &h.cell[0][0] + 9, &mt.cell[0][0]);
        for (std::array<double, 9> d : a.jackknife_diffusion) {
            for (double& x : d) x /= kT;
            mt.jackknife.push_back(d);
        }
        mt.source = format_string("kinetic Monte Carlo, %s, T = %g K, %lld trajectories; D/kT", carrier_name(h.carrier),
                                  h.temperature, a.trajectories);
        write_tensor_analysis(folder, mt, h.film_dir);
        return 0;
    });
}

// --- hopsim_master ---

int master_main(int argc, char** argv) {
    return guarded("hopsim_master", [&] {
        const CommandLine cl = parse(argc, argv, false);
        if (print_help(cl, kMasterUsage, argv[0])) return 0;
        RunFolder folder;
        load_settings(folder);
        const RateTable t = load_rates(folder);
        MasterSettings s;
        s.iterlimit = folder.iteration_limit();
        s.nevery = folder.report_every();
        s.film_dir = folder.film_dir();
        s.film_ncell = folder.film_cells();
        s.disorder = folder.disorder();
        check_disorder(s.disorder);
        const SupercellLayout layout = supercell_layout(t.nmols, s.disorder.cells, s.film_dir, s.film_ncell);
        if (s.disorder.supercell())
            check_supercell_size(t, layout, limits::kSparseMasterSize, "the sparse master equation");
        else
            network_layers(folder, t, limits::kMasterSites, "the master equation");
        std::printf("Master equation of the %s at %g K: %d molecules, %zu pairs%s\n", carrier_name(t.carrier),
                    t.temperature, t.nmols, t.pairs.size(), s.film_dir >= 0 ? ", thin film" : "");
        const std::vector<double>& strengths = folder.field_strengths();
        for (double f : strengths)
            if (f > limits::kField)
                refuse(format_string("krymo.inp: field_scan holds %g; at most %g V/m is expected", f, limits::kField));
        const bool has_field = std::fabs(t.field[0]) > 0 || std::fabs(t.field[1]) > 0 || std::fabs(t.field[2]) > 0;
        if (!strengths.empty() && !has_field)
            refuse("krymo.inp: field_scan needs a direction: app_elec_F (three numbers along a, b, c, not all 0)");
        if (s.disorder.active())
            std::printf("  static disorder: %s, sparse solver\n", disorder_text(s.disorder, layout).c_str());
        const MasterResult r = master_mobility(t, s, stdout);
        FieldScan scan;
        if (!strengths.empty()) scan = master_field_scan(t, t.field, strengths, s, stdout);
        std::vector<double> numbers(r.mu, r.mu + 4);
        numbers.push_back(scan.mu_zero);
        for (const FieldPoint& pt : scan.points) {
            numbers.push_back(pt.mu);
            numbers.insert(numbers.end(), pt.velocity, pt.velocity + 3);
        }
        numbers.insert(numbers.end(), &r.tensor[0][0], &r.tensor[0][0] + 9);
        numbers.insert(numbers.end(), r.at_field.velocity, r.at_field.velocity + 3);
        numbers.insert(numbers.end(), r.at_field.p.begin(), r.at_field.p.end());
        numbers.push_back(r.mu_field);
        require_finite(numbers, "master equation's result", "exp_data.dat");

        ExpData d;
        std::copy(r.mu, r.mu + 4, d.mu);
        d.notes.push_back(format_string("master equation, %s, T = %g K, %s field %.6e V/m", carrier_name(t.carrier),
                                        t.temperature, r.linear ? "probing" : "applied", r.field));
        if (!r.linear) d.notes.push_back("applied field: the drift q v / |F| along a, b, c and (mu_av) along the field");
        if (s.disorder.active())
            d.notes.push_back("static disorder: " + disorder_text(s.disorder, layout));
        if (!r.converged) d.notes.push_back(format_string("NOT CONVERGED within iterlimit = %d", s.iterlimit));
        const std::vector<std::string> warnings = mobility_warnings(r.mu, r.mu, false, !r.linear);
        d.notes.insert(d.notes.end(), warnings.begin(), warnings.end());
        write_exp_data("exp_data.dat", d);

        TextWriter rep;
        open_output(rep, "master.dat", kReportFailure);
        rep.printf("Mobility from the steady-state master equation\n\n");
        rep.printf("carrier             %s\n", carrier_name(t.carrier));
        rep.printf("temperature         %g K\n", t.temperature);
        rep.printf("sites               %zu%s\n", r.at_field.p.size(), s.film_dir >= 0 ? " (thin film)" : "");
        rep.printf("%s field       %.6e V/m\n", r.linear ? "probing" : "applied", r.field);
        if (s.disorder.active()) rep.printf("static disorder     %s\n", disorder_text(s.disorder, layout).c_str());
        rep.printf("solves              %d, %s\n", r.solves, r.converged ? "all converged" : "NOT ALL CONVERGED");
        rep.printf("\noccupation at the %s field:\n", r.linear ? "zero" : "applied");
        for (size_t i = 0; i < r.at_field.p.size(); ++i) rep.printf("  %4zu  %.10f\n", i + 1, r.at_field.p[i]);
        rep.printf("drift velocity      %.6e %.6e %.6e cm/s\n", r.at_field.velocity[0] * 1e-8,
                   r.at_field.velocity[1] * 1e-8, r.at_field.velocity[2] * 1e-8);
        if (!r.linear) rep.printf("mobility along the field  %.6e cm^2/Vs\n", r.mu_field);
        if (r.linear) {
            rep.printf("\nmobility tensor (Cartesian, cm^2/Vs):\n");
            for (int i = 0; i < 3; ++i)
                rep.printf("  %14.6e %14.6e %14.6e\n", r.tensor[i][0], r.tensor[i][1], r.tensor[i][2]);
        }
        rep.printf("\nmobility (cm^2/Vs):\n");
        const char* const names[4] = {"a", "b", "c", "av"};
        for (int i = 0; i < 4; ++i) rep.printf("  %-3s %.6e\n", i < 3 || r.linear ? names[i] : "F", r.mu[i]);
        for (const std::string& w : warnings) rep.printf("%s\n", w.c_str());
        close_output(rep, kReportFailure);
        std::printf("Mobility (cm^2/Vs): a %.6e  b %.6e  c %.6e  %s %.6e\n", r.mu[0], r.mu[1], r.mu[2],
                    r.linear ? "av" : "along the field", r.mu[3]);
        for (const std::string& w : warnings) std::printf("%s\n", w.c_str());
        if (!strengths.empty()) {
            write_field_scan("mobility_field.dat", scan, t);
            std::printf("  mobility at %zu field strengths (zero-field limit %.6e cm^2/Vs): mobility_field.dat\n",
                        scan.points.size(), scan.mu_zero);
        }
        // The tensor: of the run itself without a field, of the field scan's zero-field solves with one.
        if (r.linear || !strengths.empty()) {
            MobilityTensor mt;
            const MasterResult& lin = r.linear ? r : scan.linear;
            std::copy(&lin.tensor[0][0], &lin.tensor[0][0] + 9, &mt.mu[0][0]);
            std::copy(&t.cell[0][0], &t.cell[0][0] + 9, &mt.cell[0][0]);
            mt.source = format_string("master equation, %s, T = %g K, linear response", carrier_name(t.carrier),
                                      t.temperature);
            write_tensor_analysis(folder, mt, s.film_dir);
        } else if (folder.principal_output()) {
            std::printf("  no principal mobilities under an applied field: field_scan adds the zero-field tensor\n");
        }
        if (!r.converged || !scan.converged) {
            std::printf("WARNING: the steady state did not converge within iterlimit = %d\n", s.iterlimit);
            return 1;
        }
        return 0;
    });
}

}  // namespace hopsim
}  // namespace krymo
