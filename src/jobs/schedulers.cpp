#include "jobs/schedulers.h"

#include "util/text.h"

namespace krymo {

namespace {

// "%s" or "%s%%%d": an index set with its optional slot limit.
std::string array_range(const ArrayHeader& a) {
    return a.slot_limit != 0 ? format_string("%s%%%d", a.index_set.c_str(), a.slot_limit) : a.index_set;
}

// The node list in the directive's own syntax. The setting may separate hosts by blanks (as LSF
// takes them); a blank would end a PBS or Slurm directive there, so the hosts are joined by the
// scheduler's separator instead. A list without blanks stays as written.
std::string node_list(const std::string& nodelist, const char* separator) {
    if (nodelist.find_first_of(" \t") == std::string::npos) return nodelist;
    std::vector<std::string> hosts;
    split_to_words(nodelist, " \t,", hosts);
    std::string out;
    for (const std::string& h : hosts) out += (out.empty() ? "" : separator) + h;
    return out;
}

void pbs_directives(const HeaderRequest& h, ScriptText& t) {
    t.line("#PBS -S /bin/bash");
    t.line(format_string("#PBS -l walltime=%d:00:00", h.walltime_hours));
    t.line(format_string("#PBS -l nodes=%d:ppn=%d", h.nodes, h.ppn));
    t.line("#PBS -q " + h.queue);
    if (h.array) t.line("#PBS -t " + array_range(*h.array));
    t.line("#PBS -o " + h.output);
    t.line("#PBS -j oe");
    if (h.nodelist_line && !h.nodelist.empty()) t.line("#PBS -l nodes=" + node_list(h.nodelist, "+"));
}

void slurm_directives(const HeaderRequest& h, ScriptText& t) {
    t.line("#!/bin/bash");
    t.line();
    t.line(format_string("#SBATCH --time=0-%d:00:00", h.walltime_hours));
    auto output = [&] {
        // Each array member writes its own stdout file (%a is the member index).
        t.line("#SBATCH --output=" + h.output + (h.array ? "-%a" : ""));
        if (h.array) t.line("#SBATCH --array=" + array_range(*h.array));
    };
    if (h.output_first) output();
    t.line(format_string("#SBATCH --nodes=%d --ntasks-per-node=%d", h.nodes, h.ppn));
    t.line("#SBATCH -p " + h.queue);
    if (!h.output_first) output();
    if (h.nodelist_line && !h.nodelist.empty()) t.line("#SBATCH --nodelist=" + node_list(h.nodelist, ","));
}

void lsf_directives(const HeaderRequest& h, ScriptText& t) {
    t.line(format_string("#BSUB -W %d:00", h.walltime_hours));
    // LSF takes the slot limit after the bracketed index set.
    if (h.array)
        t.line("#BSUB -J " + h.title + "[" + h.array->index_set + "]" +
               (h.array->slot_limit != 0 ? format_string("%%%d", h.array->slot_limit) : ""));
    else
        t.line("#BSUB -J " + h.title);
    t.line("#BSUB -oo " + h.output + (h.array ? "-%I" : ""));
    t.line(format_string("#BSUB -n %d", h.nodes * h.ppn));
    t.line(format_string("#BSUB -R 'span[ptile=%d]'", h.ppn));
    t.line("#BSUB -q " + h.queue);
    if (h.nodelist_line && !h.nodelist.empty()) t.line("#BSUB -m '" + h.nodelist + "'");
}

void local_directives(const HeaderRequest&, ScriptText& t) { t.line("#!/bin/sh"); }

const SchedulerRow kSchedulers[kSchedCount] = {
    {"pbs", "pbs", "qsub", "${PBS_ARRAYID}", "$PBS_JOBID", "cd ${PBS_O_WORKDIR}", "${PBS_O_WORKDIR}", true,
     "krymo-", pbs_directives},
    {"slurm", "slurm", "sbatch", "${SLURM_ARRAY_TASK_ID}", "$SLURM_JOB_ID", "cd ${SLURM_SUBMIT_DIR}",
     "$SLURM_SUBMIT_DIR", false, "krymo-HL-", slurm_directives},
    {"lsf", "lsf", "bsub < ", "${LSB_JOBINDEX}", "$LSB_JOBID", "cd ${LS_SUBCWD}", "${LS_SUBCWD}", false, "krymo-HL-",
     lsf_directives},
    // A local script runs in the caller's directory; $RANDOM keeps concurrent scratch names apart.
    {"local", "local", "sh", "", "$RANDOM", nullptr, nullptr, false, "krymo-HL-", local_directives},
};

}  // namespace

const SchedulerRow& scheduler_row(int index) { return kSchedulers[index]; }

int find_scheduler(const std::string& name) {
    for (int i = 0; i < kSchedCount; ++i)
        if (iequals(name, kSchedulers[i].name)) return i;
    return -1;
}

}  // namespace krymo
