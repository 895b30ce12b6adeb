#include "qcpost/state_projection.h"

#include <cmath>

#include "qcpost/engine.h"
#include "qcpost/internal_coords.h"
#include "util/text.h"

namespace krymo {
namespace qcpost {

namespace {

void check_same_molecule(const FrequencyJob& a, const FrequencyJob& b) {
    if (a.mass.size() != b.mass.size())
        input_error(b.path, 0,
                    format_string("%zu atoms, but %s has %zu: the two states must be the same molecule", b.mass.size(),
                                  a.path.c_str(), a.mass.size()));
    for (size_t i = 0; i < a.mass.size(); ++i)
        if ((a.z[i] != 0 && b.z[i] != 0 && a.z[i] != b.z[i]) || std::fabs(a.mass[i] - b.mass[i]) > 0.01)
            input_error(b.path, 0,
                        format_string("atom %zu (Z %d, mass %.4f) differs from atom %zu of %s (Z %d, mass %.4f): the "
                                      "two states must list the same atoms in the same order",
                                      i + 1, b.z[i], b.mass[i], i + 1, a.path.c_str(), a.z[i], a.mass[i]));
}

}  // namespace

StateProjections project_states(const FrequencyJob job[2], const EvcInput& in) {
    check_same_molecule(job[0], job[1]);
    const int natoms = static_cast<int>(job[0].mass.size());
    for (size_t k = 0; k < in.int_coords.size(); ++k)
        for (int a : in.int_coords[k])
            if (a > natoms)
                input_error(in.path, in.int_coord_lines[k], format_string("atom %d, but the molecule has %d atoms", a, natoms));
    StateProjections p;
    for (int s = 0; s < 2; ++s) p.modes[s] = normal_modes(job[s]);
    EvcReport &cart = p.cart, &dint = p.dint;
    cart.projected = dint.projected = in.proj_reorg;
    cart.sort_mode = dint.sort_mode = in.sort_mode;
    cart.displacement = in.eckart_mirror ? "Cartesian, the other geometry in the Eckart frame (mirror image allowed)"
                                         : "Cartesian, the other geometry in the Eckart frame (proper rotation)";
    std::vector<std::array<int, 4>> listed;
    if (in.if_add_int_coord) listed = in.int_coords;
    const std::vector<InternalCoord> set = internal_coordinate_set(listed, job[0].z, job[0].x, job[1].x);
    int count[3] = {0, 0, 0};
    for (const InternalCoord& c : set) ++count[c.natoms - 2];
    dint.displacement = format_string("internal coordinates (%d bonds%s, %d angles, %d dihedrals)", count[0],
                                      listed.empty() ? " from distances" : "", count[1], count[2]);
    for (int s = 0; s < 2; ++s) {
        const FrequencyJob& here = job[s];
        const FrequencyJob& other = job[1 - s];
        const Eigen::VectorXd aligned = eckart_align(here.x, other.x, here.mass, in.eckart_mirror);
        cart.state[s].source = dint.state[s].source = here.path;
        cart.state[s].modes = project(p.modes[s], mass_weighted(here.x, aligned, here.mass));
        dint.state[s].modes = project(p.modes[s], internal_displacement(set, here.x, other.x, here.mass));
    }
    return p;
}

}  // namespace qcpost
}  // namespace krymo
