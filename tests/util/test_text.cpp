// Trimming, comparing, splitting and formatting text.
#include <gtest/gtest.h>

#include <cstring>

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
    EXPECT_EQ(format_string("%12.6f", 1.5), "    1.500000");
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
