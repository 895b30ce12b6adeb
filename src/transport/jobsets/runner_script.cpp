#include "transport/jobsets/runner_script.h"

namespace krymo {

RunnerScript::RunnerScript(const std::string& path, const RunnerHeader& h, const OutputFailure& failure)
    : ScriptFile(path, failure) {
    write("#!/usr/bin/env python\n");
    write(h.file_modules ? "import os\nimport glob\nimport shutil\n\n" : "import os\n\n");
    write("cwd = os.getcwd()\n");
    printf(h.single_quotes ? "os.chdir('%s')\n" : "os.chdir(\"%s\")\n", h.dir.c_str());
    if (!h.one_line_end) write("\n");
}

void RunnerScript::finish() {
    write("os.chdir(cwd)\n\n");
    ScriptFile::finish();
}

void RunnerScript::submit(const std::string& command, const std::string& job_dir, const std::string& job,
                          const std::string& ext, bool single_quotes) {
    printf(single_quotes ? "os.system('%s ../%s/%s.%s')\n\n" : "os.system(\"%s ../%s/%s.%s\")\n\n", command.c_str(),
           job_dir.c_str(), job.c_str(), ext.c_str());
}

}  // namespace krymo
