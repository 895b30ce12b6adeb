// qcpost_coupling.exe on a study of its own: a cofacial ethylene dimer computed with psi4, whose
// reference numbers come from psi4's own overlap and Fock matrices (reference.dat beside the data).
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "qcpost/fchk.h"
#include "qcpost/qc_writers.h"
#include "test_support.h"

using namespace krymo_test;

namespace {

const std::string kStudy = "qcpost/ethylene_psi4";

std::string coupling_exe() { return std::string(KRYMO_QCPOST_DIR) + "/qcpost_coupling.exe"; }

// The study copied into a fresh folder; the tool runs in its data folder.
struct StudyCopy {
    ScopedStudyDir dir;
    StudyCopy() {
        EXPECT_EQ(std::system(("cp -r '" + data_path(kStudy) + "/.' '" + dir.path() + "'").c_str()), 0);
    }
    std::string file(const std::string& rel) const { return dir.file(rel); }
    CommandResult run(const std::string& options = "-psi4") const {
        return run_command("cd '" + dir.file("data") + "' && '" + coupling_exe() + "' -batch trans_int_files.dat " +
                           options);
    }
};

struct Row {
    std::string carrier;
    double j, s, ea, eb, jeff, half;
};

std::vector<Row> rows(const std::string& text, bool report) {
    std::vector<Row> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream w(line);
        Row r;
        int skip;
        if (report) {
            for (int k = 0; k < 5; ++k) w >> skip;
            w >> r.carrier >> skip >> skip;
        } else {
            w >> r.carrier;
        }
        w >> r.j >> r.s >> r.ea >> r.eb >> r.jeff >> r.half;
        out.push_back(r);
    }
    return out;
}

}  // namespace

TEST(CouplingTool, AgreesWithPsi4sOwnMatricesAndServesEveryPairFromItsRepresentative) {
    StudyCopy s;
    const CommandResult r = s.run();
    ASSERT_EQ(r.status, 0) << r.output;
    const std::vector<Row> ref = rows(read_file(data_path(kStudy + "/reference.txt")), false);
    const std::vector<Row> got = rows(read_file(s.file("data/transint.dat")), true);
    ASSERT_EQ(ref.size(), 2u);
    // Four pairs of neighbor.dat, one representative dimer: hole and electron rows of each.
    ASSERT_EQ(got.size(), 8u);
    for (size_t k = 0; k < got.size(); ++k) {
        const Row& a = got[k];
        const Row& b = ref[k % 2];
        SCOPED_TRACE(k);
        EXPECT_EQ(a.carrier, b.carrier);
        // The fchk's eight digits against psi4's matrices in memory.
        EXPECT_NEAR(a.j, b.j, 1e-4);
        EXPECT_NEAR(a.s, b.s, 1e-8);
        EXPECT_NEAR(a.ea, b.ea, 1e-6);
        EXPECT_NEAR(a.eb, b.eb, 1e-6);
        EXPECT_NEAR(a.jeff, b.jeff, 1e-4);
        EXPECT_NEAR(a.half, b.half, 1e-4);
        // A symmetric dimer: the effective coupling is half the splitting of its two levels.
        EXPECT_NEAR(std::fabs(a.jeff), a.half, 0.01 * a.half);
    }
    // Rows follow neighbor.dat, cells included; the carriers' files take their own orbitals.
    const std::string rows_vh = "    1    2   0   0   0      284.576842\n    1    2   0   0  -1      284.576842\n"
                                "    2    1   0   0   0      284.576842\n    2    1   0   0   1      284.576842\n";
    EXPECT_EQ(read_file(s.file("data/VH.dat")),
              "# transfer integral (meV) per neighbour pair, in neighbor.dat order\n"
              "# root nei  na  nb  nc        value\n" + rows_vh);
    EXPECT_NE(read_file(s.file("data/VL.dat")).find("    2    1   0   0   1      207.306781\n"), std::string::npos);
}

TEST(CouplingTool, BadInputStopsNamingFileAndLineAndLeavesTheOldFiles) {
    const std::string list_line = "../HL/2mol-1.out  ../HL/uc_mol-1.out  ../HL/nei_mol-1.out  1 2\n";
    struct Case {
        const char* name;
        std::function<void(const StudyCopy&)> damage;
        const char* options;
        std::vector<std::string> message;
    };
    auto edit = [](const StudyCopy& s, const std::string& rel, const std::string& from, const std::string& to) {
        write_file(s.file(rel), replaced(read_file(s.file(rel)), from, to));
    };
    const Case cases[] = {
        {"missing monomer", [](const StudyCopy& s) { std::remove(s.file("HL/nei_mol-1.fchk").c_str()); }, "-psi4",
         {"../HL/nei_mol-1.fchk: cannot open the file"}},
        {"truncated dimer",
         [](const StudyCopy& s) {
             const std::string t = read_file(s.file("HL/2mol-1.fchk"));
             write_file(s.file("HL/2mol-1.fchk"), t.substr(0, t.find("Alpha MO coefficients") + 200));
         },
         "-psi4", {"../HL/2mol-1.fchk, line ", "the file ends inside \"Alpha MO coefficients\""}},
        {"binary output", [](const StudyCopy& s) { write_file(s.file("HL/uc_mol-1.out"), std::string("\x7f" "ELF\0\0\x02", 7)); },
         "-psi4", {"../HL/uc_mol-1.out, line 1: binary content"}},
        {"run that did not end normally",
         [&](const StudyCopy& s) { edit(s, "HL/2mol-1.out", "Psi4 exiting successfully", "Psi4 encountered an error"); },
         "-psi4", {"../HL/2mol-1.out, line 3", "the psi4 run did not end normally"}},
        {"monomers in the wrong order",
         [&](const StudyCopy& s) {
             edit(s, "data/trans_int_files.dat", list_line,
                  "../HL/2mol-1.out  ../HL/nei_mol-1.out  ../HL/uc_mol-1.out  1 2\n");
         },
         "-psi4", {"pair 1 -> 2 (trans_int_files.dat line 3): atom 1 of the dimer", "same frame and order"}},
        {"basis mismatch",
         [](const StudyCopy& s) {
             for (const char* ext : {".out", ".fchk"})
                 write_file(s.file(std::string("HL/uc_mol-1") + ext),
                            read_file(data_path("qcpost/ethylene_psi4_321g/uc_mol-1") + ext));
         },
         "-psi4", {"pair 1 -> 2 (trans_int_files.dat line 3): the dimer has 28 basis functions", "have 26 + 14"}},
        {"NaN", [&](const StudyCopy& s) { edit(s, "HL/2mol-1.fchk", "Alpha MO coefficients                      R   N=         784\n ", "Alpha MO coefficients                      R   N=         784\n NaN "); },
         "-psi4", {"../HL/2mol-1.fchk, line ", "\"NaN", "is not a finite real number"}},
        {"outputs of another engine", [](const StudyCopy&) {}, "",
         {"trans_int_files.dat, line 3: \"../HL/2mol-1.out\" does not end in .log"}},
        {"list and neighbour list of different studies",
         [&](const StudyCopy& s) { edit(s, "data/uc_H.inp", "8\n8\n", "8\n"); }, "-psi4",
         {"uc_H.inp, line 2: the file ends here, but the orbital of molecule 2 was expected"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StudyCopy s;
        write_file(s.file("data/VL.dat"), "old VL\n");
        write_file(s.file("data/VH.dat"), "old VH\n");
        c.damage(s);
        const CommandResult r = s.run(c.options);
        EXPECT_EQ(r.status, 1) << r.output;
        for (const std::string& m : c.message) EXPECT_NE(r.output.find(m), std::string::npos) << r.output;
        EXPECT_EQ(read_file(s.file("data/VL.dat")), "old VL\n");
        EXPECT_EQ(read_file(s.file("data/VH.dat")), "old VH\n");
        EXPECT_FALSE(path_exists(s.file("data/transint.dat")));
    }
}

TEST(CouplingTool, EveryEngineGivesTheSameCouplingsFromTheSameWavefunctions) {
    using krymo::qcpost::Wavefunction;
    struct Engine {
        const char* name;
        const char* flag;
        const char* ext;  // of the list's file names
        std::function<void(const std::string& stem, const Wavefunction& w)> write;
    };
    const std::string qchem_end = "        *  Thank you very much for using Q-Chem.  Have a nice day.  *\n";
    const Engine engines[] = {
        {"Gaussian log", "", "log", [](const std::string& stem, const Wavefunction& w) {
             write_file(stem + ".log", gaussian_log_text(w));
         }},
        // The formchk file beside the log is read instead of the log (here without orbitals).
        {"Gaussian fchk", "", "log", [](const std::string& stem, const Wavefunction& w) {
             write_file(stem + ".log", " Normal termination of Gaussian 16\n");
             Wavefunction no_overlap = w;
             no_overlap.overlap.resize(0, 0);
             write_file(stem + ".fchk", fchk_text(no_overlap));
         }},
        {"ORCA", "-orca", "out", [](const std::string& stem, const Wavefunction& w) {
             write_file(stem + ".out", orca_out_text(w));
         }},
        {"Q-Chem", "-qchem", "out", [&](const std::string& stem, const Wavefunction& w) {
             write_file(stem + ".fchk", fchk_text(w));
             write_file(stem + ".out", qchem_end);
         }},
    };
    for (const Engine& e : engines) {
        SCOPED_TRACE(e.name);
        StudyCopy s;
        for (const char* stem : {"2mol-1", "uc_mol-1", "nei_mol-1"}) {
            const std::string base = s.file(std::string("HL/") + stem);
            Wavefunction w = krymo::qcpost::wavefunction_from_fchk(krymo::qcpost::read_fchk(base + ".fchk"));
            w.overlap = (w.alpha * w.alpha.transpose()).inverse();
            for (const char* ext : {".out", ".fchk"}) std::remove((base + ext).c_str());
            e.write(base, w);
        }
        const std::string list = s.file("data/trans_int_files.dat");
        write_file(list, replaced(read_file(list), ".out", std::string(".") + e.ext));
        const CommandResult r = s.run(e.flag);
        ASSERT_EQ(r.status, 0) << r.output;
        for (const auto& [file, jeff] : {std::pair<const char*, double>{"data/VH.dat", 284.576842},
                                         {"data/VL.dat", 207.306781}}) {
            std::istringstream in(read_file(s.file(file)));
            std::string line;
            int n = 0;
            while (std::getline(in, line)) {
                if (line[0] == '#') continue;
                ++n;
                EXPECT_NEAR(std::stod(line.substr(line.find_last_of(' '))), jeff, 2e-3) << file << ": " << line;
            }
            EXPECT_EQ(n, 4) << file;
        }
    }
}
