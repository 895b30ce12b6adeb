#include "util/progress.h"

#include <unistd.h>

#include "util/text.h"

namespace krymo {

namespace {

ProgressSettings& current_settings() {
    static ProgressSettings settings;
    return settings;
}

long long to_ns(double seconds) { return static_cast<long long>(seconds * 1e9); }

}  // namespace

void enable_progress(bool verbose) {
    current_settings().enabled = verbose || isatty(fileno(stderr)) == 1;
}

void set_progress_settings(const ProgressSettings& settings) { current_settings() = settings; }

ProgressSettings progress_settings() { return current_settings(); }

Progress::Progress(std::string stage, long long total)
    : settings_(current_settings()),
      stage_(std::move(stage)),
      total_(total),
      start_(std::chrono::steady_clock::now()),
      due_ns_(to_ns(settings_.delay)) {}

long long Progress::elapsed_ns() const {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start_).count();
}

void Progress::add(long long n) noexcept {
    done_.fetch_add(n, std::memory_order_relaxed);
    if (!settings_.enabled) return;
    const long long elapsed = elapsed_ns();
    if (elapsed < due_ns_.load(std::memory_order_relaxed) || !print_.try_lock()) return;
    if (elapsed >= due_ns_.load(std::memory_order_relaxed)) {
        report(elapsed);
        due_ns_.store(elapsed + to_ns(settings_.interval), std::memory_order_relaxed);
    }
    print_.unlock();
}

void Progress::finish() noexcept {
    std::lock_guard<std::mutex> lock(print_);
    if (printed_ && !finished_) report(elapsed_ns());
    finished_ = true;
}

void Progress::report(long long elapsed) noexcept {
    std::FILE* out = settings_.out ? settings_.out : stderr;
    try {
        std::fputs(format_string("%s: %lld/%lld (%.1f s)\n", stage_.c_str(), done_.load(std::memory_order_relaxed),
                                 total_, elapsed * 1e-9)
                       .c_str(),
                   out);
        std::fflush(out);
        printed_ = true;
    } catch (...) {
        // Out of memory for one line of progress: skip the report, the stage itself goes on.
    }
}

}  // namespace krymo
