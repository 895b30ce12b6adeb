// Job arrays: index sets and slot limits, the arrays of every scheduler, and refused empty arrays.
#include <gtest/gtest.h>

#include "golden.h"
#include "jobs/job_test_support.h"

using namespace krymo_test;

namespace {

// An array of `list` members of kind `k`, named as write_kind names a single job.
std::string write_array(TestJobs& j, const std::string& k, const std::vector<int>& list) {
    const int n = static_cast<int>(list.size());
    if (k == "gaussian_HL") j.write_gaussian_HL_job_array("job", 2, 4, "NAME", "tag", "RUN/running.x", n, &list);
    else if (k == "orca_HL") j.write_orca_HL_job_array("job", 2, 4, "NAME", "tag", "RUN/running.x", n, &list);
    else j.write_qchem_HL_job_array("job", 2, 4, "NAME", "tag", "RUN/running.x", n, &list);
    return read_file(std::string("jobs/job.") + j.get_job_script_ext());
}

}  // namespace

TEST(JobArrays, IndexSetsSlotLimitsAndRefusedLists) {
    ScopedStudyDir dir;
    TestJobs j;
    // Any number of members of any size fits the index set.
    std::vector<int> many;
    std::string many_set;
    for (int k = 1; k <= 3000; ++k) {
        many.push_back(4099 * k);
        many_set += (k > 1 ? "," : "") + std::to_string(4099 * k);
    }
    // Listed members with a slot limit are in the golden arrays below.
    const struct { int count, limit; const std::vector<int>* list; std::string lines; } cases[] = {
        {3, 0, nullptr, "#PBS -q workq\n#PBS -t 1-3\n#PBS -o stdout-T\n"}, {40, 10, nullptr, "#PBS -t 1-40%10\n"},
        {3000, 0, &many, "#PBS -t " + many_set + "\n"}};
    for (const auto& c : cases) {
        j.job_slot_limit = c.limit;
        j.write_gaussian_HL_job_array("job", 1, 8, "N", "T", "M", c.count, c.list);
        EXPECT_NE(read_file("jobs/job.pbs").find(c.lines), std::string::npos) << c.lines.substr(0, 40);
    }
    // A script that cannot be written stops the run; an array without members, or with a list of another
    // length, is refused and leaves no script.
    EXPECT_EQ(expect_fatal([&] { j.write_MC_job("no_dir/mc", 1, 8, "x\n", "elec", "M"); }).status, 255);
    const std::vector<int> empty, three = {1, 2, 3};
    for (const char* s : kSchedNames) {
        const std::string path = "jobs/job_2mol." + std::string(s);
        const krymo::FatalError e =
            expect_fatal([&] { j.use(s).write_qchem_HL_job_array("job_2mol", 1, 8, "N", "T", "M", 0); });
        EXPECT_EQ(e.status, 1);
        EXPECT_NE(e.err_text.find(path + " has no members"), std::string::npos) << e.err_text;
        EXPECT_FALSE(path_exists(path));
    }
    EXPECT_EQ(expect_fatal([&] { j.write_gaussian_HL_job_array("job", 1, 8, "N", "T", "M", 0, &empty); }).status, 1);
    EXPECT_EQ(expect_fatal([&] { j.write_gaussian_HL_job_array("job", 1, 8, "N", "T", "M", 2, &three); }).status, 1);
}

TEST(JobArrays, ArraysOfListedMembersForEverySchedulerWithAllOptions) {
    // Batch arrays: the single script with the member number in the names and the array lines; local
    // ones: the listed members one after another, each after a separator and its "# mol-<n>" line.
    ScopedStudyDir dir;
    TestJobs j;
    j.all_options();
    j.set_job_moo_flag(true);
    j.job_slot_limit = 10;
    for (const char* k : {"gaussian_HL", "orca_HL", "qchem_HL"}) {
        std::string all;
        for (const char* s : kSchedNames) {
            all += std::string("==> ") + s + "\n" + write_array(j.use(s), k, {2, 5});
            const std::string f = std::string("jobs/job.") + j.get_job_script_ext();
            EXPECT_EQ(run_command("bash -n " + f + " && sh -n " + f).status, 0) << s << " " << k;  // it parses
        }
        expect_golden(replaced(all, j.get_workdir(), "@W@"), std::string("jobs/arrays/") + k + ".txt");
    }
}
