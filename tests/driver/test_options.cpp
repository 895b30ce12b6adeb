#include <gtest/gtest.h>

#include "driver/driver.h"
#include "test_support.h"

using namespace krymo;
using krymo_test::ScopedStudyDir;

namespace {
struct Parsed {
    ParseResult result;
    PrepareOptions opts;
    std::string screen;
};

Parsed parse(std::vector<std::string> args) {
    args.insert(args.begin(), "/opt/krymo/bin/krymo_prepare");
    Parsed p;
    testing::internal::CaptureStdout();
    p.result = parse_prepare_options(args, p.opts);
    p.screen = testing::internal::GetCapturedStdout();
    return p;
}
}  // namespace

TEST(Options, DefaultsWithoutArguments) {
    Parsed p = parse({});
    EXPECT_EQ(p.result, ParseResult::Run);
    EXPECT_EQ(p.opts.program, "krymo_prepare");
    EXPECT_EQ(p.opts.config, "krymo.inp");
    EXPECT_EQ(p.opts.trackdir, "track");
    EXPECT_TRUE(p.opts.openmp);
    EXPECT_TRUE(p.opts.info);
    EXPECT_FALSE(p.opts.rmin);
    EXPECT_FALSE(p.opts.verbose);
    EXPECT_EQ(p.screen, "");
}

TEST(Options, ValuesAreCaseSensitiveAndOrderMatters) {
    Parsed upper = parse({"-omp", "TRUE"});
    EXPECT_FALSE(upper.opts.openmp);
    EXPECT_EQ(upper.screen, " OpenMP is set to 'TRUE'\n");
    EXPECT_TRUE(parse({"-omp", "trueish"}).opts.openmp);
    EXPECT_TRUE(parse({"-info", "false", "-verbose"}).opts.info);
    EXPECT_FALSE(parse({"-verbose", "-info", "false"}).opts.info);
    EXPECT_TRUE(parse({"-verbose", "-info", "false"}).opts.verbose);  // progress reports stay on
    EXPECT_FALSE(parse({"-info", "true"}).opts.verbose);
    Parsed t = parse({"-x", "-trackdir", "tr2", "-rmin"});  // unknown -x skipped silently
    EXPECT_EQ(t.opts.trackdir, "tr2");
    EXPECT_TRUE(t.opts.rmin);
    EXPECT_EQ(t.screen, " trackdir is 'tr2'\n");
    // The value is consumed: "-rmin" after -trackdir is the directory name, not the option.
    Parsed v = parse({"-trackdir", "-rmin"});
    EXPECT_EQ(v.opts.trackdir, "-rmin");
    EXPECT_FALSE(v.opts.rmin);
}

TEST(Options, PrefixMatchingHelpAndVersion) {
    Parsed h = parse({"-help"});
    EXPECT_EQ(h.result, ParseResult::Exit);
    EXPECT_EQ(h.screen, usage_text("krymo_prepare"));
    EXPECT_NE(h.screen.find("Usage: krymo_prepare [opts]\n  -config s            : set config file"),
              std::string::npos);
    EXPECT_NE(h.screen.find("e.g.: krymo_prepare\n  krymo_prepare -config krymo.inp\n"), std::string::npos);
    EXPECT_EQ(parse({"--help"}).result, ParseResult::Exit);
    Parsed v = parse({"--version", "-h"});
    EXPECT_EQ(v.result, ParseResult::Exit);
    EXPECT_EQ(v.screen, KRYMO_version_line());  // the version line only, no banner
    EXPECT_EQ(v.screen.rfind("KRYMO version ", 0), 0u);

    ScopedStudyDir dir;
    Parsed missing = parse({"-configfile", "absent.inp"});  // taken as -config
    EXPECT_EQ(missing.result, ParseResult::Exit);
    EXPECT_EQ(missing.screen, "ERROR: krymo_prepare input config file absent.inp not found!\n");
    krymo_test::write_file("here.inp", "&transport\n/\n");
    Parsed found = parse({"-config", "here.inp"});
    EXPECT_EQ(found.result, ParseResult::Run);
    EXPECT_EQ(found.screen, "  krymo_prepare input config file is here.inp\n");
}

TEST(Options, ValueOptionAsLastArgumentIsAnError) {
    for (const char* opt : {"-config", "-omp", "-trackdir", "-info"}) {
        PrepareOptions o;
        FatalError e = krymo_test::expect_fatal([&] { parse_prepare_options({"krymo_prepare", opt}, o); });
        EXPECT_EQ(e.status, 1);
        EXPECT_NE(e.out_text.find(opt), std::string::npos);
    }
}

TEST(Banner, BoxAroundTwoLines) {
    const std::string t = KRYMO_title_text();
    std::vector<std::string> lines;
    size_t b = 0;
    for (size_t e; (e = t.find('\n', b)) != std::string::npos; b = e + 1) lines.push_back(t.substr(b, e - b));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], lines[3]);
    EXPECT_EQ(lines[0].find_first_not_of('*'), std::string::npos);
    EXPECT_EQ(lines[1].size(), lines[0].size());
    EXPECT_EQ(lines[2].size(), lines[0].size());
    EXPECT_EQ(lines[1].rfind("*  KRYMO Transport Calculation Utility, Version " + release_label() + " build on ", 0),
              0u);
    EXPECT_EQ(lines[2].back(), '*');
    // Build date in the compiler's form, "Jun  7 2021".
    EXPECT_EQ(build_date().size(), 11u);
}
