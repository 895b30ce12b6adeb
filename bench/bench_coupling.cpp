// Cost of the coupling tool: reading and projecting one dimer trio of some thousand basis functions
// through each engine's files, and a whole study of 100 pairs each with its own dimer run.
//
//   bench_coupling [dimer functions=1000] [study pairs=100] [study dimer functions=300]
//
// The files are synthetic but have the engines' layouts (tests/qcpost/qc_writers.h): a monomer with
// an orthonormal basis and random orthonormal orbitals, a dimer whose overlap couples the two halves.
// The psi4 path rebuilds the overlap from the complete MO set; the Gaussian log and ORCA paths read
// the printed overlap.
#include <cstdio>
#include <random>
#include <string>

#include "bench_support.h"
#include "qcpost/coupling_tool.h"
#include "qcpost/projection.h"
#include "qcpost/qc_writers.h"
#include <fstream>
#include <sstream>
#include "util/fatal.h"
#include "util/usage.h"

namespace {

using krymo::format_string;
using krymo::qcpost::QcEngine;
using krymo::qcpost::Wavefunction;

void write_file(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
size_t file_size(const std::string& path) { return std::ifstream(path, std::ios::binary | std::ios::ate).tellg(); }

Eigen::MatrixXd random_orthogonal(int n, std::mt19937& rng) {
    std::uniform_real_distribution<double> u(-1, 1);
    Eigen::MatrixXd m(n, n);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) m(i, j) = u(rng);
    return Eigen::HouseholderQR<Eigen::MatrixXd>(m).householderQ();
}

Eigen::VectorXd sorted_energies(int n) { return Eigen::VectorXd::LinSpaced(n, -10.0, 2.0); }

// Monomer of `nb` functions on nb / 5 carbon atoms along x, shifted by `z` bohr; its overlap is 1.
Wavefunction monomer(int nb, double z, const Eigen::MatrixXd& c) {
    Wavefunction w;
    w.nbasis = nb;
    for (int a = 0; a < nb / 5; ++a) {
        w.atomic_numbers.push_back(6);
        w.coords_bohr.insert(w.coords_bohr.end(), {2.6 * a, 0.0, z});
    }
    w.alpha = c;
    w.alpha_energies = sorted_energies(nb);
    w.overlap = Eigen::MatrixXd::Identity(nb, nb);
    return w;
}

Wavefunction dimer_of(const Wavefunction& a, const Wavefunction& b, std::mt19937& rng) {
    Wavefunction d;
    d.nbasis = a.nbasis + b.nbasis;
    d.atomic_numbers = a.atomic_numbers;
    d.atomic_numbers.insert(d.atomic_numbers.end(), b.atomic_numbers.begin(), b.atomic_numbers.end());
    d.coords_bohr = a.coords_bohr;
    d.coords_bohr.insert(d.coords_bohr.end(), b.coords_bohr.begin(), b.coords_bohr.end());
    std::uniform_real_distribution<double> u(-0.01, 0.01);
    d.overlap = Eigen::MatrixXd::Identity(d.nbasis, d.nbasis);
    for (int i = 0; i < a.nbasis; ++i)
        for (int j = 0; j < b.nbasis; ++j) d.overlap(i, a.nbasis + j) = d.overlap(a.nbasis + j, i) = u(rng);
    // Orthonormal in S: C = S^-1/2 Q.
    Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> es(d.overlap);
    d.alpha = es.operatorInverseSqrt() * random_orthogonal(d.nbasis, rng);
    d.alpha_energies = sorted_energies(d.nbasis);
    return d;
}

Wavefunction without_overlap(Wavefunction w) {
    w.overlap.resize(0, 0);
    return w;
}

void write_run(QcEngine engine, const std::string& stem, const Wavefunction& w) {
    switch (engine) {
        case QcEngine::Gaussian: write_file(stem + ".log", krymo_test::gaussian_log_text(w)); break;
        case QcEngine::Orca: write_file(stem + ".out", krymo_test::orca_out_text(w)); break;
        default:
            write_file(stem + ".fchk", krymo_test::fchk_text(without_overlap(w)));
            write_file(stem + ".out", "*** Psi4 exiting successfully.\n");
    }
}

void trio(int nfunc) {
    std::mt19937 rng(7);
    const int nb = nfunc / 2;
    const Eigen::MatrixXd c = random_orthogonal(nb, rng);
    const Wavefunction a = monomer(nb, 0.0, c), b = monomer(nb, 6.6, c);
    const Wavefunction d = dimer_of(a, b, rng);
    std::printf("One dimer trio of %d + %d basis functions (best of 3; processor seconds, wall in brackets):\n", nb, nb);
    std::printf("  %-10s %8s %18s %18s %12s\n", "files", "MB", "read", "project", "J_eff meV");
    for (QcEngine engine : {QcEngine::Psi4, QcEngine::Gaussian, QcEngine::Orca}) {
        // Gaussian would read a formchk file beside its log.
        if (std::system("rm -f d.* a.* b.*") != 0) return;
        write_run(engine, "d", d);
        write_run(engine, "a", a);
        write_run(engine, "b", b);
        const std::string main_file = engine == QcEngine::Psi4 ? "d.fchk" : engine == QcEngine::Gaussian ? "d.log" : "d.out";
        const double mb = file_size(main_file) / 1e6;
        krymo_bench::Times best_read{1e9, 1e9}, best_proj{1e9, 1e9};
        double jeff = 0;
        auto keep_best = [](krymo_bench::Times& best, const krymo_bench::Times& t) {
            best.wall = std::min(best.wall, t.wall);
            best.cpu = std::min(best.cpu, t.cpu);
        };
        for (int rep = 0; rep < 3; ++rep) {
            Wavefunction wa, wb, wd;
            keep_best(best_read, krymo_bench::timed([&] {
                wd = krymo::qcpost::read_wavefunction(engine, "d");
                wa = krymo::qcpost::read_wavefunction(engine, "a");
                wb = krymo::qcpost::read_wavefunction(engine, "b");
            }));
            keep_best(best_proj, krymo_bench::timed([&] {
                krymo::qcpost::check_trio(wd, wa, wb, "1 -> 2");
                const krymo::qcpost::DimerBasis basis(wd);
                jeff = krymo::qcpost::project(basis, wa, nb / 2, wb, nb / 2, "1 -> 2").j_eff * 27211.386245988;
                krymo::qcpost::project(basis, wa, nb / 2 + 1, wb, nb / 2 + 1, "1 -> 2");
            }));
        }
        std::printf("  %-10s %8.1f %8.3f (%7.3f) %8.3f (%7.3f) %12.3f\n", krymo::qcpost::engine_name(engine), mb,
                    best_read.cpu, best_read.wall, best_proj.cpu, best_proj.wall, jeff);
    }
}

// A study of `npairs` pairs (10 neighbours per molecule), every pair with its own three runs, as
// without unique pairs; psi4 files.
void study(int npairs, int nfunc) {
    std::mt19937 rng(11);
    const int nb = nfunc / 2, nmols = std::max(1, npairs / 10);
    const Eigen::MatrixXd c = random_orthogonal(nb, rng);
    const Wavefunction a = monomer(nb, 0.0, c), b = monomer(nb, 6.6, c);
    const Wavefunction d = dimer_of(a, b, rng);
    if (std::system("mkdir -p HL data") != 0) return;
    std::string list = format_string("%d\n", nmols), nei = "# neighbours\n# of every molecule\n" + format_string("%d\n", nmols);
    std::string homo, lumo;
    for (int r = 1; r <= nmols; ++r) {
        write_run(QcEngine::Psi4, format_string("HL/uc_mol-%d", r), a);
        list += "10\n";
        nei += format_string("%d 0 0 0 # root\n10 # neighbours\n", r);
        for (int j = 1; j <= 10; ++j) {
            const int n = (r + j - 1) % nmols + 1;
            write_run(QcEngine::Psi4, format_string("HL/2mol-%d-%d", r, j), d);
            write_run(QcEngine::Psi4, format_string("HL/nei_mol-%d-%d", r, j), b);
            list += format_string("../HL/2mol-%d-%d.out  ../HL/uc_mol-%d.out  ../HL/nei_mol-%d-%d.out  %d %d\n", r, j, r,
                                  r, j, r, n);
            nei += format_string("%d 0 0 3.5 3.5 %d 0 0\n", n, j);
        }
        homo += format_string("%d\n", nb / 2);
        lumo += format_string("%d\n", nb / 2 + 1);
    }
    write_file("data/trans_int_files.dat", list);
    write_file("data/neighbor.dat", nei);
    write_file("data/uc_H.inp", homo);
    write_file("data/uc_L.inp", lumo);
    if (chdir("data") != 0) return;
    char a0[] = "qcpost_coupling.exe", a1[] = "-batch", a2[] = "trans_int_files.dat", a3[] = "-psi4";
    char* argv[] = {a0, a1, a2, a3, nullptr};
    int status = 0;
    const krymo_bench::Times t = krymo_bench::timed([&] { status = krymo::qcpost::coupling_main(4, argv); });
    std::printf("Study of %d pairs, %d dimer runs of %d functions (psi4 files): %.2f s wall, %.2f s processor, "
                "%.3f processor s per pair, status %d\n",
                nmols * 10, nmols * 10, 2 * nb, t.wall, t.cpu, t.cpu / (nmols * 10), status);
    if (chdir("..") != 0) return;
}

}  // namespace

int main(int argc, char** argv) {
    if (krymo::usage_requested(argc, argv)) {
        krymo::print_usage("Usage: %s [dimer functions=1000] [study pairs=100] [study dimer functions=300]\n", argv[0]);
        return 0;
    }
    const int nfunc = krymo_bench::int_arg(argc, argv, 1, 1000);
    const int npairs = krymo_bench::int_arg(argc, argv, 2, 100);
    const int study_func = krymo_bench::int_arg(argc, argv, 3, 300);
    krymo_bench::ScratchDir dir;
    if (!dir.ok()) return 1;
    try {
        trio(nfunc);
        study(npairs, study_func);
    } catch (const krymo::FatalError& e) {
        return krymo::report_fatal(e);
    }
    return 0;
}
