// Entry points of the hopping tools the mobility run folders call. Each runs in the carrier run
// folder, prints its usage for -h, reports progress of long runs on standard error (when it is a
// terminal, or always with -verbose) and turns a FatalError into its report and exit status.
#pragma once

namespace krymo {
namespace hopsim {

int rates_main(int argc, char** argv);
// `parallel`: OpenMP over trajectories (the _par tools); the files are the same bytes either way.
int mc_main(int argc, char** argv, bool parallel);
int mobility_main(int argc, char** argv, bool parallel);
int master_main(int argc, char** argv);

}  // namespace hopsim
}  // namespace krymo
