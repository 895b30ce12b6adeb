#include "driver/status.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "util/files.h"
#include "util/text.h"

namespace krymo {

namespace {

bool exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// The end of a file. The programs print their end marker in the last lines (Gaussian on the very last,
// ORCA and Q-Chem within the last few), and reading whole multi-megabyte outputs of ten thousand jobs
// would take minutes.
bool read_tail(const std::string& path, size_t tail, std::string& text) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        const off_t size = st.st_size;
        const off_t start = size > static_cast<off_t>(tail) ? size - static_cast<off_t>(tail) : 0;
        text.assign(static_cast<size_t>(size - start), '\0');
        ok = pread(fd, &text[0], text.size(), start) == static_cast<ssize_t>(text.size());
    }
    close(fd);
    return ok;
}

const char* const kStateNames[] = {"done", "running", "failed", "pending", "unchecked"};

struct SetCount {
    int n[5] = {0, 0, 0, 0, 0};
    int jobs = 0;
};

const char* usage() {
    return "Usage: krymo_status [study folder] [--list failed|running|pending] [--json]\n"
           "  Tells where a study written by krymo_prepare stands: per job set, the jobs done, running,\n"
           "  failed and not started (pending), then the gather and mobility stages. It changes nothing.\n"
           "  --list STATE : the jobs in that state, with their input and output files\n"
           "  --json       : the same as JSON\n"
           "  Exit status: 0 every job done, 3 any failed, 2 otherwise, 1 no usable study.\n";
}

// What the stage driver last wrote about itself in data/driver.json.
std::string driver_line(const std::string& folder) {
    std::ifstream in(folder + "/data/driver.json", std::ios::binary);
    if (!in) return "Driver: not started (sh scr/krymo.sh starts it)\n";
    nlohmann::json j;
    try {
        in >> j;
    } catch (const nlohmann::json::exception&) {
        return "Driver: data/driver.json cannot be read\n";
    }
    const std::string state = j.value("state", ""), stage = j.value("stage", ""), title = j.value("title", "");
    const std::string host = j.value("host", "");
    const int pid = j.value("pid", 0);
    if (state == "finished") return "Driver: finished; every stage it was asked for is done\n";
    if (state == "stopped")
        return format_string("Driver: stopped at stage %s (%s): %s\n", stage.c_str(), title.c_str(),
                             j.value("message", "").c_str());
    char here[256] = "";
    gethostname(here, sizeof here - 1);
    if (host == here && pid > 0 && kill(pid, 0) != 0 && errno == ESRCH)
        return format_string("Driver: interrupted at stage %s (%s); pid %d no longer runs\n", stage.c_str(),
                             title.c_str(), pid);
    return format_string("Driver: at stage %s (%s), pid %d on %s\n", stage.c_str(), title.c_str(), pid, host.c_str());
}

bool on_path(const std::string& tool) {
    if (tool.find('/') != std::string::npos) return access(tool.c_str(), X_OK) == 0;
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "";
    for (size_t from = 0; from <= dirs.size();) {
        const size_t to = std::min(dirs.find(':', from), dirs.size());
        const std::string dir = to > from ? dirs.substr(from, to - from) : ".";
        if (access((dir + "/" + tool).c_str(), X_OK) == 0) return true;
        from = to + 1;
    }
    return false;
}

}  // namespace

bool shows_normal_end(const std::string& raw, const NormalEndRule& rule) {
    if (!rule.last_line) return raw.find(rule.text) != std::string::npos;
    // Lines as a text-mode reader sees them: "\r\n" and a lone "\r" end lines too.
    std::string text;
    text.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r') {
            text += '\n';
            if (i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
        } else {
            text += raw[i];
        }
    }
    // The last line, as a line reader returns it: the text after the last line end but one.
    size_t end = text.size();
    if (end > 0 && text[end - 1] == '\n') --end;
    const size_t nl = end == 0 ? std::string::npos : text.rfind('\n', end - 1);
    const size_t from = nl == std::string::npos ? 0 : nl + 1;
    return !text.empty() && text.substr(from, end - from).find(rule.text) != std::string::npos;
}

JobState job_state(const std::string& root, const NormalEndRule& rule, const StudyJob& job) {
    const bool running = !job.running.empty() && exists(root + "/" + job.running);
    if (job.output.empty()) return running ? JobState::Running : JobState::Unchecked;
    // An output counts only for the input it was computed from: after the input changed it is old.
    if (!job.input_hash.empty() && qc_input_fingerprint(root + "/" + job.input) != job.input_hash)
        return running ? JobState::Running : JobState::Pending;
    std::string text;
    const bool has_output = read_tail(root + "/" + job.output, rule.last_line ? 4096 : 32768, text);
    if (has_output && shows_normal_end(text, rule)) return JobState::Done;
    if (running) return JobState::Running;
    if (has_output || (!job.error.empty() && exists(root + "/" + job.error))) return JobState::Failed;
    return JobState::Pending;
}

int run_status(const std::vector<std::string>& args, std::string& out, std::string& err) {
    std::string folder = ".", list;
    bool json = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            out += usage();
            return 0;
        } else if (a == "--json") {
            json = true;
        } else if (a == "--list") {
            if (i + 1 >= args.size() ||
                (args[i + 1] != "failed" && args[i + 1] != "running" && args[i + 1] != "pending")) {
                err += "krymo_status: --list takes failed, running or pending\n";
                return 1;
            }
            list = args[++i];
        } else if (!a.empty() && a[0] == '-') {
            err += "krymo_status: unknown option " + a + "\n" + usage();
            return 1;
        } else {
            folder = a;
        }
    }

    const std::string incomplete = folder + "/data/" + kIncompleteMarker;
    if (exists(incomplete)) {
        err += format_string("krymo_status: the last krymo_prepare run in %s did not finish (%s exists): the study "
                             "may mix files of two runs.\n  Run krymo_prepare there again.\n",
                             folder.c_str(), incomplete.c_str());
        return 1;
    }
    const std::string record_path = folder + "/data/study.json";
    std::ifstream in(record_path, std::ios::binary);
    if (!in) {
        err += format_string("krymo_status: %s holds no study record (data/study.json).\n"
                             "  krymo_prepare writes it: run krymo_prepare in the study folder first.\n",
                             folder.c_str());
        return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();
    StudyRecord study;
    std::string why;
    if (!parse_study_json(text.str(), study, why)) {
        err += format_string("krymo_status: %s is not a study record that this krymo_status reads: %s\n"
                             "  Run krymo_prepare again to write it anew.\n",
                             record_path.c_str(), why.c_str());
        return 1;
    }

    std::vector<SetCount> counts(study.job_sets.size());
    std::vector<const StudyJob*> listed;
    SetCount all;
    for (size_t s = 0; s < study.job_sets.size(); ++s)
        for (const StudyJob& job : study.job_sets[s].jobs) {
            const JobState st = job_state(folder, study.normal_end, job);
            ++counts[s].n[static_cast<int>(st)];
            ++counts[s].jobs;
            ++all.n[static_cast<int>(st)];
            ++all.jobs;
            if (!list.empty() && list == kStateNames[static_cast<int>(st)]) listed.push_back(&job);
        }
    auto stage_state = [&](const StudyStage& st) {
        if (st.results.empty()) return "-";
        for (const std::string& r : st.results)
            if (!exists(folder + "/" + r)) return "pending";
        return "done";
    };
    const int judged = all.jobs - all.n[static_cast<int>(JobState::Unchecked)];
    const int status = all.n[static_cast<int>(JobState::Failed)] > 0           ? 3
                       : all.n[static_cast<int>(JobState::Done)] == judged ? 0
                                                                             : 2;

    if (json) {
        nlohmann::ordered_json j;
        j["study"] = folder;
        j["engine"] = study.engine;
        j["scheduler"] = study.scheduler;
        nlohmann::ordered_json sets = nlohmann::ordered_json::array();
        for (size_t s = 0; s < study.job_sets.size(); ++s) {
            nlohmann::ordered_json row;
            row["key"] = study.job_sets[s].key;
            row["title"] = study.job_sets[s].title;
            row["jobs"] = counts[s].jobs;
            for (int k = 0; k < 5; ++k) row[kStateNames[k]] = counts[s].n[k];
            sets.push_back(row);
        }
        j["job_sets"] = sets;
        nlohmann::ordered_json stages = nlohmann::ordered_json::array();
        for (const auto* group : {&study.gather, &study.mobility})
            for (const StudyStage& st : *group) stages.push_back({{"name", st.name}, {"state", stage_state(st)}});
        j["stages"] = stages;
        if (!list.empty()) {
            nlohmann::ordered_json l = nlohmann::ordered_json::array();
            for (const StudyJob* job : listed)
                l.push_back({{"name", job->name}, {"input", job->input}, {"output", job->output}});
            j["list"] = {{"state", list}, {"jobs", l}};
        }
        j["status"] = status;
        out += j.dump(1) + "\n";
        return status;
    }

    if (!list.empty()) {
        for (const StudyJob* job : listed)
            out += format_string("%-24s %-32s %s\n", job->name.c_str(), job->input.c_str(), job->output.c_str());
        return status;
    }
    out += format_string("Study %s: %s on %s, %d jobs\n", folder.c_str(), study.engine.c_str(),
                         study.scheduler.c_str(), all.jobs);
    out += format_string("%-26s %6s %6s %8s %7s %8s\n", "Job set", "jobs", "done", "running", "failed", "pending");
    auto row = [&](const std::string& title, const SetCount& c) {
        out += format_string("%-26s %6d %6d %8d %7d %8d", title.c_str(), c.jobs, c.n[0], c.n[1], c.n[2], c.n[3]);
        if (c.n[4] > 0) out += format_string("  (%d unchecked: no output to check)", c.n[4]);
        out += "\n";
    };
    for (size_t s = 0; s < study.job_sets.size(); ++s) row(study.job_sets[s].title, counts[s]);
    row("all", all);
    if (!study.gather.empty() || !study.mobility.empty()) {
        out += format_string("%-42s %s\n", "Stage", "state");
        for (const auto* group : {&study.gather, &study.mobility})
            for (const StudyStage& st : *group) out += format_string("%-42s %s\n", st.name.c_str(), stage_state(st));
    }
    if (all.n[static_cast<int>(JobState::Failed)] > 0)
        out += "Failed jobs: krymo_status --list failed\n";
    out += driver_line(folder);
    // The next stage to run, in the driver's order, and the programs it calls that this PATH lacks
    // (batch jobs may load theirs with modules: then the warning is only a reminder).
    struct Next {
        std::string title;
        const std::vector<std::string>* tools;
        bool done;
    };
    std::vector<Next> next;
    for (int hl = 1; hl >= 0; --hl) {
        for (size_t s = 0; s < study.job_sets.size(); ++s)
            if ((study.job_sets[s].key.rfind("hl_", 0) == 0) == (hl == 1))
                next.push_back({study.job_sets[s].title, &study.job_sets[s].tools,
                                counts[s].n[static_cast<int>(JobState::Done)] + counts[s].n[static_cast<int>(JobState::Unchecked)] ==
                                    counts[s].jobs});
        if (hl == 1 && !study.gather.empty())
            next.push_back({study.gather[0].name, &study.gather[0].tools, stage_state(study.gather[0]) != std::string("pending")});
    }
    for (size_t g = 1; g < study.gather.size(); ++g)
        next.push_back({study.gather[g].name, &study.gather[g].tools, stage_state(study.gather[g]) != std::string("pending")});
    for (const StudyStage& st : study.mobility) next.push_back({st.name, &st.tools, stage_state(st) != std::string("pending")});
    for (const Next& n : next) {
        if (n.done) continue;
        std::string missing;
        for (const std::string& t : *n.tools)
            if (!on_path(t)) missing += (missing.empty() ? "" : ", ") + t;
        if (!missing.empty())
            out += format_string("Not on PATH, needed by the next stage (%s): %s\n", n.title.c_str(), missing.c_str());
        break;
    }
    return status;
}

int status_main(int argc, char** argv) {
    std::string out, err;
    const int status = run_status(std::vector<std::string>(argv + 1, argv + argc), out, err);
    std::fputs(out.c_str(), stdout);
    std::fputs(err.c_str(), stderr);
    return status;
}

}  // namespace krymo
