// Command-line options of the prepare program.
#include <gtest/gtest.h>

#include "driver/driver.h"
#include "test_support.h"
#include "util/text.h"

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

// What a command line asks for, with what it printed, as one line.
std::string asked(const std::vector<std::string>& args) {
    const Parsed p = parse(args);
    const char* result = p.result == ParseResult::Run ? "run" : p.result == ParseResult::Exit ? "exit" : "fail";
    return krymo::format_string("%s omp%d info%d verbose%d rmin%d %s %s: %s", result,
                                p.opts.openmp, p.opts.info, p.opts.verbose, p.opts.rmin, p.opts.config.c_str(),
                                p.opts.trackdir.c_str(), p.screen.c_str());
}
}  // namespace

TEST(Options, DefaultsCaseOrderPrefixesHelpAndVersion) {
    krymo_test::ScopedStudyDir dir;
    krymo_test::write_file("here.inp", "&transport\n/\n");
    // Values are case sensitive, read by their first four letters; the last option wins; an unknown option
    // is skipped silently; a value is taken even when it looks like an option; options match by prefix.
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "run omp1 info1 verbose0 rmin0 krymo.inp track: "},
        {{"-omp", "TRUE"}, "run omp0 info1 verbose0 rmin0 krymo.inp track:  OpenMP is set to 'TRUE'\n"},
        {{"-omp", "trueish"}, "run omp1 info1 verbose0 rmin0 krymo.inp track:  OpenMP is set to 'trueish'\n"},
        {{"-info", "false", "-verbose"}, "run omp1 info1 verbose1 rmin0 krymo.inp track: "},
        {{"-verbose", "-info", "false"}, "run omp1 info0 verbose1 rmin0 krymo.inp track: "},  // reports stay on
        {{"-info", "true"}, "run omp1 info1 verbose0 rmin0 krymo.inp track: "},
        {{"-x", "-trackdir", "tr2", "-rmin"}, "run omp1 info1 verbose0 rmin1 krymo.inp tr2:  trackdir is 'tr2'\n"},
        {{"-trackdir", "-rmin"}, "run omp1 info1 verbose0 rmin0 krymo.inp -rmin:  trackdir is '-rmin'\n"},
        {{"-configfile", "absent.inp"},
         "fail omp1 info1 verbose0 rmin0 absent.inp track: "
         "ERROR: krymo_prepare input config file absent.inp not found!\n"},
        {{"-config", "here.inp"},
         "run omp1 info1 verbose0 rmin0 here.inp track:   krymo_prepare input config file is here.inp\n"},
    };
    for (const auto& [args, expected] : cases) EXPECT_EQ(asked(args), expected);
    for (const char* opt : {"-config", "-omp", "-trackdir", "-info"}) {  // a value option last
        PrepareOptions o;
        FatalError e = krymo_test::expect_fatal([&] { parse_prepare_options({"krymo_prepare", opt}, o); });
        EXPECT_EQ(e.status, 1);
        EXPECT_NE(e.out_text.find(opt), std::string::npos);
    }
    const Parsed h = parse({"-help"});
    EXPECT_EQ(h.result, ParseResult::Exit);
    EXPECT_NE(h.screen.find("-trackdir"), std::string::npos) << h.screen;
    const Parsed v = parse({"--version", "-h"});
    EXPECT_EQ(v.result, ParseResult::Exit);
    EXPECT_EQ(v.screen.rfind("KRYMO version ", 0), 0u);  // the version line only, no banner
}
