#include "qcpost/pair_list.h"

#include <cmath>
#include <cstdlib>

#include "qcpost/engine.h"
#include "util/files.h"
#include "util/text.h"

namespace krymo {
namespace qcpost {

DataLines::DataLines(const std::string& p, const char* what) : path(p) {
    if (!read_input_lines(p, kDataInput, "qcpost", lines, false))
        input_error(p, 0, format_string("cannot open the %s", what));
}

void DataLines::fail(const std::string& what) const { input_error(path, line_no(), what); }

bool DataLines::take(std::vector<std::string>& w) {
    while (next < lines.size()) {
        std::string s = lines[next++];
        const size_t hash = s.find('#');
        if (hash != std::string::npos) s.erase(hash);
        split_to_words(s, " \t\r", w);
        if (!w.empty()) return true;
    }
    return false;
}

void DataLines::must_take(std::vector<std::string>& w, const std::string& expected) {
    if (!take(w)) {
        next = lines.size() + 1;
        fail("the file ends here, but " + expected + " was expected");
    }
}

int DataLines::integer(const std::string& s, const std::string& what, int min) const {
    int v = 0;
    if (!parse_whole_int(s, v) || v < min)
        fail(format_string("%s expected (an integer of at least %d), found \"%s\"", what.c_str(), min,
                           printable_excerpt(s, 40).c_str()));
    return v;
}

double DataLines::real(const std::string& s, const std::string& what) const {
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (s.empty() || *end != '\0' || !std::isfinite(v))
        fail(format_string("%s expected (a real number), found \"%s\"", what.c_str(), printable_excerpt(s, 40).c_str()));
    return v;
}

namespace {

std::string stem_of(const DataLines& in, const std::string& file, const EngineFiles& engine) {
    const std::string ext = std::string(".") + engine.list_ext;
    if (file.size() <= ext.size() || file.compare(file.size() - ext.size(), ext.size(), ext) != 0)
        in.fail(format_string("\"%s\" does not end in %s: the %s outputs are expected%s", file.c_str(), ext.c_str(),
                              engine_name(engine.engine),
                              engine.engine == QcEngine::Gaussian ? " (give -orca, -qchem or -psi4 for the others)"
                                                                  : ""));
    return file.substr(0, file.size() - ext.size());
}

}  // namespace

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

void check_same_pairs(const std::string& list, const std::vector<ListEntry>& entries,
                      const std::vector<hopsim::PairKey>& keys) {
    if (keys.size() != entries.size())
        input_error(list, 0,
                    format_string("%zu pairs, but neighbor.dat lists %zu: both must come from the same study",
                                  entries.size(), keys.size()));
    for (size_t k = 0; k < keys.size(); ++k)
        if (keys[k].root != entries[k].root || keys[k].nei != entries[k].nei)
            input_error(list, entries[k].line,
                        format_string("pair %d -> %d, but pair %zu of neighbor.dat is %d -> %d", entries[k].root,
                                      entries[k].nei, k + 1, keys[k].root, keys[k].nei));
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

}  // namespace qcpost
}  // namespace krymo
