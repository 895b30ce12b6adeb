#include "structure/cif_syntax.h"

#include <cctype>

#include "util/fatal.h"
#include "util/text.h"

namespace krymo {

namespace {

enum class Kind { value, tag, loop, data, save, global, stop, open_quote, open_text, end };

struct Token {
    Kind kind = Kind::end;
    CifValue value;  // text of every kind (a keyword's name after its underscore for data_ and save_)
    size_t end = 0;  // position after the token in its line
};

bool blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

bool keyword(const std::string& word, const char* kw, size_t n) {
    if (word.size() < n) return false;
    for (size_t k = 0; k < n; ++k)
        if (std::tolower(static_cast<unsigned char>(word[k])) != kw[k]) return false;
    return true;
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Tokens of the file, one at a time.
class Lexer {
public:
    explicit Lexer(const std::vector<std::string>& lines) : lines_(lines) {}

    Token next() {
        Token t;
        for (;;) {
            if (row_ >= lines_.size()) return t;
            const std::string& s = lines_[row_];
            if (pos_ == 0 && !s.empty() && s[0] == ';') return text_field();
            while (pos_ < s.size() && blank(s[pos_])) ++pos_;
            if (pos_ >= s.size() || s[pos_] == '#') {
                ++row_;
                pos_ = 0;
                continue;
            }
            break;
        }
        const std::string& s = lines_[row_];
        t.value.line = static_cast<int>(row_) + 1;
        t.value.column = pos_;
        if (s[pos_] == '\'' || s[pos_] == '"') {
            // A quote closes only where a blank or the line end follows it: 'O'Brien' is one value.
            const char q = s[pos_];
            size_t j = pos_ + 1;
            while (j < s.size() && !(s[j] == q && (j + 1 == s.size() || blank(s[j + 1])))) ++j;
            if (j >= s.size()) {
                t.kind = Kind::open_quote;
                return t;
            }
            t.kind = Kind::value;
            t.value.text = s.substr(pos_ + 1, j - pos_ - 1);
            t.value.quoted = true;
            pos_ = t.end = j + 1;
            return t;
        }
        size_t j = pos_;
        while (j < s.size() && !blank(s[j])) ++j;
        std::string word = s.substr(pos_, j - pos_);
        pos_ = t.end = j;
        if (word[0] == '_') {
            t.kind = Kind::tag;
        } else if (keyword(word, "data_", 5)) {
            t.kind = Kind::data;
            word.erase(0, 5);
        } else if (keyword(word, "save_", 5)) {
            t.kind = Kind::save;
            word.erase(0, 5);
        } else if (lower(word) == "loop_") {
            t.kind = Kind::loop;
        } else if (lower(word) == "global_") {
            t.kind = Kind::global;
        } else if (lower(word) == "stop_") {
            t.kind = Kind::stop;
        } else {
            t.kind = Kind::value;
        }
        t.value.text = word;
        return t;
    }

    const std::string& line(int number) const { return lines_[static_cast<size_t>(number) - 1]; }

private:
    // From a line starting with ';' to the next such line: the text between, line ends kept.
    Token text_field() {
        Token t;
        t.value.line = static_cast<int>(row_) + 1;
        t.value.quoted = t.value.text_field = true;
        std::string text = lines_[row_].substr(1);
        for (size_t r = row_ + 1; r < lines_.size(); ++r) {
            if (!lines_[r].empty() && lines_[r][0] == ';') {
                row_ = r;
                pos_ = t.end = 1;
                t.kind = Kind::value;
                t.value.text = text;
                return t;
            }
            text += "\n" + lines_[r];
        }
        t.kind = Kind::open_text;
        return t;
    }

    const std::vector<std::string>& lines_;
    size_t row_ = 0, pos_ = 0;
};

}  // namespace

int CifLoop::column(const char* tag) const {
    for (size_t k = 0; k < tags.size(); ++k)
        if (tags[k] == tag) return static_cast<int>(k);
    return -1;
}

std::string CifLoop::describe() const {
    std::string names;
    for (size_t k = 0; k < tags.size() && k < 3; ++k) names += (k ? ", " : "") + tags[k];
    if (tags.size() > 3) names += ", ...";
    return format_string("the loop of %s at line %d", names.c_str(), line);
}

std::vector<CifBlock> parse_cif_blocks(const std::vector<std::string>& lines, const std::string& path) {
    Lexer lex(lines);
    std::vector<CifBlock> blocks(1);  // what comes before the first data_ heading
    const CifLoop* open_loop = nullptr;
    auto unclosed = [&](const Token& t) {
        const std::string where =
            open_loop ? format_string(" (in %s)", open_loop->describe().c_str()) : std::string();
        if (t.kind == Kind::open_quote)
            KRYMO_FATAL_OUT("fileio", 255,
                            format_string("Crystal file \"%s\", line %d%s: the quoted value starting %s is never "
                                          "closed; a value opened by a quote ends at the same quote followed by a "
                                          "blank or the line end.\n",
                                          path.c_str(), t.value.line, where.c_str(),
                                          printable_excerpt(lex.line(t.value.line).substr(t.value.column), 40).c_str()));
        KRYMO_FATAL_OUT("fileio", 255,
                        format_string("Crystal file \"%s\", line %d%s: the text field opened by the ';' at the start "
                                      "of this line is never closed by another line starting with ';'.\n",
                                      path.c_str(), t.value.line, where.c_str()));
    };

    Token t = lex.next();
    while (t.kind != Kind::end) {
        CifBlock& block = blocks.back();
        switch (t.kind) {
            case Kind::data:
                blocks.emplace_back();
                blocks.back().name = t.value.text;
                blocks.back().line = t.value.line;
                t = lex.next();
                break;
            case Kind::save:
                // A save frame (dictionary definitions) runs to the next bare save_.
                do {
                    t = lex.next();
                    if (t.kind == Kind::open_quote || t.kind == Kind::open_text) unclosed(t);
                } while (t.kind != Kind::end && !(t.kind == Kind::save && t.value.text.empty()));
                if (t.kind != Kind::end) t = lex.next();
                break;
            case Kind::loop: {
                block.loops.emplace_back();
                CifLoop& loop = block.loops.back();
                loop.line = t.value.line;
                for (t = lex.next(); t.kind == Kind::tag; t = lex.next()) loop.tags.push_back(lower(t.value.text));
                open_loop = &loop;
                for (; t.kind == Kind::value || t.kind == Kind::open_quote || t.kind == Kind::open_text;
                     t = lex.next()) {
                    if (t.kind != Kind::value) unclosed(t);
                    loop.values.push_back(t.value);
                }
                open_loop = nullptr;
                break;
            }
            case Kind::tag: {
                CifItem item;
                item.tag = lower(t.value.text);
                item.value.line = t.value.line;
                t = lex.next();
                if (t.kind == Kind::open_quote || t.kind == Kind::open_text) unclosed(t);
                if (t.kind == Kind::value) {
                    item.value = t.value;
                    const std::string& s = lex.line(t.value.line);
                    size_t end = t.end;
                    const bool bare = !t.value.quoted;
                    t = lex.next();
                    // More bare words on the value's line continue an unquoted value.
                    while (bare && t.kind == Kind::value && !t.value.quoted && t.value.line == item.value.line) {
                        end = t.end;
                        t = lex.next();
                    }
                    item.raw = item.value.text_field ? item.value.text
                                                     : s.substr(item.value.column, end - item.value.column);
                    if (bare) item.value.text = item.raw;
                }
                block.items.push_back(std::move(item));
                break;
            }
            case Kind::open_quote:
            case Kind::open_text:
                unclosed(t);
                break;
            default:  // a value without a tag, global_, stop_: nothing the reader uses
                t = lex.next();
                break;
        }
    }
    if (blocks.front().items.empty() && blocks.front().loops.empty()) blocks.erase(blocks.begin());
    return blocks;
}

}  // namespace krymo
