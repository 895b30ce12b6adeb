// The batch systems a job script can be written for: one row per scheduler with its names, its
// environment variables and the builder of its directive lines.
#pragma once

#include <string>

namespace krymo {

enum SchedulerIndex { kSchedPBS = 0, kSchedSLURM = 1, kSchedLSF = 2, kSchedLocal = 3, kSchedCount = 4 };

// A script text under construction: whole lines, each ended by "\n".
class ScriptText {
public:
    void line(const std::string& s = std::string()) {
        text_ += s;
        text_ += '\n';
    }
    // echo "s", indented by `indent` blanks.
    void echo(const std::string& s, int indent = 0) { line(std::string(indent, ' ') + "echo \"" + s + "\""); }
    // Raw text, written as given (command texts carry their own line ends).
    void raw(const std::string& s) { text_ += s; }
    // Makes sure the text so far ends a line, so that the next line never runs into it.
    void end_line() {
        if (!text_.empty() && text_.back() != '\n') text_ += '\n';
    }
    const std::string& str() const { return text_; }

private:
    std::string text_;
};

// The array part of a header: index set text and slot limit (0 = no limit).
struct ArrayHeader {
    std::string index_set;
    int slot_limit = 0;
};

// What the directive lines of one script need.
struct HeaderRequest {
    int nodes = 1;
    int ppn = 1;
    int walltime_hours = 1000;    // time limit of the job
    std::string queue;
    std::string nodelist;
    std::string output;           // stdout file, "stdout-T" or "D/stdout-T"
    std::string title;            // LSF job title, such as "HL-T"
    bool output_first = false;    // SLURM: output line directly after the time limit
    bool nodelist_line = true;    // node-list directive when a node list is set
    const ArrayHeader* array = nullptr;  // null for a single job
};

struct SchedulerRow {
    const char* name;           // value of sched_type, compared without case
    const char* ext;            // script file extension
    const char* submit;         // submit command, as written before the script path
    const char* array_var;      // index of the running array member (empty: members are numbered in the text)
    const char* job_id;         // unique id of the running job, used in scratch names
    const char* cd_submit_dir;  // change to the submit directory (null: none)
    const char* submit_dir;     // how the submit directory is echoed
    bool cd_before_echo;        // PBS changes directory before echoing it in the quantum-chemistry kinds
    const char* orca_hl_scratch;  // stem of the ORCA HL scratch name; PBS has always written it without "HL-"
    void (*directives)(const HeaderRequest&, ScriptText&);
};

const SchedulerRow& scheduler_row(int index);
// Index of a scheduler name (case ignored); -1 when the name is none of them.
int find_scheduler(const std::string& name);

}  // namespace krymo
