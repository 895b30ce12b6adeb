// The overlap mode end to end: qcpost_fchk_orbitals.exe on the monomers of the cofacial ethylene study,
// then qcpost_dimer_overlap.exe on the study's site files, against psi4's own dimer numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <sstream>
#include <tuple>

#include "qcpost/qcpost_tools.h"
#include "util/text.h"

using namespace krymo_test;

namespace {

const std::string kEthylene = "qcpost/ethylene_psi4";
// <a|b> of the frontier orbitals in the dimer basis, from psi4's own overlap (reference.txt).
const double kHoleOverlap = -0.01569653, kElectronOverlap = -0.00945159;
// The dimer projection's J_eff (meV) of the same pair (reference.txt).
const double kHoleJeff = 284.576830, kElectronJeff = 207.306781;

std::string site(int mol, double z) {
    return krymo::format_string("uc_mol-%d %11.6f %11.6f %11.6f ", mol, 0.0, 0.0, z) +
           "1.000000  0.000000  0.000000  0.000000  1.000000  0.000000  0.000000  0.000000  1.000000\n";
}

// The study as krymo_prepare leaves it in the overlap mode: only unit-cell monomer runs (molecule 2 is
// the dimer's second ethylene, 3.5 A above the first, c = 7 A), the pair list naming runs that do not
// exist, and the site files.
struct MooStudy {
    ScopedStudyDir dir;
    MooStudy() {
        run_command("mkdir -p '" + dir.file("HL") + "' '" + dir.file("data") + "'");
        write_file(dir.file("HL/uc_mol-1.fchk"), read_file(data_path(kEthylene + "/HL/uc_mol-1.fchk")));
        write_file(dir.file("HL/uc_mol-2.fchk"), read_file(data_path(kEthylene + "/HL/nei_mol-1.fchk")));
        for (const char* f : {"neighbor.dat", "uc_H.inp", "uc_L.inp"})
            write_file(dir.file(std::string("data/") + f), read_file(data_path(kEthylene + "/data/" + f)));
        write_file(dir.file("data/trans_int_files.dat"),
                   "2\n2\n../HL/2mol-1-1.log  ../HL/uc_mol-1.log  ../HL/nei_mol-1-1.log  1 2\n"
                   "../HL/2mol-1-2.log  ../HL/uc_mol-1.log  ../HL/nei_mol-1-2.log  1 2\n"
                   "2\n../HL/2mol-2-1.log  ../HL/uc_mol-2.log  ../HL/nei_mol-2-1.log  2 1\n"
                   "../HL/2mol-2-2.log  ../HL/uc_mol-2.log  ../HL/nei_mol-2-2.log  2 1\n");
        write_file(dir.file("data/moo_mol1_uc.pos"), site(1, 0) + site(1, 0));
        write_file(dir.file("data/moo_mol1_nei.pos"), site(2, 3.5) + site(2, -3.5));
        write_file(dir.file("data/moo_mol2_uc.pos"), site(2, 3.5) + site(2, 3.5));
        write_file(dir.file("data/moo_mol2_nei.pos"), site(1, 0) + site(1, 7));
    }
    std::string file(const std::string& rel) const { return dir.file(rel); }
    CommandResult orbitals(const std::string& args) const {
        return run_command("cd '" + dir.file("HL") + "' && '" + qcpost_tool("fchk_orbitals") + "' " + args);
    }
    CommandResult overlap() const {
        return run_command("cd '" + dir.file("data") + "' && '" + qcpost_tool("dimer_overlap") +
                           "' -batch trans_int_files.dat");
    }
    void monomers() const {
        for (const char* m : {"uc_mol-1.fchk", "uc_mol-2.fchk"}) {
            const CommandResult r = orbitals(std::string(m) + " -orb -xyz");
            ASSERT_EQ(r.status, 0) << r.output;
        }
    }
};

std::vector<double> values(const std::string& text) {
    std::vector<double> v;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty() && line[0] != '#') v.push_back(std::stod(line.substr(line.find_last_of(' '))));
    return v;
}

}  // namespace

TEST(OverlapTools, EthyleneOverlapMatchesTheDimerBasisAndTheCouplingItsSignAndOrder) {
    MooStudy s;
    s.monomers();
    const CommandResult r = s.overlap();
    ASSERT_EQ(r.status, 0) << r.output;
    // Every pair, cell images included, is the same cofacial pair: S_ab as psi4's dimer overlap gives it.
    std::istringstream report(read_file(s.file("data/transint.dat")));
    std::string line;
    int rows = 0;
    while (std::getline(report, line)) {
        if (line[0] == '#') continue;
        std::istringstream w(line);
        std::string carrier;
        int skip;
        double s_ab, t;
        for (int k = 0; k < 5; ++k) w >> skip;
        w >> carrier >> skip >> skip >> s_ab >> t;
        EXPECT_NEAR(s_ab, carrier == "hole" ? kHoleOverlap : kElectronOverlap, 2e-8) << line;
        ++rows;
    }
    EXPECT_EQ(rows, 8);
    // t = -10 eV S_ab: the sign of the projection's J_eff, and within a factor of three of it.
    for (const auto& [file, s_ab, jeff] : {std::tuple<const char*, double, double>{"data/VH.dat", kHoleOverlap, kHoleJeff},
                                          {"data/VL.dat", kElectronOverlap, kElectronJeff}}) {
        const std::vector<double> v = values(read_file(s.file(file)));
        ASSERT_EQ(v.size(), 4u) << file;
        for (double t : v) {
            EXPECT_NEAR(t, -10000 * s_ab, 1e-3) << file;
            EXPECT_GT(t / jeff, 1.0 / 3) << file;
            EXPECT_LT(t / jeff, 3.0) << file;
        }
    }
}

TEST(OverlapTools, BadInputStopsNamingTheFileAndWritesNothing) {
    auto edit = [](const MooStudy& s, const std::string& rel, const std::string& from, const std::string& to) {
        write_file(s.file(rel), replaced(read_file(s.file(rel)), from, to));
    };
    struct Case {
        const char* name;
        std::function<void(const MooStudy&)> damage;
        std::vector<std::string> message;
    };
    const Case cases[] = {
        {"missing orbital file", [](const MooStudy& s) { std::remove(s.file("HL/uc_mol-2.orb").c_str()); },
         {"../HL/uc_mol-2.orb: cannot open the orbital file"}},
        {"coordinates of another molecule",
         [&](const MooStudy& s) { edit(s, "HL/uc_mol-1.xyz", "6\n", "5\n"); },
         {"../HL/uc_mol-1.xyz, line 8: more lines than the 5 atoms announced"}},
        {"atoms that do not match the orbitals",
         [&](const MooStudy& s) {
             const std::string t = read_file(s.file("HL/uc_mol-1.xyz"));
             write_file(s.file("HL/uc_mol-1.xyz"), "5" + t.substr(1, t.rfind("H ") - 1));
         },
         {"../HL/uc_mol-1.xyz, line 1: 5 atoms, but ../HL/uc_mol-1.orb has 6"}},
        {"g shell", [&](const MooStudy& s) { edit(s, "HL/uc_mol-2.orb", "shell 1 1 0 3", "shell 1 1 4 3"); },
         {"../HL/uc_mol-2.orb: shell 1 has type 4 (l = 4): only s, p, sp, d and f shells are supported"}},
        {"orbitals turned against the crystal",
         [&](const MooStudy& s) { write_file(s.file("data/moo_mol1_nei.pos"),
                                             replaced(site(2, 3.5), "1.000000  0.000000  0.000000  0.000000  1.000000",
                                                      "0.800000  0.600000  0.000000 -0.600000  0.800000") + site(2, -3.5)); },
         {"moo_mol1_nei.pos, line 1: the atoms of ../HL/uc_mol-2.xyz are not in the crystal's frame", "nosymm"}},
        {"monomer moved away from its site", [&](const MooStudy& s) { edit(s, "data/moo_mol2_uc.pos", "3.500000", "3.600000"); },
         {"moo_mol2_uc.pos, line 1:", "centre of mass 0.1000 A away"}},
        {"site of another molecule", [&](const MooStudy& s) { edit(s, "data/moo_mol2_nei.pos", "uc_mol-1", "uc_mol-2"); },
         {"moo_mol2_nei.pos, line 1: pair 1 of molecule 2 is 2 -> 1", "but the site names uc_mol-2"}},
        {"site file shorter than the pairs", [&](const MooStudy& s) { write_file(s.file("data/moo_mol1_uc.pos"), site(1, 0)); },
         {"moo_mol1_uc.pos, line 2: the file ends here, but the site of pair 2 was expected"}},
        {"orbital the file does not hold", [&](const MooStudy& s) { write_file(s.file("data/uc_L.inp"), "9\n99\n"); },
         {"../HL/uc_mol-2.orb: orbital 99 asked for, but the file holds orbitals 1 to 14"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MooStudy s;
        s.monomers();
        write_file(s.file("data/VL.dat"), "old VL\n");
        write_file(s.file("data/VH.dat"), "old VH\n");
        c.damage(s);
        const CommandResult r = s.overlap();
        EXPECT_EQ(r.status, 1) << r.output;
        for (const std::string& m : c.message) EXPECT_NE(r.output.find(m), std::string::npos) << r.output;
        EXPECT_EQ(read_file(s.file("data/VL.dat")), "old VL\n");
        EXPECT_EQ(read_file(s.file("data/VH.dat")), "old VH\n");
        EXPECT_FALSE(path_exists(s.file("data/transint.dat")));
    }
}

TEST(OverlapTools, OrbitalExtractionRefusesWhatItCannotServe) {
    struct Case {
        const char* name;
        std::function<void(const MooStudy&)> setup;
        std::string args;
        std::string message;
    };
    const Case cases[] = {
        {"missing fchk", [](const MooStudy&) {}, "uc_mol-3.fchk -orb -xyz", "uc_mol-3.fchk"},
        {"no output asked for", [](const MooStudy&) {}, "uc_mol-1.fchk", "-orb and/or -xyz are needed"},
        {"open shell",
         [](const MooStudy& s) {
             write_file(s.file("HL/cation.fchk"), read_file(qc_output("gaussian/g16_dvb_un_sp.fchk")));
         },
         "cation.fchk -orb", "an unrestricted run"},
        {"g functions",
         [](const MooStudy& s) {
             write_file(s.file("HL/g.fchk"),
                        replaced(read_file(s.file("HL/uc_mol-1.fchk")),
                                 "Shell types                                I   N=          10\n           0",
                                 "Shell types                                I   N=          10\n           4"));
         },
         "g.fchk -orb -xyz", "only s, p, sp, d and f shells are supported"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MooStudy s;
        c.setup(s);
        const CommandResult r = s.orbitals(c.args);
        EXPECT_EQ(r.status, 1) << r.output;
        EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
        for (const std::string& f : list_dir(s.file("HL")))
            EXPECT_EQ(f.find(".fchk"), f.size() - 5) << f;
    }
}
