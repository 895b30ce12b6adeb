#include "hopsim/study.h"

#include <cmath>
#include <cstdio>

#include "hopsim/rates.h"
#include "util/fatal.h"
#include "util/files.h"
#include "util/linalg.h"
#include "util/text.h"

namespace krymo {
namespace hopsim {

void RunFolder::load(const std::string& config) {
    if (!file_exists(config))
        KRYMO_FATAL_OUT("hopsim", 1,
                        format_string("Cannot open %s: the run folder needs the study's krymo.inp\n", config.c_str()));
    read_krymo_inp(config, false);
    if (mol_data_source != 1 && mol_data_source != 2)
        KRYMO_FATAL_OUT("hopsim", 1, format_string("%s names neither a crystal nor molecule files\n", config.c_str()));
    read_crystal_strcuture_files(false, false);
    post_data_read_treatment(false);
    const bool from_file = read_neighbor_dat && file_exists("neighbor.dat");
    if (read_neighbor_dat && !from_file)
        std::printf("read_neighbor_dat is on, but neighbor.dat is not here: searching the neighbours as "
                    "krymo_prepare does (the pair rows of the data files are checked against them)\n");
    build_neighbor_list(from_file, false);

    pairs_.clear();
    dr_.clear();
    for (int i = 0; i < nmols_uc; ++i)
        for (int k = 0; k < nnei[i]; ++k) {
            PairKey key;
            key.root = i + 1;
            key.nei = nei_mol_ids[i][k] + 1;
            double d[3];
            for (int t = 0; t < 3; ++t) {
                key.cell[t] = nei_cindex[i][3 * k + t];
                d[t] = mol_com_s[3 * (key.nei - 1) + t] + key.cell[t] - mol_com_s[3 * i + t];
            }
            mat_vec_mul(cif_lattice_vectors, d, d);
            pairs_.push_back(key);
            dr_.insert(dr_.end(), d, d + 3);
        }
}

void RunFolder::cell_rows(double out[3][3]) const {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) out[r][c] = cif_lattice_vectors[c][r];
}

char RunFolder::carrier() const {
    if (file_exists("charge.inp")) return read_charge_inp("charge.inp");
    if (chargetype == "e" || chargetype == "h") return chargetype[0];
    KRYMO_FATAL_OUT("hopsim", 1,
                    "Cannot open charge.inp, and krymo.inp asks for both carriers (chargetype = a): "
                    "run the tool in an elec or hole run folder\n");
}

double RunFolder::temperature() const {
    double t = temp;
    if (read_temp_inp("temp.inp", t)) return t;
    if (!(temp > 0) || temp > limits::kTemperature)
        KRYMO_FATAL_OUT("hopsim", 1,
                        format_string("The temperature (temp = %g in krymo.inp) must lie above 0 and at most %g K\n",
                                      temp, limits::kTemperature));
    return temp;
}

namespace {

// Settings of krymo.inp the rates take, within the limits of the rate file.
void check_rate_settings(const RunFolder& f) {
    auto refuse = [](const std::string& what) {
        KRYMO_FATAL_OUT("hopsim", 1, format_string("krymo.inp: %s\n", what.c_str()));
    };
    if (f.max_time_fs() > limits::kMaxtFs)
        refuse(format_string("maxt = %g; at most %g fs is expected", f.max_time_fs(), limits::kMaxtFs));
    for (int i = 0; i < 3; ++i)
        if (std::fabs(f.applied_field()[i]) > limits::kField)
            refuse(format_string("app_elec_F = %g %g %g; at most %g V/m along each of a, b, c is expected",
                                 f.applied_field()[0], f.applied_field()[1], f.applied_field()[2], limits::kField));
    if (f.outer_type() == 1 && f.outer_constant_ev() * 1e3 > limits::kEnergyMev)
        refuse(format_string("reorg_outer = constant %g; at most %g eV is expected", f.outer_constant_ev(),
                             limits::kEnergyMev * 1e-3));
}

// Standard deviations and outer-sphere energies are not negative.
void require_non_negative(const std::vector<double>& v, const char* file) {
    for (size_t k = 0; k < v.size(); ++k)
        if (v[k] < 0)
            KRYMO_FATAL_OUT("hopsim", 1,
                            format_string("%s: value %zu is %g; a value of at least 0 is expected\n", file, k + 1,
                                          v[k]));
}

}  // namespace

RateTable build_rate_table(const RunFolder& f) {
    check_rate_settings(f);
    RateTable t;
    t.carrier = f.carrier();
    const bool electron = t.carrier == 'e';
    const std::string& type = f.rate_type();
    t.ratetype = strcasestr_n(type.c_str(), "marcus", 6) ? "marcus" : "quantum";
    t.sta = f.short_time();
    t.temperature = f.temperature();
    t.maxt_fs = f.max_time_fs();
    t.broadening_mev = f.broadening_mev();
    for (int i = 0; i < 3; ++i) t.field[i] = f.applied_field()[i];
    f.cell_rows(t.cell);
    t.nmols = f.molecules();
    const std::vector<PairKey>& keys = f.pairs();
    if (keys.empty())
        KRYMO_FATAL_OUT("hopsim", 1, "The neighbour list is empty: no molecule has a neighbour to hop to\n");

    t.modes = read_normal_modes(electron ? "NM-e.dat" : "NM-h.dat", t.nmols);
    const std::vector<double> j = read_pair_values(electron ? "VL.dat" : "VH.dat", keys, false);
    std::vector<double> sigma_j(keys.size(), 0.0), outer(keys.size(), 0.0), site(t.nmols, 0.0),
        level_sigma(t.nmols, 0.0);
    if (f.coupling_disorder()) {
        sigma_j = read_pair_values(electron ? "VL-dyn.dat" : "VH-dyn.dat", keys, false);
        require_non_negative(sigma_j, electron ? "VL-dyn.dat" : "VH-dyn.dat");
    }
    if (f.level_disorder()) {
        level_sigma = read_site_values(electron ? "LUMO-dyn.dat" : "HOMO-dyn.dat", t.nmols);
        require_non_negative(level_sigma, electron ? "LUMO-dyn.dat" : "HOMO-dyn.dat");
    }
    if (f.site_energies()) site = read_site_values(electron ? "EL.dat" : "EH.dat", t.nmols);
    const char* outer_file = electron ? "reorg_lambda_outer-e.dat" : "reorg_lambda_outer-h.dat";
    if (f.outer_type() != 0) {
        if (file_exists(outer_file)) {
            outer = read_pair_values(outer_file, keys, true);
            require_non_negative(outer, outer_file);
        }
        else if (f.outer_type() == 1)
            outer.assign(keys.size(), f.outer_constant_ev() * 1e3);
        else
            KRYMO_FATAL_OUT("hopsim", 1,
                            format_string("Cannot open %s: reorg_outer asks for outer-sphere energies per pair\n",
                                          outer_file));
    }

    for (size_t k = 0; k < keys.size(); ++k) {
        RatePair p;
        p.key = keys[k];
        for (int c = 0; c < 3; ++c) p.dr[c] = f.pair_dr(k)[c];
        const int a = p.key.root - 1, b = p.key.nei - 1;
        p.j_mev = j[k];
        p.sigma_j_mev = sigma_j[k];
        p.lambda_in_mev = 0.5 * (t.modes[a].lambda_mev + t.modes[b].lambda_mev);
        p.lambda_out_mev = outer[k];
        p.sigma_e_mev = std::sqrt(level_sigma[a] * level_sigma[a] + level_sigma[b] * level_sigma[b]);
        p.dg0_mev = site[b] - site[a];
        t.pairs.push_back(p);
    }
    fill_rates(t);
    return t;
}

}  // namespace hopsim
}  // namespace krymo
