// Text helpers. Their exact edge behaviour matters: the input reader and the structure readers
// depend on which characters are removed or compared.
#pragma once

#include <cstdarg>
#include <string>
#include <vector>

namespace krymo {

// Leading blanks/tabs and the trailing run of blanks, tabs, CR, LF are removed (a leading CR/LF stays).
std::string& trim(std::string& s);
// Leading tabs, blanks and both kinds of quote.
void sg_triml(std::string& s);
// Trailing run of tabs, LF, CR, blanks and both kinds of quote.
void sg_trimr(std::string& s);
// sg_triml, sg_trimr, then every inner blank removed.
void sg_trim(std::string& s);

bool iequals(const std::string& a, const std::string& b);
// 1 when the first n characters of s and t agree ignoring case (n < 1 gives 1), else 0.
int strcasestr_n(const char* s, const char* t, int n);
void split_to_words(const std::string& text, const std::string& delims, std::vector<std::string>& out);

// printf into a string of exactly the needed length; numbers never go through a locale other than "C".
std::string format_string(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string vformat_string(const char* fmt, va_list ap);

void ReplaceSlashWithUnderscore(std::string& s);

// A double in the default iostream form (six significant digits, %g-like: 300, 0.05, 1e+07).
std::string stream_real(double v);

// The whole text (blanks and tabs around it allowed) as an int in range / a finite double.
bool parse_whole_int(const std::string& text, int& out);
bool parse_whole_real(const std::string& text, double& out);

// `s` fit to quote in a one-line message: control characters and bytes outside ASCII as \xNN, cut
// after `max` characters with "..." (a binary file or a runaway line must not flood the screen).
std::string printable_excerpt(const std::string& s, size_t max = 80);

// Levenshtein distance ignoring case: how many single-character edits turn a into b.
size_t edit_distance(const std::string& a, const std::string& b);

// Does `s` start with `prefix` (case-sensitive)?
bool starts_with(const std::string& s, const std::string& prefix);

// Text from the inputs that a generated script carries must stay data, never become code. The two
// helpers below are the only way such text enters a script.
//
// `s` as a double-quoted Python string literal: "naph.cif" stays "naph.cif"; a quote, backslash or
// control character is escaped (\", \\, \n, \xNN); bytes of UTF-8 names pass unchanged.
std::string python_literal(const std::string& s);
// `s` as one shell word: a word of letters, digits and `_ - . / + , : = @ %` stays as it is; anything
// else is put in single quotes ('it'\''s'), and the empty text becomes ''.
std::string shell_quote(const std::string& s);
// A command line from the settings (an executable and its arguments, split at blanks): each word
// through shell_quote, joined by one blank, except that a word of plain characters and variable
// references ($NAME, ${NAME}) stays as it is, to expand on the node. "mpirun -np 4 $ORCA/orca" stays;
// "g09; rm -rf ~" and "$(rm x)" cannot run rm.
std::string shell_command(const std::string& s);

}  // namespace krymo
