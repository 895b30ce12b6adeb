#include "qcpost/fchk.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "qcpost/engine.h"
#include "util/text.h"

namespace krymo {
namespace qcpost {

namespace {

constexpr size_t kNameWidth = 43;  // the name fills columns 1-43, the type letter stands in column 44

// Values per line of the text entries: 5A12, 72L1, 9A8.
size_t text_per_line(char type) { return type == 'C' ? 5 : type == 'L' ? 72 : 9; }

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// A Fortran real: also "1.2345678-100", where a three-digit exponent pushed out the E.
bool parse_real(const char* b, const char* e, double& v) {
    auto r = std::from_chars(b, e, v);
    if (r.ec != std::errc() && r.ec != std::errc::result_out_of_range) return false;
    if (r.ec == std::errc::result_out_of_range) v = 0.0;  // underflow; an overflow fails isfinite below
    const char* p = r.ptr;
    if (p < e && (*p == '+' || *p == '-') && std::memchr(b, 'E', static_cast<size_t>(p - b)) == nullptr &&
        std::memchr(b, 'e', static_cast<size_t>(p - b)) == nullptr) {
        int ex = 0;
        auto r2 = std::from_chars(p + (*p == '+' ? 1 : 0), e, ex);
        if (r2.ec != std::errc() || r2.ptr != e) return false;
        v *= std::pow(10.0, ex);
        p = e;
    }
    if (p != e) return false;
    // from_chars takes "nan" and "inf"; so would the projection, silently.
    return std::isfinite(v);
}

struct Cursor {
    const std::string& text;
    size_t pos = 0;
    int line = 0;  // number of the line last taken
    bool next(const char*& b, const char*& e) {
        if (pos >= text.size()) return false;
        size_t nl = text.find('\n', pos);
        if (nl == std::string::npos) nl = text.size();
        b = text.data() + pos;
        e = text.data() + nl;
        while (e > b && e[-1] == '\r') --e;
        pos = nl + 1;
        ++line;
        return true;
    }
};

std::string excerpt(const char* b, const char* e) { return printable_excerpt(std::string(b, e), 60); }

template <class T>
void read_numbers(Cursor& cur, const std::string& path, const std::string& name, FchkEntry& entry, size_t count,
                  std::vector<T>& out) {
    out.reserve(std::min(count, (cur.text.size() - cur.pos) / 2 + 1));
    const char* kind = std::is_same<T, double>::value ? "real" : "integer";
    while (out.size() < count) {
        const char *b, *e;
        if (!cur.next(b, e))
            input_error(path, cur.line,
                        format_string("the file ends inside \"%s\" (line %d announces %zu values, %zu were read): "
                                      "truncated file",
                                      name.c_str(), entry.line, count, out.size()));
        const char* p = b;
        while (true) {
            while (p < e && is_blank(*p)) ++p;
            if (p == e) break;
            const char* q = p;
            while (q < e && !is_blank(*q)) ++q;
            T v{};
            bool ok;
            if constexpr (std::is_same<T, double>::value) {
                ok = parse_real(p, q, v);
            } else {
                auto r = std::from_chars(p, q, v);
                ok = r.ec == std::errc() && r.ptr == q;
            }
            if (!ok)
                input_error(path, cur.line,
                            format_string("\"%s\" is not a finite %s number (value %zu of %zu of \"%s\", line %d): "
                                          "a truncated array or a bad number",
                                          excerpt(p, q).c_str(), kind, out.size() + 1, count, name.c_str(),
                                          entry.line));
            if (out.size() == count)
                input_error(path, cur.line,
                            format_string("more values than the %zu that \"%s\" (line %d) announces", count,
                                          name.c_str(), entry.line));
            out.push_back(v);
            p = q;
        }
    }
}

}  // namespace

FchkFile parse_fchk(const std::string& path, const std::string& text) {
    FchkFile f;
    f.path = path;
    Cursor cur{text};
    const char *b, *e;
    if (!cur.next(b, e)) input_error(path, 0, "empty file: a formatted checkpoint file is expected");
    f.title.assign(b, e);
    if (!cur.next(b, e)) input_error(path, 1, "the file ends after its title: a formatted checkpoint file is expected");
    f.job.assign(b, e);
    const size_t nul = text.find('\0');
    if (nul != std::string::npos)
        input_error(path, line_of(text, nul), "binary content (a NUL byte): a formatted checkpoint file is expected");
    while (cur.next(b, e)) {
        const size_t len = static_cast<size_t>(e - b);
        if (len == 0 || std::all_of(b, e, is_blank)) continue;
        const char type = len > kNameWidth ? b[kNameWidth] : '\0';
        std::string name(b, std::min(len, kNameWidth));
        trim(name);
        if (std::strchr("IRCLH", type) == nullptr || type == '\0' || name.empty() || !is_blank(b[kNameWidth - 1]))
            input_error(path, cur.line,
                        format_string("expected an entry header \"Name  I|R|C|L|H  value\" or \"Name  I|R|C|L|H  "
                                      "N=  count\", found \"%s\"",
                                      excerpt(b, e).c_str()));
        std::string rest(b + kNameWidth + 1, e);
        trim(rest);
        FchkEntry entry;
        entry.type = type;
        entry.line = cur.line;
        if (starts_with(rest, "N=")) {
            entry.array = true;
            std::string n = rest.substr(2);
            long count = -1;
            trim(n);
            auto r = std::from_chars(n.data(), n.data() + n.size(), count);
            if (r.ec != std::errc() || r.ptr != n.data() + n.size() || count < 0)
                input_error(path, cur.line,
                            format_string("\"%s\": expected a count of values after N=, found \"%s\"", name.c_str(),
                                          printable_excerpt(n, 40).c_str()));
            const size_t want = static_cast<size_t>(count);
            if (type == 'R') {
                read_numbers(cur, path, name, entry, want, entry.reals);
            } else if (type == 'I') {
                read_numbers(cur, path, name, entry, want, entry.ints);
            } else {
                const size_t lines = (want + text_per_line(type) - 1) / text_per_line(type);
                for (size_t i = 0; i < lines; ++i) {
                    if (!cur.next(b, e))
                        input_error(path, cur.line,
                                    format_string("the file ends inside \"%s\" (line %d): truncated file",
                                                  name.c_str(), entry.line));
                    entry.text.append(b, e).push_back('\n');
                }
            }
        } else if (type == 'R' || type == 'I') {
            const char* vb = rest.data();
            const char* ve = vb + rest.size();
            bool ok;
            if (type == 'R') {
                double v = 0;
                ok = parse_real(vb, ve, v);
                entry.reals.push_back(v);
            } else {
                long v = 0;
                auto r = std::from_chars(vb, ve, v);
                ok = r.ec == std::errc() && r.ptr == ve && ve != vb;
                entry.ints.push_back(v);
            }
            if (!ok)
                input_error(path, cur.line,
                            format_string("\"%s\": expected a finite %s value, found \"%s\"", name.c_str(),
                                          type == 'R' ? "real" : "integer", printable_excerpt(rest, 40).c_str()));
        } else {
            entry.text = rest;
        }
        f.entries[name] = std::move(entry);
    }
    return f;
}

FchkFile read_fchk(const std::string& path) { return parse_fchk(path, read_text_file(path)); }

const FchkEntry& FchkFile::entry(const std::string& name, const char* expected) const {
    auto it = entries.find(name);
    if (it == entries.end())
        input_error(path, 0, format_string("no \"%s\" entry (%s expected)", name.c_str(), expected));
    return it->second;
}

const std::vector<double>& FchkFile::reals(const std::string& name) const {
    const FchkEntry& en = entry(name, "real values");
    if (en.type != 'R') input_error(path, en.line, format_string("\"%s\": real values expected", name.c_str()));
    return en.reals;
}

const std::vector<long>& FchkFile::ints(const std::string& name) const {
    const FchkEntry& en = entry(name, "integer values");
    if (en.type != 'I') input_error(path, en.line, format_string("\"%s\": integer values expected", name.c_str()));
    return en.ints;
}

double FchkFile::real(const std::string& name) const {
    const FchkEntry& en = entry(name, "a real value");
    if (en.array || (en.type != 'R' && en.type != 'I'))
        input_error(path, en.line, format_string("\"%s\": a single real value expected", name.c_str()));
    return en.type == 'R' ? en.reals[0] : static_cast<double>(en.ints[0]);
}

long FchkFile::integer(const std::string& name) const {
    const FchkEntry& en = entry(name, "an integer value");
    if (en.array || en.type != 'I')
        input_error(path, en.line, format_string("\"%s\": a single integer value expected", name.c_str()));
    return en.ints[0];
}

int FchkFile::line(const std::string& name) const {
    auto it = entries.find(name);
    return it == entries.end() ? 0 : it->second.line;
}

}  // namespace qcpost
}  // namespace krymo
