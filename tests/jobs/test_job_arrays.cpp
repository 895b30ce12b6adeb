// Job arrays: index sets and slot limits, every array as the single script of its members plus the
// scheduler's array lines, and refused empty arrays.
#include <gtest/gtest.h>

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

// Per batch scheduler: member variable, job id, the single ORCA scratch name, and the header lines
// that an array of members {2, 5} with slot limit 10 replaces.
const struct {
    const char *sched, *var, *job_id, *orca_scratch, *from, *to;
} kBatch[] = {
    {"pbs", "${PBS_ARRAYID}", "$PBS_JOBID", "krymo-$PBS_JOBID", "#PBS -q q1\n", "#PBS -q q1\n#PBS -t 2,5%10\n"},
    {"slurm", "${SLURM_ARRAY_TASK_ID}", "$SLURM_JOB_ID", "krymo-HL-$SLURM_JOB_ID", "#SBATCH --output=stdout-tag\n",
     "#SBATCH --output=stdout-tag-%a\n#SBATCH --array=2,5%10\n"},
    {"lsf", "${LSB_JOBINDEX}", "$LSB_JOBID", "krymo-HL-$LSB_JOBID", "#BSUB -J HL-tag\n#BSUB -oo stdout-tag\n",
     "#BSUB -J HL-tag[2,5]%10\n#BSUB -oo stdout-tag-%I\n"},
};

// An ORCA member names its own scratch directory (followed by an empty line) and copies with $DataDir.
std::string orca_member(const std::string& text, const std::string& single_scratch, const std::string& member_scratch) {
    return replaced(replaced(text, single_scratch + "\n", member_scratch + "\n\n"), "cp ${DataDir}/", "cp $DataDir/");
}

}  // namespace

TEST(JobArrays, IndexSetsAndSlotLimitsInThePbsHeader) {
    ScopedStudyDir dir;
    TestJobs j;
    // Any number of members of any size fits the index set.
    std::vector<int> many;
    std::string many_set;
    for (int k = 1; k <= 3000; ++k) {
        many.push_back(4099 * k);
        many_set += (k > 1 ? "," : "") + std::to_string(4099 * k);
    }
    const std::vector<int> listed = {4, 7};
    const struct { int count, limit; const std::vector<int>* list; std::string lines; } cases[] = {
        {3, 0, nullptr, "#PBS -q workq\n#PBS -t 1-3\n#PBS -o stdout-T\n"}, {2, 0, &listed, "#PBS -t 4,7\n#"},
        {40, 10, nullptr, "#PBS -t 1-40%10\n"}, {3000, 0, &many, "#PBS -t " + many_set + "\n"}};
    for (const auto& c : cases) {
        j.job_slot_limit = c.limit;
        j.write_gaussian_HL_job_array("job", 1, 8, "N", "T", "M", c.count, c.list);
        EXPECT_NE(read_file("jobs/job.pbs").find(c.lines), std::string::npos) << c.lines.substr(0, 40);
    }
}

TEST(JobArrays, ArraysAreTheSingleScriptsOfTheirMembersWithTheArrayLines) {
    ScopedStudyDir dir;
    TestJobs j;
    j.all_options();
    j.set_job_moo_flag(true);
    j.job_slot_limit = 10;
    const std::vector<int> listed = {2, 5};
    for (const char* k : {"gaussian_HL", "orca_HL", "qchem_HL"}) {
        SCOPED_TRACE(k);
        const bool orca = k == std::string("orca_HL");
        for (const auto& b : kBatch) {
            const std::string var = b.var;
            std::string expected = replaced(write_kind(j.use(b.sched), k, "job", "-" + var), b.from, b.to);
            if (orca) expected = orca_member(expected, b.orca_scratch, "krymo-HL-" + std::string(b.job_id) + "-" + var);
            EXPECT_EQ(write_array(j, k, listed), expected) << b.sched;
        }
        // Local: only the listed members, one after another between the head and the closing line.
        std::string expected;
        for (int m : listed) {
            const std::string n = std::to_string(m), s = write_kind(j.use("local"), k, "job", "-" + n);
            const size_t body = s.find("\npython"), close = s.rfind("echo \"Ending");
            std::string member = s.substr(body, close - body);
            if (orca) member = orca_member(member, "krymo-HL-NAME-" + n + "-$RANDOM", "krymo-HL-" + n + "-$RANDOM");
            if (expected.empty()) expected = s.substr(0, body);
            expected += "# ----------------------------------------------------\n# mol-" + n + "\n" + member;
            if (m == listed.back()) expected += s.substr(close);
        }
        EXPECT_EQ(write_array(j, k, listed), expected) << "local";
    }
}

TEST(JobArrays, AnArrayWithoutMembersOrWithAWrongListIsRefused) {
    ScopedStudyDir dir;
    TestJobs j;
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
