// qcpost_coupling.exe on a study of its own: a cofacial ethylene dimer computed with psi4, whose
// reference numbers come from psi4's own overlap and Fock matrices (reference.dat beside the data);
// and what the projection refuses: an overlap it cannot rebuild, and monomer orbitals that do not live
// in the dimer's basis (functions in another order: the atom check alone would let them pass).
#include <gtest/gtest.h>

#include <functional>

#include "qcpost/fchk.h"
#include "qcpost/projection.h"
#include "qcpost/qcpost_tools.h"

using namespace krymo::qcpost;
using namespace krymo_test;

namespace {

const std::string kStudy = "qcpost/ethylene_psi4";

// The study copied into a fresh folder; the tool runs in its data folder.
struct StudyCopy {
    ScopedStudyDir dir;
    StudyCopy() { EXPECT_EQ(std::system(("cp -r '" + data_path(kStudy) + "/.' '" + dir.path() + "'").c_str()), 0); }
    std::string file(const std::string& rel) const { return dir.file(rel); }
    CommandResult run(const std::string& options = "-psi4") const {
        return run_tool(dir.file("data"), "coupling", "-batch trans_int_files.dat " + options);
    }
};

}  // namespace

TEST(CouplingTool, AgreesWithPsi4sOwnMatricesAndServesEveryPairFromItsRepresentative) {
    StudyCopy s;
    const CommandResult r = s.run();
    ASSERT_EQ(r.status, 0) << r.output;
    // Rows: carrier, J, S_ab, e_a, e_b, J_eff, half-splitting; the report puts the pair and the orbitals
    // in front and the dimer behind.
    const auto ref = data_rows(read_file(data_path(kStudy + "/reference.txt")));
    const auto got = data_rows(read_file(s.file("data/transint.dat")));
    // Four pairs of neighbor.dat, one representative dimer: hole and electron rows of each.
    ASSERT_EQ(got.size(), 8u);
    // The fchk's eight digits against psi4's matrices in memory.
    const double tol[6] = {1e-4, 1e-8, 1e-6, 1e-6, 1e-4, 1e-4};
    for (size_t k = 0; k < got.size(); ++k) {
        SCOPED_TRACE(k);
        ASSERT_EQ(got[k].size(), 15u);
        EXPECT_EQ(got[k][5], ref[k % 2][0]);
        for (int c = 0; c < 6; ++c) EXPECT_NEAR(std::stod(got[k][8 + c]), std::stod(ref[k % 2][1 + c]), tol[c]) << c;
    }
    // Rows follow neighbor.dat, cells included; the carriers' files take their own orbitals.
    expect_messages(read_file(s.file("data/VH.dat")),
                    {"    1    2   0   0   0      284.576842\n    1    2   0   0  -1      284.576842\n"
                     "    2    1   0   0   0      284.576842\n    2    1   0   0   1      284.576842\n"});
    expect_messages(read_file(s.file("data/VL.dat")), {"    2    1   0   0   1      207.306781\n"});
}

TEST(CouplingTool, BadInputStopsNamingFileAndLineAndLeavesTheOldFiles) {
    const struct Case {
        const char* name;
        std::function<void(const StudyCopy&)> damage;
        const char* options;
        std::vector<std::string> message;
    } cases[] = {
        {"missing monomer", [](const StudyCopy& s) { std::remove(s.file("HL/nei_mol-1.fchk").c_str()); }, "-psi4",
         {"../HL/nei_mol-1.fchk: cannot open the file"}},
        {"binary output",
         [](const StudyCopy& s) { write_file(s.file("HL/uc_mol-1.out"), std::string("\x7f" "ELF\0\0\x02", 7)); },
         "-psi4", {"../HL/uc_mol-1.out, line 1: binary content"}},
        {"run that did not end normally",
         [](const StudyCopy& s) {
             edit_file(s.file("HL/2mol-1.out"), "Psi4 exiting successfully", "Psi4 encountered an error");
         },
         "-psi4", {"../HL/2mol-1.out, line 3", "the psi4 run did not end normally"}},
        {"monomers in the wrong order",
         [](const StudyCopy& s) {
             edit_file(s.file("data/trans_int_files.dat"), "../HL/uc_mol-1.out  ../HL/nei_mol-1.out  1 2",
                       "../HL/nei_mol-1.out  ../HL/uc_mol-1.out  1 2");
         },
         "-psi4", {"pair 1 -> 2 (trans_int_files.dat line 3): atom 1 of the dimer", "same frame and order"}},
        {"basis mismatch",
         [](const StudyCopy& s) {
             for (const char* ext : {".out", ".fchk"})
                 write_file(s.file(std::string("HL/uc_mol-1") + ext),
                            read_file(data_path("qcpost/ethylene_psi4_321g/uc_mol-1") + ext));
         },
         "-psi4", {"pair 1 -> 2 (trans_int_files.dat line 3): the dimer has 28 basis functions", "have 26 + 14"}},
        {"outputs of another engine", [](const StudyCopy&) {}, "",
         {"trans_int_files.dat, line 3: \"../HL/2mol-1.out\" does not end in .log"}},
        {"list and neighbour list of different studies",
         [](const StudyCopy& s) { edit_file(s.file("data/uc_H.inp"), "8\n8\n", "8\n"); }, "-psi4",
         {"uc_H.inp, line 2: the file ends here, but the orbital of molecule 2 was expected"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StudyCopy s;
        write_earlier({s.file("data/VL.dat"), s.file("data/VH.dat")});
        c.damage(s);
        expect_stop(s.run(c.options), c.message);
        expect_earlier({s.file("data/VL.dat"), s.file("data/VH.dat")});
        EXPECT_FALSE(path_exists(s.file("data/transint.dat")));
    }
}

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
