// The Python runner scripts that create the running markers and submit the jobs of one job set.
// A runner changes into the job set's directory, so job scripts are named from there as "../jobs/...".
#pragma once

#include <string>

#include "transport/script_file.h"

namespace krymo {

struct RunnerHeader {
    std::string dir;             // directory the runner changes into
    bool single_quotes = false;  // os.chdir('dir') instead of os.chdir("dir")
    bool one_line_end = false;   // no empty line after the os.chdir line
    bool file_modules = false;   // also imports glob and shutil
};

class RunnerScript : public ScriptFile {
public:
    // Opens the script (a failure stops the run as `failure` says) and writes its header.
    RunnerScript(const std::string& path, const RunnerHeader& header, const OutputFailure& failure);
    // Writes the footer and puts the file in place.
    void finish();

    // os.system("<submit> ../<job dir>/<job>.<ext>") and an empty line
    void submit(const std::string& command, const std::string& job_dir, const std::string& job, const std::string& ext,
                bool single_quotes = false);
    void separator() { write("# ----\n\n"); }
    void blank() { write("\n"); }
};

}  // namespace krymo
