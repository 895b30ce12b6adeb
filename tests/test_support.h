// Shared helpers of the tests: temporary study folders, file text, fatal-error assertions.
#pragma once

#include <dirent.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "util/fatal.h"

namespace krymo_test {

inline std::string source_dir() { return KRYMO_SOURCE_DIR; }
inline std::string data_path(const std::string& rel) { return source_dir() + "/tests/data/" + rel; }
inline std::string prepare_exe() { return KRYMO_PREPARE_EXE; }
// The build folder as an install prefix: it holds bin/krymo.py, the stage driver.
inline std::string krymo_root() { return KRYMO_BINARY_DIR; }

inline std::string read_file(const std::string& path) {
    std::ostringstream os;
    os << std::ifstream(path, std::ios::binary).rdbuf();
    return os.str();
}

inline void write_file(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline bool path_exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

// A fresh temporary directory that becomes the working directory for the lifetime of the object
// (the run object takes its work directory from the current directory when it is built).
class ScopedStudyDir {
public:
    ScopedStudyDir() {
        char tmpl[] = "/tmp/krymo_test_XXXXXX";
        char* d = mkdtemp(tmpl);
        if (d == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = d;
        char buf[4096];
        old_ = getcwd(buf, sizeof buf) ? buf : "/";
        if (chdir(path_.c_str()) != 0) throw std::runtime_error("chdir failed");
    }
    ~ScopedStudyDir() {
        if (chdir(old_.c_str()) != 0) {}  // nothing sensible to do
        if (std::system(("rm -rf '" + path_ + "'").c_str()) != 0) {}  // leave it
    }
    const std::string& path() const { return path_; }
    std::string file(const std::string& rel) const { return path_ + "/" + rel; }

private:
    std::string path_, old_;
};

// Names in a directory (without the dot entries), sorted; empty when it does not exist.
inline std::vector<std::string> list_dir(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Runs fn, which must stop with a FatalError; returns it for further checks.
inline krymo::FatalError expect_fatal(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const krymo::FatalError& e) {
        return e;
    }
    ADD_FAILURE() << "expected a FatalError";
    return krymo::FatalError("none", 0, -1, "", "");
}

// Every `from` in `s` replaced by `to`; `from` must occur when `required`.
inline std::string replaced(std::string s, const std::string& from, const std::string& to, bool required = true) {
    size_t p = s.find(from);
    if (required) EXPECT_NE(p, std::string::npos) << "missing: " << from;
    for (; p != std::string::npos; p = s.find(from, p + to.size())) s.replace(p, from.size(), to);
    return s;
}

struct CommandResult {
    int status = -1;
    std::string output;  // standard output and standard error together
};

// Runs a shell command and returns its exit status and combined output.
inline CommandResult run_command(const std::string& cmd) {
    CommandResult r;
    std::string full = cmd + " 2>&1";
    FILE* p = popen(full.c_str(), "r");
    if (p == nullptr) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

// What fn prints on stdout; an error it throws passes through.
template <class F>
std::string capture_stdout(F fn) {
    testing::internal::CaptureStdout();
    try {
        fn();
    } catch (...) {
        testing::internal::GetCapturedStdout();
        throw;
    }
    return testing::internal::GetCapturedStdout();
}

// The python3 interpreter itself, found once: version-manager shims cost a second per start.
inline const std::string& python3_exe() {
    static const std::string exe = [] {
        std::string out = run_command("python3 -c 'import sys; print(sys.executable)'").output;
        while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
        return out.empty() || out.find('\n') != std::string::npos ? std::string("python3") : out;
    }();
    return exe;
}

}  // namespace krymo_test
