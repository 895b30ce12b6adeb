// The study record of a run: the job sets add themselves as they write (hl_job_sets.cpp,
// re_job_sets.cpp), the workflow adds its stages (workflow/), and the end of the run adds the structure
// and stores the whole as data/study.json.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <ctime>

#include "jobs/schedulers.h"
#include "transport/transport.h"
#include "util/fatal.h"
#include "util/files.h"
#include "util/text.h"

namespace krymo {

namespace {
const OutputFailure kStudyFailure = {"transport", 255, true, false};

// Extensions of what a calculation leaves beside its input: logs, checkpoints, orbitals, Hessians,
// ORCA's optimised geometry.
const char* const kOutputExtensions[] = {"log", "out", "chk", "fchk", "mkl", "hess", "gbw", "xyz"};

bool is_regular(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Fingerprints of the inputs (".com", ".inp") directly in `dir`, by "dir/name"; outputs are not read.
void fingerprint_folder(const std::string& dir, std::map<std::string, std::string>& out) {
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return;
    std::vector<std::string> names;
    while (dirent* e = readdir(d)) names.push_back(e->d_name);
    closedir(d);
    for (const std::string& n : names) {
        const std::string path = dir + "/" + n;
        const bool input = n.size() > 4 && (n.compare(n.size() - 4, 4, ".com") == 0 || n.compare(n.size() - 4, 4, ".inp") == 0);
        if (n[0] != '.' && input && is_regular(path)) out[path] = qc_input_fingerprint(path);
    }
}
}  // namespace

void Transport::begin_study_run() {
    previous_inputs.clear();
    study.stale_dir.clear();
    study.stale_files = study.stale_jobs = 0;
    // The inputs the existing outputs were computed from: as the last complete run recorded them, or,
    // without a record, as they are now, before this run rewrites them.
    StudyRecord old;
    std::string why, text;
    const std::string record_path = data_dir + "/study.json";
    bool have_record = false;
    if (is_regular(record_path)) {
        std::vector<std::string> lines;
        if (read_input_lines(record_path, kDataInput, "transport", lines, true)) {
            for (const std::string& l : lines) text += l;
            have_record = parse_study_json(text, old, why);
        }
    }
    if (!have_record) {
        fingerprint_folder(hl_dir, previous_inputs);
        fingerprint_folder(re_dir, previous_inputs);
    } else {
        for (const StudyJobSet& set : old.job_sets)
            for (const StudyJob& job : set.jobs) {
                if (job.input.empty()) continue;
                previous_inputs[job.input] = !job.input_hash.empty() ? job.input_hash : qc_input_fingerprint(job.input);
            }
    }
    create_directory(data_dir);
    TextWriter mark;
    open_output(mark, data_dir + "/" + kIncompleteMarker, kStudyFailure);
    mark.write("A krymo_prepare run of this study started and has not finished: its files may be a mix of two\n"
               "runs. Run krymo_prepare again; it removes this file when it ends.\n");
    close_output(mark, kStudyFailure);
}

void Transport::move_stale_outputs(const StudyJob& job) {
    if (study.stale_dir.empty()) {
        char stamp[32];
        const std::time_t now = std::time(nullptr);
        std::tm tm{};
        gmtime_r(&now, &tm);
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H%M%S", &tm);
        study.stale_dir = std::string("stale/") + stamp;
    }
    std::vector<std::string> files;
    const size_t dot = job.input.rfind('.');
    const std::string stem = dot == std::string::npos ? job.input : job.input.substr(0, dot);
    for (const char* ext : kOutputExtensions) {
        const std::string f = stem + "." + ext;
        if (f != job.input) files.push_back(f);
    }
    if (!job.error.empty()) files.push_back(job.error);
    int moved = 0;
    for (const std::string& f : files) {
        if (!is_regular(f)) continue;
        std::string to = study.stale_dir + "/" + f;
        create_directories(to.substr(0, to.rfind('/')));
        // Never over an earlier stale file of the same name.
        for (int k = 1; file_exists(to) && k < 1000; ++k) to = format_string("%s/%s.%d", study.stale_dir.c_str(), f.c_str(), k);
        if (std::rename(f.c_str(), to.c_str()) != 0)
            KRYMO_FATAL_ERR("transport", 255,
                            format_string("Cannot move \"%s\", the output of an input that changed, to \"%s\".\n",
                                          f.c_str(), to.c_str()));
        ++moved;
    }
    if (moved > 0) {
        study.stale_files += moved;
        ++study.stale_jobs;
    }
}

StudyJobSet& Transport::begin_study_job_set(const char* key, const char* title, const std::string& runner) {
    StudyJobSet set;
    set.key = key;
    set.title = title;
    set.runner = runner;
    set.nodes = get_run_nodes();
    set.ppn = get_run_ppn();
    set.arrays = sched_job_array && std::string(key).rfind("hl_", 0) == 0;  // reorganization jobs never are
    // The program and its converter of checkpoints (Q-Chem writes its formatted checkpoint itself).
    const size_t from = qc_exe.find_first_not_of(" \t"), to = qc_exe.find_first_of(" \t", from);
    if (from != std::string::npos) set.tools.push_back(qc_exe.substr(from, to == std::string::npos ? to : to - from));
    if (compute_engine == 1) set.tools.push_back("formchk");
    if (compute_engine == 2) set.tools.push_back("orca_2mkl");
    study.job_sets.push_back(std::move(set));
    return study.job_sets.back();
}

void Transport::check_study_folders() const {
    refuse_links_outside(".", {data_dir, hl_dir, re_dir, scr_dir, job_dir, run_dir, check_dir, "evc", "stale"},
                         {"MC-", "ME-"}, "transport");
}

void Transport::write_study_record() {
    study.structure_files.clear();
    if (mol_data_source == 2) study.structure_files.push_back(crystal_file);
    else study.structure_files = mol_files;
    study.molecules = nmols_uc;
    study.pairs = 0;
    for (int n : nnei) study.pairs += n;
    study.unique_molecules = HL_unique_uc_mol ? static_cast<int>(HL_unique_mols.size()) : -1;
    study.unique_pairs = HL_unique_pair ? static_cast<int>(HL_unique_pairs.size()) : -1;
    study.cutoff = lattice_cutoff;
    Engine e;
    if (engine_from_setting(compute_engine, e)) {
        const EngineRow& E = engine_row(e);
        study.engine = E.label;
        study.normal_end = {E.normal_end, E.normal_end_last_line};
    }
    static const char* const kSchedulerNames[] = {"PBS", "Slurm", "LSF", "local"};
    const int sched = get_job_sched_type();
    study.scheduler = sched >= 0 && sched < kSchedCount ? kSchedulerNames[sched] : "";
    study.arrays = sched_job_array;

    // Each input as this run wrote it; the outputs of an input that is not the one they were computed
    // from go aside, or the runners would skip the job as finished and the study would use them.
    for (StudyJobSet& set : study.job_sets)
        for (StudyJob& job : set.jobs) {
            if (job.input.empty()) continue;
            job.input_hash = qc_input_fingerprint(job.input);
            const auto before = previous_inputs.find(job.input);
            if (before != previous_inputs.end() && !before->second.empty() && before->second != job.input_hash)
                move_stale_outputs(job);
        }

    // The record comes last, and the incomplete mark goes only after it.
    TextWriter out;
    open_output(out, data_dir + "/study.json", kStudyFailure);
    out.write(study_json_text(study));
    close_output(out, kStudyFailure);
    std::remove((data_dir + "/" + kIncompleteMarker).c_str());
}

}  // namespace krymo
