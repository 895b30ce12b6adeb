// The overlap mode end to end: qcpost_fchk_orbitals.exe on the monomers of the cofacial ethylene study,
// then qcpost_dimer_overlap.exe on the study's site files, against psi4's own dimer numbers.
#include <gtest/gtest.h>

#include <functional>

#include "qcpost/qcpost_tools.h"
#include "util/text.h"

using namespace krymo_test;

namespace {

const std::string kEthylene = "qcpost/ethylene_psi4";
// <a|b> of the frontier orbitals in the dimer basis, from psi4's own overlap (reference.txt).
const double kHoleOverlap = -0.01569653, kElectronOverlap = -0.00945159;

std::string site(int mol, double z) {
    return krymo::format_string("uc_mol-%d %11.6f %11.6f %11.6f ", mol, 0.0, 0.0, z) +
           "1.000000  0.000000  0.000000  0.000000  1.000000  0.000000  0.000000  0.000000  1.000000\n";
}

// The study as krymo_prepare leaves it in the overlap mode (tests/data/qcpost/moo_ethylene).
struct MooStudy {
    ScopedStudyDir dir;
    MooStudy() {
        EXPECT_EQ(std::system(("cp -r '" + data_path("qcpost/moo_ethylene/data") + "' . && mkdir HL").c_str()), 0);
        write_file("HL/uc_mol-1.fchk", read_file(data_path(kEthylene + "/HL/uc_mol-1.fchk")));
        write_file("HL/uc_mol-2.fchk", read_file(data_path(kEthylene + "/HL/nei_mol-1.fchk")));
        for (const char* f : {"neighbor.dat", "uc_H.inp", "uc_L.inp"})
            write_file(std::string("data/") + f, read_file(data_path(kEthylene + "/data/" + f)));
    }
    void monomers() const {
        for (const char* m : {"uc_mol-1.fchk", "uc_mol-2.fchk"}) {
            const CommandResult r = run_tool("HL", "fchk_orbitals", std::string(m) + " -orb -xyz");
            ASSERT_EQ(r.status, 0) << r.output;
        }
    }
};

CommandResult overlap() { return run_tool("data", "dimer_overlap", "-batch trans_int_files.dat"); }

}  // namespace

TEST(OverlapTools, EthyleneOverlapMatchesTheDimerBasisForEveryPair) {
    MooStudy s;
    s.monomers();
    const CommandResult r = overlap();
    ASSERT_EQ(r.status, 0) << r.output;
    // Every pair, cell images included, is the same cofacial pair: S_ab as psi4's dimer overlap gives it.
    const auto rows = data_rows(read_file("data/transint.dat"));
    EXPECT_EQ(rows.size(), 8u);
    for (const auto& w : rows)
        EXPECT_NEAR(std::stod(w.at(8)), w.at(5) == "hole" ? kHoleOverlap : kElectronOverlap, 2e-8) << w[5];
    // t = -10 eV S_ab (meV), for every pair in neighbor.dat order.
    for (const auto& [file, s_ab] : {std::pair<const char*, double>{"data/VH.dat", kHoleOverlap},
                                     {"data/VL.dat", kElectronOverlap}}) {
        const auto v = data_rows(read_file(file));
        ASSERT_EQ(v.size(), 4u) << file;
        for (const auto& w : v) EXPECT_NEAR(std::stod(w.back()), -10000 * s_ab, 1e-3) << file;
    }
}

TEST(OverlapTools, BadInputStopsNamingTheFileAndWritesNothing) {
    const struct Case {
        const char* name;
        std::function<void()> damage;
        std::vector<std::string> message;
    } cases[] = {
        {"missing orbital file", [] { std::remove("HL/uc_mol-2.orb"); },
         {"../HL/uc_mol-2.orb: cannot open the orbital file"}},
        {"coordinates of another molecule", [] { edit_file("HL/uc_mol-1.xyz", "6\n", "5\n"); },
         {"../HL/uc_mol-1.xyz, line 8: more lines than the 5 atoms announced"}},
        {"atoms that do not match the orbitals",
         [] {
             const std::string t = read_file("HL/uc_mol-1.xyz");
             write_file("HL/uc_mol-1.xyz", "5" + t.substr(1, t.rfind("H ") - 1));
         },
         {"../HL/uc_mol-1.xyz, line 1: 5 atoms, but ../HL/uc_mol-1.orb has 6"}},
        {"g shell", [] { edit_file("HL/uc_mol-2.orb", "shell 1 1 0 3", "shell 1 1 4 3"); },
         {"../HL/uc_mol-2.orb: shell 1 has type 4 (l = 4): only s, p, sp, d and f shells are supported"}},
        {"orbitals turned against the crystal",
         [] {
             const std::string turned = replaced(site(2, 3.5), "1.000000  0.000000  0.000000  0.000000  1.000000",
                                                 "0.800000  0.600000  0.000000 -0.600000  0.800000");
             write_file("data/moo_mol1_nei.pos", turned + site(2, -3.5));
         },
         {"moo_mol1_nei.pos, line 1: the atoms of ../HL/uc_mol-2.xyz are not in the crystal's frame", "nosymm"}},
        {"monomer moved away from its site", [] { edit_file("data/moo_mol2_uc.pos", "3.500000", "3.600000"); },
         {"moo_mol2_uc.pos, line 1:", "centre of mass 0.1000 A away"}},
        {"site of another molecule", [] { edit_file("data/moo_mol2_nei.pos", "uc_mol-1", "uc_mol-2"); },
         {"moo_mol2_nei.pos, line 1: pair 1 of molecule 2 is 2 -> 1", "but the site names uc_mol-2"}},
        {"site file shorter than the pairs", [] { write_file("data/moo_mol1_uc.pos", site(1, 0)); },
         {"moo_mol1_uc.pos, line 2: the file ends here, but the site of pair 2 was expected"}},
        {"orbital the file does not hold", [] { write_file("data/uc_L.inp", "9\n99\n"); },
         {"../HL/uc_mol-2.orb: orbital 99 asked for, but the file holds orbitals 1 to 14"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MooStudy s;
        s.monomers();
        write_earlier({"data/VL.dat", "data/VH.dat"});
        c.damage();
        expect_stop(overlap(), c.message);
        expect_earlier({"data/VL.dat", "data/VH.dat"});
        EXPECT_FALSE(path_exists("data/transint.dat"));
    }
}

TEST(OverlapTools, OrbitalExtractionRefusesWhatItCannotServe) {
    const std::string g_shell = "Shell types                                I   N=          10\n           ";
    const struct {
        const char* args;
        const char* message;
    } cases[] = {
        {"uc_mol-1.fchk", "-orb and/or -xyz are needed"},
        {"cation.fchk -orb", "an unrestricted run"},
        {"g.fchk -orb -xyz", "only s, p, sp, d and f shells are supported"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        MooStudy s;
        write_file("HL/cation.fchk", read_file(qc_output("gaussian/g16_dvb_un_sp.fchk")));
        write_file("HL/g.fchk", replaced(read_file("HL/uc_mol-1.fchk"), g_shell + "0", g_shell + "4"));
        expect_stop(run_tool("HL", "fchk_orbitals", c.args), {c.message});
        for (const std::string& f : list_dir("HL")) EXPECT_EQ(f.find(".fchk"), f.size() - 5) << f;
    }
}
