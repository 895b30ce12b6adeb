#include "qcpost/evc_namelist.h"

#include <cctype>

#include "qcpost/engine.h"
#include "util/text.h"

namespace krymo {
namespace qcpost {

namespace {

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The line without its `!` comment (a `!` inside quotes is text).
std::string strip_comment(const std::string& line) {
    char quote = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quote != 0) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '!') {
            return line.substr(0, i);
        }
    }
    return line;
}

bool switch_value(const std::string& text, bool& out) {
    std::string v = lower(text);
    if (!v.empty() && v[0] == '.') v.erase(0, 1);
    if (v == "t" || v == "t." || v == "true" || v == "true.") return out = true, true;
    if (v == "f" || v == "f." || v == "false" || v == "false.") return out = false, true;
    return false;
}

// A row of the coordinate list: up to four integers, blanks or commas between them.
bool integer_row(const std::string& text, std::array<int, 4>& row, int& count) {
    std::vector<std::string> w;
    split_to_words(text, " \t\r,", w);
    if (w.empty() || w.size() > 4) return false;
    row = {0, 0, 0, 0};
    for (size_t k = 0; k < w.size(); ++k)
        if (!parse_whole_int(w[k], row[k])) return false;
    count = static_cast<int>(w.size());
    return true;
}

}  // namespace

EvcInput parse_evc_input(const std::string& path, const std::string& text) {
    EvcInput in;
    in.path = path;
    std::vector<std::string> lines;
    {
        size_t start = 0;
        while (start <= text.size()) {
            const size_t end = text.find('\n', start);
            lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
            if (end == std::string::npos) break;
            start = end + 1;
        }
    }
    size_t k = 0;
    for (; k < lines.size(); ++k) {
        std::string s = strip_comment(lines[k]);
        trim(s);
        if (s.empty()) continue;
        if (lower(s) == "&evc") break;
        input_error(path, static_cast<int>(k + 1),
                    format_string("expected the namelist start &evc, found '%s'", printable_excerpt(s).c_str()));
    }
    if (k == lines.size()) input_error(path, 0, "no &evc namelist");
    bool ended = false, in_coords = false;
    const auto add_row = [&](const std::string& row_text, int ln) {
        std::array<int, 4> row;
        int count = 0;
        if (!integer_row(row_text, row, count))
            input_error(path, ln,
                        format_string("expected a row of up to four atom numbers after def_add_int_coord, found '%s'",
                                      printable_excerpt(row_text).c_str()));
        int nonzero = 0;
        for (int a : row) nonzero += a != 0;
        bool packed = true;  // the atoms come first, zeros only after them
        for (int c = 0; c < nonzero; ++c) packed = packed && row[c] > 0;
        if (nonzero < 2 || !packed)
            input_error(path, ln,
                        "an internal coordinate needs two to four atom numbers (1-based) before any 0: a bond i j, "
                        "an angle i j k or a dihedral i j k l");
        in.int_coords.push_back(row);
        in.int_coord_lines.push_back(ln);
    };
    for (++k; k < lines.size() && !ended; ++k) {
        const int ln = static_cast<int>(k + 1);
        std::string s = strip_comment(lines[k]);
        trim(s);
        if (s.empty()) continue;
        if (s[0] == '/') {
            ended = true;
            break;
        }
        const size_t eq = s.find('=');
        if (eq == std::string::npos) {
            if (!in_coords)
                input_error(path, ln,
                            format_string("expected 'name = value' or, after def_add_int_coord, a row of up to four "
                                          "atom numbers; found '%s'",
                                          printable_excerpt(s).c_str()));
            add_row(s, ln);
            continue;
        }
        in_coords = false;
        std::string name = s.substr(0, eq), value = s.substr(eq + 1);
        trim(name);
        std::string key;
        for (char c : lower(name))
            if (c != ' ' && c != '\t') key += c;
        trim(value);
        if (!value.empty() && value.back() == ',') value.pop_back();
        trim(value);
        bool flag = false;
        if (key == "ffreq(1)" || key == "ffreq(2)") {
            const int i = key[6] - '1';
            std::string v = value;
            if (v.size() < 2 || (v[0] != '"' && v[0] != '\'') || v.back() != v[0])
                input_error(path, ln, format_string("%s takes a quoted file name", key.c_str()));
            v = v.substr(1, v.size() - 2);
            if (v.empty()) input_error(path, ln, format_string("%s names no file", key.c_str()));
            in.ffreq[i] = v;
            in.ffreq_line[i] = ln;
        } else if (key == "sort_mode") {
            if (!parse_whole_int(value, in.sort_mode) || in.sort_mode < 1 || in.sort_mode > 2)
                input_error(path, ln, format_string("sort_mode takes 1 (by frequency) or 2 (by reorganization "
                                                    "energy), not '%s'",
                                                    printable_excerpt(value).c_str()));
        } else if (key == "proj_reorg" || key == "eckart_mirror" || key == "if_add_int_coord") {
            if (!switch_value(value, flag))
                input_error(path, ln,
                            format_string("%s takes .t. or .f., not '%s'", key.c_str(), printable_excerpt(value).c_str()));
            (key == "proj_reorg" ? in.proj_reorg : key == "eckart_mirror" ? in.eckart_mirror : in.if_add_int_coord) =
                flag;
        } else if (key == "def_add_int_coord") {
            in_coords = true;
            if (!value.empty()) add_row(value, ln);
        } else {
            input_error(path, ln,
                        format_string("unknown name '%s'; the &evc namelist takes ffreq(1), ffreq(2), sort_mode, "
                                      "proj_reorg, eckart_mirror, if_add_int_coord, def_add_int_coord",
                                      printable_excerpt(name).c_str()));
        }
    }
    if (!ended) input_error(path, static_cast<int>(lines.size()), "the &evc namelist has no closing '/' line");
    for (int i = 0; i < 2; ++i)
        if (in.ffreq[i].empty())
            input_error(path, 0,
                        format_string("ffreq(%d) is missing: the %s state's frequency output must be named", i + 1,
                                      i == 0 ? "neutral" : "charged"));
    return in;
}

EvcInput read_evc_input(const std::string& path) { return parse_evc_input(path, read_text_file(path, 16u << 20)); }

}  // namespace qcpost
}  // namespace krymo
