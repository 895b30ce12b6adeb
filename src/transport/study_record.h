// What a run wrote, as one record: the structure it analysed, every job set with each calculation's
// input, output and markers, and the stages that follow. The run prints it as a summary and stores it
// as data/study.json; krymo_status reads it back to tell where the study stands.
#pragma once

#include <string>
#include <vector>

namespace krymo {

// How an output shows that its program ended normally: the rule of the generated checker scripts.
struct NormalEndRule {
    std::string text;        // " Normal termination of Gaussian", "ORCA TERMINATED NORMALLY", ...
    bool last_line = false;  // only the last line counts (Gaussian)
};

// One calculation; every path is relative to the study folder.
struct StudyJob {
    std::string name;
    std::string input;
    std::string output;   // empty: nothing shows its end (the multipole job)
    std::string running;  // marker that exists while the job is queued or running
    std::string error;    // marker the job leaves when its program did not end normally
    std::string input_hash;  // fingerprint of the input as written (file_fingerprint); "" when unknown
};

struct StudyJobSet {
    std::string key;     // "hl_dimer", "re_neutral", ...
    std::string title;   // "HL dimers", ...
    std::string runner;  // the script that submits the set
    int inputs = 0;      // quantum-chemistry input files written
    int scripts = 0;     // job scripts written
    int submissions = 0; // jobs the scheduler runs (each array member counts)
    int nodes = 1, ppn = 1;
    bool arrays = false;
    std::vector<StudyJob> jobs;
    std::vector<std::string> tools;  // programs its jobs call, for the check of PATH
};

// A stage after the jobs: done when every result exists (a stage without results is never judged).
struct StudyStage {
    std::string name;
    std::vector<std::string> scripts;
    std::vector<std::string> results;
    std::vector<std::string> tools;  // programs its scripts and jobs call
};

struct StudyRecord {
    static constexpr int kFormat = 1;
    std::vector<std::string> structure_files;
    int molecules = 0;
    int unique_molecules = -1;  // -1: the equivalence analysis was not asked for
    int pairs = 0;
    int unique_pairs = -1;
    double cutoff = 0.0;
    std::string engine;
    std::string scheduler;
    bool arrays = false;
    NormalEndRule normal_end;
    std::vector<StudyJobSet> job_sets;
    std::vector<StudyStage> gather;
    std::vector<StudyStage> mobility;
    // Outputs of a rerun whose input had changed, moved aside: the folder and how many files and jobs.
    std::string stale_dir;
    int stale_files = 0, stale_jobs = 0;
};

// The marker a preparation writes into data/ before anything else and removes after study.json: while
// it exists, the study is incomplete (a run was stopped half-way) and krymo_status says so.
constexpr const char* kIncompleteMarker = "study.incomplete";

// The fingerprint recorded for a quantum-chemistry input: its bytes without the lines that only set
// memory and cores (Gaussian %mem, %nproc...; ORCA %MaxCore, %PAL), so that a new qc_ppn or qc_memory
// keeps the results while any change of geometry, charge, method or basis does not. "" when unreadable.
std::string qc_input_fingerprint(const std::string& path);

// The few lines printed at the end of a run.
std::string study_summary_text(const StudyRecord& s);
std::string study_json_text(const StudyRecord& s);
// False, with the reason in `error`, when the text is not a study record of a known format.
bool parse_study_json(const std::string& text, StudyRecord& s, std::string& error);

}  // namespace krymo
