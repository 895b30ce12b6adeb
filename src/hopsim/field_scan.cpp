#include "hopsim/field_scan.h"

#include <algorithm>
#include <cmath>

#include "hopsim/rates.h"
#include "util/fatal.h"
#include "util/files.h"
#include "util/text.h"

namespace krymo {
namespace hopsim {

FieldScan master_field_scan(const RateTable& table, const double along[3], const std::vector<double>& strengths,
                            const MasterSettings& s, std::FILE* log) {
    FieldScan scan;
    double f[3];
    field_cartesian(table.cell, along, f);
    const double len = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
    if (!(len > 0.0))
        KRYMO_FATAL_OUT("hopsim", 1,
                        "krymo.inp: field_scan needs a direction: app_elec_F (three numbers along a, b, c, not all "
                        "0)\n");
    for (int c = 0; c < 3; ++c) scan.direction[c] = f[c] / len;

    RateTable zero = table;
    for (double& x : zero.field) x = 0.0;
    if (log != nullptr) std::fprintf(log, "Zero-field tensor of the field scan\n");
    scan.linear = master_mobility(zero, s, log);
    scan.converged = scan.linear.converged;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) scan.mu_zero += scan.direction[i] * scan.linear.tensor[i][j] * scan.direction[j];

    const RateModel model(table);
    const double q = carrier_charge(table.carrier);
    for (double strength : strengths) {
        FieldPoint pt;
        pt.field = strength;
        double applied[3];
        for (int c = 0; c < 3; ++c) applied[c] = strength * scan.direction[c];
        if (log != nullptr) std::fprintf(log, "Field scan: %.6e V/m\n", strength);
        const HopNetwork net = build_network(table, model.rates(applied), s.film_dir, s.film_ncell);
        const SteadyState st = solve_steady_state(net, s.iterlimit, s.nevery, log);
        std::copy(st.velocity, st.velocity + 3, pt.velocity);
        pt.converged = st.converged;
        if (!st.converged) scan.converged = false;
        const double v_along = st.velocity[0] * scan.direction[0] + st.velocity[1] * scan.direction[1] +
                               st.velocity[2] * scan.direction[2];
        // Angstrom/s over V/m is 1e-6 cm^2/Vs; a charge q drifts along q F.
        pt.mu = q * v_along / strength * 1e-6;
        scan.points.push_back(pt);
    }
    return scan;
}

void write_field_scan(const std::string& path, const FieldScan& scan, const RateTable& table) {
    const OutputFailure failure = {"hopsim", 1, false, false};
    TextWriter w;
    open_output(w, path, failure);
    w.printf("# Drift mobility q v.F/|F|^2 (cm^2/Vs) of the master equation against the field strength\n");
    w.printf("# %s, T = %g K\n", table.carrier == 'h' ? "hole" : "electron", table.temperature);
    w.printf("# field direction (Cartesian): %.6f %.6f %.6f\n", scan.direction[0], scan.direction[1],
             scan.direction[2]);
    w.printf("# zero-field limit u^T mu u of the linear-response tensor: mu_0 = %.6e cm^2/Vs\n", scan.mu_zero);
    if (!scan.converged) w.printf("# WARNING: not every steady state converged (see the converged column)\n");
    w.printf("#   F (V/m)       mu_F (cm^2/Vs)   mu_F/mu_0     v_x (cm/s)     v_y (cm/s)     v_z (cm/s)   converged\n");
    for (const FieldPoint& pt : scan.points)
        w.printf("  %13.6e  %14.6e  %11.6f  %13.6e  %13.6e  %13.6e  %d\n", pt.field, pt.mu,
                 scan.mu_zero != 0.0 ? pt.mu / scan.mu_zero : 0.0, pt.velocity[0] * 1e-8, pt.velocity[1] * 1e-8,
                 pt.velocity[2] * 1e-8, pt.converged ? 1 : 0);
    close_output(w, failure);
}

}  // namespace hopsim
}  // namespace krymo
