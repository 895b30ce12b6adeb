// Formatted checkpoint files (the fchk of formchk, Q-Chem's gui = 2 and psi4's fchk()): every entry
// is a header line "Name  I|R|C|L|H  value" (a scalar) or "Name  I|R|C|L|H  N=  count" followed by
// the values. Read whole and checked: a truncated array, a bad or non-finite number or binary junk
// stops the run naming the file, the line and what was expected.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace krymo {
namespace qcpost {

struct FchkEntry {
    char type = 'I';     // I, R, C (text), L (logical), H (text)
    bool array = false;  // "N=" header; a scalar keeps its one value in the same vector
    int line = 0;        // line of the header
    std::vector<double> reals;  // type R
    std::vector<long> ints;     // type I
    std::string text;           // C, L, H: the value lines as written
};

struct FchkFile {
    std::string path;
    std::string title;  // first line
    std::string job;    // second line: job type, method, basis
    std::map<std::string, FchkEntry> entries;

    bool has(const std::string& name) const { return entries.count(name) != 0; }
    // The values of a real (R) or integer (I) entry, array or scalar. A missing entry or one of the
    // other type stops the run naming the file and the entry.
    const std::vector<double>& reals(const std::string& name) const;
    const std::vector<long>& ints(const std::string& name) const;
    // A scalar entry (an integer scalar also serves as a real).
    double real(const std::string& name) const;
    long integer(const std::string& name) const;
    // Header line of an entry (0 when missing): for messages about its values.
    int line(const std::string& name) const;

private:
    const FchkEntry& entry(const std::string& name, const char* expected) const;
};

FchkFile read_fchk(const std::string& path);
// The same from text already read (`path` names it in messages).
FchkFile parse_fchk(const std::string& path, const std::string& text);

}  // namespace qcpost
}  // namespace krymo
