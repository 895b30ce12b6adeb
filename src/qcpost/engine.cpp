#include "qcpost/engine.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "util/fatal.h"
#include "util/text.h"

namespace krymo {
namespace qcpost {

namespace {
struct EngineRow {
    QcEngine engine;
    const char* name;
    const char* normal_end;
};
const EngineRow kEngines[] = {
    {QcEngine::Gaussian, "Gaussian", "Normal termination"},
    {QcEngine::Orca, "ORCA", "ORCA TERMINATED NORMALLY"},
    {QcEngine::Qchem, "Q-Chem", "Thank you very much for using Q-Chem"},
    {QcEngine::Psi4, "psi4", "Psi4 exiting successfully"},
};
const EngineRow& row(QcEngine e) {
    for (const EngineRow& r : kEngines)
        if (r.engine == e) return r;
    return kEngines[0];
}
}  // namespace

const char* engine_name(QcEngine engine) { return row(engine).name; }
const char* normal_end_text(QcEngine engine) { return row(engine).normal_end; }

bool ended_normally(QcEngine engine, const std::string& text) {
    // Gaussian prints its line after every link of a multi-step job: the last step must have ended.
    // The other engines print theirs once, at the very end.
    const std::string mark = row(engine).normal_end;
    const size_t pos = text.rfind(mark);
    if (pos == std::string::npos) return false;
    if (engine != QcEngine::Gaussian) return true;
    return text.find("Error termination", pos) == std::string::npos;
}

int line_of(const std::string& text, std::size_t offset) {
    offset = std::min(offset, text.size());
    return 1 + static_cast<int>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

void input_error(const std::string& path, int line, const std::string& what) {
    const std::string where = line > 0 ? format_string("%s, line %d", path.c_str(), line) : path;
    KRYMO_FATAL_OUT("qcpost", 1, format_string("%s: %s\n", where.c_str(), what.c_str()));
}

std::string read_text_file(const std::string& path, std::uintmax_t max_bytes) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) input_error(path, 0, "cannot open the file (missing?)");
    if (!S_ISREG(st.st_mode)) input_error(path, 0, "not a regular file: an engine output (text) is expected");
    if (static_cast<std::uintmax_t>(st.st_size) > max_bytes)
        input_error(path, 0,
                    format_string("too large (%jd bytes, at most %ju are read)", static_cast<intmax_t>(st.st_size),
                                  max_bytes));
    std::string text(static_cast<size_t>(st.st_size), '\0');
    std::FILE* fp = std::fopen(path.c_str(), "rb");
    if (fp == nullptr) input_error(path, 0, "cannot open the file");
    const size_t got = std::fread(&text[0], 1, text.size(), fp);
    std::fclose(fp);
    if (got != text.size()) input_error(path, 0, "cannot read the whole file");
    const size_t nul = text.find('\0');
    if (nul != std::string::npos)
        input_error(path, line_of(text, nul), "binary content (a NUL byte): a text output is expected");
    return text;
}

}  // namespace qcpost
}  // namespace krymo
