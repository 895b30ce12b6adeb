// Job arrays: the index set of the members and the array form of a job script.
#pragma once

#include <string>
#include <vector>

#include "jobs/job_kinds.h"

namespace krymo {

// Members of a job array: the index set text of the header and the member numbers in order.
struct ArrayMembers {
    std::string index_set;
    std::vector<int> numbers;
    int slot_limit = 0;
};

// "1-n" without a list, else the listed numbers joined by commas (any count, any size).
std::string index_set_text(int count, const std::vector<int>* indices);
// The members 1..count, or the listed numbers, with the header text and slot limit.
ArrayMembers array_members(int count, const std::vector<int>* indices, int slot_limit);

std::string compose_job_array_script(JobKind kind, int sched, const JobSettings& s, const JobTexts& t,
                                     const ArrayMembers& members);

}  // namespace krymo
