// The generated scripts of the later stages (runners, gather, lumping, mobility and normal-mode scripts):
// one file written whole through the one writer, with the lines every such script shares.
#pragma once

#include <initializer_list>
#include <utility>
#include <string>
#include <vector>

#include "util/files.h"

namespace krymo {

// A workflow script that cannot be written stops the run with status 255, the path on standard error.
extern const OutputFailure kWorkflowScriptFailure;

class ScriptFile {
public:
    // Opens the file (a failure stops the run as `failure` says).
    explicit ScriptFile(const std::string& path, const OutputFailure& failure = kWorkflowScriptFailure);
    virtual ~ScriptFile() = default;
    // Puts the file in place; a failure stops the run the same way.
    void finish();

    void write(const std::string& text) { out_.write(text); }
    void printf(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    // Each line followed by a line end: constant scripts and script heads are tables of lines.
    void lines(std::initializer_list<const char*> table);
    void lines(const std::vector<const char*>& table);
    void lines(const char* const* table, int n);
    // A template of lines whose tokens (such as "@PROG@") are replaced, for scripts that differ only in names.
    using Tokens = std::vector<std::pair<const char*, std::string>>;
    void lines(const char* const* table, int n, const Tokens& tokens);

    // os.system("touch <workdir>/<marker>"): marks a job running just before it is submitted.
    void touch(const std::string& workdir, const std::string& marker);
    // os.system("touch <workdir>/<marker>-<index>"), one per member of a job array.
    void touch(const std::string& workdir, const std::string& marker, int index);

private:
    TextWriter out_;
    OutputFailure failure_;
};

}  // namespace krymo
