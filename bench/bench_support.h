// Small helpers of the benchmarks: timing a call, and silencing the reports a stage prints.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>

namespace krymo_bench {

inline double seconds(const std::function<void()>& fn) {
    const auto t0 = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Runs fn with standard output sent to /dev/null.
inline void without_stdout(const std::function<void()>& fn) {
    std::fflush(stdout);
    const int saved = dup(1);
    const int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    fn();
    std::fflush(stdout);
    dup2(saved, 1);
    close(devnull);
    close(saved);
}

}  // namespace krymo_bench
