// Hopping rates: Marcus and the golden-rule rate of displaced harmonic oscillators (exact time
// integral or its short-time approximation), the per-pair rate model of a rate file, and the hop
// network the simulators walk on.
#pragma once

#include <complex>
#include <vector>

#include "hopsim/formats.h"

namespace krymo {
namespace hopsim {

namespace units {
constexpr double kHbar = 6.582119569e-16;       // eV s
constexpr double kBoltzmann = 8.617333262e-5;   // eV / K
constexpr double kWavenumber = 1.239841984e-4;  // eV per cm^-1
constexpr double kPi = 3.14159265358979323846;
}  // namespace units

enum class RateKind { Marcus, ShortTime, TimeDomain };

struct QuantumMode {
    double energy_ev = 0.0;  // hbar omega
    double huang_rhys = 0.0;
};

// Franck-Condon weighted density of states of one kind of hop, in 1/eV: a hop with coupling J and
// free-energy change dG (both eV) has the rate (2 pi / hbar) J^2 fcwd(dG).
//
// The energy gap is shared by quantum modes (displaced oscillators) and a classical bath of
// reorganization energy `lambda_cl` whose gap variance 2 lambda_cl kT is widened by `extra_var`
// (dynamic disorder of the site energies). Marcus has no quantum modes. Downhill hops are evaluated;
// the uphill rate follows by detailed balance, fcwd(dG) = fcwd(-dG) exp(-dG / kT), so that every
// rate kind keeps the Boltzmann occupation at zero field (the short-time approximation alone would
// not) and tiny uphill rates keep their relative precision.
//
// The time integral needs a decaying correlation function: when the modes carry all of lambda and
// nothing else widens the gap, it would oscillate forever and the rate would grow with maxt. The gap
// of the time integral is therefore at least `min_width` wide (eV, standard deviation of a Gaussian,
// as a dynamic disorder of the site energies would widen it); a wider classical part is left alone.
class LineShape {
public:
    LineShape(RateKind kind, double kT, double lambda_cl, double extra_var, std::vector<QuantumMode> modes,
              double maxt_fs, double min_width = 0.0);

    double fcwd(double dg) const;
    // The direct evaluation at any dG, without the detailed-balance rule.
    double direct(double dg) const;

    double kT() const { return kT_; }
    double lambda() const { return lambda_; }      // total reorganization energy (eV)
    double variance() const { return variance_; }  // short-time gap variance (eV^2)
    size_t time_points() const { return g_.size(); }

private:
    // Correlation function exp(-sum S [(2n+1)(1 - cos wt) + i sin wt] - i lambda_cl t - var t^2 / 2) (t in 1/eV).
    std::complex<double> correlation(double t) const;
    double time_integral(double dg, double h, const std::vector<std::complex<double>>& g) const;
    std::vector<std::complex<double>> grid(double h) const;
    double step_for(double dg_bound) const;

    RateKind kind_;
    double kT_, lambda_cl_, var_cl_;
    std::vector<QuantumMode> modes_;
    std::vector<double> coth_;  // 2n + 1 of each mode
    double maxt_ = 0.0;         // time limit in hbar/eV
    double lambda_ = 0.0, variance_ = 0.0;
    double margin_ = 0.0;       // |dG| the cached grid is fine enough for
    double h_ = 0.0;
    std::vector<std::complex<double>> g_;
};

// (2 pi / hbar) J^2 fcwd(dG) in 1/s, J^2 in eV^2.
double hop_rate(double j2_ev2, const LineShape& shape, double dg_ev);

// Charge of the carrier in units of e: -1 electron, +1 hole.
inline double carrier_charge(char carrier) { return carrier == 'h' ? 1.0 : -1.0; }
// The field given along the unit vectors of the lattice vectors (rows of `cell`) as a Cartesian vector.
void field_cartesian(const double cell[3][3], const double along[3], double out[3]);

// The rate of every pair of a rate file under any field: the ingredients of the file and one line
// shape per kind of pair (molecules, reorganization energies, disorder).
class RateModel {
public:
    explicit RateModel(const RateTable& table);
    // Free-energy change (eV) of pair k under the Cartesian field (V/m): dG0 - q F . dr.
    double delta_g(size_t k, const double field[3]) const;
    // `extra_ev` raises the free-energy change (static disorder of the two sites).
    double rate(size_t k, const double field[3], double extra_ev = 0.0) const;
    std::vector<double> rates(const double field[3]) const;
    const LineShape& shape(size_t k) const { return shapes_[shape_of_[k]]; }
    size_t shape_count() const { return shapes_.size(); }
    const RateTable& table() const { return table_; }

private:
    const RateTable& table_;
    std::vector<LineShape> shapes_;
    std::vector<int> shape_of_;
};

// Rates at the file's field into table.pairs[k].rate.
void fill_rates(RateTable& table);

// The sites and hops a carrier moves on: the unit-cell molecules of the periodic crystal, or with a
// thin film (normal `film_dir`, `film_ncell` cells thick) molecule m of layer l as site m + nmols l,
// where hops out of the film are dropped.
struct Hop {
    int to = 0;
    double rate = 0.0;
    double dr[3] = {0, 0, 0};
};
struct HopNetwork {
    int nmols = 0;
    int film_dir = -1;
    int film_ncell = 0;
    int nsites = 0;
    std::vector<std::vector<Hop>> out;  // per site, in pair order
    // Weights of the start site of a trajectory (any scale); empty: every site alike.
    std::vector<double> start_weight;
};
HopNetwork build_network(const RateTable& table, const std::vector<double>& rates, int film_dir, int film_ncell);

}  // namespace hopsim
}  // namespace krymo
