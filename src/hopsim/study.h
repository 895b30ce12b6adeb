// A mobility run folder as the hopping tools see it: the copied krymo.inp read by the project's own
// reader, the crystal (or molecule files) it names, and the neighbour list rebuilt by the same stages
// krymo_prepare runs, so that pair k of VL.dat is pair k of neighbor.dat.
#pragma once

#include <string>
#include <vector>

#include "hopsim/disorder.h"
#include "hopsim/formats.h"
#include "transport/transport.h"

namespace krymo {
namespace hopsim {

class RunFolder : public Transport {
public:
    // Reads `config` and the structure, and rebuilds the neighbour list: from neighbor.dat when
    // read_neighbor_dat is on and the file is here, else by the search krymo_prepare runs.
    void load(const std::string& config = "krymo.inp");

    int molecules() const { return nmols_uc; }
    const std::vector<PairKey>& pairs() const { return pairs_; }
    // Centre of the neighbour image minus centre of the root of pair k (Cartesian, Angstrom).
    const double* pair_dr(size_t k) const { return &dr_[3 * k]; }
    // Rows a, b, c of the lattice (Angstrom).
    void cell_rows(double out[3][3]) const;

    // charge.inp, or a krymo.inp chargetype of e or h.
    char carrier() const;
    // temp.inp, else the temp setting.
    double temperature() const;

    // Settings of the later stages, as krymo.inp gives them.
    const std::string& rate_type() const { return ratetype; }
    int short_time() const { return sta; }
    double max_time_fs() const { return maxt; }
    double broadening_mev() const { return rate_broadening; }
    double error_target() const { return mc_error; }
    double hops_per_trajectory() const { return mc_hops; }
    const double* applied_field() const { return app_elec_F; }
    const std::vector<double>& field_strengths() const { return field_scan; }
    bool principal_output() const { return output_eigval != 0; }
    double angle_step_deg() const { return delta_angle; }
    int trajectories() const { return nsimu; }
    double sim_time_ns() const { return tsimu; }
    double snap_time_ns() const { return tsnap; }
    int iteration_limit() const { return iterlimit; }
    int report_every() const { return nevery_out; }
    int film_dir() const { return thinfilm_flag ? thinfilm_dir : -1; }
    int film_cells() const { return thinfilm_flag ? thinfilm_ncell : 0; }
    int outer_type() const { return reorg_outer_type; }
    double outer_constant_ev() const { return reorg_outer_const; }
    bool site_energies() const { return lat_site_energy != 0; }
    bool coupling_disorder() const { return V_dynamic_disorder; }
    bool level_disorder() const { return HOMOLUMO_dynamic_disorder; }
    const std::string& rate_file() const { return krymo_dat_file; }
    // Static disorder of the site energies (disorder_sigma, disorder_cells, disorder_seed).
    // Without a width the unit cell stays: no supercell of identical cells.
    Disorder disorder() const {
        return disorder_sigma > 0.0 ? Disorder{disorder_sigma, disorder_cells, disorder_seed} : Disorder{};
    }

private:
    std::vector<PairKey> pairs_;
    std::vector<double> dr_;
};

// Everything hopsim_rates reads in the folder, turned into the rate table (rates at the applied field).
RateTable build_rate_table(const RunFolder& folder);

}  // namespace hopsim
}  // namespace krymo
