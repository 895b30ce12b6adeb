// The study record of a run: the job sets add themselves as they write (hl_job_sets.cpp,
// re_job_sets.cpp), the workflow adds its stages (workflow/), and the end of the run adds the structure
// and stores the whole as data/study.json.
#include "jobs/schedulers.h"
#include "transport/transport.h"
#include "util/files.h"
#include "util/text.h"

namespace krymo {

namespace {
const OutputFailure kStudyFailure = {"transport", 255, true, false};
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

    TextWriter out;
    open_output(out, data_dir + "/study.json", kStudyFailure);
    out.write(study_json_text(study));
    close_output(out, kStudyFailure);
}

}  // namespace krymo
