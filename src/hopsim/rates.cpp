#include "hopsim/rates.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "util/fatal.h"
#include "util/text.h"

namespace krymo {
namespace hopsim {

using units::kPi;

namespace {

// Largest |dG| (eV) the cached time grid resolves; larger gaps build a finer grid on the spot.
constexpr double kGridMargin = 2.0;
// The classical part of the correlation function is dropped once exp(-var t^2 / 2) falls below e^-40.
constexpr double kDecayExponent = 40.0;

}  // namespace

LineShape::LineShape(RateKind kind, double kT, double lambda_cl, double extra_var, std::vector<QuantumMode> modes,
                     double maxt_fs, double min_width)
    : kind_(kind), kT_(kT), lambda_cl_(lambda_cl), var_cl_(2.0 * lambda_cl * kT + extra_var), modes_(std::move(modes)) {
    if (kind == RateKind::TimeDomain) var_cl_ = std::max(var_cl_, min_width * min_width);
    if (kind == RateKind::Marcus) {
        // Marcus treats every mode classically.
        for (const QuantumMode& m : modes_) lambda_cl_ += m.huang_rhys * m.energy_ev;
        var_cl_ = 2.0 * lambda_cl_ * kT + extra_var;
        modes_.clear();
    }
    lambda_ = lambda_cl_;
    variance_ = var_cl_;
    for (const QuantumMode& m : modes_) {
        // 2n + 1 = coth(hbar w / 2kT); expm1 keeps it exact for cold and hot modes alike.
        const double c = 1.0 + 2.0 / std::expm1(m.energy_ev / kT);
        coth_.push_back(c);
        lambda_ += m.huang_rhys * m.energy_ev;
        variance_ += m.huang_rhys * m.energy_ev * m.energy_ev * c;
    }
    maxt_ = maxt_fs * 1e-15 / units::kHbar;
    if (kind_ == RateKind::TimeDomain) {
        margin_ = kGridMargin;
        h_ = step_for(margin_);
        g_ = grid(h_);
    }
}

double LineShape::step_for(double dg_bound) const {
    // The trapezoid sum sees the line shape repeated every 2 pi / h in energy: the period must
    // exceed its whole extent around any |dG| up to the bound.
    double top = 0.0;
    for (const QuantumMode& m : modes_) top = std::max(top, m.energy_ev);
    return kPi / (dg_bound + 2.0 * lambda_ + 12.0 * std::sqrt(variance_) + 4.0 * top);
}

std::complex<double> LineShape::correlation(double t) const {
    double re = -0.5 * var_cl_ * t * t, im = -lambda_cl_ * t;
    for (size_t k = 0; k < modes_.size(); ++k) {
        const double x = modes_[k].energy_ev * t, s = modes_[k].huang_rhys;
        re -= s * coth_[k] * (1.0 - std::cos(x));
        im -= s * std::sin(x);
    }
    return std::polar(std::exp(re), im);
}

std::vector<std::complex<double>> LineShape::grid(double h) const {
    double end = maxt_;
    if (var_cl_ > 0) end = std::min(end, std::sqrt(2.0 * kDecayExponent / var_cl_));
    const size_t n = static_cast<size_t>(end / h) + 1;
    std::vector<std::complex<double>> g(n);
    for (size_t i = 0; i < n; ++i) g[i] = correlation(static_cast<double>(i) * h);
    return g;
}

double LineShape::time_integral(double dg, double h, const std::vector<std::complex<double>>& g) const {
    // G(-t) = conj G(t): the integral over the whole line is twice the real part over t >= 0, and
    // the trapezoid rule on this smooth, decaying integrand converges faster than any power of h.
    double sum = 0.5 * g[0].real();
    for (size_t i = 1; i < g.size(); ++i) {
        const double x = dg * h * static_cast<double>(i);
        sum += g[i].real() * std::cos(x) + g[i].imag() * std::sin(x);
    }
    return std::max(0.0, h * sum / kPi);
}

double LineShape::direct(double dg) const {
    if (kind_ != RateKind::TimeDomain) {
        const double x = dg + lambda_;
        return std::exp(-x * x / (2.0 * variance_)) / std::sqrt(2.0 * kPi * variance_);
    }
    if (std::fabs(dg) <= margin_) return time_integral(dg, h_, g_);
    const double h = step_for(std::fabs(dg));
    return time_integral(dg, h, grid(h));
}

double LineShape::fcwd(double dg) const {
    if (dg <= 0.0) return direct(dg);
    return direct(-dg) * std::exp(-dg / kT_);
}

double hop_rate(double j2_ev2, const LineShape& shape, double dg_ev) {
    return 2.0 * kPi / units::kHbar * j2_ev2 * shape.fcwd(dg_ev);
}

void field_cartesian(const double cell[3][3], const double along[3], double out[3]) {
    for (int c = 0; c < 3; ++c) out[c] = 0.0;
    for (int r = 0; r < 3; ++r) {
        const double len = std::sqrt(cell[r][0] * cell[r][0] + cell[r][1] * cell[r][1] + cell[r][2] * cell[r][2]);
        if (along[r] == 0.0) continue;
        for (int c = 0; c < 3; ++c) out[c] += along[r] * cell[r][c] / len;
    }
}

// --- rate model ---

RateModel::RateModel(const RateTable& table) : table_(table) {
    RateKind kind = RateKind::Marcus;
    if (table.ratetype == "quantum") kind = table.sta != 0 ? RateKind::ShortTime : RateKind::TimeDomain;
    const double kT = units::kBoltzmann * table.temperature;
    // Pairs of the same molecules, reorganization energies and disorder share one line shape.
    std::map<std::tuple<int, int, double, double, double>, int> index;
    for (size_t k = 0; k < table.pairs.size(); ++k) {
        const RatePair& p = table.pairs[k];
        const int a = std::min(p.key.root, p.key.nei), b = std::max(p.key.root, p.key.nei);
        const auto key = std::make_tuple(a, b, p.lambda_in_mev, p.lambda_out_mev, p.sigma_e_mev);
        auto found = index.find(key);
        if (found == index.end()) {
            std::vector<QuantumMode> modes;
            double lambda_cl = (p.lambda_in_mev + p.lambda_out_mev) * 1e-3;
            if (kind != RateKind::Marcus) {
                // Each molecule contributes half of its modes' displacement energy: a hop between two
                // equal molecules has the molecule's own modes and reorganization energy. What the
                // modes do not carry of the internal energy stays classical.
                double modes_lambda = 0.0;
                for (int m : {a, b})
                    for (const Mode& x : table.modes[m - 1].modes) {
                        modes.push_back({x.freq_cm * units::kWavenumber, 0.5 * x.huang_rhys});
                        modes_lambda += 0.5 * x.huang_rhys * x.freq_cm * units::kWavenumber;
                    }
                lambda_cl = std::max(0.0, p.lambda_in_mev * 1e-3 - modes_lambda) + p.lambda_out_mev * 1e-3;
            }
            const double extra = p.sigma_e_mev * p.sigma_e_mev * 1e-6;
            LineShape shape(kind, kT, lambda_cl, extra, modes, table.maxt_fs, table.broadening_mev * 1e-3);
            if (!(shape.variance() > 0.0))
                KRYMO_FATAL_OUT("hopsim", 1,
                                format_string("Pair %zu (molecules %d and %d) has no reorganization energy and no "
                                              "disorder: its rate is undefined.\n",
                                              k + 1, p.key.root, p.key.nei));
            found = index.emplace(key, static_cast<int>(shapes_.size())).first;
            shapes_.push_back(std::move(shape));
        }
        shape_of_.push_back(found->second);
    }
}

double RateModel::delta_g(size_t k, const double field[3]) const {
    const RatePair& p = table_.pairs[k];
    const double work = field[0] * p.dr[0] + field[1] * p.dr[1] + field[2] * p.dr[2];  // V/m * Angstrom
    return p.dg0_mev * 1e-3 - carrier_charge(table_.carrier) * work * 1e-10;
}

double RateModel::rate(size_t k, const double field[3], double extra_ev) const {
    const RatePair& p = table_.pairs[k];
    const double j2 = (p.j_mev * p.j_mev + p.sigma_j_mev * p.sigma_j_mev) * 1e-6;
    return hop_rate(j2, shape(k), delta_g(k, field) + extra_ev);
}

std::vector<double> RateModel::rates(const double field[3]) const {
    std::vector<double> out(table_.pairs.size());
    const long n = static_cast<long>(out.size());
    // Each pair on its own: the values never depend on the thread count.
#pragma omp parallel for schedule(dynamic, 64)
    for (long k = 0; k < n; ++k) out[k] = rate(static_cast<size_t>(k), field);
    return out;
}

void fill_rates(RateTable& table) {
    double f[3];
    field_cartesian(table.cell, table.field, f);
    const RateModel model(table);
    const std::vector<double> r = model.rates(f);
    for (size_t k = 0; k < r.size(); ++k) table.pairs[k].rate = r[k];
}

// --- hop network ---

HopNetwork build_network(const RateTable& table, const std::vector<double>& rates, int film_dir, int film_ncell) {
    HopNetwork net;
    net.nmols = table.nmols;
    const bool film = film_dir >= 0 && film_dir < 3 && film_ncell > 0;
    net.film_dir = film ? film_dir : -1;
    net.film_ncell = film ? film_ncell : 0;
    const int layers = film ? film_ncell : 1;
    net.nsites = table.nmols * layers;
    net.out.assign(net.nsites, {});
    for (int l = 0; l < layers; ++l)
        for (size_t k = 0; k < table.pairs.size(); ++k) {
            const RatePair& p = table.pairs[k];
            int to_layer = l;
            if (film) {
                to_layer = l + p.key.cell[film_dir];
                if (to_layer < 0 || to_layer >= layers) continue;
            }
            Hop h;
            h.to = (p.key.nei - 1) + table.nmols * to_layer;
            h.rate = rates[k];
            for (int c = 0; c < 3; ++c) h.dr[c] = p.dr[c];
            net.out[(p.key.root - 1) + table.nmols * l].push_back(h);
        }
    return net;
}

}  // namespace hopsim
}  // namespace krymo
