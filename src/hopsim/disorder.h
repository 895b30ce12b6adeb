// Static energetic disorder: every site of an N x N x N supercell of the crystal gets its own energy,
// drawn from a Gaussian of width sigma, on top of the molecule's site energy. The carrier hops on the
// finite periodic supercell (a thin film keeps its layers and is periodic in its plane), and the
// energy difference of a hop enters its rate as any other free-energy change does.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "hopsim/formats.h"
#include "hopsim/rates.h"

namespace krymo {
namespace hopsim {

struct Disorder {
    double sigma_mev = 0.0;  // width of the Gaussian site energies; 0: no supercell, the unit cell alone
    int cells = 1;           // N: the supercell holds N x N x N unit cells
    long long seed = 1;      // the energies of one seed are the same on every machine and thread count
    bool active() const { return sigma_mev > 0.0; }
    // The supercell is built with disorder, or when asked for without it (the checks of the solvers).
    bool supercell() const { return active() || cells > 1; }
};

// n standard-normal numbers of `seed`, from one generator stream and a logarithm made of IEEE basic
// operations only: the same bits on every CPU and library.
std::vector<double> gaussian_numbers(std::size_t n, long long seed);

// Layout of the supercell sites: molecule m of cell (x, y, z) is site m + nmols (x + nx (y + ny z)).
// Along a thin film's normal the cells are its layers and hops out of the film are dropped; along
// every other axis the cells wrap around.
struct SupercellLayout {
    int nmols = 0;
    int n[3] = {1, 1, 1};
    bool periodic[3] = {true, true, true};
    long long sites() const { return static_cast<long long>(nmols) * n[0] * n[1] * n[2]; }
};
SupercellLayout supercell_layout(int nmols, int cells, int film_dir, int film_ncell);

// Site energies (eV): the molecule's own site energy, rebuilt from the pairs' dG0 (molecule 1 at 0),
// and per supercell site sigma times a Gaussian number of the seed.
struct SiteEnergies {
    std::vector<double> molecule;  // per unit-cell molecule
    std::vector<double> disorder;  // per supercell site
    double total(long long site) const { return molecule[site % molecule.size()] + disorder[site]; }
};
SiteEnergies supercell_site_energies(const RateTable& table, const SupercellLayout& layout, const Disorder& disorder);

// The hop network of the supercell. rate(k, extra) is the rate of pair k when the hop's free-energy
// change is raised by `extra` eV (the disorder energy of the target minus that of the source). The
// start weights are Boltzmann's at the site energies: a trajectory starts in equilibrium.
using PairRate = std::function<double(std::size_t pair, double extra_ev)>;
HopNetwork build_supercell_network(const RateTable& table, const SupercellLayout& layout,
                                   const SiteEnergies& energy, const PairRate& rate);
// The same with the rates of the file's ingredients at the Cartesian field `field` (V/m).
HopNetwork build_supercell_network(const RateTable& table, const RateModel& model, const double field[3],
                                   const SupercellLayout& layout, const SiteEnergies& energy);

// Refuses, before anything is allocated, a supercell whose sites or hops exceed `limit`, naming the
// settings that make it.
void check_supercell_size(const RateTable& table, const SupercellLayout& layout, long long limit, const char* what);

// Settings checks of the disorder keys (the reader refuses most bad values already; these hold for
// disorder given any other way).
void check_disorder(const Disorder& d);

// "sigma 50 meV on 20 x 20 x 20 cells (16000 sites), seed 1" for reports.
std::string disorder_text(const Disorder& d, const SupercellLayout& layout);

}  // namespace hopsim
}  // namespace krymo
