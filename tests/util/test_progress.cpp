// Progress reports: when they show, their whole lines and last line, and the count from many threads.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>

#include "util/progress.h"

using krymo::Progress;
using krymo::ProgressSettings;

namespace {

// Runs fn with the given settings, reports going to a memory stream; returns what was reported.
template <class F>
std::string reported(ProgressSettings s, F fn) {
    const ProgressSettings saved = krymo::progress_settings();
    char* buf = nullptr;
    size_t size = 0;
    s.out = open_memstream(&buf, &size);
    krymo::set_progress_settings(s);
    fn();
    krymo::set_progress_settings(saved);
    std::fclose(s.out);
    const std::string text(buf, size);
    std::free(buf);
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
    const ProgressSettings on{true, 0.0, 0.0};  // enabled, delay, interval
    const std::string text = reported(on, three_items);
    EXPECT_TRUE(std::regex_match(text, std::regex("(pair frames: [123]/3 \\([0-9]+\\.[0-9] s\\)\n){4}"))) << text;
    EXPECT_EQ(text.substr(text.rfind("pair frames: ")).substr(0, 17), "pair frames: 3/3 ");

    // A stage that ends within the delay prints nothing, not even a last line; nor any stage when off.
    EXPECT_EQ(reported({true, 3600.0, 0.0}, three_items), "");
    EXPECT_EQ(reported({false, 0.0, 0.0}, three_items), "");
    // One report, then none until the interval has passed.
    const std::string once = reported({true, 0.0, 3600.0}, three_items);
    EXPECT_TRUE(std::regex_match(once, std::regex("pair frames: 1/3 \\(.*\\)\npair frames: 3/3 \\(.*\\)\n"))) << once;

    // Items added from many threads at once are all counted.
    const std::string many = reported(on, [] {
        Progress p("neighbour list", 4000);
#pragma omp parallel for
        for (int i = 0; i < 4000; ++i) p.add();
        p.finish();
    });
    EXPECT_EQ(many.substr(many.rfind("neighbour list: ")).substr(0, 26), "neighbour list: 4000/4000 ") << many;
}
