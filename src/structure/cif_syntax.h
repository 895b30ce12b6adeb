// CIF syntax: a file is data blocks of single-valued tags and loops; values are a stream of tokens
// (bare words, quoted strings, semicolon text fields, '.' and '?') separated by any white space, so
// that blank lines, line ends and the number of values per line never change what a file says.
// What the values mean is the reader's business (cif_reader.cpp).
#pragma once

#include <string>
#include <vector>

namespace krymo {

struct CifValue {
    std::string text;         // quotes and text-field marks removed
    int line = 0;             // 1-based line of its first character
    size_t column = 0;        // position in that line (of the opening quote)
    bool quoted = false;      // a quoted string or a text field: never a tag, keyword, '.' or '?'
    bool text_field = false;
};

struct CifLoop {
    int line = 0;                   // line of its loop_
    std::vector<std::string> tags;  // lower case, in order
    std::vector<CifValue> values;   // every value after the tags, in file order
    // Position of the tag (exact, lower case), -1 when absent.
    int column(const char* tag) const;
    // "the loop of _a, _b, ... at line N", for messages.
    std::string describe() const;
    bool whole_rows() const { return !tags.empty() && values.size() % tags.size() == 0; }
};

struct CifItem {
    std::string tag;  // lower case
    CifValue value;   // empty text when the tag has no value
    // The value as written, quotes kept. An unquoted value followed by more words on its line takes
    // the whole rest of the line: older files write `P 21/c` or `C10 H8` without quotes.
    std::string raw;
};

struct CifBlock {
    std::string name;  // as written after data_
    int line = 0;      // line of the data_ heading; 0 for what comes before any heading
    std::vector<CifItem> items;
    std::vector<CifLoop> loops;
};

// Splits the lines of a CIF file into blocks. Save frames are skipped. Stops the run (status 255,
// naming the file and line) on a quoted value or text field that is never closed.
std::vector<CifBlock> parse_cif_blocks(const std::vector<std::string>& lines, const std::string& path);

}  // namespace krymo
