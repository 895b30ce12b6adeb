// Read mode of the neighbour list: takes the list from a neighbor.dat in the working directory,
// in the file's order, without sorting or testing distances.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "transport/transport.h"
#include "util/fatal.h"
#include "util/files.h"
#include "util/text.h"

namespace krymo {

namespace {

const char* const kNeighborFile = "neighbor.dat";

[[noreturn]] void bad_line(int line, const std::string& what) {
    KRYMO_FATAL_OUT("transport", 1, format_string("%s line %d: %s\n", kNeighborFile, line, what.c_str()));
}

// Whole text as a base-10 int; false for anything else (blank, trailing characters, overflow).
bool parse_int(const std::string& s, int& out) {
    if (s.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
    out = static_cast<int>(v);
    return true;
}

// Cursor over the file's lines with 1-based line numbers for messages.
struct LineReader {
    std::vector<std::string> lines;
    size_t next = 0;

    // The next line, trimmed; stops the run at the end of the file.
    std::string take(const char* expected) {
        if (next >= lines.size())
            KRYMO_FATAL_OUT("transport", 1,
                            format_string("%s line %zu: the file ends here, but %s was expected\n", kNeighborFile,
                                          lines.size() + 1, expected));
        std::string s = lines[next++];
        return trim(s);
    }
    int line_no() const { return static_cast<int>(next); }

    // The leading integer of the next line (what follows it is a comment).
    int take_leading_int(const char* expected) { return leading_int(take(expected), expected); }
    int leading_int(const std::string& s, const char* expected) {
        std::vector<std::string> words;
        split_to_words(s, " \t", words);
        int v = 0;
        if (words.empty() || !parse_int(words[0], v))
            bad_line(line_no(), format_string("'%s' does not start with an integer; expected %s",
                                                 printable_excerpt(s).c_str(), expected));
        return v;
    }
};

}  // namespace

void Transport::read_neighbor_list() {
    std::printf("Reading file '%s'\n", kNeighborFile);
    LineReader in;
    if (!read_input_lines(kNeighborFile, kNeighborInput, "transport", in.lines, false))
        KRYMO_FATAL_OUT("transport", 1, format_string("Failed to open input file: %s\n", kNeighborFile));
    in.take("the first comment line");
    in.take("the second comment line");
    const int nread = in.take_leading_int("the number of molecules");
    if (nread != nmols_uc)
        bad_line(in.line_no(), format_string("the list is for %d molecules, but the unit cell holds %d", nread,
                                             nmols_uc));
    static const char* const kColumnNames[8] = {"the neighbour molecule number", "", "", "", "",
                                                "the cell index a", "the cell index b", "the cell index c"};
    for (int i = 0; i < nmols_uc; ++i) {
        // Roots come in molecule order: a list shuffled by hand would give neighbours to the wrong molecule.
        const std::string root = in.take("a root line");
        const int r = in.leading_int(root, "the root molecule number");
        if (r != i + 1)
            bad_line(in.line_no(), format_string("the root line '%s' is for molecule %d, but the root line of molecule "
                                                 "%d was expected (roots in order 1..%d)",
                                                 printable_excerpt(root).c_str(), r, i + 1, nmols_uc));
        const int n = in.take_leading_int("the number of neighbours");
        if (n < 0 || n >= NNEIMAX)
            bad_line(in.line_no(), format_string("number of neighbours %d of molecule %d is outside 0..%d (NNEIMAX %d)", n,
                                                 i + 1, NNEIMAX - 1, NNEIMAX));
        nnei[i] = n;
        nei_mol_ids[i].resize(n);
        nei_cindex[i].resize(3 * n);
        for (int k = 0; k < n; ++k) {
            const std::string s = in.take("a neighbour line");
            std::vector<std::string> cols;
            split_to_words(s, " \t", cols);
            if (cols.size() != 8)
                bad_line(in.line_no(), format_string("'%s' has %d columns; a neighbour line has 8 (neighbour "
                                                     "molecule, four unused, cell indices a b c)",
                                                     printable_excerpt(s).c_str(), static_cast<int>(cols.size())));
            int v[8] = {0};
            for (int c : {0, 5, 6, 7})
                if (!parse_int(cols[c], v[c]))
                    bad_line(in.line_no(), format_string("column %d is '%s'; expected an integer, %s", c + 1,
                                                         printable_excerpt(cols[c]).c_str(), kColumnNames[c]));
            if (v[0] < 1 || v[0] > nmols_uc)
                bad_line(in.line_no(),
                         format_string("neighbour molecule %d is outside 1..%d", v[0], nmols_uc));
            if (v[0] == i + 1 && v[5] == 0 && v[6] == 0 && v[7] == 0)
                bad_line(in.line_no(), format_string("molecule %d is paired with itself in its own cell (0 0 0)", i + 1));
            // Cells beyond the search block are no neighbours the run could have found, and keep
            // every later sum of cell indices far from overflow.
            for (int t = 0; t < 3; ++t)
                if (v[5 + t] < -neighbor_scell[t] || v[5 + t] > neighbor_scell[t])
                    bad_line(in.line_no(),
                             format_string("cell index %d along %c is outside the search block -%d..%d "
                                           "(neighbor_scell %d %d %d)",
                                           v[5 + t], "abc"[t], neighbor_scell[t], neighbor_scell[t], neighbor_scell[0],
                                           neighbor_scell[1], neighbor_scell[2]));
            nei_mol_ids[i][k] = v[0] - 1;
            for (int t = 0; t < 3; ++t) nei_cindex[i][3 * k + t] = v[5 + t];
        }
    }
    // Anything after the last root is a list the count of molecules does not cover.
    for (; in.next < in.lines.size(); ++in.next) {
        std::string s = in.lines[in.next];
        if (!trim(s).empty())
            bad_line(static_cast<int>(in.next) + 1,
                     format_string("'%s' follows the neighbours of the last root (molecule %d); the file should end "
                                   "there",
                                   printable_excerpt(s).c_str(), nmols_uc));
    }
}

}  // namespace krymo
