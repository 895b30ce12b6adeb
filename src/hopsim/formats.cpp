#include "hopsim/formats.h"

#include <dirent.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "util/fatal.h"
#include "util/files.h"
#include "util/text.h"

namespace krymo {
namespace hopsim {

namespace {

const OutputFailure kWriteFailure = {"hopsim", 1, false, false};

// Words of the meaningful lines of a file: blank lines and everything after '#' are skipped, and
// every complaint names the file and the line.
class DataFile {
public:
    DataFile(const std::string& path, const char* what) : path_(path) {
        if (!read_input_lines(path, kDataInput, "hopsim", lines_, false))
            KRYMO_FATAL_OUT("hopsim", 1, format_string("Cannot open %s (%s)\n", path.c_str(), what));
    }

    // The next meaningful line split into words; false at the end of the file.
    bool next(std::vector<std::string>& words) {
        while (index_ < lines_.size()) {
            std::string s = lines_[index_++];
            const size_t hash = s.find('#');
            if (hash != std::string::npos) s.erase(hash);
            words.clear();
            split_to_words(s, " \t\r", words);
            if (!words.empty()) return true;
        }
        words.clear();
        return false;
    }
    // Like next(), but the end of the file is an error.
    void take(std::vector<std::string>& words, const std::string& expected) {
        if (!next(words))
            KRYMO_FATAL_OUT("hopsim", 1,
                            format_string("%s line %zu: the file ends here, but %s was expected\n", path_.c_str(),
                                          lines_.size() + 1, expected.c_str()));
    }
    [[noreturn]] void fail(const std::string& message) const {
        KRYMO_FATAL_OUT("hopsim", 1, format_string("%s line %zu: %s\n", path_.c_str(), index_, message.c_str()));
    }
    void expect_words(const std::vector<std::string>& words, size_t n, const std::string& expected) const {
        if (words.size() != n)
            fail(format_string("%zu fields, expected %zu: %s", words.size(), n, expected.c_str()));
    }
    double real(const std::string& word, const std::string& what) const {
        double v = 0;
        if (!parse_whole_real(word, v)) fail(format_string("'%s' is not a number (%s)", word.c_str(), what.c_str()));
        return v;
    }
    // A number within [lo, hi].
    double bounded(const std::string& word, const std::string& what, double lo, double hi) const {
        const double v = real(word, what);
        if (v < lo || v > hi) fail(format_string("%s %s lies outside %g .. %g", what.c_str(), word.c_str(), lo, hi));
        return v;
    }
    double energy(const std::string& word, const std::string& what) const {
        return bounded(word, what + " (meV)", -limits::kEnergyMev, limits::kEnergyMev);
    }
    // Lines not read yet: a count that needs more lines than the file has is refused before any storage.
    size_t remaining() const { return lines_.size() - index_; }
    int integer(const std::string& word, const std::string& what) const {
        int v = 0;
        if (!parse_whole_int(word, v)) fail(format_string("'%s' is not an integer (%s)", word.c_str(), what.c_str()));
        return v;
    }
    // A line "keyword v1 v2 ...": the keyword checked, the count of values checked.
    // The line "keyword ..." when it comes next; else nothing is taken and false returned.
    bool optional_keyword(const char* key, size_t nvalues, std::vector<std::string>& values) {
        const size_t at = index_;
        std::vector<std::string> w;
        if (!next(w) || w[0] != key) {
            index_ = at;
            return false;
        }
        index_ = at;
        values = keyword(key, nvalues);
        return true;
    }
    std::vector<std::string> keyword(const char* key, size_t nvalues) {
        std::vector<std::string> w;
        take(w, format_string("the line '%s'", key));
        if (w[0] != key) fail(format_string("'%s' found where the line '%s' was expected", w[0].c_str(), key));
        if (w.size() != nvalues + 1)
            fail(format_string("'%s' takes %zu values, found %zu", key, nvalues, w.size() - 1));
        return std::vector<std::string>(w.begin() + 1, w.end());
    }
    std::vector<double> reals(const char* key, size_t n) {
        const std::vector<std::string> w = keyword(key, n);
        std::vector<double> v;
        for (const std::string& s : w) v.push_back(real(s, key));
        return v;
    }
    void expect_end() {
        std::vector<std::string> w;
        if (next(w)) fail(format_string("unexpected text '%s' after the last expected line", w[0].c_str()));
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::vector<std::string> lines_;
    size_t index_ = 0;
};

std::string key_text(const PairKey& k) {
    return format_string("%d %d %d %d %d", k.root, k.nei, k.cell[0], k.cell[1], k.cell[2]);
}

PairKey read_key(const DataFile& in, const std::vector<std::string>& w, size_t first) {
    PairKey k;
    k.root = in.integer(w[first], "root molecule");
    k.nei = in.integer(w[first + 1], "neighbour molecule");
    for (int t = 0; t < 3; ++t) k.cell[t] = in.integer(w[first + 2 + t], "cell index");
    return k;
}

int count_line(DataFile& in, const char* what) {
    std::vector<std::string> w;
    in.take(w, what);
    in.expect_words(w, 1, what);
    const int n = in.integer(w[0], what);
    if (n < 0) in.fail(format_string("%s is negative", what));
    return n;
}

void close_or_fail(TextWriter& out) { close_output(out, kWriteFailure); }

char carrier_letter(const DataFile& in, const std::string& w) {
    if (w == "e" || w == "h") return w[0];
    in.fail(format_string("carrier '%s'; expected e (electron) or h (hole)", w.c_str()));
}

void read_temperature(DataFile& in, double& kelvin) {
    kelvin = in.reals("temperature", 1)[0];
    if (!(kelvin > 0) || kelvin > limits::kTemperature)
        in.fail(format_string("the temperature must lie above 0 and at most %g K", limits::kTemperature));
}

void read_field_and_cell(DataFile& in, double field[3], double cell[3][3]) {
    const std::vector<double> f = in.reals("field", 3);
    for (int i = 0; i < 3; ++i) {
        if (std::fabs(f[i]) > limits::kField) in.fail(format_string("a field beyond %g V/m", limits::kField));
        field[i] = f[i];
    }
    const char* const rows[3] = {"cell_a", "cell_b", "cell_c"};
    for (int r = 0; r < 3; ++r) {
        const std::vector<double> v = in.reals(rows[r], 3);
        std::copy(v.begin(), v.end(), cell[r]);
    }
    const std::string problem = cell_problem(cell);
    if (!problem.empty()) in.fail(problem);
}

}  // namespace

std::string cell_problem(const double c[3][3]) {
    double lengths = 1.0;
    for (int r = 0; r < 3; ++r) {
        const double len = std::sqrt(c[r][0] * c[r][0] + c[r][1] * c[r][1] + c[r][2] * c[r][2]);
        if (!(len >= limits::kCellMin && len <= limits::kCellMax))
            return format_string("lattice vector %c is %g Angstrom long; %g to %g Angstrom is expected", "abc"[r], len,
                                 limits::kCellMin, limits::kCellMax);
        lengths *= len;
    }
    const double volume = c[0][0] * (c[1][1] * c[2][2] - c[1][2] * c[2][1]) -
                          c[0][1] * (c[1][0] * c[2][2] - c[1][2] * c[2][0]) +
                          c[0][2] * (c[1][0] * c[2][1] - c[1][1] * c[2][0]);
    if (!(std::fabs(volume) > 1e-6 * lengths)) return "the lattice vectors do not span a cell";
    return std::string();
}

bool operator==(const PairKey& a, const PairKey& b) {
    return a.root == b.root && a.nei == b.nei && a.cell[0] == b.cell[0] && a.cell[1] == b.cell[1] &&
           a.cell[2] == b.cell[2];
}

// --- pair values ---

std::vector<double> read_pair_values(const std::string& path, const std::vector<PairKey>& expected, bool with_count) {
    DataFile in(path, "values per neighbour pair");
    if (with_count) count_line(in, "the number of molecules");
    std::vector<double> values;
    std::vector<std::string> w;
    for (size_t k = 0; k < expected.size(); ++k) {
        in.take(w, format_string("the row of pair %zu (%s)", k + 1, key_text(expected[k]).c_str()));
        in.expect_words(w, 6, "root nei na nb nc value");
        const PairKey key = read_key(in, w, 0);
        if (key != expected[k])
            in.fail(format_string("pair %zu is '%s' here but '%s' in the neighbour list; the file must follow "
                                  "neighbor.dat", k + 1, key_text(key).c_str(), key_text(expected[k]).c_str()));
        values.push_back(in.energy(w[5], "value"));
    }
    if (in.next(w)) in.fail(format_string("more rows than the %zu pairs of the neighbour list", expected.size()));
    return values;
}

void write_pair_values(const std::string& path, const std::vector<PairKey>& keys, const std::vector<double>& values,
                       const std::string& what, bool with_count, int nmols) {
    TextWriter out;
    open_output(out, path, kWriteFailure);
    out.printf("# %s per neighbour pair, in neighbor.dat order\n", what.c_str());
    if (with_count) out.printf("%d\n", nmols);
    out.printf("# root nei  na  nb  nc        value\n");
    for (size_t k = 0; k < keys.size(); ++k)
        out.printf("%5d %4d %3d %3d %3d  %14.6f\n", keys[k].root, keys[k].nei, keys[k].cell[0], keys[k].cell[1],
                   keys[k].cell[2], values[k]);
    close_or_fail(out);
}

// --- site values ---

std::vector<double> read_site_values(const std::string& path, int nmols) {
    DataFile in(path, "values per unit-cell molecule");
    const int n = count_line(in, "the number of molecules");
    if (n != nmols) in.fail(format_string("%d molecules, but the unit cell has %d", n, nmols));
    std::vector<double> values;
    std::vector<std::string> w;
    for (int m = 1; m <= nmols; ++m) {
        in.take(w, format_string("the row of molecule %d", m));
        in.expect_words(w, 2, "molecule value");
        if (in.integer(w[0], "molecule") != m) in.fail(format_string("molecule %s where %d was expected", w[0].c_str(), m));
        values.push_back(in.energy(w[1], "value"));
    }
    in.expect_end();
    return values;
}

void write_site_values(const std::string& path, const std::vector<double>& values, const std::string& what) {
    TextWriter out;
    open_output(out, path, kWriteFailure);
    out.printf("# %s per unit-cell molecule\n%zu\n", what.c_str(), values.size());
    for (size_t m = 0; m < values.size(); ++m) out.printf("%4zu  %14.6f\n", m + 1, values[m]);
    close_or_fail(out);
}

// --- normal modes ---

double MoleculeModes::modes_lambda_mev() const {
    // h c * 1 cm^-1 in meV.
    double sum = 0.0;
    for (const Mode& m : modes) sum += m.huang_rhys * m.freq_cm * 0.1239841984;
    return sum;
}

std::string mode_block_text(const MoleculeModes& m) {
    std::string s = format_string("%zu %.6f    # modes, total reorganization energy (meV)\n", m.modes.size(), m.lambda_mev);
    for (const Mode& x : m.modes) s += format_string("  %12.4f  %14.8f\n", x.freq_cm, x.huang_rhys);
    return s;
}

const char kFourPointModesMark[] = "# four-point reorganization energies, no normal modes";

bool holds_four_point_lambda(const std::string& path) {
    std::FILE* fp = std::fopen(path.c_str(), "r");
    if (fp == nullptr) return false;
    char head[sizeof kFourPointModesMark] = {0};
    const size_t got = std::fread(head, 1, sizeof head - 1, fp);
    std::fclose(fp);
    return got == sizeof head - 1 && std::strcmp(head, kFourPointModesMark) == 0;
}

std::vector<MoleculeModes> read_normal_modes(const std::string& path, int nmols) {
    DataFile in(path, "normal modes");
    const int n = count_line(in, "the number of molecules");
    if (n != nmols) in.fail(format_string("%d molecules, but the unit cell has %d", n, nmols));
    std::vector<MoleculeModes> out(nmols);
    std::vector<std::string> w;
    for (int m = 0; m < nmols; ++m) {
        in.take(w, format_string("the mode count and reorganization energy of molecule %d", m + 1));
        in.expect_words(w, 2, "nmodes lambda(meV)");
        const int nm = in.integer(w[0], "number of modes");
        if (nm < 0) in.fail("negative number of modes");
        out[m].lambda_mev = in.bounded(w[1], "total reorganization energy (meV)", 0.0, limits::kEnergyMev);
        for (int k = 0; k < nm; ++k) {
            in.take(w, format_string("mode %d of molecule %d", k + 1, m + 1));
            in.expect_words(w, 2, "frequency(cm-1) huang_rhys");
            Mode x;
            x.freq_cm = in.bounded(w[0], "frequency (cm^-1)", 0.0, limits::kFrequencyCm);
            x.huang_rhys = in.bounded(w[1], "Huang-Rhys factor", 0.0, limits::kHuangRhys);
            if (!(x.freq_cm > 0)) in.fail("a mode frequency must be above 0");
            out[m].modes.push_back(x);
        }
    }
    in.expect_end();
    return out;
}

void write_normal_modes(const std::string& path, const std::vector<MoleculeModes>& molecules) {
    TextWriter out;
    open_output(out, path, kWriteFailure);
    out.printf("%zu\n", molecules.size());
    for (const MoleculeModes& m : molecules) out.write(mode_block_text(m));
    close_or_fail(out);
}

// --- rate file ---

RateTable read_rate_table(const std::string& path) {
    DataFile in(path, "hopping rates; hopsim_rates.exe writes it");
    RateTable t;
    t.carrier = carrier_letter(in, in.keyword("carrier", 1)[0]);
    t.ratetype = in.keyword("ratetype", 1)[0];
    if (t.ratetype != "marcus" && t.ratetype != "quantum")
        in.fail(format_string("ratetype '%s'; expected marcus or quantum", t.ratetype.c_str()));
    t.sta = in.integer(in.keyword("sta", 1)[0], "sta");
    read_temperature(in, t.temperature);
    t.maxt_fs = in.reals("maxt", 1)[0];
    if (!(t.maxt_fs > 0) || t.maxt_fs > limits::kMaxtFs)
        in.fail(format_string("maxt must lie above 0 and at most %g fs", limits::kMaxtFs));
    t.broadening_mev = in.reals("broadening", 1)[0];
    if (!(t.broadening_mev >= 0) || t.broadening_mev > limits::kEnergyMev)
        in.fail(format_string("the broadening must lie between 0 and %g meV", limits::kEnergyMev));
    read_field_and_cell(in, t.field, t.cell);
    t.nmols = in.integer(in.keyword("molecules", 1)[0], "molecules");
    if (t.nmols < 1) in.fail("at least one molecule is needed");
    if (static_cast<size_t>(t.nmols) > in.remaining()) in.fail("more molecules than the lines that follow");
    std::vector<std::string> w;
    for (int m = 0; m < t.nmols; ++m) {
        const std::vector<std::string> h = in.keyword("modes", 3);
        if (in.integer(h[0], "molecule") != m + 1) in.fail(format_string("modes of molecule %d expected", m + 1));
        const int nm = in.integer(h[1], "number of modes");
        if (nm < 0) in.fail("negative number of modes");
        MoleculeModes mm;
        mm.lambda_mev = in.bounded(h[2], "reorganization energy (meV)", 0.0, limits::kEnergyMev);
        for (int k = 0; k < nm; ++k) {
            in.take(w, "a mode row");
            in.expect_words(w, 2, "frequency(cm-1) huang_rhys");
            Mode x{in.bounded(w[0], "frequency (cm^-1)", 0.0, limits::kFrequencyCm),
                   in.bounded(w[1], "Huang-Rhys factor", 0.0, limits::kHuangRhys)};
            if (!(x.freq_cm > 0) || x.huang_rhys < 0) in.fail("a mode needs a frequency above 0 and S >= 0");
            mm.modes.push_back(x);
        }
        t.modes.push_back(mm);
    }
    const int np = in.integer(in.keyword("pairs", 1)[0], "pairs");
    if (np < 0) in.fail("negative number of pairs");
    if (static_cast<size_t>(np) > in.remaining()) in.fail(format_string("%d pairs, but fewer lines follow", np));
    t.pairs.reserve(static_cast<size_t>(np));
    for (int k = 0; k < np; ++k) {
        in.take(w, format_string("pair row %d", k + 1));
        in.expect_words(w, 15, "root nei na nb nc dx dy dz J sigma_J lambda_in lambda_out sigma_E dG0 rate");
        RatePair p;
        p.key = read_key(in, w, 0);
        if (p.key.root < 1 || p.key.root > t.nmols || p.key.nei < 1 || p.key.nei > t.nmols)
            in.fail(format_string("molecule numbers must lie in 1..%d", t.nmols));
        for (int c = 0; c < 3; ++c)
            if (std::abs(p.key.cell[c]) > limits::kPairCell)
                in.fail(format_string("cell index %d lies beyond +-%d", p.key.cell[c], limits::kPairCell));
        for (int c = 0; c < 3; ++c) p.dr[c] = in.bounded(w[5 + c], "displacement (Angstrom)", -limits::kPairDistance,
                                                          limits::kPairDistance);
        p.j_mev = in.energy(w[8], "J");
        const char* const names[] = {"sigma_J", "lambda_in", "lambda_out", "sigma_E"};
        double* positive[] = {&p.sigma_j_mev, &p.lambda_in_mev, &p.lambda_out_mev, &p.sigma_e_mev};
        for (int c = 0; c < 4; ++c)
            *positive[c] = in.bounded(w[9 + c], std::string(names[c]) + " (meV)", 0.0, limits::kEnergyMev);
        p.dg0_mev = in.energy(w[13], "dG0");
        p.rate = in.bounded(w[14], "rate (1/s)", 0.0, limits::kRate);
        t.pairs.push_back(p);
    }
    in.expect_end();
    return t;
}

void write_rate_table(const std::string& path, const RateTable& t) {
    for (size_t k = 0; k < t.pairs.size(); ++k) {
        const RatePair& p = t.pairs[k];
        if (!(p.rate >= 0 && p.rate <= limits::kRate))
            KRYMO_FATAL_OUT("hopsim", 1,
                            format_string("The rate of pair %zu (%s) is %g 1/s, not a number from 0 to %g: %s is not "
                                          "written. Check the pair's coupling, energies and modes.\n",
                                          k + 1, key_text(p.key).c_str(), p.rate, limits::kRate, path.c_str()));
    }
    TextWriter out;
    open_output(out, path, kWriteFailure);
    out.write("# Hopping rates of one carrier. Energies meV, distances Angstrom, rates 1/s, field V/m along the\n");
    out.write("# unit vectors of a, b, c; the rates hold at this field.\n");
    out.printf("carrier %c\nratetype %s\nsta %d\n", t.carrier, t.ratetype.c_str(), t.sta);
    out.printf("temperature %.10g\nmaxt %.10g\nbroadening %.10g\n", t.temperature, t.maxt_fs, t.broadening_mev);
    out.printf("field %.10g %.10g %.10g\n", t.field[0], t.field[1], t.field[2]);
    const char* const rows[3] = {"cell_a", "cell_b", "cell_c"};
    for (int r = 0; r < 3; ++r)
        out.printf("%s %.10f %.10f %.10f\n", rows[r], t.cell[r][0] + 0.0, t.cell[r][1] + 0.0, t.cell[r][2] + 0.0);
    out.printf("molecules %d\n", t.nmols);
    for (int m = 0; m < t.nmols; ++m) {
        const MoleculeModes& mm = t.modes[m];
        out.printf("modes %d %zu %.6f\n", m + 1, mm.modes.size(), mm.lambda_mev);
        for (const Mode& x : mm.modes) out.printf("  %12.4f  %14.8f\n", x.freq_cm, x.huang_rhys);
    }
    out.printf("pairs %zu\n", t.pairs.size());
    out.write("# root nei na nb nc              dx                dy                dz             J       sigma_J     lambda_in"
              "    lambda_out       sigma_E           dG0                   rate\n");
    for (const RatePair& p : t.pairs)
        out.printf("%4d %3d %2d %2d %2d %17.12f %17.12f %17.12f %13.6f %13.6f %13.6f %13.6f %13.6f %13.6f %22.15e\n",
                   p.key.root, p.key.nei, p.key.cell[0], p.key.cell[1], p.key.cell[2], p.dr[0], p.dr[1], p.dr[2],
                   p.j_mev, p.sigma_j_mev, p.lambda_in_mev, p.lambda_out_mev, p.sigma_e_mev, p.dg0_mev, p.rate);
    close_or_fail(out);
}

// --- trajectories ---

bool same_run(const TrajectoryHeader& a, const TrajectoryHeader& b) {
    if (a.carrier != b.carrier || a.temperature != b.temperature || a.film_dir != b.film_dir ||
        a.film_ncell != b.film_ncell || a.tsnap_ns != b.tsnap_ns || a.nsnap != b.nsnap ||
        a.disorder_sigma_mev != b.disorder_sigma_mev || a.disorder_cells != b.disorder_cells ||
        a.disorder_seed != b.disorder_seed)
        return false;
    for (int i = 0; i < 3; ++i) {
        if (a.field[i] != b.field[i]) return false;
        for (int j = 0; j < 3; ++j)
            if (a.cell[i][j] != b.cell[i][j]) return false;
    }
    return true;
}

std::string trajectory_file_name(long long first, long long count) {
    return format_string("traj-%lld-%lld.dat", first, first + count - 1);
}

std::vector<std::string> list_trajectory_files(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string n = e->d_name;
            if (n.size() > 9 && n.compare(0, 5, "traj-") == 0 && n.compare(n.size() - 4, 4, ".dat") == 0)
                names.push_back(dir == "." ? n : dir + "/" + n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

TrajectoryFile read_trajectories(const std::string& path) {
    DataFile in(path, "kinetic Monte Carlo trajectories; hopsim_mc.exe writes it");
    TrajectoryFile f;
    TrajectoryHeader& h = f.header;
    h.carrier = carrier_letter(in, in.keyword("carrier", 1)[0]);
    read_temperature(in, h.temperature);
    read_field_and_cell(in, h.field, h.cell);
    const std::vector<std::string> film = in.keyword("thinfilm", 2);
    h.film_dir = in.integer(film[0], "film direction");
    h.film_ncell = in.integer(film[1], "film cells");
    if (h.film_dir == -1 ? h.film_ncell != 0
                         : h.film_dir < 0 || h.film_dir > 2 || h.film_ncell < 1 || h.film_ncell > limits::kFilmCells)
        in.fail(format_string("thinfilm %d %d; expected -1 0 (the periodic crystal) or a direction 0, 1 or 2 and 1 to "
                              "%d cells", h.film_dir, h.film_ncell, limits::kFilmCells));
    std::vector<std::string> dis;
    if (in.optional_keyword("disorder", 3, dis)) {
        h.disorder_sigma_mev = in.bounded(dis[0], "disorder width (meV)", 1e-300, limits::kEnergyMev);
        h.disorder_cells = in.integer(dis[1], "disorder cells");
        h.disorder_seed = static_cast<long long>(in.bounded(dis[2], "disorder seed", 0.0, 2147483647.0));
        if (h.disorder_cells < 1) in.fail("the disorder supercell needs at least 1 cell along each axis");
    }
    h.tsnap_ns = in.reals("tsnap", 1)[0];
    h.nsnap = in.integer(in.keyword("snapshots", 1)[0], "snapshots");
    if (!(h.tsnap_ns > 0) || h.nsnap < 1) in.fail("the snapshot interval and count must be above 0");
    const long long ntraj = in.integer(in.keyword("trajectories", 1)[0], "trajectories");
    if (ntraj < 0) in.fail("a negative number of trajectories");
    // Every trajectory takes a line and a line per snapshot: a count the file cannot hold is refused
    // before anything is stored.
    if (static_cast<double>(ntraj) * (h.nsnap + 1.0) > static_cast<double>(in.remaining()))
        in.fail(format_string("%lld trajectories of %d snapshots need more lines than the file holds", ntraj,
                              h.nsnap));
    std::vector<std::string> w;
    for (long long k = 0; k < ntraj; ++k) {
        Trajectory t;
        const std::vector<std::string> head = in.keyword("traj", 2);
        t.id = in.integer(head[0], "trajectory number");
        t.hops = static_cast<long long>(in.bounded(head[1], "hop count", 0.0, 9e18));
        t.r.reserve(3 * static_cast<size_t>(h.nsnap));
        for (int s = 0; s < h.nsnap; ++s) {
            in.take(w, format_string("snapshot %d of trajectory %lld", s, t.id));
            in.expect_words(w, 3, "x y z");
            for (int c = 0; c < 3; ++c)
                t.r.push_back(in.bounded(w[c], "displacement (Angstrom)", -limits::kDisplacement, limits::kDisplacement));
        }
        f.trajectories.push_back(std::move(t));
    }
    in.expect_end();
    return f;
}

void write_trajectories(const std::string& path, const TrajectoryHeader& h, const std::vector<Trajectory>& trajs) {
    TextWriter out;
    open_output(out, path, kWriteFailure);
    out.write("# Kinetic Monte Carlo trajectories: displacement (Angstrom) at every snapshot, the first at t = 0.\n");
    out.printf("carrier %c\ntemperature %.10g\nfield %.10g %.10g %.10g\n", h.carrier, h.temperature, h.field[0],
               h.field[1], h.field[2]);
    const char* const rows[3] = {"cell_a", "cell_b", "cell_c"};
    for (int r = 0; r < 3; ++r)
        out.printf("%s %.10f %.10f %.10f\n", rows[r], h.cell[r][0] + 0.0, h.cell[r][1] + 0.0, h.cell[r][2] + 0.0);
    out.printf("thinfilm %d %d\n", h.film_dir, h.film_ncell);
    if (h.disorder_sigma_mev > 0.0)
        out.printf("disorder %.10g %d %lld\n", h.disorder_sigma_mev, h.disorder_cells, h.disorder_seed);
    out.printf("tsnap %.10g\nsnapshots %d\ntrajectories %zu\n", h.tsnap_ns, h.nsnap, trajs.size());
    for (const Trajectory& t : trajs) {
        out.printf("traj %lld %lld\n", t.id, t.hops);
        for (size_t s = 0; s + 2 < t.r.size(); s += 3) out.printf("%.6f %.6f %.6f\n", t.r[s], t.r[s + 1], t.r[s + 2]);
    }
    close_or_fail(out);
}

// --- exp_data.dat ---

namespace {
const char* const kExpNames[4] = {"mu_a", "mu_b", "mu_c", "mu_av"};
}

ExpData read_exp_data(const std::string& path) {
    DataFile in(path, "mobility along a, b, c and the average");
    ExpData d;
    std::vector<std::string> w;
    for (int i = 0; i < 4; ++i) {
        in.take(w, format_string("the line of %s", kExpNames[i]));
        if (w.size() < 4 || w[0] != kExpNames[i] || w[1] != "=")
            in.fail(format_string("expected '%s = <value> cm^2/Vs'", kExpNames[i]));
        d.mu[i] = in.real(w[2], kExpNames[i]);
        if (w.size() >= 6 && w[4] == "+-") {
            d.err[i] = in.real(w[5], "error");
            d.has_err = true;
        }
    }
    return d;
}

void write_exp_data(const std::string& path, const ExpData& d) {
    // A mobility that is not a number is never written as a result.
    for (int i = 0; i < 4; ++i)
        if (!std::isfinite(d.mu[i]) || !std::isfinite(d.err[i]))
            KRYMO_FATAL_OUT("hopsim", 1,
                            format_string("The mobility %s is %g (error %g), not a finite number: %s is not written\n",
                                          kExpNames[i], d.mu[i], d.err[i], path.c_str()));
    TextWriter out;
    open_output(out, path, kWriteFailure);
    for (int i = 0; i < 4; ++i) {
        out.printf("%-5s = %.6e cm^2/Vs", kExpNames[i], d.mu[i]);
        if (d.has_err) out.printf("  +- %.2e", d.err[i]);
        out.write("\n");
    }
    for (const std::string& n : d.notes) out.printf("# %s\n", n.c_str());
    close_or_fail(out);
}

// --- charge.inp, temp.inp ---

char read_charge_inp(const std::string& path) {
    DataFile in(path, "carrier of the run: e or h");
    std::vector<std::string> w;
    in.take(w, "the carrier e or h");
    if (w.size() != 1) in.fail("expected one letter, e or h");
    return carrier_letter(in, w[0]);
}

bool read_temp_inp(const std::string& path, double& kelvin) {
    if (!file_exists(path)) return false;
    DataFile in(path, "temperature of the run");
    std::vector<std::string> w;
    in.take(w, "the temperature, e.g. 300 K");
    if (w.size() > 2 || (w.size() == 2 && w[1] != "K" && w[1] != "k")) in.fail("expected '<temperature> K'");
    kelvin = in.real(w[0], "temperature");
    if (!(kelvin > 0) || kelvin > limits::kTemperature)
        in.fail(format_string("the temperature must lie above 0 and at most %g K", limits::kTemperature));
    return true;
}

}  // namespace hopsim
}  // namespace krymo
