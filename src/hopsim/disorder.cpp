#include "hopsim/disorder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>

#include "hopsim/kmc.h"
#include "util/fatal.h"
#include "util/text.h"

namespace krymo {
namespace hopsim {

namespace {

// Natural logarithm from frexp (exact) and the atanh series in +, *, /: libm's logarithm may round
// its last bit differently between CPUs and library versions, and the energies must not.
double portable_log(double x) {
    int e = 0;
    double m = std::frexp(x, &e);  // x = m 2^e, m in [0.5, 1)
    if (m < 0.70710678118654752440) {
        m *= 2.0;
        --e;
    }
    // m in [0.707, 1.414): s = (m - 1) / (m + 1) within +-0.172, s^2 within 0.0295, and 14 terms
    // of 2 atanh(s) = 2 (s + s^3/3 + s^5/5 + ...) reach below 1e-20.
    const double s = (m - 1.0) / (m + 1.0), s2 = s * s;
    double sum = 0.0;
    for (int k = 13; k >= 0; --k) sum = sum * s2 + 1.0 / (2 * k + 1);
    return 2.0 * s * sum + e * 0.69314718055994530942;
}

// The energies draw from their own stream, apart from the trajectories' streams (seeded 0, 1, ...).
constexpr std::uint64_t kDisorderStream = 0x6a09e667f3bcc909ULL;

long long cells_index(const SupercellLayout& l, const int c[3]) {
    return c[0] + static_cast<long long>(l.n[0]) * (c[1] + static_cast<long long>(l.n[1]) * c[2]);
}

}  // namespace

std::vector<double> gaussian_numbers(std::size_t n, long long seed) {
    Rng rng(static_cast<std::uint64_t>(seed) ^ kDisorderStream);
    std::vector<double> z;
    z.reserve(n + 1);
    // Marsaglia's polar method: a pair per accepted point of the unit disc.
    while (z.size() < n) {
        const double u = 2.0 * rng.uniform() - 1.0, v = 2.0 * rng.uniform() - 1.0;
        const double s = u * u + v * v;
        if (!(s < 1.0) || s == 0.0) continue;
        const double f = std::sqrt(-2.0 * portable_log(s) / s);
        z.push_back(u * f);
        z.push_back(v * f);
    }
    z.resize(n);
    return z;
}

SupercellLayout supercell_layout(int nmols, int cells, int film_dir, int film_ncell) {
    SupercellLayout l;
    l.nmols = nmols;
    for (int d = 0; d < 3; ++d) {
        const bool film = d == film_dir && film_ncell > 0;
        l.n[d] = film ? film_ncell : cells;
        l.periodic[d] = !film;
    }
    return l;
}

SiteEnergies supercell_site_energies(const RateTable& table, const SupercellLayout& layout, const Disorder& disorder) {
    // The molecules' own energies from dG0 = E_nei - E_root over the pairs, outward from molecule 1.
    std::vector<double> own(table.nmols, 0.0);
    std::vector<char> known(table.nmols, 0);
    if (table.nmols > 0) known[0] = 1;
    for (bool grew = true; grew;) {
        grew = false;
        for (const RatePair& p : table.pairs) {
            const int a = p.key.root - 1, b = p.key.nei - 1;
            if (known[a] && !known[b]) {
                own[b] = own[a] + p.dg0_mev * 1e-3;
                known[b] = 1;
                grew = true;
            } else if (known[b] && !known[a]) {
                own[a] = own[b] - p.dg0_mev * 1e-3;
                known[a] = 1;
                grew = true;
            }
        }
    }
    const std::size_t n = static_cast<std::size_t>(layout.sites());
    SiteEnergies e;
    e.molecule = own;
    e.disorder = disorder.active() ? gaussian_numbers(n, disorder.seed) : std::vector<double>(n, 0.0);
    const double sigma_ev = disorder.sigma_mev * 1e-3;
    for (double& x : e.disorder) x *= sigma_ev;
    return e;
}

HopNetwork build_supercell_network(const RateTable& table, const SupercellLayout& layout,
                                   const SiteEnergies& energy, const PairRate& rate) {
    HopNetwork net;
    net.nmols = table.nmols;
    const long long nsites = layout.sites();
    net.nsites = static_cast<int>(nsites);
    net.out.assign(net.nsites, {});
    const long long ncells = nsites / std::max(1, table.nmols);
    // Pairs by root molecule, in file order: a site's hops keep the order of the rate file.
    std::vector<std::vector<std::size_t>> of_root(table.nmols);
    for (std::size_t k = 0; k < table.pairs.size(); ++k) of_root[table.pairs[k].key.root - 1].push_back(k);
    std::exception_ptr failure;
    // Every site on its own: the network is the same on any number of threads.
#pragma omp parallel for schedule(dynamic, 256)
    for (long long cell = 0; cell < ncells; ++cell) {
        try {
            int c[3];
            c[0] = static_cast<int>(cell % layout.n[0]);
            c[1] = static_cast<int>((cell / layout.n[0]) % layout.n[1]);
            c[2] = static_cast<int>(cell / (static_cast<long long>(layout.n[0]) * layout.n[1]));
            for (int m = 0; m < table.nmols; ++m) {
                const long long from = m + table.nmols * cell;
                std::vector<Hop>& out = net.out[from];
                out.reserve(of_root[m].size());
                for (std::size_t k : of_root[m]) {
                    const RatePair& p = table.pairs[k];
                    int t[3];
                    bool inside = true;
                    for (int d = 0; d < 3; ++d) {
                        const long long x = static_cast<long long>(c[d]) + p.key.cell[d];
                        if (layout.periodic[d]) {
                            t[d] = static_cast<int>(((x % layout.n[d]) + layout.n[d]) % layout.n[d]);
                        } else {
                            inside = inside && x >= 0 && x < layout.n[d];
                            t[d] = static_cast<int>(x);
                        }
                    }
                    if (!inside) continue;
                    Hop h;
                    h.to = static_cast<int>((p.key.nei - 1) + table.nmols * cells_index(layout, t));
                    // The molecules' own energy difference is the pair's dG0 already.
                    const double extra = energy.disorder[h.to] - energy.disorder[from];
                    h.rate = rate(k, extra);
                    for (int d = 0; d < 3; ++d) h.dr[d] = p.dr[d];
                    out.push_back(h);
                }
            }
        } catch (...) {
#pragma omp critical(krymo_supercell_failure)
            if (!failure) failure = std::current_exception();
        }
    }
    if (failure) std::rethrow_exception(failure);
    // Boltzmann weights relative to the lowest site, so that none underflows to zero first.
    const double kT = units::kBoltzmann * table.temperature;
    double lowest = HUGE_VAL;
    for (long long s = 0; s < nsites; ++s) lowest = std::min(lowest, energy.total(s));
    net.start_weight.resize(static_cast<std::size_t>(nsites));
    for (long long s = 0; s < nsites; ++s) net.start_weight[s] = std::exp(-(energy.total(s) - lowest) / kT);
    return net;
}

HopNetwork build_supercell_network(const RateTable& table, const RateModel& model, const double field[3],
                                   const SupercellLayout& layout, const SiteEnergies& energy) {
    return build_supercell_network(table, layout, energy,
                                   [&](std::size_t k, double extra) { return model.rate(k, field, extra); });
}

void check_supercell_size(const RateTable& table, const SupercellLayout& layout, long long limit, const char* what) {
    const double cells = static_cast<double>(layout.n[0]) * layout.n[1] * layout.n[2];
    const double sites = cells * table.nmols, hops = cells * static_cast<double>(table.pairs.size());
    if (sites > static_cast<double>(limit) || hops > static_cast<double>(limit))
        KRYMO_FATAL_OUT("hopsim", 1,
                        format_string("krymo.inp: disorder_cells = %d gives a supercell of %d x %d x %d cells, %.0f "
                                      "sites with %.0f hops (%d molecules, %zu pairs per cell), more than the %lld %s "
                                      "can hold in memory: take fewer cells\n",
                                      std::max(layout.n[0], std::max(layout.n[1], layout.n[2])), layout.n[0],
                                      layout.n[1], layout.n[2], sites, hops, table.nmols, table.pairs.size(), limit,
                                      what));
}

void check_disorder(const Disorder& d) {
    if (!(d.sigma_mev >= 0.0) || d.sigma_mev > limits::kEnergyMev)
        KRYMO_FATAL_OUT("hopsim", 1,
                        format_string("krymo.inp: disorder_sigma = %g; a width of 0 to %g meV is expected\n",
                                      d.sigma_mev, limits::kEnergyMev));
    if (d.cells < 1)
        KRYMO_FATAL_OUT("hopsim", 1,
                        format_string("krymo.inp: disorder_cells = %d; at least 1 cell along each axis is expected\n",
                                      d.cells));
    if (d.seed < 0)
        KRYMO_FATAL_OUT("hopsim", 1,
                        format_string("krymo.inp: disorder_seed = %lld; a seed of at least 0 is expected\n", d.seed));
}

std::string disorder_text(const Disorder& d, const SupercellLayout& layout) {
    return format_string("sigma %g meV on %d x %d x %d cells (%lld sites), seed %lld", d.sigma_mev, layout.n[0],
                         layout.n[1], layout.n[2], layout.sites(), d.seed);
}

}  // namespace hopsim
}  // namespace krymo
