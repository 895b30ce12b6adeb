#include "qcpost/study_folder.h"

#include <unistd.h>

#include <cstdio>

#include "util/fatal.h"
#include "util/files.h"
#include "util/text.h"

namespace krymo {
namespace qcpost {

void enter_study_data_folder() {
    if (!file_exists("krymo.inp") || !file_exists("data/study.json")) return;
    if (chdir("data") != 0) KRYMO_FATAL_OUT("qcpost", 1, "Cannot enter the study's data folder\n");
}

void StudyFolder::load_from(std::string config) {
    if (config.empty()) config = file_exists("krymo.inp") || !file_exists("../krymo.inp") ? "krymo.inp" : "../krymo.inp";
    config_ = config;
    const size_t slash = config.find_last_of('/');
    char here[4096];
    if (!getcwd(here, sizeof here)) KRYMO_FATAL_OUT("qcpost", 1, "Cannot tell the current folder\n");
    const std::string folder = slash == std::string::npos ? std::string() : config.substr(0, slash + 1);
    if (!folder.empty() && chdir(folder.c_str()) != 0)
        KRYMO_FATAL_OUT("qcpost", 1, format_string("Cannot enter the folder of %s\n", config.c_str()));
    const std::string name = config.substr(slash == std::string::npos ? 0 : slash + 1);
    try {
        load(name);
    } catch (...) {
        if (chdir(here) != 0) std::fprintf(stderr, "cannot return to %s\n", here);
        throw;
    }
    if (chdir(here) != 0) KRYMO_FATAL_OUT("qcpost", 1, format_string("Cannot return to %s\n", here));
}

}  // namespace qcpost
}  // namespace krymo
