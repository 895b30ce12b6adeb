#include <gtest/gtest.h>

#include <cstring>

#include "util/text.h"

using namespace krymo;

TEST(Trim, RemovesBlanksTabsAndLineEndsButKeepsLeadingLineFeed) {
    std::string s = "\t hello \r\n";
    EXPECT_EQ(trim(s), "hello");
    std::string lf = "\nvalue ";
    EXPECT_EQ(trim(lf), "\nvalue");
    std::string only = " \t\r\n";
    EXPECT_EQ(trim(only), "");
}

TEST(Trim, QuoteTrimsAndInnerBlanks) {
    std::string s = " 'P 21/c' ";
    sg_trim(s);
    EXPECT_EQ(s, "P21/c");
    std::string l = "\"'x, y'\"";
    sg_triml(l);
    EXPECT_EQ(l, "x, y'\"");
    sg_trimr(l);
    EXPECT_EQ(l, "x, y");
}

TEST(Trim, CTrimNeverRemovesTheFirstCharacter) {
    char crlf[] = "\r\n";
    c_trim(crlf);
    EXPECT_STREQ(crlf, "\r");
    char s[] = "  ab \t\n";
    c_trim(s);
    EXPECT_STREQ(s, "ab");
    c_trim(nullptr);
}

TEST(Compare, IequalsAndPrefixCompare) {
    EXPECT_TRUE(iequals("&transport", "&TRANSPORT"));
    EXPECT_FALSE(iequals("qc_exe", "qc_exe "));
    EXPECT_TRUE(iequals("", ""));
    EXPECT_EQ(strcasestr_n("Quantum", "quantum", 5), 1);
    EXPECT_EQ(strcasestr_n("quan", "quantum", 5), 0);
    EXPECT_EQ(strcasestr_n("x", "y", 0), 1);
}

TEST(Split, TokenizeSkipsEmptyRuns) {
    std::vector<std::string> v{"stale"};
    EXPECT_EQ(tokenize(v, "  1\t0", " \t"), 1);
    EXPECT_EQ(v, (std::vector<std::string>{"1", "0"}));
    EXPECT_EQ(tokenize(v, nullptr, " "), 0);
    EXPECT_TRUE(v.empty());
    split_to_words(",a,,b,", ",", v);
    EXPECT_EQ(v, (std::vector<std::string>{"a", "b"}));
}

TEST(Format, NoLengthLimitAndClassicNumbers) {
    std::string long_text(5000, 'x');
    EXPECT_EQ(format_string("<%s>", long_text.c_str()).size(), 5002u);
    EXPECT_EQ(format_string("%12.6f", 1.5), "    1.500000");
    EXPECT_EQ(stream_real(300.0), "300");
    EXPECT_EQ(stream_real(0.05), "0.05");
    EXPECT_EQ(stream_real(1e7), "1e+07");
    EXPECT_EQ(stream_real(1.15), "1.15");
}

TEST(PathText, Replacements) {
    EXPECT_EQ(RemoveWhiteSpaceUnderscore("P 1 21_a"), "P121a");
    std::string p = "a/b\\c";
    ReplaceSlashWithUnderscore(p);
    EXPECT_EQ(p, "a_b_c");
    char q[] = "a\\b\\c";
    ReplaceBackSlashWithSlash(q);
    EXPECT_STREQ(q, "a/b/c");
}
