#include "qcpost/coupling_tool.h"

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "hopsim/formats.h"
#include "qcpost/projection.h"
#include "qcpost/wavefunction.h"
#include "util/fatal.h"
#include "util/files.h"
#include "util/text.h"

namespace krymo {
namespace qcpost {

namespace {

constexpr double kMevPerHartree = 27211.386245988;
const OutputFailure kWriteFailure = {"qcpost_coupling", 1, false, false};

const char* const kUsage =
    "Usage: %s -batch trans_int_files.dat [-orca | -qchem | -psi4] [-h]\n"
    "  Run in the study's data folder. Transfer integrals of every neighbour pair by dimer projection\n"
    "  from the dimer and monomer runs the list names (paths relative to this folder):\n"
    "    no flag (Gaussian): <stem>.log, or the formchk file <stem>.fchk beside it when present;\n"
    "    -orca: <stem>.out; -qchem, -psi4: <stem>.fchk, with <stem>.out for the normal end.\n"
    "  Reads also neighbor.dat (the pairs and their cells) and uc_H.inp / uc_L.inp (the frontier\n"
    "  orbital of each molecule). Writes VH.dat (hole), VL.dat (electron), J_eff in meV, in\n"
    "  neighbor.dat order, and the report transint.dat.\n";

// One line of the pair list: the representative's three runs and the real pair r -> n.
struct ListEntry {
    std::string dimer, mono_a, mono_b;  // stems
    int root = 0, nei = 0;
    int line = 0;
};

struct DataLines {
    std::string path;
    std::vector<std::string> lines;
    size_t next = 0;

    explicit DataLines(const std::string& p, const char* what) : path(p) {
        if (!read_input_lines(p, kDataInput, "qcpost_coupling", lines, false))
            input_error(p, 0, format_string("cannot open the %s", what));
    }
    int line_no() const { return static_cast<int>(next); }
    [[noreturn]] void fail(const std::string& what) const { input_error(path, line_no(), what); }
    // The fields of the next line that is neither blank nor a comment.
    bool take(std::vector<std::string>& w) {
        while (next < lines.size()) {
            std::string s = lines[next++];
            const size_t hash = s.find('#');
            if (hash != std::string::npos) s.erase(hash);
            split_to_words(s, " \t\r", w);
            if (!w.empty()) return true;
        }
        return false;
    }
    void must_take(std::vector<std::string>& w, const std::string& expected) {
        if (!take(w)) {
            next = lines.size() + 1;
            fail("the file ends here, but " + expected + " was expected");
        }
    }
    int integer(const std::string& s, const std::string& what, int min) const {
        int v = 0;
        if (!parse_whole_int(s, v) || v < min)
            fail(format_string("%s expected (an integer of at least %d), found \"%s\"", what.c_str(), min,
                               printable_excerpt(s, 40).c_str()));
        return v;
    }
};

std::string stem_of(const DataLines& in, const std::string& file, const EngineFiles& engine) {
    const std::string ext = std::string(".") + engine.list_ext;
    if (file.size() <= ext.size() || file.compare(file.size() - ext.size(), ext.size(), ext) != 0)
        in.fail(format_string("\"%s\" does not end in %s: the %s outputs are expected%s", file.c_str(), ext.c_str(),
                              engine_name(engine.engine),
                              engine.engine == QcEngine::Gaussian ? " (give -orca, -qchem or -psi4 for the others)"
                                                                  : ""));
    return file.substr(0, file.size() - ext.size());
}

std::vector<ListEntry> read_pair_list(const std::string& path, const EngineFiles& engine, int& nmols) {
    DataLines in(path, "pair list");
    std::vector<std::string> w;
    in.must_take(w, "the number of molecules");
    nmols = in.integer(w[0], "the number of molecules", 1);
    std::vector<ListEntry> entries;
    for (int r = 1; r <= nmols; ++r) {
        in.must_take(w, format_string("the number of pairs of molecule %d", r));
        if (w.size() != 1) in.fail(format_string("the number of pairs of molecule %d expected alone on its line", r));
        const int npairs = in.integer(w[0], "the number of pairs", 0);
        for (int k = 0; k < npairs; ++k) {
            in.must_take(w, format_string("pair %d of molecule %d", k + 1, r));
            if (w.size() != 5) in.fail("\"dimer monomer_A monomer_B root neighbour\" expected");
            ListEntry e;
            e.dimer = stem_of(in, w[0], engine);
            e.mono_a = stem_of(in, w[1], engine);
            e.mono_b = stem_of(in, w[2], engine);
            e.root = in.integer(w[3], "the root molecule", 1);
            e.nei = in.integer(w[4], "the neighbour molecule", 1);
            e.line = in.line_no();
            if (e.root != r) in.fail(format_string("a pair of molecule %d stands among the pairs of molecule %d", e.root, r));
            if (e.nei > nmols) in.fail(format_string("neighbour molecule %d of a cell of %d molecules", e.nei, nmols));
            entries.push_back(e);
        }
    }
    if (in.take(w)) in.fail("more lines than the molecule and pair counts announce");
    return entries;
}

// neighbor.dat: the molecule count, then per root a root line, the count line and rows
// "nei dx dy dz r na nb nc"; comment lines start with '#'.
std::vector<hopsim::PairKey> read_neighbors(const std::string& path, int nmols) {
    DataLines in(path, "neighbour list (neighbor.dat, written by krymo_prepare)");
    std::vector<std::string> w;
    in.must_take(w, "the number of molecules");
    if (in.integer(w[0], "the number of molecules", 1) != nmols)
        in.fail(format_string("%s molecules, but the pair list has %d", w[0].c_str(), nmols));
    std::vector<hopsim::PairKey> keys;
    for (int r = 1; r <= nmols; ++r) {
        in.must_take(w, format_string("the root line of molecule %d", r));
        if (in.integer(w[0], "the root molecule", 1) != r) in.fail(format_string("root molecule %d expected", r));
        in.must_take(w, format_string("the number of neighbours of molecule %d", r));
        const int n = in.integer(w[0], "the number of neighbours", 0);
        for (int k = 0; k < n; ++k) {
            in.must_take(w, format_string("neighbour %d of molecule %d", k + 1, r));
            if (w.size() != 8) in.fail("\"nei dx dy dz r na nb nc\" (8 columns) expected");
            hopsim::PairKey key;
            key.root = r;
            key.nei = in.integer(w[0], "the neighbour molecule", 1);
            for (int x = 0; x < 3; ++x) key.cell[x] = in.integer(w[5 + x], "a cell index", -1000000);
            keys.push_back(key);
        }
    }
    return keys;
}

std::vector<int> read_orbitals(const std::string& path, int nmols) {
    DataLines in(path, "frontier orbital numbers (written by krymo_prepare)");
    std::vector<std::string> w;
    std::vector<int> orb;
    for (int m = 1; m <= nmols; ++m) {
        in.must_take(w, format_string("the orbital of molecule %d", m));
        orb.push_back(in.integer(w[0], "an orbital number", 1));
    }
    return orb;
}

struct PairResult {
    Coupling hole, electron;
};

struct Job {
    std::string list = "";
    QcEngine engine = QcEngine::Gaussian;
};

Job parse(int argc, char** argv, bool& help) {
    Job job;
    bool have_engine = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        QcEngine e;
        if (a == "-h" || a == "--help") {
            help = true;
        } else if (a == "-batch" && i + 1 < argc) {
            job.list = argv[++i];
        } else if (engine_from_flag(a, e)) {
            if (have_engine && e != job.engine)
                KRYMO_FATAL_OUT("qcpost_coupling", 1, "Give at most one of -orca, -qchem, -psi4\n");
            job.engine = e;
            have_engine = true;
        } else {
            KRYMO_FATAL_OUT("qcpost_coupling", 1,
                            format_string("Unknown option %s (qcpost_coupling.exe -h lists the options)\n", a.c_str()));
        }
    }
    if (!help && job.list.empty())
        KRYMO_FATAL_OUT("qcpost_coupling", 1, "-batch and the pair list (trans_int_files.dat) are needed\n");
    return job;
}

void run(const Job& job) {
    const EngineFiles& engine = engine_files(job.engine);
    int nmols = 0;
    const std::vector<ListEntry> entries = read_pair_list(job.list, engine, nmols);
    const std::vector<hopsim::PairKey> keys = read_neighbors("neighbor.dat", nmols);
    if (keys.size() != entries.size())
        input_error(job.list, 0,
                    format_string("%zu pairs, but neighbor.dat lists %zu: both must come from the same study",
                                  entries.size(), keys.size()));
    for (size_t k = 0; k < keys.size(); ++k)
        if (keys[k].root != entries[k].root || keys[k].nei != entries[k].nei)
            input_error(job.list, entries[k].line,
                        format_string("pair %d -> %d, but pair %zu of neighbor.dat is %d -> %d", entries[k].root,
                                      entries[k].nei, k + 1, keys[k].root, keys[k].nei));
    const std::vector<int> homo = read_orbitals("uc_H.inp", nmols), lumo = read_orbitals("uc_L.inp", nmols);

    // A representative's runs serve every pair it stands for: each dimer is read and projected once
    // per set of orbitals, each monomer read once.
    std::map<std::string, std::unique_ptr<Wavefunction>> monomers;
    auto monomer = [&](const std::string& stem) -> const Wavefunction& {
        std::unique_ptr<Wavefunction>& w = monomers[stem];
        if (!w) w = std::make_unique<Wavefunction>(read_wavefunction(job.engine, stem));
        return *w;
    };
    std::map<std::string, PairResult> done;
    std::vector<const PairResult*> results;
    for (const ListEntry& e : entries) {
        const int r = e.root - 1, n = e.nei - 1;
        const std::string key = format_string("%s|%s|%s|%d|%d|%d|%d", e.dimer.c_str(), e.mono_a.c_str(),
                                              e.mono_b.c_str(), homo[r], homo[n], lumo[r], lumo[n]);
        auto it = done.find(key);
        if (it == done.end()) {
            const std::string pair = format_string("%d -> %d (%s line %d)", e.root, e.nei, job.list.c_str(), e.line);
            const Wavefunction& a = monomer(e.mono_a);
            const Wavefunction& b = monomer(e.mono_b);
            const Wavefunction dimer = read_wavefunction(job.engine, e.dimer);
            check_trio(dimer, a, b, pair);
            const DimerBasis basis(dimer);
            PairResult res;
            res.hole = project(basis, a, homo[r], b, homo[n], pair);
            res.electron = project(basis, a, lumo[r], b, lumo[n], pair);
            it = done.emplace(key, res).first;
        }
        results.push_back(&it->second);
    }

    // Every number is known: only now is anything written.
    TextWriter report;
    open_output(report, "transint.dat", kWriteFailure);
    report.printf("# transfer integrals by dimer projection (%s), per neighbour pair in neighbor.dat order\n",
                  engine_name(job.engine));
    report.printf("# J, J_eff, half-splitting in meV; e_a, e_b in eV; S_ab without unit\n");
    report.printf("# root nei  na  nb  nc carrier  orb_a orb_b            J         S_ab          e_a          e_b"
                  "        J_eff  half_split  dimer\n");
    std::vector<double> vh, vl;
    for (size_t k = 0; k < keys.size(); ++k) {
        const hopsim::PairKey& p = keys[k];
        for (int carrier = 0; carrier < 2; ++carrier) {
            const Coupling& c = carrier == 0 ? results[k]->hole : results[k]->electron;
            const std::vector<int>& orb = carrier == 0 ? homo : lumo;
            report.printf("%5d %4d %3d %3d %3d %-8s %5d %5d %12.6f %12.8f %12.6f %12.6f %12.6f %11.6f  %s\n", p.root,
                          p.nei, p.cell[0], p.cell[1], p.cell[2], carrier == 0 ? "hole" : "electron",
                          orb[p.root - 1], orb[p.nei - 1], c.j * kMevPerHartree, c.s_ab,
                          c.e_a * kMevPerHartree / 1000, c.e_b * kMevPerHartree / 1000, c.j_eff * kMevPerHartree,
                          c.half_splitting * kMevPerHartree, entries[k].dimer.c_str());
        }
        vh.push_back(results[k]->hole.j_eff * kMevPerHartree);
        vl.push_back(results[k]->electron.j_eff * kMevPerHartree);
    }
    close_output(report, kWriteFailure);
    hopsim::write_pair_values("VH.dat", keys, vh, "transfer integral (meV)", false, nmols);
    hopsim::write_pair_values("VL.dat", keys, vl, "transfer integral (meV)", false, nmols);
    std::printf("%zu pairs (%zu dimer runs): VH.dat, VL.dat and transint.dat written\n", keys.size(), done.size());
}

}  // namespace

int coupling_main(int argc, char** argv) {
    try {
        bool help = false;
        const Job job = parse(argc, argv, help);
        if (help) {
            std::printf(kUsage, "qcpost_coupling.exe");
            return 0;
        }
        run(job);
        return 0;
    } catch (const FatalError& e) {
        std::fflush(stdout);
        return report_fatal(e);
    } catch (const std::exception& e) {
        std::fflush(stdout);
        return report_fatal(FatalError("qcpost_coupling", __LINE__, 1, "", format_string("%s\n", e.what())));
    }
}

}  // namespace qcpost
}  // namespace krymo
