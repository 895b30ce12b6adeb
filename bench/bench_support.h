// Small helpers of the benchmarks: arguments, a scratch working directory, timing a call, and
// silencing the reports a stage prints.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace krymo_bench {

// Argument k as a number, or `fallback` when there are fewer arguments.
inline int int_arg(int argc, char** argv, int k, int fallback) { return argc > k ? std::atoi(argv[k]) : fallback; }

// The molecule file of argument k, or when it is absent or empty the named crystal of the tests.
inline std::string molecule_arg(int argc, char** argv, int k, const std::string& crystal) {
    if (argc > k && argv[k][0] != '\0') return argv[k];
    const std::string here = __FILE__;
    return here.substr(0, here.find_last_of('/')) + "/../tests/data/crystals/" + crystal;
}

// A fresh directory under /tmp that is the working directory while the object lives.
class ScratchDir {
public:
    ScratchDir() : ok_(mkdtemp(path_) != nullptr && chdir(path_) == 0) {}
    ~ScratchDir() {
        if (!ok_) return;
        const std::string cmd = std::string("rm -rf '") + path_ + "'";
        if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", path_);
    }
    bool ok() const { return ok_; }

private:
    char path_[32] = "/tmp/krymo_bench_XXXXXX";
    bool ok_;
};

inline double seconds(const std::function<void()>& fn) {
    const auto t0 = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Wall time and processor time of the whole process (all threads) of one call. On a machine
// shared with other work, processor time shows the cost of the work itself.
struct Times {
    double wall, cpu;
};
inline Times timed(const std::function<void()>& fn) {
    auto cpu_now = [] {
        timespec ts{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return ts.tv_sec + 1e-9 * ts.tv_nsec;
    };
    const double c0 = cpu_now();
    const double wall = seconds(fn);
    return {wall, cpu_now() - c0};
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
