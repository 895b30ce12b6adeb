// The study files every transfer-integral tool reads in the data folder: the pair list
// trans_int_files.dat, neighbor.dat (the pairs and their cells, the rows of VH.dat / VL.dat) and the
// frontier orbital numbers uc_H.inp / uc_L.inp. Each reader stops naming the file and line.
#pragma once

#include <string>
#include <vector>

#include "hopsim/formats.h"
#include "qcpost/wavefunction.h"

namespace krymo {
namespace qcpost {

// One line of the pair list: the representative's three runs and the real pair r -> n.
struct ListEntry {
    std::string dimer, mono_a, mono_b;  // stems (the file names without the engine's extension)
    int root = 0, nei = 0;
    int line = 0;
};

// A small data file read whole, handed out line by line without blank and comment ('#') lines.
struct DataLines {
    std::string path;
    std::vector<std::string> lines;
    size_t next = 0;

    DataLines(const std::string& p, const char* what);
    int line_no() const { return static_cast<int>(next); }
    [[noreturn]] void fail(const std::string& what) const;
    // The fields of the next line that is neither blank nor a comment.
    bool take(std::vector<std::string>& w);
    void must_take(std::vector<std::string>& w, const std::string& expected);
    int integer(const std::string& s, const std::string& what, int min) const;
    double real(const std::string& s, const std::string& what) const;
};

std::vector<ListEntry> read_pair_list(const std::string& path, const EngineFiles& engine, int& nmols);
// neighbor.dat: the molecule count, then per root a root line, the count line and rows
// "nei dx dy dz r na nb nc"; comment lines start with '#'.
std::vector<hopsim::PairKey> read_neighbors(const std::string& path, int nmols);
// The list and neighbor.dat must name the same pairs in the same order.
void check_same_pairs(const std::string& list, const std::vector<ListEntry>& entries,
                      const std::vector<hopsim::PairKey>& keys);
// One orbital number (at least 1) per molecule.
std::vector<int> read_orbitals(const std::string& path, int nmols);

}  // namespace qcpost
}  // namespace krymo
