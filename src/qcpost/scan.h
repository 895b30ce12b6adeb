// Line-by-line scanning of engine output text, shared by the readers of printed matrices.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace krymo {
namespace qcpost {

class LineScanner {
public:
    // Starts at the line holding byte `start` of `text`.
    LineScanner(const std::string& path, const std::string& text, std::size_t start);
    // The next line (without its line end); false at the end of the text.
    bool next(std::string_view& line);
    // Number of the line last returned (1-based).
    int line() const { return line_; }
    const std::string& path() const { return path_; }
    // Stops the run naming the file and the line last returned.
    [[noreturn]] void fail(const std::string& what) const;
    // The next line, or a stop saying that `what` was expected there.
    std::string_view expect_line(const char* what);
    // Where the scanner stands, to look at a line and step back.
    struct State {
        std::size_t pos;
        int line;
    };
    State state() const { return {pos_, line_}; }
    void restore(const State& s) { pos_ = s.pos; line_ = s.line; }

private:
    const std::string& path_;
    const std::string& text_;
    std::size_t pos_;
    int line_;
};

// Blank-separated fields of a line.
void split_fields(std::string_view line, std::vector<std::string_view>& out);
// A finite real in E or Fortran D notation ("0.12345D+00").
bool parse_real_field(std::string_view field, double& v);
bool parse_int_field(std::string_view field, long& v);
// The basis size a line printed at `at` gives in its first (or last) field: a count of at least 1 and
// no more than the file could print (each function takes a line of every printed matrix).
int basis_size_on_line(const std::string& path, const std::string& text, std::size_t at, bool last_field,
                       const char* what);
// Does every field of the line parse as an integer (and is there at least one)?
bool all_integers(const std::vector<std::string_view>& fields, std::vector<long>& values);

// Matrices printed in column blocks: a line of column numbers, then (for orbitals) the orbital
// energies, then one row per basis function whose last fields are the values of those columns.
struct BlockLayout {
    enum class Energies { None, Gaussian, Orca };
    int base = 1;            // number of the first row and column as printed (Gaussian 1, ORCA 0)
    bool triangle = false;   // lower triangle: row r holds the block's columns up to r
    bool row_numbers = true; // the first field of a row is its number (checked)
    Energies energies = Energies::None;
};
struct ColumnBlocks {
    std::vector<std::vector<double>> columns;  // each of `nrows` values
    std::vector<double> energies;              // one per column with energies
};
// Reads the blocks that follow at the scanner, `nrows` rows each (triangle: fewer), as long as the
// next block continues the column numbering from `first_column`. Stops (file, line) on anything
// malformed; returns with the scanner before the first line that is not a continuing block.
ColumnBlocks read_column_blocks(LineScanner& sc, int nrows, const BlockLayout& layout, const char* what,
                                long first_column);

// Offset of the start of the last line before `before` that contains `needle`; npos when none.
std::size_t find_last_line(const std::string& text, const std::string& needle, std::size_t before = std::string::npos);

}  // namespace qcpost
}  // namespace krymo
