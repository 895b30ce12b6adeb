#include "transport/jobsets/runner_script.h"

#include "util/text.h"

namespace krymo {

RunnerScript::RunnerScript(const std::string& path, const RunnerHeader& h, const OutputFailure& failure)
    : failure_(failure) {
    open_output(out_, path, failure_);
    out_.write("#!/usr/bin/env python\n");
    out_.write(h.file_modules ? "import os\nimport glob\nimport shutil\n\n" : "import os\n\n");
    out_.write("cwd = os.getcwd()\n");
    out_.printf(h.single_quotes ? "os.chdir('%s')\n" : "os.chdir(\"%s\")\n", h.dir.c_str());
    if (!h.one_line_end) out_.write("\n");
}

void RunnerScript::finish() {
    out_.write("os.chdir(cwd)\n\n");
    close_output(out_, failure_);
}

void RunnerScript::touch(const std::string& workdir, const std::string& marker) {
    out_.printf("os.system(\"touch %s/%s\")\n", workdir.c_str(), marker.c_str());
}

void RunnerScript::touch(const std::string& workdir, const std::string& marker, int index) {
    out_.printf("os.system(\"touch %s/%s-%d\")\n", workdir.c_str(), marker.c_str(), index);
}

void RunnerScript::submit(const std::string& command, const std::string& job_dir, const std::string& job,
                          const std::string& ext, bool single_quotes) {
    out_.printf(single_quotes ? "os.system('%s ../%s/%s.%s')\n\n" : "os.system(\"%s ../%s/%s.%s\")\n\n",
                command.c_str(), job_dir.c_str(), job.c_str(), ext.c_str());
}

}  // namespace krymo
