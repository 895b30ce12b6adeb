// Malformed and hostile inputs of the hopping tools, each spoiling one file of a good hole run folder
// (the naphthalene crystal with stub couplings, modes and site energies): the tool stops with status
// 1, names the file, key or line and what is wrong, and leaves the folder as it was.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "hopsim/formats.h"
#include "hopsim/study.h"
#include "hopsim/hopsim_support.h"
#include "test_support.h"
#include "util/text.h"

using namespace krymo_test;

namespace {

using Files = std::map<std::string, std::string>;

// The good folder: settings, data, the rate file and one trajectory file, by name.
const Files& good_folder() {
    static const Files files = [] {
        ScopedStudyDir dir;
        write_file("naphthalene.cif", read_file(data_path("crystals/naphthalene.cif")));
        write_file("krymo.inp", "&transport\n  crystal = naphthalene.cif\n  lattice_cutoff = 2.8\n  chargetype = h\n"
                                "  lat_site_energy = 1\n  ratetype = quantum\n  nsimu = 20\n  tsimu = 2\n"
                                "  tsnap = 0.1\n/\n");
        write_file("charge.inp", "h\n");
        krymo::hopsim::RunFolder f;
        f.load();
        krymo::hopsim::write_pair_values("VH.dat", f.pairs(), distance_couplings(f, 10.0), "transfer integral (meV)",
                                         false, 2);
        krymo::hopsim::write_normal_modes("NM-h.dat", {stub_modes(), stub_modes()});
        krymo::hopsim::write_site_values("EH.dat", {0.0, 30.0}, "site energy (meV)");
        EXPECT_EQ(run_command(hopsim_exe("rates")).status, 0);
        EXPECT_EQ(run_command(hopsim_exe("mc") + " -nsimu 3").status, 0);
        Files out;
        for (const std::string& name : list_dir(dir.path())) out[name] = read_file(name);
        return out;
    }();
    return files;
}

using Edit = std::function<std::string(const std::string&)>;
Edit text(std::string t) { return [=](const std::string&) { return t; }; }
Edit replace(std::string from, std::string to) {
    return [=](const std::string& s) {
        EXPECT_NE(s.find(from), std::string::npos) << from;
        return replaced(s, from, to);
    };
}
// A setting added at the end of the &transport section.
Edit setting(std::string line) { return replace("/\n", line + "\n/\n"); }
// Line n (1-based, counting every line) becomes `to`.
Edit line_no(size_t n, std::string to) {
    return [=](const std::string& s) {
        size_t from = 0;
        for (size_t k = 1; k < n; ++k) from = s.find('\n', from) + 1;
        return s.substr(0, from) + to + s.substr(s.find('\n', from));
    };
}

struct BadRun {
    const char* tool;    // with its options
    std::string file;    // the spoiled file
    Edit edit;
    const char* phrase;  // what the message says is wrong
};

}  // namespace

TEST(BadInputHopsim, EveryMalformedOrHostileInputStopsTheToolWithStatusOne) {
    const Files& good = good_folder();
    ASSERT_TRUE(good.count("krymo-quantum.dat") && good.count("traj-0-2.dat"));
    const std::string traj = "traj-0-2.dat", rates = "krymo-quantum.dat";
    const BadRun cases[] = {
        // krymo.inp, read by every tool through the preparation's reader (whose tests hold each rule)
        {"mc", "krymo.inp", text(""), "krymo.inp holds no &transport section (the file is empty)"},
        {"master", "krymo.inp", replace("\n/\n", "\n"), "krymo.inp (line 1) has no closing line"},
        {"rates", "krymo.inp", replace("&transport", "&transprt"), "Did you mean \"&transport\"?"},
        {"rates", "krymo.inp", setting("temp = 0"), "Invalid value of temp in krymo.inp, line 10"},
        {"rates", "krymo.inp", setting("maxt = 1e300"), "maxt = 1e+300; at most 1e+06 fs"},
        {"rates", "krymo.inp", setting("app_elec_F = 1e300 0 0"), "at most 1e+09 V/m"},
        {"rates", "temp.inp", text("-20 K\n"), "temp.inp line 1: the temperature must lie above 0"},
        // sizes: refused before anything large is allocated
        {"mc -nsimu 100000000", "krymo.inp", text(good.at("krymo.inp")), "split the trajectories over calls"},
        {"mc", "krymo.inp", setting("tsnap = 1e-7"), "snapshots per trajectory"},
        {"mc", "krymo.inp", setting("thinfilm = 2 2147483647"), "exceed the 10000000 the Monte Carlo network"},
        {"master", "krymo.inp", setting("thinfilm = 2 5000"), "exceed the 2000 the master equation can hold"},
        {"master", "krymo.inp", setting("field_scan = 1e3"), "field_scan needs a direction: app_elec_F"},
        {"master", "krymo.inp", setting("field_scan = 1e3 2e9"), "field_scan holds 2e+09; at most 1e+09 V/m"},
        // data of the rates
        {"rates", "EH.dat", replace("30.000000", "1e11"), "EH.dat line 4: value (meV) 1e11 lies outside"},
        {"rates", "VH.dat", line_no(3, "    1    2   0   0   0  1e300"), "VH.dat line 3: value (meV) 1e300"},
        {"rates", "NM-h.dat", replace("1580.0000", "1e9"), "NM-h.dat line 3: frequency (cm^-1) 1e9"},
        // the rate file
        {"mc", rates, replace("e+", "e+300 #"), "rate (1/s)"},
        {"mc", rates, replace("pairs ", "pairs 2147483647 #"), "2147483647 pairs, but fewer lines follow"},
        {"master", rates, replace("\n   1   2  0  0  0", "\n   1   2 -2147483647  0  0"), "cell index -2147483647"},
        // trajectories
        {"mobility", traj, replace("thinfilm -1 0", "thinfilm 1000000 5"), "thinfilm 1000000 5; expected -1 0"},
        {"mobility_par", traj, replace("temperature 300", "temperature 0"), "the temperature must lie above 0"},
        {"mobility", traj, replace("cell_a", "cell_a 0 0 0 #"), "lattice vector a is 0 Angstrom long"},
        {"mobility", traj, line_no(16, "1e308 0 0"), "line 16: displacement (Angstrom) 1e308 lies outside"},
        {"mobility", traj, replace("trajectories 3", "trajectories 2147483647"), "need more lines than the file holds"},
        {"mobility", traj, replace("snapshots 21", "snapshots 2147483647"), "need more lines than the file holds"},
    };
    for (const BadRun& c : cases) {
        const std::string what = std::string(c.tool) + ", " + c.file + ": " + c.phrase;
        ScopedStudyDir dir;
        Files files = good;
        files[c.file] = c.edit(files.count(c.file) ? files.at(c.file) : std::string());
        for (const auto& [name, content] : files) write_file(name, content);
        const std::string tool = c.tool, name = tool.substr(0, tool.find(' '));
        const CommandResult r = run_command(hopsim_exe(name) + tool.substr(name.size()));
        EXPECT_EQ(r.status, 1) << what << "\n" << r.output;
        EXPECT_NE(r.output.find(c.phrase), std::string::npos) << what << "\n" << r.output;
        // Nothing written, nothing replaced.
        std::vector<std::string> names;
        for (const auto& f : files) names.push_back(f.first);
        EXPECT_EQ(list_dir(dir.path()), names) << what;
        EXPECT_EQ(read_file(rates), files.at(rates)) << what;
    }
}
