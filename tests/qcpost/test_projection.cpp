// What the projection refuses: an overlap it cannot rebuild, and monomer orbitals that do not live in
// the dimer's basis (functions in another order: the atom check alone would let them pass).
#include <gtest/gtest.h>

#include "qcpost/fchk.h"
#include "qcpost/projection.h"
#include "qcpost/qcpost_tools.h"

using namespace krymo::qcpost;
using namespace krymo_test;

TEST(Projection, RefusesWhatItCannotProjectFaithfully) {
    auto load = [](const char* stem) {
        return wavefunction_from_fchk(read_fchk(data_path(std::string("qcpost/ethylene_psi4/HL/") + stem + ".fchk")));
    };
    const Wavefunction dimer = load("2mol-1"), a = load("uc_mol-1"), b = load("nei_mol-1");
    const struct Case {
        const char* name;
        std::function<void(Wavefunction& d, Wavefunction& a)> change;
        const char* message;  // empty: projects
    } cases[] = {
        {"complete MO set, no overlap", [](Wavefunction&, Wavefunction&) {}, ""},
        {"incomplete MO set, no overlap",
         [](Wavefunction& d, Wavefunction&) {
             d.alpha.conservativeResize(Eigen::NoChange, d.nbasis - 1);
             d.alpha_energies.conservativeResize(d.nbasis - 1);
         },
         "2mol-1.fchk: the file gives 27 orbitals for 28 basis functions and no overlap matrix"},
        {"incomplete MO set with the overlap",
         [](Wavefunction& d, Wavefunction&) {
             d.overlap = (d.alpha * d.alpha.transpose()).inverse();
             d.alpha.conservativeResize(Eigen::NoChange, d.nbasis - 1);
             d.alpha_energies.conservativeResize(d.nbasis - 1);
         },
         ""},
        {"monomer functions in another order", [](Wavefunction&, Wavefunction& m) { m.alpha.row(2).swap(m.alpha.row(4)); },
         "uc_mol-1.fchk: pair 1 -> 2: orbital 8 has norm"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Wavefunction d = dimer, ma = a;
        c.change(d, ma);
        auto project_hole = [&] {
            check_trio(d, ma, b, "1 -> 2");
            const DimerBasis basis(d);
            return project(basis, ma, 8, b, 8, "1 -> 2");
        };
        if (*c.message != '\0') {
            expect_messages(expect_fatal([&] { project_hole(); }).out_text, {c.message});
            continue;
        }
        // Half the splitting of the dimer's levels 15 and 16, as psi4 printed them.
        EXPECT_NEAR(project_hole().j_eff * 27211.386245988, 284.5768, 1e-3);
    }
}
