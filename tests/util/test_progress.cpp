// Progress reports: nothing before the delay, nothing when off, whole lines of stage, count and
// time with a last line on completion, and a correct count when many threads add at once.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>

#include "util/progress.h"

using krymo::Progress;
using krymo::ProgressSettings;

namespace {

// Runs fn with the given settings, reports going to a scratch file; returns what was reported.
template <class F>
std::string reported(ProgressSettings s, F fn) {
    const ProgressSettings saved = krymo::progress_settings();
    std::FILE* f = std::tmpfile();
    s.out = f;
    krymo::set_progress_settings(s);
    fn();
    krymo::set_progress_settings(saved);
    std::string text;
    std::rewind(f);
    for (int c; (c = std::fgetc(f)) != EOF;) text += static_cast<char>(c);
    std::fclose(f);
    return text;
}

}  // namespace

TEST(Progress, ReportsOnlyLongStagesWhenOnAsWholeLinesWithALastOne) {
    auto three_items = [] {
        Progress p("pair frames", 3);
        for (int k = 0; k < 3; ++k) p.add();
        p.finish();
        p.finish();  // a second finish adds nothing
    };
    ProgressSettings on;
    on.enabled = true;
    on.delay = 0.0;
    on.interval = 0.0;
    const std::string text = reported(on, three_items);
    EXPECT_TRUE(std::regex_match(text, std::regex("(pair frames: [123]/3 \\([0-9]+\\.[0-9] s\\)\n){4}"))) << text;
    EXPECT_NE(text.find("pair frames: 3/3"), std::string::npos);
    EXPECT_EQ(text.substr(text.rfind("pair frames: ")).substr(0, 17), "pair frames: 3/3 ");

    ProgressSettings quick = on;  // a stage that ends within the delay prints nothing, not even a last line
    quick.delay = 3600.0;
    EXPECT_EQ(reported(quick, three_items), "");
    ProgressSettings off = on;
    off.enabled = false;
    EXPECT_EQ(reported(off, three_items), "");
    ProgressSettings spaced = on;  // one report, then none until the interval has passed
    spaced.interval = 3600.0;
    const std::string once = reported(spaced, three_items);
    EXPECT_TRUE(std::regex_match(once, std::regex("pair frames: 1/3 \\(.*\\)\npair frames: 3/3 \\(.*\\)\n"))) << once;
}

TEST(Progress, CountsEveryItemAddedFromManyThreads) {
    ProgressSettings on;
    on.enabled = true;
    on.delay = 0.0;
    on.interval = 0.0;
    const std::string text = reported(on, [] {
        Progress p("neighbour list", 4000);
#pragma omp parallel for
        for (int i = 0; i < 4000; ++i) p.add();
        p.finish();
    });
    const std::string last = text.substr(text.rfind("neighbour list: "));
    EXPECT_EQ(last.substr(0, 26), "neighbour list: 4000/4000 ") << last;
}
