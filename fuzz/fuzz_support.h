// Shared by the fuzz targets: a private working folder and a file holding the input's bytes.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace krymo_fuzz {

// The readers take file names, and the neighbour-list reader looks in the working directory, so a
// target works in a folder of its own, made at the first input and removed at a normal exit.
// The readers' screen output is dropped unless KRYMO_FUZZ_STDOUT is set.
inline void enter_workdir() {
    static bool entered = false;
    if (entered) return;
    entered = true;
    static std::string dir;
    const char* base = getenv("TMPDIR");
    dir = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/krymo_fuzz_XXXXXX";
    if (mkdtemp(&dir[0]) == nullptr || chdir(dir.c_str()) != 0) {
        std::perror("krymo fuzz: working folder");
        std::abort();
    }
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
}

// Writes the input as file `name` in the working folder.
inline void write_input(const char* name, const uint8_t* data, size_t size) {
    enter_workdir();
    FILE* f = std::fopen(name, "wb");
    if (f == nullptr || (size > 0 && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0) {
        std::perror("krymo fuzz: input file");
        std::abort();
    }
}

}  // namespace krymo_fuzz
