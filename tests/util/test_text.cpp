// Trimming, splitting and formatting text, and quoting values for scripts.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>

#include "test_support.h"
#include "util/text.h"

using namespace krymo;

TEST(Text, TrimSplitAndFormat) {
    // Blanks, tabs and line ends go, but a leading line feed stays.
    for (const auto& [in, out] : {std::pair<std::string, std::string>{"\t hello \r\n", "hello"},
                                  {"\nvalue ", "\nvalue"}, {" \t\r\n", ""}}) {
        std::string s = in;
        EXPECT_EQ(trim(s), out);
    }
    std::string s = " 'P 21/c' ";
    sg_trim(s);
    EXPECT_EQ(s, "P21/c");
    EXPECT_EQ(strcasestr_n("Quantum", "quantum", 5), 1);  // a prefix in any case
    std::vector<std::string> v{"stale"};
    split_to_words(",a,,b,", ",", v);
    EXPECT_EQ(v, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(format_string("<%s>", std::string(5000, 'x').c_str()).size(), 5002u);  // no length limit
    for (const auto& [v, text] : {std::pair<double, const char*>{300.0, "300"}, {0.05, "0.05"}, {1e7, "1e+07"},
                                  {1.15, "1.15"}})
        EXPECT_EQ(stream_real(v), text);
}

TEST(Text, ValuesReachScriptsAsTheirOwnBytes) {
    // Generated scripts of ordinary studies must not change: plain names pass as they are.
    for (const char* plain : {"naphthalene.cif", "../../data/VL.dat", "g09", "n1,n2", "a+b=c@d:%1", "-nt"}) {
        EXPECT_EQ(python_literal(plain), std::string("\"") + plain + "\"");
        EXPECT_EQ(shell_quote(plain), plain);
    }
    // Commands split into words; variables expand on the node; anything that is more than a variable is quoted.
    for (const auto& [in, out] : {std::pair<const char*, const char*>{"mpirun  -np 4\torca", "mpirun -np 4 orca"},
                                  {"g09; rm -rf ~", "'g09;' rm -rf '~'"}, {"$ORCA/orca", "$ORCA/orca"},
                                  {"${HOME}/g16/g16", "${HOME}/g16/g16"}, {"$A_1${B}x", "$A_1${B}x"},
                                  {"$(rm x)", "'$(rm' 'x)'"}, {"${A", "'${A'"}, {"$1/orca", "'$1/orca'"}, {"$", "'$'"},
                                  {"${A}`b`", "'${A}`b`'"}})
        EXPECT_EQ(shell_command(in), out) << in;
    // Values an input may carry into a script: each must come back as the same bytes, never run.
    const char* const kHostile[] = {
        "naphthalene.cif", "/abs/dir/x.cif", "a b", "it's", "say \"hi\"", "back\\slash\\", "$(touch pwned)",
        "`touch pwned`", "a;touch pwned", "x\ny", "tab\there", "${HOME}", "*.cif", "~", "-rf", "caf\xc3\xa9.mol",
        "q'\"'\"", "%s%d", "",
    };
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
