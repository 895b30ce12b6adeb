// Trimming, comparing, splitting and formatting text.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "test_support.h"
#include "util/text.h"

using namespace krymo;

TEST(Text, TrimRules) {
    // Blanks, tabs and line ends go, but a leading line feed stays.
    for (const auto& [in, out] : {std::pair<std::string, std::string>{"\t hello \r\n", "hello"},
                                  {"\nvalue ", "\nvalue"}, {" \t\r\n", ""}}) {
        std::string s = in;
        EXPECT_EQ(trim(s), out);
    }
    std::string s = " 'P 21/c' ";
    sg_trim(s);
    EXPECT_EQ(s, "P21/c");
    std::string l = "\"'x, y'\"";
    sg_triml(l);
    EXPECT_EQ(l, "x, y'\"");
    sg_trimr(l);
    EXPECT_EQ(l, "x, y");
    // The C form never removes the first character.
    char crlf[] = "\r\n", c[] = "  ab \t\n";
    c_trim(crlf);
    EXPECT_STREQ(crlf, "\r");
    c_trim(c);
    EXPECT_STREQ(c, "ab");
    c_trim(nullptr);
}

TEST(Text, CompareAndSplit) {
    EXPECT_TRUE(iequals("&transport", "&TRANSPORT"));
    EXPECT_FALSE(iequals("qc_exe", "qc_exe "));
    EXPECT_TRUE(iequals("", ""));
    EXPECT_EQ(strcasestr_n("Quantum", "quantum", 5), 1);
    EXPECT_EQ(strcasestr_n("quan", "quantum", 5), 0);
    EXPECT_EQ(strcasestr_n("x", "y", 0), 1);
    std::vector<std::string> v{"stale"};
    EXPECT_EQ(tokenize(v, "  1\t0", " \t"), 1);
    EXPECT_EQ(v, (std::vector<std::string>{"1", "0"}));
    EXPECT_EQ(tokenize(v, nullptr, " "), 0);
    EXPECT_TRUE(v.empty());
    split_to_words(",a,,b,", ",", v);
    EXPECT_EQ(v, (std::vector<std::string>{"a", "b"}));
}

TEST(Text, FormatsAndReplacements) {
    EXPECT_EQ(format_string("<%s>", std::string(5000, 'x').c_str()).size(), 5002u);  // no length limit
    for (const auto& [v, text] : {std::pair<double, const char*>{300.0, "300"}, {0.05, "0.05"}, {1e7, "1e+07"},
                                  {1.15, "1.15"}})
        EXPECT_EQ(stream_real(v), text);
    EXPECT_EQ(RemoveWhiteSpaceUnderscore("P 1 21_a"), "P121a");
    std::string p = "a/b\\c";
    ReplaceSlashWithUnderscore(p);
    EXPECT_EQ(p, "a_b_c");
    char q[] = "a\\b\\c";
    ReplaceBackSlashWithSlash(q);
    EXPECT_STREQ(q, "a/b/c");
}

namespace {
// Values an input may carry into a script: each must come back as the same bytes, never run.
const char* const kHostile[] = {
    "naphthalene.cif", "/abs/dir/x.cif", "a b", "it's", "say \"hi\"", "back\\slash\\", "$(touch pwned)",
    "`touch pwned`", "a;touch pwned", "x\ny", "tab\there", "${HOME}", "*.cif", "~", "-rf", "caf\xc3\xa9.mol",
    "q'\"'\"", "%s%d", "",
};
}  // namespace

TEST(Text, PlainValuesKeepTheirBytesInScripts) {
    // Generated scripts of ordinary studies must not change: plain names pass as they are.
    for (const char* plain : {"naphthalene.cif", "../../data/VL.dat", "g09", "n1,n2", "a+b=c@d:%1", "-nt"}) {
        EXPECT_EQ(python_literal(plain), std::string("\"") + plain + "\"");
        EXPECT_EQ(shell_quote(plain), plain);
    }
    EXPECT_EQ(shell_command("mpirun  -np 4\torca"), "mpirun -np 4 orca");
    EXPECT_EQ(shell_command("g09; rm -rf ~"), "'g09;' rm -rf '~'");
    // Variables expand on the node; anything that is more than a variable is quoted.
    for (const char* kept : {"$ORCA/orca", "${HOME}/g16/g16", "$A_1${B}x"}) EXPECT_EQ(shell_command(kept), kept);
    for (const auto& [in, out] : {std::pair<const char*, const char*>{"$(rm x)", "'$(rm' 'x)'"}, {"${A", "'${A'"},
                                  {"$1/orca", "'$1/orca'"}, {"$", "'$'"}, {"${A}`b`", "'${A}`b`'"}})
        EXPECT_EQ(shell_command(in), out) << in;
    EXPECT_EQ(shell_quote(""), "''");
    EXPECT_EQ(shell_quote("it's"), "'it'\\''s'");
    EXPECT_EQ(python_literal("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\x01\"");
}

TEST(Text, QuotedValuesComeBackUnchangedFromPythonAndTheShell) {
    krymo_test::ScopedStudyDir dir;
    // The shell prints each word as one argument; a command substitution would have run instead.
    std::string shell = "printf '%s|'", expected;
    std::string python = "import sys\n";
    for (const char* v : kHostile) {
        shell += " " + shell_quote(v);
        expected += std::string(v) + "|";
        python += "sys.stdout.buffer.write(" + python_literal(v) + ".encode() + b'|')\n";
    }
    EXPECT_EQ(krymo_test::run_command(shell).output, expected);
    if (std::system("python3 -c pass 2>/dev/null") == 0) {
        krymo_test::write_file("lit.py", python);
        EXPECT_EQ(krymo_test::run_command("python3 lit.py").output, expected);
    }
    EXPECT_FALSE(access("pwned", F_OK) == 0);
}
