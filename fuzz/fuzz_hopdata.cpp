// Fuzz target of the hopping tools' data readers: the same bytes as a rate file (its rates then
// computed again), as values per pair (VL.dat, with and without a count line), per molecule (EL.dat),
// normal modes (NM-e.dat), exp_data.dat, temp.inp and charge.inp, for a cell of two molecules.
#include "fuzz_support.h"
#include "hopsim/formats.h"
#include "hopsim/rates.h"
#include "util/fatal.h"

namespace {

template <typename F>
void attempt(F&& f) {
    try {
        f();
    } catch (const krymo::FatalError&) {
    }
}

std::vector<krymo::hopsim::PairKey> two_pairs() {
    krymo::hopsim::PairKey a, b;
    a.root = 1;
    a.nei = 2;
    b.root = 2;
    b.nei = 1;
    b.cell[0] = -1;
    return {a, b};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace krymo::hopsim;
    const krymo_fuzz::InputFile in("data.dat", data, size);
    attempt([] {
        RateTable t = read_rate_table("data.dat");
        // The simulators take the table as read; a few dozen pairs keep one input quick.
        if (t.pairs.size() <= 64) fill_rates(t);
    });
    attempt([] { read_pair_values("data.dat", two_pairs(), false); });
    attempt([] { read_pair_values("data.dat", two_pairs(), true); });
    attempt([] { read_site_values("data.dat", 2); });
    attempt([] { read_normal_modes("data.dat", 2); });
    attempt([] { read_exp_data("data.dat"); });
    attempt([] {
        double t = 0;
        read_temp_inp("data.dat", t);
    });
    attempt([] { read_charge_inp("data.dat"); });
    return 0;
}
