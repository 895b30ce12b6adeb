#include "jobs/job_scripts.h"

#include <unistd.h>

#include <vector>

namespace krymo {

Jobscript::Jobscript() {
    std::vector<char> buf(4096);
    while (getcwd(buf.data(), buf.size()) == nullptr && buf.size() < (1u << 20)) buf.resize(buf.size() * 2);
    workdir = buf.data();
}

}  // namespace krymo
