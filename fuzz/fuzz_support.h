// Shared by the fuzz targets: a private working folder holding the input's bytes as a file.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace krymo_fuzz {

// The folder, made at the first input and removed at a normal exit. The readers' screen output is
// dropped unless KRYMO_FUZZ_STDOUT is set.
inline const std::string& workdir() {
    static std::string dir;
    if (!dir.empty()) return dir;
    const char* base = getenv("TMPDIR");
    std::string d = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/krymo_fuzz_XXXXXX";
    if (mkdtemp(&d[0]) == nullptr) {
        std::perror("krymo fuzz: working folder");
        std::abort();
    }
    dir = d;
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    });
    // One thread: a finding must replay the same way.
    setenv("OMP_NUM_THREADS", "1", 0);
    // The host's job settings must not change what the settings reader does.
    for (const char* v : {"KRYMO_JOB_SCHED", "KRYMO_JOB_QUEUE", "KRYMO_QC_EXE", "KRYMO_QC_NODES", "KRYMO_QC_PPN",
                          "KRYMO_MODULE_QC"})
        unsetenv(v);
    if (getenv("KRYMO_FUZZ_STDOUT") == nullptr && std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
    return dir;
}

// For its lifetime: the input is file `name` of the working folder, which is the current
// directory (the neighbour-list reader reads from there). The old directory comes back after, as
// the fuzzer reads its corpus and writes its findings relative to it.
class InputFile {
public:
    InputFile(const char* name, const uint8_t* data, size_t size) : old_(open(".", O_RDONLY | O_DIRECTORY)) {
        if (old_ < 0 || chdir(workdir().c_str()) != 0) fail("working folder");
        FILE* f = std::fopen(name, "wb");
        if (f == nullptr || (size > 0 && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0)
            fail("input file");
    }
    ~InputFile() {
        if (fchdir(old_) != 0) fail("back to the first directory");
        close(old_);
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

private:
    [[noreturn]] static void fail(const char* what) {
        std::perror(what);
        std::abort();
    }
    int old_;
};

}  // namespace krymo_fuzz
