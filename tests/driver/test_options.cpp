// Command-line options of the prepare program and its banner.
#include <gtest/gtest.h>

#include "driver/driver.h"
#include "test_support.h"

using namespace krymo;

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

TEST(Options, DefaultsCaseAndOrder) {
    const Parsed d = parse({});
    EXPECT_EQ(d.result, ParseResult::Run);
    EXPECT_EQ(d.opts.program, "krymo_prepare");
    EXPECT_EQ(d.opts.config, "krymo.inp");
    EXPECT_EQ(d.opts.trackdir, "track");
    EXPECT_TRUE(d.opts.openmp && d.opts.info);
    EXPECT_FALSE(d.opts.rmin || d.opts.verbose);
    EXPECT_EQ(d.screen, "");
    // Values are case sensitive, read by their first four letters; the last option wins.
    const Parsed upper = parse({"-omp", "TRUE"});
    EXPECT_FALSE(upper.opts.openmp);
    EXPECT_EQ(upper.screen, " OpenMP is set to 'TRUE'\n");
    EXPECT_TRUE(parse({"-omp", "trueish"}).opts.openmp);
    EXPECT_TRUE(parse({"-info", "false", "-verbose"}).opts.info);
    EXPECT_FALSE(parse({"-verbose", "-info", "false"}).opts.info);
    EXPECT_TRUE(parse({"-verbose", "-info", "false"}).opts.verbose);  // progress reports stay on
    EXPECT_FALSE(parse({"-info", "true"}).opts.verbose);
    const Parsed t = parse({"-x", "-trackdir", "tr2", "-rmin"});  // unknown -x skipped silently
    EXPECT_EQ(t.opts.trackdir, "tr2");
    EXPECT_TRUE(t.opts.rmin);
    EXPECT_EQ(t.screen, " trackdir is 'tr2'\n");
    // The value is consumed: "-rmin" after -trackdir is the directory name, not the option.
    const Parsed v = parse({"-trackdir", "-rmin"});
    EXPECT_EQ(v.opts.trackdir, "-rmin");
    EXPECT_FALSE(v.opts.rmin);
    for (const char* opt : {"-config", "-omp", "-trackdir", "-info"}) {  // a value option last
        PrepareOptions o;
        FatalError e = krymo_test::expect_fatal([&] { parse_prepare_options({"krymo_prepare", opt}, o); });
        EXPECT_EQ(e.status, 1);
        EXPECT_NE(e.out_text.find(opt), std::string::npos);
    }
}

TEST(Options, PrefixMatchingHelpAndVersion) {
    const Parsed h = parse({"-help"});
    EXPECT_EQ(h.result, ParseResult::Exit);
    EXPECT_EQ(h.screen, usage_text("krymo_prepare"));
    EXPECT_EQ(parse({"--help"}).result, ParseResult::Exit);
    const Parsed v = parse({"--version", "-h"});
    EXPECT_EQ(v.result, ParseResult::Exit);
    EXPECT_EQ(v.screen, KRYMO_version_line());  // the version line only, no banner
    EXPECT_EQ(v.screen.rfind("KRYMO version ", 0), 0u);

    krymo_test::ScopedStudyDir dir;
    const Parsed missing = parse({"-configfile", "absent.inp"});  // taken as -config
    EXPECT_EQ(missing.result, ParseResult::Fail);
    EXPECT_EQ(missing.screen, "ERROR: krymo_prepare input config file absent.inp not found!\n");
    krymo_test::write_file("here.inp", "&transport\n/\n");
    const Parsed found = parse({"-config", "here.inp"});
    EXPECT_EQ(found.result, ParseResult::Run);
    EXPECT_EQ(found.screen, "  krymo_prepare input config file is here.inp\n");
}

TEST(Banner, BoxAroundTwoLines) {
    std::istringstream in(KRYMO_title_text());
    std::vector<std::string> l;
    for (std::string s; std::getline(in, s);) l.push_back(s);
    ASSERT_EQ(l.size(), 4u);
    EXPECT_EQ(l[0], l[3]);
    EXPECT_EQ(l[0].find_first_not_of('*'), std::string::npos);
    EXPECT_EQ(l[1].size(), l[0].size());
    EXPECT_EQ(l[2].size(), l[0].size());
    EXPECT_EQ(l[1].rfind("*  KRYMO Transport Calculation Utility, Version " + release_label() + " build on ", 0), 0u);
    EXPECT_EQ(l[2].back(), '*');
}
