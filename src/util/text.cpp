#include "util/text.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <locale>
#include <sstream>

namespace krymo {

namespace {
bool is_blank_tab(char c) { return c == ' ' || c == '\t'; }
bool is_right_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool is_quote_space(char c) { return c == ' ' || c == '\t' || c == '"' || c == '\''; }
bool is_quote_right(char c) { return is_right_space(c) || c == '"' || c == '\''; }
}  // namespace

std::string& trim(std::string& s) {
    size_t b = 0;
    while (b < s.size() && is_blank_tab(s[b])) ++b;
    size_t e = s.size();
    while (e > b && is_right_space(s[e - 1])) --e;
    s = s.substr(b, e - b);
    return s;
}

void sg_triml(std::string& s) {
    size_t b = 0;
    while (b < s.size() && is_quote_space(s[b])) ++b;
    s.erase(0, b);
}

void sg_trimr(std::string& s) {
    size_t e = s.size();
    while (e > 0 && is_quote_right(s[e - 1])) --e;
    s.erase(e);
}

void sg_trim(std::string& s) {
    sg_triml(s);
    sg_trimr(s);
    std::string out;
    out.reserve(s.size());
    for (char c : s)
        if (c != ' ') out += c;
    s.swap(out);
}

bool iequals(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

int strcasestr_n(const char* s, const char* t, int n) {
    if (n < 1) return 1;
    for (int i = 0; i < n; ++i) {
        int a = std::tolower(static_cast<unsigned char>(s[i]));
        int b = std::tolower(static_cast<unsigned char>(t[i]));
        if (a != b) return 0;
        if (a == 0) return 1;  // both ended together
    }
    return 1;
}

void split_to_words(const std::string& text, const std::string& delims, std::vector<std::string>& out) {
    out.clear();
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && delims.find(text[i]) != std::string::npos) ++i;
        size_t b = i;
        while (i < text.size() && delims.find(text[i]) == std::string::npos) ++i;
        if (i > b) out.emplace_back(text, b, i - b);
    }
}

std::string vformat_string(const char* fmt, va_list ap) {
    va_list copy;
    va_copy(copy, ap);
    int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    if (n <= 0) return std::string();
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(&out[0], out.size(), fmt, ap);
    out.resize(static_cast<size_t>(n));
    return out;
}

std::string format_string(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::string s = vformat_string(fmt, ap);
    va_end(ap);
    return s;
}

void ReplaceSlashWithUnderscore(std::string& s) {
    for (char& c : s)
        if (c == '/' || c == '\\') c = '_';
}

std::string stream_real(double v) {
    std::ostringstream os;
    os.imbue(std::locale::classic());
    os << v;
    return os.str();
}

bool starts_with(const std::string& s, const std::string& prefix) {
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace krymo

namespace krymo {

std::string printable_excerpt(const std::string& s, size_t max) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (i == max) return out + "...";
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 && c != '\t')
            out += format_string("\\x%02x", c);
        else if (c >= 0x7f)
            out += format_string("\\x%02x", c);
        else
            out += s[i];
    }
    return out;
}

bool parse_whole_int(const std::string& text, int& out) {
    std::string t = text;
    trim(t);
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(t.c_str(), &end, 10);
    if (t.empty() || *end != '\0' || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
    out = static_cast<int>(v);
    return true;
}

bool parse_whole_real(const std::string& text, double& out) {
    std::string t = text;
    trim(t);
    char* end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    if (t.empty() || *end != '\0' || !std::isfinite(v)) return false;
    out = v;
    return true;
}

size_t edit_distance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diag = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t up = row[j];
            const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                              std::tolower(static_cast<unsigned char>(b[j - 1]));
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diag + (same ? 0 : 1)});
            diag = up;
        }
    }
    return row[b.size()];
}

}  // namespace krymo

namespace krymo {

std::string python_literal(const std::string& s) {
    std::string out = "\"";
    for (const char ch : s) {
        const unsigned char c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20 || c == 0x7f)
                    out += format_string("\\x%02x", c);
                else
                    out += ch;
        }
    }
    return out + "\"";
}

std::string shell_quote(const std::string& s) {
    bool plain = !s.empty();
    for (const char ch : s) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == 0 || c >= 0x80 || !(std::isalnum(c) || std::strchr("_-./+,:=@%", c) != nullptr)) plain = false;
    }
    if (plain) return s;
    std::string out = "'";
    for (const char ch : s) out += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    return out + "'";
}

namespace {
// A word of plain characters and variable references ($NAME, ${NAME}) only: it may stay unquoted.
bool plain_with_variables(const std::string& w) {
    std::string rest;
    for (size_t i = 0; i < w.size(); ++i) {
        if (w[i] != '$') {
            rest += w[i];
            continue;
        }
        const bool braced = i + 1 < w.size() && w[i + 1] == '{';
        size_t j = i + (braced ? 2 : 1);
        const size_t from = j;
        while (j < w.size() && (std::isalnum(static_cast<unsigned char>(w[j])) || w[j] == '_')) ++j;
        if (j == from || std::isdigit(static_cast<unsigned char>(w[from]))) return false;
        if (braced) {
            if (j >= w.size() || w[j] != '}') return false;
            ++j;
        }
        i = j - 1;
    }
    return rest.empty() || shell_quote(rest) == rest;
}
}  // namespace

std::string shell_command(const std::string& s) {
    std::vector<std::string> words;
    split_to_words(s, " \t", words);
    std::string out;
    for (const std::string& w : words) out += (out.empty() ? "" : " ") + (plain_with_variables(w) ? w : shell_quote(w));
    return out;
}

}  // namespace krymo
