// The Python runner scripts that create the running markers and submit the jobs of one job set.
// A runner changes into the job set's directory, so job scripts are named from there as "../jobs/...".
#pragma once

#include <string>

#include "util/files.h"

namespace krymo {

struct RunnerHeader {
    std::string dir;          // directory the runner changes into
    bool single_quotes = false;  // os.chdir('dir') instead of os.chdir("dir")
    bool one_line_end = false;   // no empty line after the os.chdir line
    bool file_modules = false;   // also imports glob and shutil
};

class RunnerScript {
public:
    // Opens the script (a failure stops the run as `failure` says) and writes its header.
    RunnerScript(const std::string& path, const RunnerHeader& header, const OutputFailure& failure);
    // Writes the footer and puts the file in place.
    void finish();

    // os.system("touch <workdir>/<marker>")
    void touch(const std::string& workdir, const std::string& marker);
    // os.system("touch <workdir>/<marker>-<index>"), one per member of a job array
    void touch(const std::string& workdir, const std::string& marker, int index);
    // os.system("<submit> ../<job dir>/<job>.<ext>") and an empty line
    void submit(const std::string& command, const std::string& job_dir, const std::string& job, const std::string& ext,
                bool single_quotes = false);
    void separator() { out_.write("# ----\n\n"); }
    void blank() { out_.write("\n"); }

private:
    TextWriter out_;
    OutputFailure failure_;
};

}  // namespace krymo
