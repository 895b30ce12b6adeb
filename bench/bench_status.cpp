// How long krymo_status takes on a large study: a generated record of 10,000 Gaussian jobs (pass
// another count as the first argument) whose outputs are a mix of done, failed, running and never
// started, with logs of realistic length (200 kB each, only their ends read).
//
//   bench_status [jobs=10000] [log size in kB=200]
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "bench_support.h"
#include "driver/status.h"
#include "transport/study_record.h"
#include "util/text.h"
#include "util/usage.h"

int main(int argc, char** argv) {
    if (krymo::usage_requested(argc, argv)) {
        krymo::print_usage(
            "Usage: %s [jobs=10000] [log size in kB=200]\n"
            "  Times krymo_status on a generated study of that many Gaussian jobs.\n",
            argv[0]);
        return 0;
    }
    const int njobs = krymo_bench::int_arg(argc, argv, 1, 10000);
    const int log_kb = krymo_bench::int_arg(argc, argv, 2, 200);
    krymo_bench::ScratchDir dir;
    if (!dir.ok()) return 1;
    for (const char* d : {"data", "HL", "RUN"}) mkdir(d, 0755);

    krymo::StudyRecord s;
    s.structure_files = {"box.cif"};
    s.engine = "Gaussian";
    s.scheduler = "Slurm";
    s.normal_end = {" Normal termination of Gaussian", true};
    krymo::StudyJobSet set;
    set.key = "hl_dimer";
    set.title = "HL dimers";
    set.runner = "scr/mol_two.py";
    const std::string body(static_cast<size_t>(log_kb) * 1024, 'x');
    for (int k = 1; k <= njobs; ++k) {
        const std::string name = krymo::format_string("2mol-%d", k);
        set.jobs.push_back({name, "HL/" + name + ".com", "HL/" + name + ".log", "RUN/running.HL_" + name,
                            "RUN/ERROR-HL_" + name});
        // Six in ten done, one failed, one running, two not started.
        const int kind = k % 10;
        if (kind < 8) {
            std::FILE* f = std::fopen(set.jobs.back().output.c_str(), "w");
            std::fputs(body.c_str(), f);
            std::fputs(kind < 6 ? "\n Normal termination of Gaussian 16.\n" : "\n Error termination.\n", f);
            std::fclose(f);
        }
        if (kind == 7) std::fclose(std::fopen(set.jobs.back().running.c_str(), "w"));
    }
    s.job_sets.push_back(set);
    std::FILE* f = std::fopen("data/study.json", "w");
    std::fputs(krymo::study_json_text(s).c_str(), f);
    std::fclose(f);

    std::string out, err;
    int status = 0;
    const double seconds = krymo_bench::seconds([&] {
        out.clear();
        status = krymo::run_status({}, out, err);
    });
    std::printf("krymo_status on %d jobs (%d kB logs): %.3f s, exit status %d\n%s", njobs, log_kb, seconds, status,
                out.c_str());
    return 0;
}
