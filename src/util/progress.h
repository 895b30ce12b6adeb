// Progress of long stages on standard error. A stage that ends within the delay prints nothing;
// after that, one line at most every interval: the stage name, the items done of the total and the
// seconds elapsed. Whole lines, not a line rewritten in place: the stages print their own lines to
// standard output on the same terminal. Reports never go to standard output, whose text stays the
// same however long a run takes.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>

namespace krymo {

struct ProgressSettings {
    bool enabled = false;
    double delay = 2.0;        // seconds before the first report
    double interval = 1.0;     // seconds between reports, at least
    std::FILE* out = nullptr;  // standard error when null
};

// Reports on when standard error is a terminal or `verbose` (-verbose on the command line) is set.
void enable_progress(bool verbose);
void set_progress_settings(const ProgressSettings& settings);
ProgressSettings progress_settings();

// One stage's progress; the settings are taken when it starts.
class Progress {
public:
    Progress(std::string stage, long long total);
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // Counts n more items done. Any thread may call it; it never throws.
    void add(long long n = 1) noexcept;
    // The stage completed: if anything was reported, a last line gives the final count and time.
    void finish() noexcept;

private:
    long long elapsed_ns() const;
    void report(long long elapsed) noexcept;

    const ProgressSettings settings_;
    const std::string stage_;
    const long long total_;
    const std::chrono::steady_clock::time_point start_;
    std::atomic<long long> done_{0};
    std::atomic<long long> due_ns_;  // elapsed time at which the next report is due
    std::mutex print_;
    bool printed_ = false;
    bool finished_ = false;
};

}  // namespace krymo
