#include "qcpost/scan.h"

#include <charconv>
#include <algorithm>
#include <cmath>

#include "qcpost/engine.h"
#include "util/text.h"

namespace krymo {
namespace qcpost {

LineScanner::LineScanner(const std::string& path, const std::string& text, std::size_t start)
    : path_(path), text_(text) {
    start = std::min(start, text.size());
    const size_t nl = start == 0 ? std::string::npos : text.rfind('\n', start - 1);
    pos_ = nl == std::string::npos ? 0 : nl + 1;
    line_ = line_of(text, pos_) - 1;
}

bool LineScanner::next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    size_t nl = text_.find('\n', pos_);
    if (nl == std::string::npos) nl = text_.size();
    size_t end = nl;
    while (end > pos_ && text_[end - 1] == '\r') --end;
    line = std::string_view(text_.data() + pos_, end - pos_);
    pos_ = nl + 1;
    ++line_;
    return true;
}

void LineScanner::fail(const std::string& what) const { input_error(path_, line_, what); }

std::string_view LineScanner::expect_line(const char* what) {
    std::string_view s;
    if (!next(s)) {
        ++line_;
        fail(std::string("the file ends where ") + what + " was expected: truncated output");
    }
    return s;
}

void split_fields(std::string_view line, std::vector<std::string_view>& out) {
    out.clear();
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i == line.size()) break;
        size_t j = i;
        while (j < line.size() && line[j] != ' ' && line[j] != '\t') ++j;
        out.push_back(line.substr(i, j - i));
        i = j;
    }
}

bool parse_real_field(std::string_view field, double& v) {
    if (field.empty() || field.size() > 40) return false;
    char buf[48];
    for (size_t i = 0; i < field.size(); ++i) buf[i] = (field[i] == 'D' || field[i] == 'd') ? 'E' : field[i];
    auto r = std::from_chars(buf, buf + field.size(), v);
    return r.ec == std::errc() && r.ptr == buf + field.size() && std::isfinite(v);
}

bool parse_int_field(std::string_view field, long& v) {
    auto r = std::from_chars(field.data(), field.data() + field.size(), v);
    return r.ec == std::errc() && r.ptr == field.data() + field.size() && !field.empty();
}

int basis_size_on_line(const std::string& path, const std::string& text, std::size_t at, bool last_field,
                       const char* what) {
    LineScanner sc(path, text, at);
    std::string_view line;
    sc.next(line);
    std::vector<std::string_view> f;
    split_fields(line, f);
    long n = 0;
    if (f.empty() || !parse_int_field(last_field ? f.back() : f.front(), n) || n < 1)
        sc.fail(format_string("the %s is not a count", what));
    if (static_cast<std::size_t>(n) > text.size() / 2)
        sc.fail(format_string("a %s larger than the file could print", what));
    return static_cast<int>(n);
}

bool all_integers(const std::vector<std::string_view>& fields, std::vector<long>& values) {
    values.clear();
    for (std::string_view f : fields) {
        long v = 0;
        if (!parse_int_field(f, v)) return false;
        values.push_back(v);
    }
    return !values.empty();
}

std::size_t find_last_line(const std::string& text, const std::string& needle, std::size_t before) {
    size_t pos = text.rfind(needle, before == std::string::npos ? std::string::npos : before);
    while (pos != std::string::npos && before != std::string::npos && pos >= before)
        pos = pos == 0 ? std::string::npos : text.rfind(needle, pos - 1);
    if (pos == std::string::npos) return pos;
    const size_t nl = pos == 0 ? std::string::npos : text.rfind('\n', pos - 1);
    return nl == std::string::npos ? 0 : nl + 1;
}

}  // namespace qcpost
}  // namespace krymo

namespace krymo {
namespace qcpost {

namespace {
bool is_dash_line(std::string_view s) {
    size_t n = 0;
    for (char c : s) {
        if (c == '-') ++n;
        else if (c != ' ') return false;
    }
    return n > 0;
}
}  // namespace

ColumnBlocks read_column_blocks(LineScanner& sc, int nrows, const BlockLayout& layout, const char* what,
                                long first_column) {
    ColumnBlocks out;
    std::vector<std::string_view> fields;
    std::vector<long> cols;
    long next_col = first_column;
    while (true) {
        const LineScanner::State before = sc.state();
        std::string_view line;
        if (!sc.next(line)) break;
        split_fields(line, fields);
        if (!all_integers(fields, cols) || cols[0] != next_col) {
            sc.restore(before);
            break;
        }
        // Engines print five or six columns a block; a long line of numbers is not a block header.
        if (cols.size() > 16) sc.fail(format_string("%s: %zu columns in one block, at most 16 expected", what, cols.size()));
        for (size_t k = 1; k < cols.size(); ++k)
            if (cols[k] != cols[k - 1] + 1) sc.fail(format_string("%s: column numbers out of order", what));
        const size_t ncol = cols.size();
        const size_t col0 = out.columns.size();
        out.columns.resize(col0 + ncol);
        if (layout.energies == BlockLayout::Energies::Gaussian) {
            // Symmetry and occupation lines may stand between the numbers and the energies.
            std::string_view e;
            size_t at = std::string_view::npos;
            for (int k = 0; k < 4 && at == std::string_view::npos; ++k) {
                e = sc.expect_line("the \"Eigenvalues --\" line");
                at = e.find("Eigenvalues --");
            }
            if (at == std::string_view::npos) sc.fail(format_string("%s: \"Eigenvalues --\" line expected", what));
            split_fields(e.substr(at + 14), fields);
        } else if (layout.energies == BlockLayout::Energies::Orca) {
            split_fields(sc.expect_line("the orbital energies"), fields);
        }
        if (layout.energies != BlockLayout::Energies::None) {
            if (fields.size() != ncol)
                sc.fail(format_string("%s: %zu orbital energies expected, %zu found", what, ncol, fields.size()));
            for (std::string_view f : fields) {
                double v = 0;
                if (!parse_real_field(f, v))
                    sc.fail(format_string("%s: orbital energy \"%s\" is not a finite number", what,
                                          printable_excerpt(std::string(f), 30).c_str()));
                out.energies.push_back(v);
            }
        }
        if (layout.energies == BlockLayout::Energies::Orca) {
            sc.expect_line("the orbital occupations");
            if (!is_dash_line(sc.expect_line("a line of dashes")))
                sc.fail(format_string("%s: a line of dashes expected under the occupations", what));
        }
        const long first_row = layout.triangle ? cols[0] : layout.base;
        for (long r = first_row; r < nrows + layout.base; ++r) {
            const std::string_view row = sc.expect_line(what);
            split_fields(row, fields);
            const size_t nval = layout.triangle ? std::min<size_t>(ncol, static_cast<size_t>(r - cols[0] + 1)) : ncol;
            long number = 0;
            if (fields.size() < nval + (layout.row_numbers ? 1 : 0) ||
                (layout.row_numbers && (!parse_int_field(fields[0], number) || number != r)))
                sc.fail(format_string("%s: row %ld with %zu values expected, found \"%s\" (truncated or "
                                      "not the printed matrix)",
                                      what, r, nval, printable_excerpt(std::string(row), 60).c_str()));
            for (size_t k = 0; k < nval; ++k) {
                double v = 0;
                const std::string_view f = fields[fields.size() - nval + k];
                if (!parse_real_field(f, v))
                    sc.fail(format_string("%s: \"%s\" is not a finite number", what,
                                          printable_excerpt(std::string(f), 30).c_str()));
                std::vector<double>& c = out.columns[col0 + k];
                if (c.empty()) c.assign(static_cast<size_t>(nrows), 0.0);
                c[static_cast<size_t>(r - layout.base)] = v;
            }
        }
        next_col = cols.back() + 1;
    }
    return out;
}

}  // namespace qcpost
}  // namespace krymo
