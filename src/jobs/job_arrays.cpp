// Job arrays as a transformation of the single-job script: the header gains the array lines, and
// every per-job name gets the member suffix. A local "array" runs its members one after another.
#include "jobs/job_arrays.h"

#include "util/text.h"

namespace krymo {

std::string index_set_text(int count, const std::vector<int>* indices) {
    if (indices == nullptr) return format_string("1-%d", count);
    std::string s;
    for (int k : *indices) {
        if (!s.empty()) s += ',';
        s += format_string("%d", k);
    }
    return s;
}

ArrayMembers array_members(int count, const std::vector<int>* indices, int slot_limit) {
    ArrayMembers a;
    a.index_set = index_set_text(count, indices);
    a.slot_limit = slot_limit;
    if (indices != nullptr) {
        a.numbers = *indices;
    } else {
        for (int k = 1; k <= count; ++k) a.numbers.push_back(k);
    }
    return a;
}

std::string compose_job_array_script(JobKind kind, int sched, const JobSettings& s, const JobTexts& t,
                                     const ArrayMembers& members) {
    const SchedulerRow& r = scheduler_row(sched);
    ScriptText out;
    if (sched != kSchedLocal) {
        const ArrayHeader header{members.index_set, members.slot_limit};
        const std::string suffix = std::string("-") + r.array_var;
        JobMember m;
        m.name = t.name + suffix;
        m.marker = t.marker + suffix;
        m.orca_scratch = format_string("krymo-HL-%s%s", r.job_id, suffix.c_str());
        m.array = true;
        write_job_head(kind, sched, s, t, &header, out);
        write_job_member(kind, sched, s, t, m, out);
    } else {
        write_job_head(kind, sched, s, t, nullptr, out);
        for (int k : members.numbers) {
            out.line("# ----------------------------------------------------");
            out.line(format_string("# mol-%d", k));
            JobMember m;
            m.name = format_string("%s-%d", t.name.c_str(), k);
            m.marker = format_string("%s-%d", t.marker.c_str(), k);
            m.orca_scratch = format_string("krymo-HL-%d-%s", k, r.job_id);
            m.array = true;
            write_job_member(kind, sched, s, t, m, out);
        }
    }
    write_job_close(kind, sched, out);
    return out.str();
}

}  // namespace krymo
