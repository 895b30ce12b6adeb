#include "transport/study_record.h"

#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <utility>

#include "util/files.h"
#include "util/text.h"

namespace krymo {

namespace {

using Json = nlohmann::ordered_json;

std::string joined(const std::vector<std::string>& items, const char* sep) {
    std::string s;
    for (const std::string& i : items) s += (s.empty() ? "" : sep) + i;
    return s;
}

std::vector<std::string> stage_names(const std::vector<StudyStage>& stages) {
    std::vector<std::string> names;
    for (const StudyStage& st : stages) names.push_back(st.name);
    return names;
}

Json stages_json(const std::vector<StudyStage>& stages) {
    Json a = Json::array();
    for (const StudyStage& st : stages)
        a.push_back({{"name", st.name}, {"scripts", st.scripts}, {"results", st.results}, {"tools", st.tools}});
    return a;
}

std::vector<StudyStage> stages_from(const Json& a) {
    std::vector<StudyStage> out;
    for (const Json& j : a)
        out.push_back({j.at("name").get<std::string>(), j.at("scripts").get<std::vector<std::string>>(),
                       j.at("results").get<std::vector<std::string>>(),
                       j.value("tools", std::vector<std::string>())});
    return out;
}

}  // namespace

std::string qc_input_fingerprint(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::string();
    std::string kept;
    for (std::string line; std::getline(in, line);) {
        bool resources = false;
        for (const char* p : {"%mem", "%nproc", "%maxcore", "%pal "})
            if (line.size() >= std::strlen(p) && iequals(line.substr(0, std::strlen(p)), p)) resources = true;
        if (!resources) kept += line + "\n";
    }
    return bytes_fingerprint(kept);
}

std::string study_summary_text(const StudyRecord& s) {
    std::string t = "\nStudy summary (also in data/study.json; krymo_status follows the jobs)\n";
    std::string mols = format_string("%d molecule%s in the cell", s.molecules, s.molecules == 1 ? "" : "s");
    if (s.unique_molecules >= 0) mols += format_string(" (%d unique)", s.unique_molecules);
    std::string pairs = format_string("%d neighbour pair%s within %g A", s.pairs, s.pairs == 1 ? "" : "s", s.cutoff);
    if (s.unique_pairs >= 0) pairs += format_string(" (%d unique)", s.unique_pairs);
    t += format_string("  Structure: %s; %s; %s\n", joined(s.structure_files, ", ").c_str(), mols.c_str(),
                       pairs.c_str());
    t += format_string("  Jobs: %s on %s, job arrays %s\n", s.engine.c_str(), s.scheduler.c_str(),
                       s.arrays ? "on" : "off");
    t += format_string("  %-24s %7s %8s %6s %10s %7s  %s\n", "Job set", "inputs", "scripts", "jobs", "cores/job",
                       "cores", "runner");
    long long total_cores = 0;
    for (const StudyJobSet& j : s.job_sets) {
        const int per_job = j.nodes * j.ppn;
        const long long cores = static_cast<long long>(per_job) * j.submissions;
        total_cores += cores;
        t += format_string("  %-24s %7d %8d %6d %10d %7lld  %s\n", j.title.c_str(), j.inputs, j.scripts,
                           j.submissions, per_job, cores, j.runner.c_str());
    }
    t += format_string("  %-24s %7s %8s %6s %10s %7lld\n", "all", "", "", "", "", total_cores);
    // The order the stage driver follows: the couplings as soon as the HL jobs are done, a runner that a
    // gather stage lists (the four-point one, after its checkpoint copies) only there.
    std::vector<std::string> hl, re;
    for (const StudyJobSet& j : s.job_sets) {
        bool in_stage = false;
        for (const StudyStage& st : s.gather)
            for (const std::string& script : st.scripts) in_stage = in_stage || script == j.runner;
        if (!in_stage) (j.key.rfind("hl_", 0) == 0 ? hl : re).push_back(j.runner);
    }
    std::vector<std::pair<std::string, std::vector<std::string>>> order;
    if (!hl.empty()) order.push_back({"HL runners", hl});
    size_t g = 0;
    if (g < s.gather.size() && s.gather[g].name == "transfer integrals") {
        order.push_back({s.gather[g].name, s.gather[g].scripts});
        ++g;
    }
    if (!re.empty()) order.push_back({"RE runners", re});
    for (; g < s.gather.size(); ++g) order.push_back({s.gather[g].name, s.gather[g].scripts});
    if (!order.empty())
        t += "  Run: sh scr/krymo.sh (the stage driver), or by hand from the study folder in this order:\n";
    for (const auto& [name, scripts] : order)
        t += format_string("    %s: %s\n", name.c_str(), joined(scripts, ", ").c_str());
    if (!s.mobility.empty()) t += "  Mobility run folders: " + joined(stage_names(s.mobility), ", ") + "\n";
    if (s.stale_files > 0)
        t += format_string("  Stale: the input of %d job%s changed since the last run; %d output file%s moved to %s/\n",
                           s.stale_jobs, s.stale_jobs == 1 ? "" : "s", s.stale_files, s.stale_files == 1 ? "" : "s",
                           s.stale_dir.c_str());
    return t;
}

std::string study_json_text(const StudyRecord& s) {
    Json j;
    j["format"] = StudyRecord::kFormat;
    j["structure"] = {{"files", s.structure_files},
                      {"molecules", s.molecules},
                      {"unique_molecules", s.unique_molecules},
                      {"pairs", s.pairs},
                      {"unique_pairs", s.unique_pairs},
                      {"cutoff", s.cutoff}};
    j["engine"] = s.engine;
    j["scheduler"] = s.scheduler;
    j["arrays"] = s.arrays;
    j["normal_end"] = {{"text", s.normal_end.text}, {"last_line", s.normal_end.last_line}};
    Json sets = Json::array();
    for (const StudyJobSet& js : s.job_sets) {
        Json jobs = Json::array();
        for (const StudyJob& job : js.jobs)
            jobs.push_back({{"name", job.name},
                            {"input", job.input},
                            {"output", job.output},
                            {"running", job.running},
                            {"error", job.error},
                            {"input_hash", job.input_hash}});
        sets.push_back({{"key", js.key},
                        {"title", js.title},
                        {"runner", js.runner},
                        {"inputs", js.inputs},
                        {"scripts", js.scripts},
                        {"submissions", js.submissions},
                        {"nodes", js.nodes},
                        {"ppn", js.ppn},
                        {"arrays", js.arrays},
                        {"jobs", std::move(jobs)},
                        {"tools", js.tools}});
    }
    j["job_sets"] = std::move(sets);
    j["gather"] = stages_json(s.gather);
    j["mobility"] = stages_json(s.mobility);
    if (s.stale_files > 0) j["stale"] = {{"folder", s.stale_dir}, {"files", s.stale_files}, {"jobs", s.stale_jobs}};
    return j.dump(1) + "\n";
}

bool parse_study_json(const std::string& text, StudyRecord& s, std::string& error) {
    try {
        const Json j = Json::parse(text);
        const int format = j.at("format").get<int>();
        if (format != StudyRecord::kFormat) {
            error = format_string("format %d, while this krymo_status reads format %d", format, StudyRecord::kFormat);
            return false;
        }
        StudyRecord r;
        const Json& st = j.at("structure");
        r.structure_files = st.at("files").get<std::vector<std::string>>();
        r.molecules = st.at("molecules").get<int>();
        r.unique_molecules = st.at("unique_molecules").get<int>();
        r.pairs = st.at("pairs").get<int>();
        r.unique_pairs = st.at("unique_pairs").get<int>();
        r.cutoff = st.at("cutoff").get<double>();
        r.engine = j.at("engine").get<std::string>();
        r.scheduler = j.at("scheduler").get<std::string>();
        r.arrays = j.at("arrays").get<bool>();
        r.normal_end.text = j.at("normal_end").at("text").get<std::string>();
        r.normal_end.last_line = j.at("normal_end").at("last_line").get<bool>();
        for (const Json& js : j.at("job_sets")) {
            StudyJobSet set;
            set.key = js.at("key").get<std::string>();
            set.title = js.at("title").get<std::string>();
            set.runner = js.at("runner").get<std::string>();
            set.inputs = js.at("inputs").get<int>();
            set.scripts = js.at("scripts").get<int>();
            set.submissions = js.at("submissions").get<int>();
            set.nodes = js.at("nodes").get<int>();
            set.ppn = js.at("ppn").get<int>();
            set.arrays = js.at("arrays").get<bool>();
            set.tools = js.value("tools", std::vector<std::string>());
            for (const Json& job : js.at("jobs"))
                set.jobs.push_back({job.at("name").get<std::string>(), job.at("input").get<std::string>(),
                                    job.at("output").get<std::string>(), job.at("running").get<std::string>(),
                                    job.at("error").get<std::string>(), job.value("input_hash", std::string())});
            r.job_sets.push_back(std::move(set));
        }
        r.gather = stages_from(j.at("gather"));
        r.mobility = stages_from(j.at("mobility"));
        if (j.contains("stale")) {
            r.stale_dir = j.at("stale").at("folder").get<std::string>();
            r.stale_files = j.at("stale").at("files").get<int>();
            r.stale_jobs = j.at("stale").at("jobs").get<int>();
        }
        s = std::move(r);
        return true;
    } catch (const nlohmann::json::exception& e) {
        error = e.what();
        return false;
    }
}

}  // namespace krymo
