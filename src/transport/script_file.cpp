#include "transport/script_file.h"

#include <cstdarg>
#include <cstring>

#include "util/text.h"

namespace krymo {

const OutputFailure kWorkflowScriptFailure = {"transport", 255, true, false};

ScriptFile::ScriptFile(const std::string& path, const OutputFailure& failure) : failure_(failure) {
    open_output(out_, path, failure_);
}

void ScriptFile::finish() { close_output(out_, failure_); }

void ScriptFile::printf(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const std::string s = vformat_string(fmt, ap);
    va_end(ap);
    out_.write(s);
}

void ScriptFile::lines(std::initializer_list<const char*> table) {
    for (const char* l : table) out_.line(l);
}

void ScriptFile::lines(const std::vector<const char*>& table) {
    for (const char* l : table) out_.line(l);
}

void ScriptFile::lines(const char* const* table, int n) {
    for (int i = 0; i < n; ++i) out_.line(table[i]);
}

void ScriptFile::lines(const char* const* table, int n, const Tokens& tokens) {
    for (int i = 0; i < n; ++i) {
        std::string l = table[i];
        for (const auto& [token, value] : tokens)
            for (size_t at = l.find(token); at != std::string::npos; at = l.find(token, at + value.size()))
                l.replace(at, std::strlen(token), value);
        out_.line(l);
    }
}

void ScriptFile::touch(const std::string& workdir, const std::string& marker) {
    printf("os.system(%s)\n", python_literal("touch " + shell_quote(workdir + "/" + marker)).c_str());
}

void ScriptFile::touch(const std::string& workdir, const std::string& marker, int index) {
    touch(workdir, format_string("%s-%d", marker.c_str(), index));
}

}  // namespace krymo
