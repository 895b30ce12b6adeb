// Fuzz target of the trajectory reader: a traj-*.dat file read as hopsim_mobility reads it, and the
// mobility analysed when the file holds enough for one.
#include "fuzz_support.h"
#include "hopsim/formats.h"
#include "hopsim/mobility.h"
#include "util/fatal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace krymo::hopsim;
    const krymo_fuzz::InputFile in("traj-0-1.dat", data, size);
    try {
        const TrajectoryFile f = gather_trajectories({"traj-0-1.dat"});
        if (f.trajectories.size() >= 2 && f.header.nsnap >= 3) analyse_trajectories(f.header, f.trajectories, false);
    } catch (const krymo::FatalError&) {
    }
    return 0;
}
