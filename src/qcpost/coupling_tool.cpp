#include "qcpost/coupling_tool.h"

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "hopsim/formats.h"
#include "qcpost/pair_list.h"
#include "qcpost/projection.h"
#include "qcpost/wavefunction.h"
#include "util/fatal.h"
#include "util/files.h"
#include "util/text.h"

namespace krymo {
namespace qcpost {

namespace {

constexpr double kMevPerHartree = 27211.386245988;
const OutputFailure kWriteFailure = {"qcpost_coupling", 1, false, false};

const char* const kUsage =
    "Usage: %s -batch trans_int_files.dat [-orca | -qchem | -psi4] [-h]\n"
    "  Run in the study's data folder. Transfer integrals of every neighbour pair by dimer projection\n"
    "  from the dimer and monomer runs the list names (paths relative to this folder):\n"
    "    no flag (Gaussian): <stem>.log, or the formchk file <stem>.fchk beside it when present;\n"
    "    -orca: <stem>.out; -qchem, -psi4: <stem>.fchk, with <stem>.out for the normal end.\n"
    "  Reads also neighbor.dat (the pairs and their cells) and uc_H.inp / uc_L.inp (the frontier\n"
    "  orbital of each molecule). Writes VH.dat (hole), VL.dat (electron), J_eff in meV, in\n"
    "  neighbor.dat order, and the report transint.dat.\n";

struct PairResult {
    Coupling hole, electron;
};

struct Job {
    std::string list = "";
    QcEngine engine = QcEngine::Gaussian;
};

Job parse(int argc, char** argv, bool& help) {
    Job job;
    bool have_engine = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        QcEngine e;
        if (a == "-h" || a == "--help") {
            help = true;
        } else if (a == "-batch" && i + 1 < argc) {
            job.list = argv[++i];
        } else if (engine_from_flag(a, e)) {
            if (have_engine && e != job.engine)
                KRYMO_FATAL_OUT("qcpost_coupling", 1, "Give at most one of -orca, -qchem, -psi4\n");
            job.engine = e;
            have_engine = true;
        } else {
            KRYMO_FATAL_OUT("qcpost_coupling", 1,
                            format_string("Unknown option %s (qcpost_coupling.exe -h lists the options)\n", a.c_str()));
        }
    }
    if (!help && job.list.empty())
        KRYMO_FATAL_OUT("qcpost_coupling", 1, "-batch and the pair list (trans_int_files.dat) are needed\n");
    return job;
}

void run(const Job& job) {
    const EngineFiles& engine = engine_files(job.engine);
    int nmols = 0;
    const std::vector<ListEntry> entries = read_pair_list(job.list, engine, nmols);
    const std::vector<hopsim::PairKey> keys = read_neighbors("neighbor.dat", nmols);
    check_same_pairs(job.list, entries, keys);
    const std::vector<int> homo = read_orbitals("uc_H.inp", nmols), lumo = read_orbitals("uc_L.inp", nmols);

    // A representative's runs serve every pair it stands for: each dimer is read and projected once
    // per set of orbitals, each monomer read once.
    std::map<std::string, std::unique_ptr<Wavefunction>> monomers;
    auto monomer = [&](const std::string& stem) -> const Wavefunction& {
        std::unique_ptr<Wavefunction>& w = monomers[stem];
        if (!w) w = std::make_unique<Wavefunction>(read_wavefunction(job.engine, stem));
        return *w;
    };
    std::map<std::string, PairResult> done;
    std::vector<const PairResult*> results;
    for (const ListEntry& e : entries) {
        const int r = e.root - 1, n = e.nei - 1;
        const std::string key = format_string("%s|%s|%s|%d|%d|%d|%d", e.dimer.c_str(), e.mono_a.c_str(),
                                              e.mono_b.c_str(), homo[r], homo[n], lumo[r], lumo[n]);
        auto it = done.find(key);
        if (it == done.end()) {
            const std::string pair = format_string("%d -> %d (%s line %d)", e.root, e.nei, job.list.c_str(), e.line);
            const Wavefunction& a = monomer(e.mono_a);
            const Wavefunction& b = monomer(e.mono_b);
            const Wavefunction dimer = read_wavefunction(job.engine, e.dimer);
            check_trio(dimer, a, b, pair);
            const DimerBasis basis(dimer);
            PairResult res;
            res.hole = project(basis, a, homo[r], b, homo[n], pair);
            res.electron = project(basis, a, lumo[r], b, lumo[n], pair);
            it = done.emplace(key, res).first;
        }
        results.push_back(&it->second);
    }

    // Every number is known: only now is anything written.
    TextWriter report;
    open_output(report, "transint.dat", kWriteFailure);
    report.printf("# transfer integrals by dimer projection (%s), per neighbour pair in neighbor.dat order\n",
                  engine_name(job.engine));
    report.printf("# J, J_eff, half-splitting in meV; e_a, e_b in eV; S_ab without unit\n");
    report.printf("# root nei  na  nb  nc carrier  orb_a orb_b            J         S_ab          e_a          e_b"
                  "        J_eff  half_split  dimer\n");
    std::vector<double> vh, vl;
    for (size_t k = 0; k < keys.size(); ++k) {
        const hopsim::PairKey& p = keys[k];
        for (int carrier = 0; carrier < 2; ++carrier) {
            const Coupling& c = carrier == 0 ? results[k]->hole : results[k]->electron;
            const std::vector<int>& orb = carrier == 0 ? homo : lumo;
            report.printf("%5d %4d %3d %3d %3d %-8s %5d %5d %12.6f %12.8f %12.6f %12.6f %12.6f %11.6f  %s\n", p.root,
                          p.nei, p.cell[0], p.cell[1], p.cell[2], carrier == 0 ? "hole" : "electron",
                          orb[p.root - 1], orb[p.nei - 1], c.j * kMevPerHartree, c.s_ab,
                          c.e_a * kMevPerHartree / 1000, c.e_b * kMevPerHartree / 1000, c.j_eff * kMevPerHartree,
                          c.half_splitting * kMevPerHartree, entries[k].dimer.c_str());
        }
        vh.push_back(results[k]->hole.j_eff * kMevPerHartree);
        vl.push_back(results[k]->electron.j_eff * kMevPerHartree);
    }
    close_output(report, kWriteFailure);
    hopsim::write_pair_values("VH.dat", keys, vh, "transfer integral (meV)", false, nmols);
    hopsim::write_pair_values("VL.dat", keys, vl, "transfer integral (meV)", false, nmols);
    std::printf("%zu pairs (%zu dimer runs): VH.dat, VL.dat and transint.dat written\n", keys.size(), done.size());
}

}  // namespace

int coupling_main(int argc, char** argv) {
    try {
        bool help = false;
        const Job job = parse(argc, argv, help);
        if (help) {
            std::printf(kUsage, "qcpost_coupling.exe");
            return 0;
        }
        run(job);
        return 0;
    } catch (const FatalError& e) {
        std::fflush(stdout);
        return report_fatal(e);
    } catch (const std::exception& e) {
        std::fflush(stdout);
        return report_fatal(FatalError("qcpost_coupling", __LINE__, 1, "", format_string("%s\n", e.what())));
    }
}

}  // namespace qcpost
}  // namespace krymo
