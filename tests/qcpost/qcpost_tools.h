// Where the tests find the post-processing tools and the real engine outputs, and the checks their
// runs share.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"

namespace krymo_test {

inline std::string qc_output(const std::string& rel) { return data_path("qc_outputs/" + rel); }

// The tool `name` with its arguments, run in `dir` as the study's jobs run it.
inline CommandResult run_tool(const std::string& dir, const char* name, const std::string& args = "") {
    return run_command("cd '" + dir + "' && '" + KRYMO_QCPOST_DIR + "/qcpost_" + name + ".exe' " + args);
}

// Every message occurs in `text` (an error report).
inline void expect_messages(const std::string& text, const std::vector<std::string>& messages) {
    for (const std::string& m : messages) EXPECT_NE(text.find(m), std::string::npos) << m << " not in:\n" << text;
}

// The run stopped with status 1 and said every message.
inline void expect_stop(const CommandResult& r, const std::vector<std::string>& messages) {
    EXPECT_EQ(r.status, 1) << r.output;
    expect_messages(r.output, messages);
}

// The words of every data row (lines not starting with '#').
inline std::vector<std::vector<std::string>> data_rows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    std::string line, word;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream w(line);
        rows.emplace_back();
        while (w >> word) rows.back().push_back(word);
    }
    return rows;
}

// The file at `path` with every `from` replaced by `to`.
inline void edit_file(const std::string& path, const std::string& from, const std::string& to) {
    write_file(path, replaced(read_file(path), from, to));
}

// Outputs of an earlier run, which a run that stops must leave as they were.
inline void write_earlier(const std::vector<std::string>& paths) {
    for (const std::string& p : paths) write_file(p, "earlier\n");
}
inline void expect_earlier(const std::vector<std::string>& paths) {
    for (const std::string& p : paths) EXPECT_EQ(read_file(p), "earlier\n") << p;
}

}  // namespace krymo_test
