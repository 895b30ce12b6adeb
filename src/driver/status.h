// krymo_status: where a study stands, from data/study.json and the files that exist. It only reads.
#pragma once

#include <string>
#include <vector>

#include "transport/study_record.h"

namespace krymo {

enum class JobState { Done, Running, Failed, Pending, Unchecked };

// The state of one job under `root` (the study folder), by the rules of the generated checker scripts:
// done when the output shows a normal end; else running while its running marker exists; else failed
// when it left an error marker or an output without a normal end; else not started. A job without an
// output to check is only ever running or unchecked. An output whose input is no longer the one recorded
// (its fingerprint changed) is not done: pending, or running while its marker exists.
JobState job_state(const std::string& root, const NormalEndRule& rule, const StudyJob& job);

// Does the output text end normally by `rule`?
bool shows_normal_end(const std::string& text, const NormalEndRule& rule);

// Runs krymo_status with its arguments (argv[0] excluded); appends what it prints to `out` and `err`
// and returns the exit status: 0 every job done, 3 any failed, 2 otherwise, 1 an unusable folder or
// command line.
int run_status(const std::vector<std::string>& args, std::string& out, std::string& err);

int status_main(int argc, char** argv);

}  // namespace krymo
